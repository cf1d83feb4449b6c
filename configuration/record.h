#pragma once
// The configuration record: the configuration's name and the Value text of every editable
// configuration-tree item, each in a fixed 100-byte slot. The record is the on-disk layout of
// configuration files, so its bytes are exact: 33 slots, 3300 bytes, no padding.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

inline constexpr int kSlotBytes = 100;
inline constexpr int kSlotCount = 33;
inline constexpr int kRecordBytes = kSlotBytes * kSlotCount;
inline constexpr int kTreeValueMaxChars = 90;   // longest value a tree cell gives to its slot
inline constexpr int kNameMaxChars = 99;        // longest configuration name

struct ConfigurationRecord {
    char name[kSlotBytes];
    char structure[kSlotBytes];
    char endianness[kSlotBytes];
    char headerSource[kSlotBytes];
    char headerValue[kSlotBytes];
    char trailerSource[kSlotBytes];
    char trailerValue[kSlotBytes];
    char commentSource[kSlotBytes];
    char commentBegin[kSlotBytes];
    char commentEnd[kSlotBytes];
    char samplerateSource[kSlotBytes];
    char samplerateType[kSlotBytes];
    char samplerateValue[kSlotBytes];
    char samplerateUnit[kSlotBytes];
    char format[kSlotBytes];
    char scaleFactor[kSlotBytes];
    char autoOptimization[kSlotBytes];
    char order[kSlotBytes];
    char iMarkers[kSlotBytes];
    char iDcOffset[kSlotBytes];
    char qMarkers[kSlotBytes];
    char qDcOffset[kSlotBytes];
    char maximumLength[kSlotBytes];
    char firstSample[kSlotBytes];
    char lastSampleType[kSlotBytes];
    char lastSampleValue[kSlotBytes];
    char reserved[kSlotBytes];
    char mirror[kSlotBytes];
    char shift[kSlotBytes];
    char filterType[kSlotBytes];
    char cutoff[kSlotBytes];
    char taps[kSlotBytes];
    char outputSamplerate[kSlotBytes];
};
static_assert(sizeof(ConfigurationRecord) == kRecordBytes, "the record is the file layout");

// One slot of the record: its key (the field name), its byte offset, the tree item whose Value
// cell it mirrors (-1 for the name and the reserved slot) and its built-in default text.
struct SlotInfo {
    std::string_view key;
    int offset;
    int treeItem;
    std::string_view defaultText;
};

// All slots in offset order.
extern const std::array<SlotInfo, kSlotCount> kSlots;

// Slot indices that code refers to by meaning.
inline constexpr int kSlotName = 0;
inline constexpr int kSlotReserved = 26;

// The record's bytes, for files and check blocks.
inline char *Configuration_Bytes(ConfigurationRecord &record) { return reinterpret_cast<char *>(&record); }
inline const char *Configuration_Bytes(const ConfigurationRecord &record)
{
    return reinterpret_cast<const char *>(&record);
}

// The text of slot `slot` (0 .. 32).
char *Configuration_Slot(ConfigurationRecord &record, int slot);
const char *Configuration_Slot(const ConfigurationRecord &record, int slot);

// The slot that mirrors tree item `item`, or -1 when the item has no slot.
int Configuration_SlotOfTreeItem(int item);

// The slot with the given key ("structure", "taps", ...), or -1.
int Configuration_SlotByKey(std::string_view key);

// The length of `text` cut to at most maxBytes without splitting a UTF-8 character (the window
// passes UTF-8); bytes that are not UTF-8 are cut where the limit falls.
size_t Configuration_Utf8CutLength(std::string_view text, size_t maxBytes);

// Writes `text` and its terminating NUL into a slot, cut to the slot's capacity (99 bytes, never
// inside a UTF-8 character);
// the bytes behind the NUL keep what they held, as the file format stores them unchanged.
void Configuration_SetSlotText(ConfigurationRecord &record, int slot, std::string_view text);

// True when every slot holds its terminating NUL. The texts are used as NUL-terminated strings,
// so a record read from a file is refused without it.
bool Configuration_SlotsAreTerminated(const ConfigurationRecord &record);

// The record of the unnamed configuration "New" with every built-in default; all other bytes 0.
ConfigurationRecord Configuration_DefaultRecord();

// The cut of a value read back from a tree cell: texts longer than 90 bytes keep their first 90,
// or fewer where the 90th byte would split a UTF-8 character. Returns true when the text was cut (the caller then writes it back into the cell
// and makes the item active).
bool Configuration_CutTreeValue(std::string &text);
