#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "parser/formats.h"
#include "parser/metadataupdate.h"
#include "testsupport.h"

namespace {

constexpr Rgb kHeaderGreen{150, 200, 150};

void Set(char (&slot)[kSlotBytes], const char *text) { std::snprintf(slot, kSlotBytes, "%s", text); }

// The colour of byte `position` of a dump (its high-nibble cell).
Rgb ByteColor(const DumpTable &dump, int position) { return dump.color(position / 16 + 1, position % 16 * 3 + 1); }

class Metadata : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    Session session;
    int notifications = 0;

    Metadata()
    {
        session.onChange = [this](const SessionNotice &notice) {
            if (notice.view == SessionChange::Metadata) ++notifications;
        };
    }

    // Opens `bytes` as the combined input file and fills the previews and dumps.
    void Open(const std::string &bytes)
    {
        testsupport::WriteFile(dir.file("input.bin"), bytes);
        OpenPath(dir.file("input.bin"));
    }
    void OpenPath(const std::string &path)
    {
        Parser_CloseFiles(session.files);
        ASSERT_EQ(Parser_OpenFiles(session.files, path.c_str(), nullptr, 0), 1);
        Parser_UpdateMetadata(session);
    }

    DumpTable &header() { return session.views.metadata.header; }
    DumpTable &trailer() { return session.views.metadata.trailer; }
    CurrentValuesRow &row(int index) { return session.views.metadata.currentValues[index]; }
    const std::string &message(int item) { return session.tree.items[item].message; }

    void UserHeaderLength(const char *value)
    {
        Set(session.record.headerSource, "User");
        Set(session.record.headerValue, value);
        Parser_UpdateMetaLength(session, 0);
    }
    void Samplerate(const char *source, const char *type, const char *value, const char *unit)
    {
        Set(session.record.samplerateSource, source);
        Set(session.record.samplerateType, type);
        Set(session.record.samplerateValue, value);
        Set(session.record.samplerateUnit, unit);
        Parser_UpdateMetaSamplerate(session);
    }
    void Comment(const char *source, const char *begin, const char *end)
    {
        Set(session.record.commentSource, source);
        Set(session.record.commentBegin, begin);
        Set(session.record.commentEnd, end);
        Parser_UpdateMetaComment(session);
    }
};

TEST_F(Metadata, ShortFileShowsWholeRowsWithHexAndCharacterCells)
{
    std::string bytes(100, 'x');
    bytes[0] = '\0';
    bytes[1] = '\n';
    bytes[2] = static_cast<char>(0xAF);
    bytes[99] = 'Z';
    Open(bytes);

    EXPECT_EQ(session.metadata.metaPreviewLength, 96);
    EXPECT_EQ(header().rows, 6);
    EXPECT_EQ(trailer().rows, 6);
    EXPECT_EQ(header().label, "Job 1: First 96 Bytes");
    EXPECT_EQ(trailer().label, "Job 1: Last 96 Bytes");
    EXPECT_EQ(header().cell(1, 1), "0");
    EXPECT_EQ(header().cell(1, 2), "0");
    EXPECT_EQ(header().cell(1, 55), "");  // byte 0 has no character
    EXPECT_EQ(header().cell(1, 4), "0");
    EXPECT_EQ(header().cell(1, 5), "A");
    EXPECT_EQ(header().cell(1, 56), "\n");
    EXPECT_EQ(header().cell(1, 7), "A");
    EXPECT_EQ(header().cell(1, 8), "F");
    for (int spacer : {3, 48, 49, 54}) EXPECT_EQ(header().cell(1, spacer), "") << spacer;
    EXPECT_EQ(header().cell(1, 50), "");
    EXPECT_EQ(header().color(1, 50), kGrey);
    // The trailer preview holds the last 96 bytes: bytes 4 .. 99 of the file.
    EXPECT_EQ(session.metadata.trailerPreview[95], 'Z');
    EXPECT_EQ(session.metadata.trailerPreview[96], '\0');
    EXPECT_EQ(trailer().cell(6, 70), "Z");

    // Markers: byte 0 of the header, byte 95 of the trailer, with editable position rows.
    EXPECT_EQ(ByteColor(header(), 0), (Rgb{200, 200, 200}));
    EXPECT_EQ(ByteColor(header(), 1), kGrey);
    EXPECT_EQ(ByteColor(trailer(), 95), (Rgb{200, 200, 200}));
    EXPECT_EQ(trailer().activeColumn, 70);
    EXPECT_EQ(trailer().activeRow, 6);
    EXPECT_TRUE(row(kRowHeaderPosition).editable);
    EXPECT_EQ(row(kRowHeaderPosition).maximum, 95);
    EXPECT_EQ(row(kRowHeaderPosition).value, "0");
    EXPECT_EQ(row(kRowTrailerPosition).value, "95");
    EXPECT_EQ(row(kRowTrailerPosition).background, (Rgb{200, 200, 200}));
    EXPECT_EQ(row(kRowHeaderLength).value, "0");
    EXPECT_EQ(row(kRowHeaderLength).background, kGrey);
    EXPECT_GT(notifications, 0);
}

TEST_F(Metadata, HeaderEndPatternIncludesThePattern)
{
    std::string bytes(2000, 'a');
    bytes.replace(40, 5, "END\r\n");
    bytes.replace(300, 5, "END\r\n");
    Open(bytes);
    Set(session.record.headerValue, "END\\r\\n");
    Parser_UpdateMetaLength(session, 0);

    EXPECT_EQ(session.settings.headerLength, 45);
    EXPECT_EQ(message(kItemHeaderValue), "");
    EXPECT_EQ(ByteColor(header(), 0), (Rgb{200, 250, 200}));
    EXPECT_EQ(ByteColor(header(), 44), kHeaderGreen);
    EXPECT_EQ(ByteColor(header(), 45), kGrey);
    EXPECT_EQ(header().color(3, 49), kGrey);  // spacers keep the base colour
    EXPECT_EQ(row(kRowHeaderLength).value, "45");
    EXPECT_EQ(row(kRowHeaderLength).background, kHeaderGreen);

    // Recomputing removes the old region before adding the new one.
    Parser_UpdateMetaLength(session, 0);
    EXPECT_EQ(ByteColor(header(), 44), kHeaderGreen);
    Set(session.record.headerValue, "NOWHERE");
    Parser_UpdateMetaLength(session, 0);
    EXPECT_EQ(session.settings.headerLength, -1);
    EXPECT_EQ(message(kItemHeaderValue), "Pattern not found");
    EXPECT_EQ(ByteColor(header(), 44), kGrey);
    EXPECT_EQ(ByteColor(header(), 0), (Rgb{200, 200, 200}));
    EXPECT_EQ(row(kRowHeaderLength).background, kGrey);
}

TEST_F(Metadata, TrailerRunsFromTheLastBeginPatternToTheEnd)
{
    const int64_t size = 100000;
    const int64_t previewStart = size - kMetaPreviewBytes;
    std::string bytes(size, 't');
    bytes.replace(previewStart + 100, 3, "TRL");
    bytes.replace(previewStart + 16000, 3, "TRL");
    Open(bytes);
    Set(session.record.trailerValue, "TRL");
    Parser_UpdateMetaLength(session, 1);

    EXPECT_EQ(session.settings.trailerLength, 384);
    EXPECT_EQ(ByteColor(trailer(), 15999), kGrey);
    EXPECT_EQ(ByteColor(trailer(), 16000), kHeaderGreen);
    EXPECT_EQ(ByteColor(trailer(), 16383), (Rgb{200, 250, 200}));  // with the marker
    EXPECT_EQ(row(kRowTrailerLength).value, "384");
    EXPECT_EQ(row(kRowTrailerPosition).background, (Rgb{200, 250, 200}));
}

TEST_F(Metadata, UserLengthsAreBoundedByThePreview)
{
    testsupport::MakeSparseFile(dir.file("big.bin"), 1 << 20);
    OpenPath(dir.file("big.bin"));
    UserHeaderLength("20000");
    EXPECT_EQ(message(kItemHeaderValue), "Integer value between 0 and 16384 expected");
    EXPECT_EQ(session.settings.headerLength, -1);
    EXPECT_EQ(session.tree.items[kItemMetadata].faultCounter, 0);

    Open(std::string(100, 'x'));
    Set(session.record.trailerSource, "User");
    Set(session.record.trailerValue, "200");
    Parser_UpdateMetaLength(session, 1);
    EXPECT_EQ(message(kItemTrailerValue), "Integer value between 0 and 96 expected");
    EXPECT_EQ(session.settings.trailerLength, -1);
    Set(session.record.trailerValue, "96");
    Parser_UpdateMetaLength(session, 1);
    EXPECT_EQ(session.settings.trailerLength, 96);
    EXPECT_EQ(ByteColor(trailer(), 0), kHeaderGreen);
    EXPECT_EQ(message(kItemTrailerValue), "");
    EXPECT_EQ(session.tree.items[kItemMetadata].faultCounter, 0);  // the header value is still faulty
}

TEST_F(Metadata, MarkerMovesOverTheHeaderRegion)
{
    Open(std::string(1000, 'm'));
    UserHeaderLength("4");
    EXPECT_EQ(ByteColor(header(), 0), (Rgb{200, 250, 200}));
    for (int b = 1; b <= 3; ++b) EXPECT_EQ(ByteColor(header(), b), kHeaderGreen) << b;

    Parser_UpdateMetaMarker(session, kTableHeader, 0, 1);
    EXPECT_EQ(ByteColor(header(), 0), kHeaderGreen);
    EXPECT_EQ(ByteColor(header(), 1), (Rgb{200, 250, 200}));
    EXPECT_EQ(header().color(1, 55), kHeaderGreen);  // the character cell follows its byte
    EXPECT_EQ(row(kRowHeaderPosition).value, "1");
    EXPECT_EQ(row(kRowHeaderPosition).background, (Rgb{200, 250, 200}));

    Parser_UpdateMetaMarker(session, kTableHeader, 1, 17);
    EXPECT_EQ(header().activeRow, 2);
    EXPECT_EQ(header().activeColumn, 4);
    EXPECT_EQ(row(kRowHeaderPosition).background, (Rgb{200, 200, 200}));
    Parser_UpdateMetaMarker(session, kTableHeader, 17, 0);
    EXPECT_EQ(ByteColor(header(), 1), kHeaderGreen);
    EXPECT_EQ(ByteColor(header(), 17), kGrey);

    // Positions outside the preview are ignored.
    Parser_UpdateMetaMarker(session, kTableHeader, 0, 992);
    Parser_UpdateMetaMarker(session, kTableHeader, 0, -1);
    EXPECT_EQ(row(kRowHeaderPosition).value, "0");
    EXPECT_EQ(ByteColor(header(), 0), (Rgb{200, 250, 200}));
}

TEST_F(Metadata, FixedPositionCommentIsCutTo95Bytes)
{
    std::string bytes(1000, ' ');
    for (int i = 0; i < 1000; ++i) bytes[i] = static_cast<char>('A' + i % 26);
    Open(bytes);
    Comment("Header - Fix Position", "10", "209");

    EXPECT_EQ(session.settings.comment, bytes.substr(10, 95));
    EXPECT_EQ(ByteColor(header(), 10), (Rgb{150, 150, 200}));
    EXPECT_EQ(ByteColor(header(), 209), (Rgb{150, 150, 200}));
    EXPECT_EQ(ByteColor(header(), 210), kGrey);
    EXPECT_EQ(row(kRowComment).value, bytes.substr(10, 95));
    EXPECT_EQ(row(kRowComment).background, (Rgb{150, 150, 200}));

    Comment("Header - Fix Position", "10", "5");
    EXPECT_EQ(message(kItemCommentEnd), "Integer value between 10 and 991 expected");
    EXPECT_EQ(session.settings.comment, "");
    EXPECT_EQ(ByteColor(header(), 10), kGrey);
    EXPECT_EQ(row(kRowComment).value, "");
    EXPECT_EQ(row(kRowComment).background, kGrey);
}

TEST_F(Metadata, VariableCommentBetweenPrefixAndSuffix)
{
    std::string bytes(20000, '.');
    bytes.replace(20, 10, "<c>abc</c>");
    bytes.replace(9000, 3, "<d>");
    bytes.replace(12000, 4, "</d>");
    bytes.replace(20000 - 50, 11, "<t>tail</t>");
    Open(bytes);
    Comment("Header - Variable Position", "<c>", "</c>");
    EXPECT_EQ(session.settings.comment, "abc");
    EXPECT_EQ(session.metadata.commentItem.beginPos, 23);
    EXPECT_EQ(session.metadata.commentItem.endPos, 25);
    EXPECT_EQ(ByteColor(header(), 23), (Rgb{150, 150, 200}));

    // A suffix far behind the prefix is still found.
    Comment("Header - Variable Position", "<d>", "</d>");
    EXPECT_EQ(message(kItemCommentEnd), "");
    EXPECT_EQ(session.metadata.commentItem.endPos, 11999);
    EXPECT_EQ(ByteColor(header(), 23), kGrey);

    Comment("Trailer - Variable Position", "<t>", "</t>");
    EXPECT_EQ(session.settings.comment, "tail");
    EXPECT_EQ(session.metadata.commentItem.inHeader, 0);
    EXPECT_EQ(ByteColor(trailer(), kMetaPreviewBytes - 47), (Rgb{150, 150, 200}));
    EXPECT_EQ(ByteColor(header(), 9003), kGrey);
}

TEST_F(Metadata, EmptyAndUserComments)
{
    std::string bytes(500, '.');
    bytes.replace(0, 7, "<c></c>");
    Open(bytes);
    Comment("Header - Variable Position", "<c>", "</c>");
    EXPECT_EQ(session.settings.comment, "");
    EXPECT_EQ(message(kItemCommentEnd), "");
    EXPECT_EQ(ByteColor(header(), 3), kGrey);
    EXPECT_EQ(row(kRowComment).background, kGrey);

    Comment("Header - Variable Position", "", "</c>");
    EXPECT_EQ(message(kItemCommentBegin), "Pattern missing");

    Comment("User", "hello", "");
    EXPECT_EQ(session.settings.comment, "hello");
    EXPECT_EQ(message(kItemCommentBegin), "");
    EXPECT_EQ(message(kItemCommentEnd), "");
    EXPECT_EQ(row(kRowComment).value, "hello");
    EXPECT_EQ(row(kRowComment).background, kWhite);

    const std::string longText(90, 'L');
    Comment("User", longText.c_str(), "");
    EXPECT_EQ(session.settings.comment, longText);
    Comment("User", "", "");
    EXPECT_EQ(message(kItemCommentBegin), "Value missing");
    EXPECT_EQ(row(kRowComment).background, kGrey);
}

TEST_F(Metadata, TextSamplerateAfterAPrefix)
{
    std::string bytes(3000, '#');
    bytes.replace(100, 10, "rate=2500,");
    bytes.replace(200, 5, "END\r\n");
    Open(bytes);
    Samplerate("Header - Variable Position", "Text Floating Point", "rate=", "kHz");
    EXPECT_DOUBLE_EQ(session.settings.samplerate, 2.5);
    EXPECT_EQ(session.metadata.samplerateItem.beginPos, 105);
    EXPECT_EQ(session.metadata.samplerateItem.endPos, 108);
    EXPECT_EQ(session.metadata.samplerateItem.valid, 1);
    EXPECT_EQ(ByteColor(header(), 105), (Rgb{200, 150, 150}));
    EXPECT_EQ(ByteColor(header(), 109), kGrey);
    EXPECT_EQ(row(kRowSamplerate).value, "2.500000");
    EXPECT_EQ(row(kRowSamplerate).background, (Rgb{200, 150, 150}));

    // Inside the header, red and green add up.
    Set(session.record.headerValue, "END\\r\\n");
    Parser_UpdateMetaLength(session, 0);
    EXPECT_EQ(ByteColor(header(), 106), (Rgb{200, 200, 150}));
    EXPECT_EQ(row(kRowSamplerate).background, (Rgb{200, 200, 150}));

    // The marker on the rate's first byte does not brighten the row.
    Parser_UpdateMetaMarker(session, kTableHeader, 0, 105);
    EXPECT_EQ(ByteColor(header(), 105), (Rgb{250, 250, 200}));
    Parser_UpdateMetaSamplerate(session);
    EXPECT_EQ(row(kRowSamplerate).background, (Rgb{200, 200, 150}));
}

// A session nobody looks at builds no dump cells but finds the same lengths, comment and rate,
// and its marker and colour steps touch nothing.
TEST_F(Metadata, UnshownDumpsFindTheSameValues)
{
    session.views.shown = false;
    std::string bytes(3000, '#');
    bytes.replace(20, 10, "<c>abc</c>");
    bytes.replace(100, 10, "rate=2500,");
    bytes.replace(200, 5, "END\r\n");
    Open(bytes);
    EXPECT_EQ(header().rows, 0);
    EXPECT_TRUE(header().cells.empty());
    EXPECT_TRUE(trailer().colors.empty());

    Samplerate("Header - Variable Position", "Text Floating Point", "rate=", "kHz");
    Comment("Header - Variable Position", "<c>", "</c>");
    Set(session.record.headerValue, "END\\r\\n");
    Parser_UpdateMetaLength(session, 0);
    Parser_UpdateMetaMarker(session, kTableHeader, 0, 105);
    EXPECT_DOUBLE_EQ(session.settings.samplerate, 2.5);
    EXPECT_EQ(session.settings.comment, "abc");
    EXPECT_EQ(session.settings.headerLength, 205);
    EXPECT_EQ(row(kRowSamplerate).value, "2.500000");
    EXPECT_EQ(row(kRowHeaderLength).value, "205");
    EXPECT_TRUE(header().colors.empty());
}

TEST_F(Metadata, SamplerateNotANumberOrOutOfRange)
{
    std::string bytes(3000, '#');
    bytes.replace(100, 10, "rate=x2500");
    bytes.replace(200, 9, "slow=0.5;");
    Open(bytes);
    Samplerate("Header - Variable Position", "Text Floating Point", "rate=", "kHz");
    EXPECT_EQ(message(kItemSamplerateValue), "No numerical value found at position 105");
    EXPECT_EQ(session.settings.samplerate, -1.0);
    EXPECT_EQ(ByteColor(header(), 105), kGrey);

    Samplerate("Header - Variable Position", "Text Floating Point", "slow=", "kHz");
    EXPECT_EQ(message(kItemSamplerateValue), "Found samplerate exceeds valid intervall from 1kHz to 100MHz");
    EXPECT_EQ(session.metadata.samplerateItem.valid, 0);
    EXPECT_EQ(session.settings.samplerate, -1.0);
    EXPECT_EQ(ByteColor(header(), 205), (Rgb{200, 150, 150}));  // found, though rejected
    EXPECT_EQ(row(kRowSamplerate).background, kGrey);

    Samplerate("Header - Variable Position", "Text Floating Point", "", "kHz");
    EXPECT_EQ(message(kItemSamplerateValue), "Pattern missing");
    Samplerate("Header - Variable Position", "Text Floating Point", "slow=", "MHz");
    EXPECT_EQ(message(kItemSamplerateValue), "");
    EXPECT_DOUBLE_EQ(session.settings.samplerate, 0.5);
    Samplerate("Header - Fix Position", "Text Floating Point", "3000", "MHz");
    EXPECT_EQ(message(kItemSamplerateValue), "Integer value between 0 and 2991 expected");
}

TEST_F(Metadata, UserSamplerateInItsUnit)
{
    Open(std::string(64, 'u'));
    Samplerate("User", "", "150", "MHz");
    EXPECT_EQ(message(kItemSamplerateValue), "Numerical value between 0.001000 and 100.000000 expected");
    EXPECT_EQ(session.settings.samplerate, -1.0);
    EXPECT_EQ(row(kRowSamplerate).background, kGrey);

    Samplerate("User", "", "0.5", "kHz");
    EXPECT_EQ(message(kItemSamplerateValue), "Numerical value between 1.000000 and 100000.000000 expected");

    Samplerate("User", "", "2500", "kHz");
    EXPECT_DOUBLE_EQ(session.settings.samplerate, 2.5);
    EXPECT_EQ(row(kRowSamplerate).value, "2.500000");
    EXPECT_EQ(row(kRowSamplerate).background, kWhite);
}

TEST_F(Metadata, BinarySamplerateInTheConfiguredByteOrder)
{
    std::string bytes(256, '\0');
    const unsigned char bigEndian[] = {0x00, 0x00, 0x09, 0xC4};  // 2500
    std::memcpy(&bytes[8], bigEndian, 4);
    bytes[252] = bytes[253] = bytes[254] = bytes[255] = '\x01';
    Open(bytes);
    Set(session.record.endianness, "Big");
    Samplerate("Header - Fix Position", "32 Bit Integer", "8", "kHz");
    EXPECT_DOUBLE_EQ(session.settings.samplerate, 2.5);
    EXPECT_EQ(session.metadata.samplerateItem.endPos, 11);

    Set(session.record.endianness, "Little");
    Parser_UpdateMetaSamplerate(session);
    EXPECT_EQ(message(kItemSamplerateValue), "Found samplerate exceeds valid intervall from 1kHz to 100MHz");

    // A value whose bytes would reach past the preview is not read.
    Samplerate("Trailer - Fix Position", "32 Bit Integer", "253", "Hz");
    EXPECT_EQ(message(kItemSamplerateValue), "No numerical value found at position 253");
    EXPECT_EQ(session.metadata.samplerateItem.endPos, -1);
    Samplerate("Trailer - Fix Position", "8 Bit Unsigned Integer", "255", "MHz");
    EXPECT_DOUBLE_EQ(session.settings.samplerate, 1.0);
    EXPECT_EQ(ByteColor(trailer(), 255), (Rgb{250, 200, 200}));  // on the trailer marker
    EXPECT_EQ(row(kRowSamplerate).background, (Rgb{200, 150, 150}));
}

TEST_F(Metadata, ClearingEmptiesThePageAndTheMessages)
{
    Open(std::string(16, 'c'));  // a single row
    UserHeaderLength("99");
    Comment("Header - Fix Position", "0", "3");
    ASSERT_EQ(message(kItemHeaderValue), "Integer value between 0 and 16 expected");
    ASSERT_EQ(session.settings.comment, "cccc");

    Parser_ClearMetadata(session);
    for (DumpTable *dump : {&header(), &trailer()}) {
        EXPECT_EQ(dump->rows, 1);
        EXPECT_EQ(dump->color(1, 1), kWhite);
        EXPECT_EQ(dump->row1TextColor, kWhite);
        EXPECT_EQ(dump->cell(1, 1), "");
    }
    EXPECT_EQ(header().label, "Header Preview");
    EXPECT_EQ(trailer().label, "Trailer Preview");
    EXPECT_EQ(message(kItemHeaderValue), "");
    EXPECT_EQ(session.tree.items[kItemMetadata].faultCounter, -1);
    EXPECT_EQ(session.metadata.metaPreviewLength, 0);
    EXPECT_EQ(session.metadata.commentItem.beginPos, -1);
    EXPECT_EQ(session.settings.headerLength, -1);
    EXPECT_FALSE(row(kRowHeaderPosition).editable);
    EXPECT_EQ(row(kRowTrailerPosition).value, "0");
    EXPECT_EQ(row(kRowTrailerPosition).background, kGrey);
    EXPECT_EQ(row(kRowSamplerate).label, "Samplerate [MHz]");
}

TEST_F(Metadata, WithoutUsableInputNothingIsFound)
{
    // Fewer than 16 bytes: nothing to show, and no search reads anything.
    Open("END\r\nrate=5");
    EXPECT_EQ(session.metadata.metaPreviewLength, 0);
    EXPECT_EQ(header().label, "Header Preview");
    Set(session.record.headerValue, "END");
    Parser_UpdateMetaLength(session, 0);
    EXPECT_EQ(message(kItemHeaderValue), "Pattern not found");
    Samplerate("Header - Variable Position", "Text Floating Point", "rate=", "MHz");
    EXPECT_EQ(session.settings.samplerate, -1.0);

    // No input at all: every value unknown and no message.
    Parser_CloseFiles(session.files);
    Parser_ClearMetadata(session);
    Parser_UpdateMetaLength(session, 0);
    Parser_UpdateMetaComment(session);
    Parser_UpdateMetaSamplerate(session);
    EXPECT_EQ(session.settings.headerLength, -1);
    EXPECT_EQ(message(kItemHeaderValue), "");
    EXPECT_EQ(message(kItemSamplerateValue), "");
}

}  // namespace

TEST_F(Metadata, ClickedCellsMoveTheMarkerToTheirByte)
{
    Open(std::string(1000, 'm'));
    UserHeaderLength("4");
    const std::vector<Rgb> before(header().colors);

    EXPECT_EQ(onMetaTable(session, kTableHeader, 3, 50), 1);  // a spacer column of row 3: byte 15
    EXPECT_EQ(header().marker, 47);
    EXPECT_EQ(row(kRowHeaderPosition).value, "47");
    EXPECT_EQ(onMetaTable(session, kTableHeader, 1, 60), 1);  // a character cell
    EXPECT_EQ(header().marker, 5);
    EXPECT_EQ(onMetaTable(session, kTableHeader, 1, 6), 1);   // the spacer after byte 1's digits
    EXPECT_EQ(header().marker, 1);
    EXPECT_EQ(onMetaTable(session, kTableHeader, 1, 70), 1);  // the last character cell
    EXPECT_EQ(header().marker, 15);
    EXPECT_EQ(onMetaTable(session, kTableHeader, 1, 70), 0);  // the marker's own byte
    EXPECT_EQ(onMetaTable(session, kTableHeader, 1, 71), 0);  // no such column
    EXPECT_EQ(header().marker, 15);

    // The trailer dump has a marker of its own, on its last byte at first.
    EXPECT_EQ(onMetaTable(session, kTableTrailer, 1, 1), 1);
    EXPECT_EQ(trailer().marker, 0);
    EXPECT_EQ(row(kRowTrailerPosition).value, "0");
    EXPECT_EQ(header().marker, 15);

    // Back on byte 0: every colour is as it was, the found header region included.
    EXPECT_EQ(onMetaTable(session, kTableHeader, 1, 1), 1);
    EXPECT_EQ(header().colors, before);
}

TEST_F(Metadata, TypedPositionsMoveTheMarkerWithinTheDumpShown)
{
    Open(std::string(1000, 'm'));
    UserHeaderLength("4");
    EXPECT_EQ(onMetaCurrentValues(session, kRowHeaderPosition, "17"), 1);
    EXPECT_EQ(header().marker, 17);
    EXPECT_EQ(header().activeRow, 2);
    EXPECT_EQ(header().activeColumn, 4);
    EXPECT_EQ(row(kRowHeaderPosition).background, ByteColor(header(), 17));

    // 1000 bytes show as 62 whole rows: positions 0 .. 991.
    EXPECT_EQ(onMetaCurrentValues(session, kRowTrailerPosition, "991"), 1);
    EXPECT_EQ(trailer().marker, 991);

    // Outside the dump, not a whole number, or a row the program writes: refused, and the
    // position row shows the marker again.
    for (const char *text : {"992", "-1", "", "12a", " 3", "1e2", "99999999999"}) {
        EXPECT_EQ(onMetaCurrentValues(session, kRowHeaderPosition, text), 0) << text;
        EXPECT_EQ(row(kRowHeaderPosition).value, "17") << text;
    }
    const std::string length = row(kRowHeaderLength).value;
    EXPECT_EQ(onMetaCurrentValues(session, kRowHeaderLength, "5"), 0);
    EXPECT_EQ(row(kRowHeaderLength).value, length);
    EXPECT_EQ(header().marker, 17);
}

TEST_F(Metadata, WithoutAFileTheMarkersTakeNoInput)
{
    EXPECT_EQ(onMetaTable(session, kTableHeader, 1, 1), 0);
    EXPECT_EQ(onMetaCurrentValues(session, kRowHeaderPosition, "0"), 0);
    EXPECT_EQ(row(kRowHeaderPosition).value, "0");
}
