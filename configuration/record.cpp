#include "configuration/record.h"

#include <algorithm>
#include <cstring>

#define QUELVOR_SLOT(field, item, def) SlotInfo{#field, static_cast<int>(offsetof(ConfigurationRecord, field)), item, def}

const std::array<SlotInfo, kSlotCount> kSlots = {{
    QUELVOR_SLOT(name, -1, "New"),
    QUELVOR_SLOT(structure, 1, "Combined IQ (1 File)"),
    QUELVOR_SLOT(endianness, 2, "Little"),
    QUELVOR_SLOT(headerSource, 5, "Header - End Pattern"),
    QUELVOR_SLOT(headerValue, 6, ""),
    QUELVOR_SLOT(trailerSource, 8, "Trailer - Begin Pattern"),
    QUELVOR_SLOT(trailerValue, 9, ""),
    QUELVOR_SLOT(commentSource, 11, "Header - Variable Position"),
    QUELVOR_SLOT(commentBegin, 12, ""),
    QUELVOR_SLOT(commentEnd, 13, ""),
    QUELVOR_SLOT(samplerateSource, 15, "Header - Variable Position"),
    QUELVOR_SLOT(samplerateType, 16, "Text Floating Point"),
    QUELVOR_SLOT(samplerateValue, 17, ""),
    QUELVOR_SLOT(samplerateUnit, 18, "MHz"),
    QUELVOR_SLOT(format, 20, "16 Bit Integer"),
    QUELVOR_SLOT(scaleFactor, 22, "1.0"),
    QUELVOR_SLOT(autoOptimization, 23, "Yes"),
    QUELVOR_SLOT(order, 25, "IQ"),
    QUELVOR_SLOT(iMarkers, 27, "0"),
    QUELVOR_SLOT(iDcOffset, 28, "0"),
    QUELVOR_SLOT(qMarkers, 30, "0"),
    QUELVOR_SLOT(qDcOffset, 31, "0"),
    QUELVOR_SLOT(maximumLength, 33, "1024 MegaSamples"),
    QUELVOR_SLOT(firstSample, 34, "1"),
    QUELVOR_SLOT(lastSampleType, 36, "Auto Max Length"),
    QUELVOR_SLOT(lastSampleValue, 37, ""),
    QUELVOR_SLOT(reserved, -1, ""),
    QUELVOR_SLOT(mirror, 40, "No"),
    QUELVOR_SLOT(shift, 41, "0.0"),
    QUELVOR_SLOT(filterType, 43, "Off"),
    QUELVOR_SLOT(cutoff, 44, ""),
    QUELVOR_SLOT(taps, 45, ""),
    QUELVOR_SLOT(outputSamplerate, 46, "Input Samplerate"),
}};

#undef QUELVOR_SLOT

char *Configuration_Slot(ConfigurationRecord &record, int slot)
{
    return Configuration_Bytes(record) + kSlots[slot].offset;
}

const char *Configuration_Slot(const ConfigurationRecord &record, int slot)
{
    return Configuration_Bytes(record) + kSlots[slot].offset;
}

int Configuration_SlotOfTreeItem(int item)
{
    for (int slot = 0; slot < kSlotCount; ++slot)
        if (kSlots[slot].treeItem == item && item >= 0) return slot;
    return -1;
}

int Configuration_SlotByKey(std::string_view key)
{
    for (int slot = 0; slot < kSlotCount; ++slot)
        if (kSlots[slot].key == key) return slot;
    return -1;
}

size_t Configuration_Utf8CutLength(std::string_view text, size_t maxBytes)
{
    if (text.size() <= maxBytes) return text.size();
    // A UTF-8 character has at most three continuation bytes (10xxxxxx) after its first byte;
    // a cut before one of them would split the character, so the cut moves before its start.
    size_t cut = maxBytes;
    for (int back = 0; back < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++back) --cut;
    if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) return maxBytes;  // not UTF-8: cut the bytes
    return cut;
}

void Configuration_SetSlotText(ConfigurationRecord &record, int slot, std::string_view text)
{
    const size_t length = Configuration_Utf8CutLength(text, kSlotBytes - 1);
    char *target = Configuration_Slot(record, slot);
    std::memcpy(target, text.data(), length);
    target[length] = '\0';
}

ConfigurationRecord Configuration_DefaultRecord()
{
    ConfigurationRecord record;
    std::memset(&record, 0, sizeof record);
    for (int slot = 0; slot < kSlotCount; ++slot) Configuration_SetSlotText(record, slot, kSlots[slot].defaultText);
    return record;
}

bool Configuration_SlotsAreTerminated(const ConfigurationRecord &record)
{
    for (int slot = 0; slot < kSlotCount; ++slot)
        if (std::memchr(Configuration_Slot(record, slot), '\0', kSlotBytes) == nullptr) return false;
    return true;
}

bool Configuration_CutTreeValue(std::string &text)
{
    if (text.size() <= static_cast<size_t>(kTreeValueMaxChars)) return false;
    text.resize(Configuration_Utf8CutLength(text, kTreeValueMaxChars));
    return true;
}
