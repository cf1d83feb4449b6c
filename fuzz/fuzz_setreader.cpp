// Parser_GetSetsFromFile on arbitrary file contents with an arbitrary configuration record:
// every slot gets a text (one of its list values or any text), then a full check and the
// analysis of the file(s); when the configuration passes, the interval is read in blocks of an
// arbitrary size, as the runner reads it.
// Oracles: no block exceeds its request, positions only move forward and never pass the end of
// the data, and the sets read never exceed what the file holds (binary: the whole sets between
// header and trailer after the first set; text: one set needs at least one byte).

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/treeexchange.h"
#include "app/treerules.h"
#include "fuzzsupport.h"
#include "parser/analysis.h"
#include "parser/formats.h"
#include "parser/setreader.h"
#include "session/session.h"

namespace {

constexpr size_t kMaxFileBytes = 1 << 16;
constexpr int kMaxBlockSets = 5000;
constexpr int kMaxBlocks = 1 << 16;

std::string SlotText(FuzzedDataProvider &provider, const TreeItem *item)
{
    if (item && item->isList && !item->listValues.empty() && provider.ConsumeBool())
        return item->listValues[provider.ConsumeIntegralInRange<size_t>(0, item->listValues.size() - 1)];
    return provider.ConsumeRandomLengthString(kSlotBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    Session session;
    fuzzsupport::StartWithDefaults(session);
    ConfigurationRecord record = session.record;
    const ConfigurationTree lists = Gui_NewConfigurationTree();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const int item = kSlots[slot].treeItem;
        Configuration_SetSlotText(record, slot, SlotText(provider, item >= 0 ? &lists.items[item] : nullptr));
    }
    const int blockSets = provider.ConsumeIntegralInRange(1, kMaxBlockSets);
    const std::string fileI = provider.ConsumeRandomLengthString(kMaxFileBytes);
    const std::string fileQ = provider.ConsumeRemainingBytesAsString();
    const std::string pathI = fuzzsupport::ScratchFile("i.bin");
    const std::string pathQ = fuzzsupport::ScratchFile("q.bin");
    fuzzsupport::WriteBytes(pathI, fileI);
    fuzzsupport::WriteBytes(pathQ, fileQ);

    fuzzsupport::ApplyRecord(session, Configuration_Bytes(record));
    Parser_Job1Changed(session, pathI.c_str(), pathQ.c_str());
    if (Gui_BranchIsFaulty(session.tree, kItemMetadata) || Gui_BranchIsFaulty(session.tree, kItemIQ)) return 0;
    const InputFiles &files = session.files;
    const ConversionSettings &s = session.settings;
    if (!files.inputHandleI.valid() || (s.separateFiles && !files.inputHandleQ.valid())) return 0;

    const int64_t header = Settings_KnownLength(s.headerLength);
    const int64_t dataBytes = files.inputSize - header - Settings_KnownLength(s.trailerLength);
    const bool text = Parser_IsTextFormat(s.sampleFormat);
    const int64_t total = s.lastSet - s.firstSet + 1;
    FUZZ_CHECK(total >= 0 || dataBytes <= 0, "negative interval");
    int64_t limit = text ? std::max<int64_t>(dataBytes, 0)
                         : std::max<int64_t>(0, dataBytes / s.bytesPerSet - (s.firstSet - 1));

    int64_t posI = header + (text ? 0 : int64_t{s.bytesPerSet} * (s.firstSet - 1));
    int64_t posQ = posI;
    std::vector<double> iValues(blockSets), qValues(blockSets);
    SetReaderScratch scratch;
    int64_t read = 0;
    for (int block = 0; block < kMaxBlocks && read < total; ++block) {
        const int64_t lastI = posI, lastQ = posQ;
        const int count = Parser_GetSetsFromFile(files, s, scratch, &posI, &posQ, blockSets, iValues.data(),
                                                 qValues.data());
        if (count <= 0) break;
        FUZZ_CHECK(count <= blockSets, "a block larger than requested");
        FUZZ_CHECK(posI > lastI || posQ > lastQ, "sets delivered without moving on");
        FUZZ_CHECK(posI >= lastI && posQ >= lastQ, "a position moved back");
        FUZZ_CHECK(posI <= header + dataBytes && posQ <= header + dataBytes, "read beyond the data");
        read += count;
        FUZZ_CHECK(read <= limit, "more sets than the file holds: " + std::to_string(read) + " > " +
                                      std::to_string(limit));
    }
    return 0;
}
