// The metadata update steps (header and trailer length, comment, sample rate) on the previews of
// an arbitrary file, driven by a sequence of arbitrary edits of the metadata items (list items
// get one of their values or any text, value items any text).
// Oracles after every edit: lengths lie within the preview, a located comment is the preview's
// bytes at its position, a valid sample rate lies within 1 kHz .. 100 MHz. After the sequence:
// the incrementally kept dump colours and the derived values equal those of a fresh session
// that loads the final configuration at once.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

#include "app/treerules.h"
#include "fuzzsupport.h"
#include "parser/analysis.h"
#include "parser/metadataupdate.h"
#include "session/session.h"

namespace {

constexpr int kMetadataItems[] = {kItemEndianness,      kItemHeaderSource,     kItemHeaderValue,
                                  kItemTrailerSource,   kItemTrailerValue,     kItemCommentSource,
                                  kItemCommentBegin,    kItemCommentEnd,       kItemSamplerateSource,
                                  kItemSamplerateType,  kItemSamplerateValue,  kItemSamplerateUnit};
constexpr int kMaxEdits = 12;
constexpr size_t kMaxFileBytes = 40000;  // beyond two previews, so header and trailer differ

std::string EditText(FuzzedDataProvider &provider, const TreeItem &item)
{
    if (item.isList && !item.listValues.empty() && provider.ConsumeBool())
        return item.listValues[provider.ConsumeIntegralInRange<size_t>(0, item.listValues.size() - 1)];
    return provider.ConsumeRandomLengthString(120);
}

void CheckState(const Session &session)
{
    const MetadataState &meta = session.metadata;
    const int previewLength = meta.metaPreviewLength;
    const ConversionSettings &s = session.settings;
    FUZZ_CHECK(s.headerLength >= -1 && s.headerLength <= previewLength, std::to_string(s.headerLength));
    FUZZ_CHECK(s.trailerLength >= -1 && s.trailerLength <= previewLength, std::to_string(s.trailerLength));
    FUZZ_CHECK(s.comment.size() <= static_cast<size_t>(kCommentMaxChars), "comment too long");
    const MetadataItem &comment = meta.commentItem;
    if (comment.beginPos >= 0 && comment.endPos >= 0 && comment.text[0] != '\0') {
        const char *preview = comment.inHeader ? meta.headerPreview.data() : meta.trailerPreview.data();
        FUZZ_CHECK(comment.beginPos < previewLength, "comment outside the preview");
        FUZZ_CHECK(std::strncmp(preview + comment.beginPos, comment.text, std::strlen(comment.text)) == 0,
                   "comment is not the preview's bytes");
    }
    if (meta.samplerateItem.valid)
        FUZZ_CHECK(s.samplerate >= 0.001 && s.samplerate <= 100.0, std::to_string(s.samplerate));
    else
        FUZZ_CHECK(s.samplerate == -1.0, "an invalid rate reaches the settings");
}

bool SameColors(const DumpTable &a, const DumpTable &b)
{
    if (a.colors.size() != b.colors.size()) return false;
    for (size_t k = 0; k < a.colors.size(); ++k)
        if (a.colors[k].red != b.colors[k].red || a.colors[k].green != b.colors[k].green ||
            a.colors[k].blue != b.colors[k].blue)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const int editCount = provider.ConsumeIntegralInRange(0, kMaxEdits);
    std::string file = provider.ConsumeRandomLengthString(kMaxFileBytes);
    // A small seed of text can stand for a large file: repeat it.
    const int repeat = provider.ConsumeIntegralInRange(1, 8);
    std::string content;
    for (int k = 0; k < repeat; ++k) content += file;
    const std::string path = fuzzsupport::ScratchFile("input.bin");
    fuzzsupport::WriteBytes(path, content);

    Session session;
    fuzzsupport::StartWithDefaults(session);
    Parser_Job1Changed(session, path.c_str(), nullptr);
    CheckState(session);
    for (int edit = 0; edit < editCount && provider.remaining_bytes() > 0; ++edit) {
        const int item = kMetadataItems[provider.ConsumeIntegralInRange<size_t>(0, std::size(kMetadataItems) - 1)];
        const std::string text = EditText(provider, session.tree.items[item]);
        // Edits of items the configuration does not use are refused; either way the state holds.
        static_cast<void>(onConfigurationTree(session, item, text));
        CheckState(session);
    }

    Session fresh;
    fuzzsupport::StartWithDefaults(fresh);
    fuzzsupport::ApplyRecord(fresh, Configuration_Bytes(session.record));
    Parser_Job1Changed(fresh, path.c_str(), nullptr);
    FUZZ_CHECK(fresh.settings.headerLength == session.settings.headerLength, "header length differs from a fresh load");
    FUZZ_CHECK(fresh.settings.trailerLength == session.settings.trailerLength, "trailer length differs");
    FUZZ_CHECK(fresh.settings.comment == session.settings.comment, "comment differs");
    FUZZ_CHECK(fresh.settings.samplerate == session.settings.samplerate ||
                   (fresh.settings.samplerate != fresh.settings.samplerate &&
                    session.settings.samplerate != session.settings.samplerate),
               "sample rate differs");
    FUZZ_CHECK(SameColors(fresh.views.metadata.header, session.views.metadata.header), "header dump colours differ");
    FUZZ_CHECK(SameColors(fresh.views.metadata.trailer, session.views.metadata.trailer), "trailer dump colours differ");
    return 0;
}
