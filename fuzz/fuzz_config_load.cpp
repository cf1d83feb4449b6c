// Loads arbitrary bytes as a configuration file "<name>.pnx" and applies what loads as the
// program does after a load (into the tree, then a full check).
// Oracle: a configuration that loads saves back to the same bytes apart from the seed: the
// saved file, its check block recomputed with the loaded file's seed, equals the loaded
// file's frame, and it loads again to the same record; its texts end inside their slots.
// The first input byte chooses the mode: odd bytes seal the rest (a record, with the right
// check block added) so that arbitrary records get past the check and reach the tree.

#include <cstring>
#include <string>

#include "configuration/configfiles.h"
#include "fuzzsupport.h"
#include "session/session.h"

namespace {

int StoredSeed(const std::string &file, const char *record)
{
    // The stored block follows the record directly; the record is found by content.
    const size_t at = file.find(std::string(record, kRecordBytes));
    FUZZ_CHECK(at != std::string::npos && at + kRecordBytes + kCheckBlockBytes <= file.size(), "record not in file");
    const char *block = file.data() + at + kRecordBytes;
    return (block[0] - '0') * 10 + (block[1] - '0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    const std::string file = fuzzsupport::FileFromInput(data, size, kRecordBytes);
    const std::string loadedDirectory = fuzzsupport::ScratchFile("");
    fuzzsupport::WriteBytes(fuzzsupport::ScratchFile("input.pnx"), file);

    StatusLog log;
    const std::optional<ConfigurationRecord> loaded = Configuration_Load(loadedDirectory, "input", log);
    FUZZ_CHECK(log.rows.size() == 1, "one log line per load");
    if (!loaded) return 0;

    // Save it back and compare.
    const char *record = Configuration_Bytes(*loaded);
    FUZZ_CHECK(Configuration_WriteFramedFile(loadedDirectory, "saved.pnx", record, kRecordBytes) == FileOutcome::Done,
               "save failed");
    const std::string saved = fuzzsupport::ReadBytes(fuzzsupport::ScratchFile("saved.pnx"));
    const int seed = StoredSeed(file, record);
    const std::string expected = fuzzsupport::FramedFile(record, kRecordBytes, seed);
    fuzzsupport::CheckSavedFile(file, saved, expected);
    const std::optional<ConfigurationRecord> again = Configuration_Load(loadedDirectory, "saved", log);
    FUZZ_CHECK(again && std::memcmp(Configuration_Bytes(*again), record, kRecordBytes) == 0, "reload differs");

    // Apply it as the program does after a load: every tree value comes from inside its slot.
    FUZZ_CHECK(Configuration_SlotsAreTerminated(*loaded), "a loaded slot has no terminator");
    Session session;
    fuzzsupport::StartWithDefaults(session);
    fuzzsupport::ApplyRecord(session, record);
    for (const SlotInfo &slot : kSlots)
        if (slot.treeItem >= 0)
            FUZZ_CHECK(session.tree.items[slot.treeItem].value.size() < static_cast<size_t>(kSlotBytes),
                       std::string(slot.key));
    return 0;
}
