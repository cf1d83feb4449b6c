#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "parser/formats.h"
#include "parser/setreader.h"
#include "testsupport.h"

using testsupport::TempDir;

namespace {

enum class Order { IQ, QI, IOnlyQEqualsI, IOnlyQZero };

struct Layout {
    int format = kInt16;
    bool separate = false;
    Order order = Order::IQ;
    int iMarkers = 0;
    int qMarkers = 0;
    int swapBytes = 0;
    double scale = 1.0;
    int iOffset = 0;
    int qOffset = 0;
    int trailerLength = -1;
};

// The settings the IQ structure step derives from a layout.
ConversionSettings SettingsFor(const Layout &layout)
{
    ConversionSettings s;
    const bool only = layout.order == Order::IOnlyQEqualsI || layout.order == Order::IOnlyQZero;
    s.sampleFormat = layout.format;
    s.separateFiles = layout.separate ? 1 : 0;
    s.swapBytes = layout.swapBytes;
    s.swapIQ = layout.order == Order::QI ? 1 : 0;
    s.textIMarkers = layout.iMarkers;
    s.textQMarkers = layout.qMarkers;
    s.textIOnly = only ? 1 : 0;
    s.textQEqualsI = layout.order == Order::IOnlyQEqualsI ? 1 : 0;
    if (layout.separate) {
        s.valuesPerSet = 1;
        s.iValueIndex = s.qValueIndex = 0;
    } else if (only) {
        s.valuesPerSet = layout.iMarkers + 1;
        s.iValueIndex = layout.iMarkers;
        s.qValueIndex = layout.order == Order::IOnlyQEqualsI ? layout.iMarkers : -1;
    } else {
        s.valuesPerSet = layout.iMarkers + layout.qMarkers + 2;
        s.iValueIndex = layout.iMarkers;
        s.qValueIndex = layout.iMarkers + layout.qMarkers + 1;
    }
    s.bytesPerSet = s.valuesPerSet * std::max(kFormats[layout.format].bytesPerValue, 1);
    s.scale = layout.scale;
    s.iOffset = layout.iOffset;
    s.qOffset = only ? layout.iOffset : layout.qOffset;
    s.trailerLength = layout.trailerLength;
    return s;
}

using Sets = std::vector<std::pair<double, double>>;

struct Reader {
    InputFiles files;
    ConversionSettings settings;
    SetReaderScratch scratch;
    int64_t posI = 0;
    int64_t posQ = 0;

    Reader(const std::string &pathI, const std::string &pathQ, const Layout &layout, int64_t start = 0)
        : settings(SettingsFor(layout)), posI(start), posQ(start)
    {
        EXPECT_EQ(Parser_OpenFiles(files, pathI.c_str(), pathQ.c_str(), layout.separate ? 1 : 0), 1);
    }

    Sets Read(int maxSets)
    {
        std::vector<double> i(static_cast<size_t>(maxSets) + 1, -7.0), q(static_cast<size_t>(maxSets) + 1, -7.0);
        const int count = Parser_GetSetsFromFile(files, settings, scratch, &posI, &posQ, maxSets, i.data(), q.data());
        EXPECT_EQ(i[static_cast<size_t>(maxSets)], -7.0) << "written beyond maxSets";
        EXPECT_EQ(q[static_cast<size_t>(maxSets)], -7.0) << "written beyond maxSets";
        Sets sets;
        for (int s = 0; s < count; ++s) sets.emplace_back(i[static_cast<size_t>(s)], q[static_cast<size_t>(s)]);
        return sets;
    }

    Sets ReadAll(int blockSets)
    {
        Sets all;
        for (Sets block = Read(blockSets); !block.empty(); block = Read(blockSets)) {
            all.insert(all.end(), block.begin(), block.end());
        }
        return all;
    }
};

Sets ReadText(const std::string &text, const Layout &layout, int maxSets = 100)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("iq.txt"), text);
    Reader reader(dir.file("iq.txt"), "", layout);
    return reader.Read(maxSets);
}

Layout TextLayout(int format = kTextInteger, Order order = Order::IQ)
{
    Layout layout;
    layout.format = format;
    layout.order = order;
    return layout;
}

template <typename T>
std::string BytesOf(const std::vector<T> &values)
{
    return std::string(reinterpret_cast<const char *>(values.data()), values.size() * sizeof(T));
}

}  // namespace

TEST(TextSets, PatternsOrdersAndOffsets)
{
    EXPECT_EQ(ReadText("1 2 3 4 5", TextLayout()), (Sets{{1, 2}, {3, 4}}));

    Layout markers = TextLayout();
    markers.iMarkers = 1;
    markers.qMarkers = 2;
    EXPECT_EQ(ReadText("9 1 8 8 2 9 3 8 8 4", markers), (Sets{{1, 2}, {3, 4}}));

    EXPECT_EQ(ReadText("5 6", TextLayout(kTextInteger, Order::IOnlyQEqualsI)), (Sets{{5, 5}, {6, 6}}));
    Layout qZero = TextLayout(kTextInteger, Order::IOnlyQZero);
    qZero.iOffset = 3;
    EXPECT_EQ(ReadText("5 6", qZero), (Sets{{8, 3}, {9, 3}}));

    Layout scaled = TextLayout(kTextFloatingPoint, Order::QI);
    scaled.scale = 2.0;
    scaled.iOffset = 1;
    scaled.qOffset = -1;
    EXPECT_EQ(ReadText("0.5;1.25\n-3e1,4", scaled), (Sets{{3.5, 0.0}, {9.0, -61.0}}));
    EXPECT_EQ(ReadText("ff,-1A,0x10", TextLayout(kTextHexadecimal)), (Sets{{255, -26}}));
}

TEST(TextSets, TextWithoutValuesAndAwkwardEnds)
{
    EXPECT_TRUE(ReadText(std::string(5000, ','), TextLayout()).empty());
    EXPECT_TRUE(ReadText(std::string(5000, ' ') + "\n\t\r", TextLayout()).empty());
    // A NUL byte ends the text; the values behind it are not read.
    EXPECT_EQ(ReadText(std::string("1 2 3 4\0 5 6", 12), TextLayout()), (Sets{{1, 2}, {3, 4}}));
    // The last number at the very end of the file, with nothing after it.
    EXPECT_EQ(ReadText("1 2\n3 4", TextLayout()), (Sets{{1, 2}, {3, 4}}));
    // A number longer than 100 characters is one value.
    const std::string longNumber = std::string(1, '1').append(150, '0');
    const Sets longSets = ReadText(longNumber + " 2", TextLayout(kTextFloatingPoint));
    ASSERT_EQ(longSets.size(), 1u);
    EXPECT_EQ(longSets[0].first, 1e150);
    // Junk that hides the next value for more than 50 characters ends the reading.
    EXPECT_EQ(ReadText("1 2 " + std::string(60, 'x') + " 3 4", TextLayout()), (Sets{{1, 2}}));
}

TEST(TextSets, TrailerIsNeverReadAndCallsContinueWhereTheyStopped)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("iq.txt"), "HDR 1 2 3 4 5 6 7 8 TRAILER 99 98");
    Layout layout = TextLayout();
    layout.trailerLength = 14;  // " TRAILER 99 98"
    Reader reader(dir.file("iq.txt"), "", layout, 3);
    EXPECT_EQ(reader.Read(3), (Sets{{1, 2}, {3, 4}, {5, 6}}));
    EXPECT_EQ(reader.posI, 15);
    EXPECT_EQ(reader.Read(3), (Sets{{7, 8}}));
    EXPECT_TRUE(reader.Read(3).empty());
}

TEST(TextSets, SeparateFilesDeliverTheSetsBothHold)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("i.txt"), "1 2 3 4 5");
    testsupport::WriteFile(dir.file("q.txt"), "7;8;9\n\n\n\n;;");  // both end at the shorter size, 9
    Layout layout = TextLayout();
    layout.separate = true;
    Reader reader(dir.file("i.txt"), dir.file("q.txt"), layout);
    EXPECT_EQ(reader.Read(10), (Sets{{1, 7}, {2, 8}, {3, 9}}));

    Layout markers = layout;
    markers.iMarkers = 1;
    markers.qMarkers = 0;
    Reader second(dir.file("i.txt"), dir.file("q.txt"), markers);
    EXPECT_EQ(second.Read(10), (Sets{{2, 7}, {4, 8}}));

    // Each text file is read to its own end: a Q file whose values are written shorter
    // (smaller in bytes) must not cut the I file's last values.
    testsupport::WriteFile(dir.file("wide.txt"), "-0.25\n-0.50\n-0.75\n");
    testsupport::WriteFile(dir.file("narrow.txt"), "1\n2\n3\n");
    Layout floats = layout;
    floats.format = kTextFloatingPoint;
    Reader widths(dir.file("wide.txt"), dir.file("narrow.txt"), floats);
    EXPECT_EQ(widths.Read(10), (Sets{{-0.25, 1}, {-0.5, 2}, {-0.75, 3}}));
}

// Values of varying width run across the 1,000,000-byte chunk boundaries; each must be read
// exactly once, whether the file is read in one call or in many small ones.
TEST(TextSets, LargeTextAcrossChunkBoundaries)
{
    std::mt19937 random(7);
    std::string text;
    std::vector<double> values;
    bool longSpace = false;
    while (text.size() < 2500000) {
        const int value = static_cast<int>(random() % 2000001) - 1000000;
        text += std::to_string(value);
        text += random() % 5 == 0 ? "\r\n" : " ";
        values.push_back(value);
        // White space far longer than the chunk margin, between the I and the Q value of a set,
        // across the end of the second chunk.
        if (!longSpace && text.size() > 1997000 && values.size() % 2 == 1) {
            text += std::string(5000, ' ');
            longSpace = true;
        }
    }
    text += "\n";
    TempDir dir;
    testsupport::WriteFile(dir.file("big.txt"), text);

    Sets expected;
    for (size_t v = 0; v + 1 < values.size(); v += 2) expected.emplace_back(values[v], values[v + 1]);
    Reader whole(dir.file("big.txt"), "", TextLayout(kTextFloatingPoint));
    EXPECT_EQ(whole.ReadAll(10000000), expected);
    Reader pieces(dir.file("big.txt"), "", TextLayout(kTextFloatingPoint));
    EXPECT_EQ(pieces.ReadAll(777), expected);
}

// Plain values (read in batches) mixed with values that must be searched one by one, across
// chunk boundaries and with marker columns: the sets are those of a value-by-value search over
// the whole text.
TEST(TextSets, PlainAndOtherValuesAcrossChunkBoundaries)
{
    std::mt19937 random(11);
    const char *others[] = {"1e-3", "-2.5E2", "7,", "0.123456789", "123456789", "inf"};
    std::string text = "0.5";
    while (text.size() < 2300000) {
        text += random() % 7 == 0 ? "\r\n" : " ";
        if (random() % 50 == 0) {
            text += others[random() % std::size(others)];
        } else {
            text += random() % 2 ? "-0." : "0.";
            text += std::to_string(random() % 1000000);
        }
    }
    text += "\n";
    std::vector<double> values;
    double value = 0.0;
    int offset = 0, length = 0;
    for (const char *at = text.c_str();
         Parser_ExtractTextValueFromBuffer(kTextFloatingPoint, at, &value, &offset, &length); at += offset + length) {
        values.push_back(value);
    }
    TempDir dir;
    testsupport::WriteFile(dir.file("mixed.txt"), text);

    Layout markers = TextLayout(kTextFloatingPoint);
    markers.iMarkers = 1;
    markers.qMarkers = 1;
    for (const Layout &layout : {TextLayout(kTextFloatingPoint), markers}) {
        const size_t step = layout.iMarkers == 0 ? 2 : 4;
        Sets expected;
        for (size_t v = 0; v + step <= values.size(); v += step)
            expected.emplace_back(values[v + step / 2 - 1], values[v + step - 1]);
        Reader whole(dir.file("mixed.txt"), "", layout);
        EXPECT_EQ(whole.ReadAll(1000000), expected);
        Reader pieces(dir.file("mixed.txt"), "", layout);
        EXPECT_EQ(pieces.ReadAll(4999), expected);
    }
}

TEST(BinarySets, CountsPositionsTrailersAndShortFiles)
{
    TempDir dir;
    std::vector<int16_t> values(500000);
    for (size_t v = 0; v < values.size(); ++v) values[v] = static_cast<int16_t>(v * 7);
    testsupport::WriteFile(dir.file("big.bin"), BytesOf(values));
    Reader reader(dir.file("big.bin"), "", Layout{});
    EXPECT_EQ(reader.Read(100000).size(), 100000u);
    EXPECT_EQ(reader.Read(100000).size(), 100000u);
    const Sets last = reader.Read(100000);
    ASSERT_EQ(last.size(), 50000u);
    EXPECT_EQ(last.back(), (std::pair<double, double>(static_cast<int16_t>(499998 * 7), static_cast<int16_t>(499999 * 7))));
    EXPECT_TRUE(reader.Read(100000).empty());
    EXPECT_EQ(reader.posI, 1000000);
    EXPECT_EQ(reader.posQ, 1000000);

    // QI: the first value of a pair is Q.
    testsupport::WriteFile(dir.file("qi.bin"), BytesOf(std::vector<int16_t>{10, 20}));
    Layout qi;
    qi.order = Order::QI;
    EXPECT_EQ(Reader(dir.file("qi.bin"), "", qi).Read(5), (Sets{{20, 10}}));

    // 3 bytes before the trailer are no set; a trailer longer than the file leaves nothing.
    testsupport::WriteFile(dir.file("odd.bin"), BytesOf(std::vector<int16_t>{1, 2, 3, 4, 5, 6}));
    Layout trailer;
    trailer.trailerLength = 1;
    EXPECT_EQ(Reader(dir.file("odd.bin"), "", trailer).Read(5), (Sets{{1, 2}, {3, 4}}));
    trailer.trailerLength = 20;
    Reader noData(dir.file("odd.bin"), "", trailer);
    EXPECT_TRUE(noData.Read(5).empty());
    EXPECT_EQ(noData.posI, 0);

    testsupport::WriteFile(dir.file("tiny.bin"), "abc");
    EXPECT_TRUE(Reader(dir.file("tiny.bin"), "", Layout{}).Read(5).empty());

    // Starting past a header.
    EXPECT_EQ(Reader(dir.file("odd.bin"), "", Layout{}, 4).Read(5), (Sets{{3, 4}, {5, 6}}));
}

TEST(BinarySets, RefusesCallsThatWouldReadOutsideTheData)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("iq.bin"), BytesOf(std::vector<int16_t>{1, 2, 3, 4}));
    Reader reader(dir.file("iq.bin"), "", Layout{});
    double i[4], q[4];
    EXPECT_EQ(Parser_GetSetsFromFile(reader.files, reader.settings, &reader.posI, &reader.posQ, 0, i, q), 0);
    int64_t negative = -4;
    EXPECT_EQ(Parser_GetSetsFromFile(reader.files, reader.settings, &negative, &negative, 4, i, q), 0);
    reader.settings.qValueIndex = 2;  // beyond the set
    EXPECT_EQ(Parser_GetSetsFromFile(reader.files, reader.settings, &reader.posI, &reader.posQ, 4, i, q), 0);
    reader.settings = SettingsFor(Layout{});
    reader.settings.bytesPerSet = 6;  // does not match two 16-bit values
    EXPECT_EQ(Parser_GetSetsFromFile(reader.files, reader.settings, &reader.posI, &reader.posQ, 4, i, q), 0);
    EXPECT_EQ(reader.posI, 0);
    EXPECT_EQ(reader.posQ, 0);
}

// The specialised decoding loops must give, bit for bit, what decoding each value on its own
// followed by the exchange, scaling and offsets gives.
TEST(BinarySets, SpecialisedDecodingEqualsPerValueDecoding)
{
    TempDir dir;
    std::mt19937_64 random(99);
    std::string bytesI(9000, '\0'), bytesQ(8000, '\0');
    for (char &c : bytesI) c = static_cast<char>(random());
    for (char &c : bytesQ) c = static_cast<char>(random());
    // Plenty of ordinary floats too, so that not every float is a huge or NaN bit pattern.
    for (size_t at = 0; at + 4 <= 4000; at += 8) {
        const float f = static_cast<float>(static_cast<int>(random() % 20001) - 10000) / 7.0f;
        std::memcpy(&bytesI[at], &f, 4);
    }
    testsupport::WriteFile(dir.file("i.bin"), bytesI);
    testsupport::WriteFile(dir.file("q.bin"), bytesQ);

    const std::vector<Layout> layouts = [] {
        std::vector<Layout> list;
        for (Order order : {Order::IQ, Order::QI, Order::IOnlyQEqualsI, Order::IOnlyQZero}) {
            for (auto [iMarkers, qMarkers] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{0, 2}, std::pair{3, 1}}) {
                Layout layout;
                layout.order = order;
                layout.iMarkers = iMarkers;
                layout.qMarkers = qMarkers;
                list.push_back(layout);
            }
        }
        for (Order order : {Order::IQ, Order::QI}) {
            Layout layout;
            layout.separate = true;
            layout.order = order;
            list.push_back(layout);
        }
        return list;
    }();

    int compared = 0;
    for (int format = kFloat32; format <= kUInt64; ++format) {
        for (int swapBytes = 0; swapBytes <= 1; ++swapBytes) {
            for (Layout layout : layouts) {
                layout.format = format;
                layout.swapBytes = swapBytes;
                layout.scale = 0.3711;
                layout.iOffset = -5;
                layout.qOffset = 17;
                layout.trailerLength = 13;
                const int64_t start = 3;
                Reader reader(dir.file("i.bin"), layout.separate ? dir.file("q.bin") : "", layout, start);
                const ConversionSettings &s = reader.settings;
                const int64_t sets = (reader.files.inputSize - start - 13) / s.bytesPerSet;

                std::vector<double> iGot(static_cast<size_t>(sets)), qGot(static_cast<size_t>(sets));
                ASSERT_EQ(Parser_GetSetsFromFile(reader.files, s, reader.scratch, &reader.posI, &reader.posQ,
                                                 static_cast<int>(sets) + 10, iGot.data(), qGot.data()),
                          sets);

                const char *dataI = bytesI.data() + start;
                const char *dataQ = (layout.separate ? bytesQ.data() : bytesI.data()) + start;
                for (int64_t set = 0; set < sets; ++set) {
                    double i = 0.0, q = 0.0;
                    Parser_ExtractBinaryValueFromBuffer(format, dataI, set * s.valuesPerSet + s.iValueIndex,
                                                        swapBytes, &i);
                    if (s.qValueIndex >= 0) {
                        Parser_ExtractBinaryValueFromBuffer(format, dataQ, set * s.valuesPerSet + s.qValueIndex,
                                                            swapBytes, &q);
                    }
                    if (s.swapIQ) std::swap(i, q);
                    i = i * s.scale + static_cast<double>(s.iOffset);
                    q = q * s.scale + static_cast<double>(s.qOffset);
                    const auto at = static_cast<size_t>(set);
                    ASSERT_EQ(std::memcmp(&i, &iGot[at], sizeof i), 0) << "format " << format << " set " << set;
                    ASSERT_EQ(std::memcmp(&q, &qGot[at], sizeof q), 0) << "format " << format << " set " << set;
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, 50000);
}

TEST(SetReaderScratch, GrowsOnceAndIsReusedAfterwards)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("iq.bin"), BytesOf(std::vector<int16_t>(40000, 3)));
    Reader reader(dir.file("iq.bin"), "", Layout{});
    ASSERT_EQ(reader.Read(1000).size(), 1000u);
    const char *grown = reader.scratch.buffer.data();
    const size_t capacity = reader.scratch.buffer.capacity();
    for (int block = 0; block < 5; ++block) ASSERT_EQ(reader.Read(1000).size(), 1000u);
    EXPECT_EQ(reader.scratch.buffer.data(), grown);
    EXPECT_EQ(reader.scratch.buffer.capacity(), capacity);
}
