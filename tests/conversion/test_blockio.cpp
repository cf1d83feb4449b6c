#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "conversion/blockio.h"
#include "parser/formats.h"
#include "parser/setreader.h"
#include "testsupport.h"

namespace {

using testsupport::TempDir;

std::string RandomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char &b : bytes) b = static_cast<char>(generator());
    return bytes;
}

struct Sets {
    std::vector<double> i, q;
    std::vector<int> blocks;  // sets per block
};

// What the plain reader delivers from `position` on, block by block.
Sets ReadPlainly(const InputFiles &files, const ConversionSettings &settings, int64_t position, int64_t total,
                 int blockSets)
{
    Sets sets;
    int64_t posI = position, posQ = position;
    std::vector<double> i(blockSets), q(blockSets);
    while (static_cast<int64_t>(sets.i.size()) < total) {
        const int wanted = static_cast<int>(std::min<int64_t>(blockSets, total - static_cast<int64_t>(sets.i.size())));
        const int count = Parser_GetSetsFromFile(files, settings, &posI, &posQ, wanted, i.data(), q.data());
        if (count <= 0) break;
        sets.i.insert(sets.i.end(), i.begin(), i.begin() + count);
        sets.q.insert(sets.q.end(), q.begin(), q.begin() + count);
        sets.blocks.push_back(count);
    }
    return sets;
}

// What the read-ahead delivers, decoded as the worker decodes it.
Sets ReadAhead_(const InputFiles &files, const ConversionSettings &settings, int64_t position, int64_t total,
                int blockSets)
{
    Sets sets;
    ReadAhead reader(files, settings, position, total, blockSets);
    std::vector<double> i(blockSets), q(blockSets);
    for (RawBlock block = reader.Next(); block.sets > 0; block = reader.Next()) {
        EXPECT_EQ(Parser_DecodeSets(settings, block.bytesI, block.bytesQ, block.sets, i.data(), q.data()), block.sets);
        sets.i.insert(sets.i.end(), i.begin(), i.begin() + block.sets);
        sets.q.insert(sets.q.end(), q.begin(), q.begin() + block.sets);
        sets.blocks.push_back(block.sets);
    }
    EXPECT_EQ(reader.Next().sets, 0);  // the end stays the end
    return sets;
}

// `bytes` written to `path` and opened as a combined input.
InputFiles OpenCombined(const std::string &path, const std::string &bytes)
{
    testsupport::WriteFile(path, bytes);
    InputFiles files;
    EXPECT_EQ(Parser_OpenFiles(files, path.c_str(), nullptr, 0), 1);
    return files;
}

ConversionSettings BinarySettings(int format, int bytesPerValue, int valuesPerSet)
{
    ConversionSettings s;
    s.sampleFormat = format;
    s.valuesPerSet = valuesPerSet;
    s.bytesPerSet = bytesPerValue * valuesPerSet;
    s.iValueIndex = 0;
    s.qValueIndex = valuesPerSet - 1;
    s.scale = 0.75;
    s.iOffset = 3;
    s.qOffset = -5;
    return s;
}

}  // namespace

TEST(ReadAhead, DeliversTheSetsOfThePlainReaderBlockForBlock)
{
    TempDir dir;
    const std::string path = dir.file("in.bin");
    testsupport::WriteFile(path, RandomBytes(7 + 4 * 25000 + 11, 1));  // header, sets, trailer
    InputFiles files;
    ASSERT_EQ(Parser_OpenFiles(files, path.c_str(), nullptr, 0), 1);
    ConversionSettings s = BinarySettings(kInt16, 2, 2);
    s.headerLength = 7;
    s.trailerLength = 11;
    s.swapBytes = 1;
    s.swapIQ = 1;
    for (const int blockSets : {1, 999, 4096, 30000}) {
        const Sets plain = ReadPlainly(files, s, 7 + 4 * 13, 24980, blockSets);
        const Sets ahead = ReadAhead_(files, s, 7 + 4 * 13, 24980, blockSets);
        EXPECT_EQ(ahead.blocks, plain.blocks) << blockSets;
        EXPECT_EQ(ahead.i, plain.i) << blockSets;
        EXPECT_EQ(ahead.q, plain.q) << blockSets;
    }
    // Asked for more than the file holds, both stop at the trailer.
    const Sets ahead = ReadAhead_(files, s, 7, 1000000, 4096);
    EXPECT_EQ(ahead.i.size(), 25000u);
    EXPECT_EQ(ahead.i, ReadPlainly(files, s, 7, 1000000, 4096).i);
}

TEST(ReadAhead, SeparateFilesAndMarkerColumnsDecodeAsThePlainReader)
{
    TempDir dir;
    const std::string pathI = dir.file("i.bin"), pathQ = dir.file("q.bin"), combined = dir.file("c.bin");
    testsupport::WriteFile(pathI, RandomBytes(4 * 5000, 2));
    testsupport::WriteFile(pathQ, RandomBytes(4 * 4990, 3));  // the shorter file bounds the sets
    testsupport::WriteFile(combined, RandomBytes(3 * 4 * 5000, 4));
    InputFiles separate;
    ASSERT_EQ(Parser_OpenFiles(separate, pathI.c_str(), pathQ.c_str(), 1), 1);
    ConversionSettings s = BinarySettings(kFloat32, 4, 1);
    s.separateFiles = 1;
    s.qValueIndex = 0;
    Sets plain = ReadPlainly(separate, s, 0, 5000, 1024);
    Sets ahead = ReadAhead_(separate, s, 0, 5000, 1024);
    EXPECT_EQ(ahead.i.size(), 4990u);
    EXPECT_EQ(ahead.blocks, plain.blocks);
    // Compared as bytes: random float bits include NaNs, which never compare equal.
    EXPECT_EQ(std::memcmp(ahead.i.data(), plain.i.data(), plain.i.size() * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(ahead.q.data(), plain.q.data(), plain.q.size() * sizeof(double)), 0);

    InputFiles files;
    ASSERT_EQ(Parser_OpenFiles(files, combined.c_str(), nullptr, 0), 1);
    s = BinarySettings(kInt32, 4, 3);  // I, a marker, Q
    plain = ReadPlainly(files, s, 0, 5000, 700);
    ahead = ReadAhead_(files, s, 0, 5000, 700);
    EXPECT_EQ(ahead.i, plain.i);
    EXPECT_EQ(ahead.q, plain.q);
    s.qValueIndex = -1;  // "I Only - Q=0"
    EXPECT_EQ(ReadAhead_(files, s, 0, 5000, 700).q, ReadPlainly(files, s, 0, 5000, 700).q);
}

TEST(ReadAhead, AFileThatShrankEndsTheReadingWhereItsDataEnds)
{
    TempDir dir;
    const std::string path = dir.file("in.bin");
    testsupport::WriteFile(path, RandomBytes(4 * 600000, 8));  // several buffers of the reader
    InputFiles files;
    ASSERT_EQ(Parser_OpenFiles(files, path.c_str(), nullptr, 0), 1);
    ASSERT_EQ(::truncate(path.c_str(), 4 * 300001 + 2), 0);  // after the size was taken
    const ConversionSettings s = BinarySettings(kInt16, 2, 2);
    for (const int blockSets : {1000, 100000}) {
        const Sets ahead = ReadAhead_(files, s, 0, 600000, blockSets);
        EXPECT_EQ(ahead.i.size(), 300001u) << blockSets;
        EXPECT_EQ(ahead.i, ReadPlainly(files, s, 0, 600000, blockSets).i) << blockSets;
    }
}

TEST(ReadAhead, StoppedEarlyItEndsWithoutReadingOn)
{
    TempDir dir;
    const std::string path = dir.file("in.bin");
    testsupport::WriteFile(path, RandomBytes(4 * 100000, 5));
    InputFiles files;
    ASSERT_EQ(Parser_OpenFiles(files, path.c_str(), nullptr, 0), 1);
    const ConversionSettings s = BinarySettings(kInt16, 2, 2);
    ReadAhead reader(files, s, 0, 100000, 1000);
    EXPECT_EQ(reader.Next().sets, 1000);
    // Leaving the scope with blocks still unread joins the reader (an abort).
}

// The windows are the file's bytes, NUL-terminated, wherever they fall in the ring (the text is
// several times the ring's size); what lies after a NUL is the file's again in the next window.
TEST(TextReadAhead, WindowsHoldTheFileBytesAcrossTheRing)
{
    TempDir dir;
    const std::string bytes = RandomBytes(11000000, 9);
    const InputFiles files = OpenCombined(dir.file("in.txt"), bytes);
    const int64_t start = 123, end = 10999990;
    SetReaderScratch scratch;
    {
        TextReadAhead reader(files, start, end, scratch);
        ASSERT_NE(scratch.textWindows, nullptr);
        const TextWindows &windows = *scratch.textWindows;
        std::mt19937 random(3);
        int64_t position = start;
        int checked = 0;
        while (position < end - kTextWindowBytes) {
            const int64_t size = 1 + random() % kTextWindowBytes;
            int64_t got = -1;
            const char *window = windows.window(windows.context, position, size, &got);
            ASSERT_NE(window, nullptr);
            ASSERT_EQ(got, size);
            ASSERT_EQ(std::memcmp(window, bytes.data() + position, static_cast<size_t>(got)), 0) << position;
            ASSERT_EQ(window[got], '\0');
            position += std::max<int64_t>(1, got - static_cast<int64_t>(random() % 200));  // overlapping windows
            ++checked;
        }
        EXPECT_GT(checked, 15);
        int64_t got = -1;
        const char *last = windows.window(windows.context, end - 5, kTextWindowBytes, &got);
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(got, 5);  // the window stops at the end
        EXPECT_EQ(std::string(last, 6), bytes.substr(end - 5, 5) + '\0');
        // Behind the ring, or larger than a window: no window; the caller reads the file.
        EXPECT_EQ(windows.window(windows.context, start, 10, &got), nullptr);
        EXPECT_EQ(windows.window(windows.context, end - 5, kTextWindowBytes + 1, &got), nullptr);
    }
    EXPECT_EQ(scratch.textWindows, nullptr);  // the reading reads the file itself again
}

TEST(TextReadAhead, AFileThatShrankEndsTheWindowsWhereItsDataEnds)
{
    TempDir dir;
    const std::string bytes = RandomBytes(3000000, 10);
    const InputFiles files = OpenCombined(dir.file("in.txt"), bytes);
    ASSERT_EQ(::truncate(dir.file("in.txt").c_str(), 1500000), 0);  // after the size was taken
    SetReaderScratch scratch;
    TextReadAhead reader(files, 0, 3000000, scratch);
    const TextWindows &windows = *scratch.textWindows;
    int64_t got = -1;
    ASSERT_NE(windows.window(windows.context, 0, kTextWindowBytes, &got), nullptr);
    EXPECT_EQ(got, kTextWindowBytes);
    const char *window = windows.window(windows.context, 1000000, kTextWindowBytes, &got);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(got, 500000);
    EXPECT_EQ(std::memcmp(window, bytes.data() + 1000000, 500000), 0);
    EXPECT_EQ(window[got], '\0');
}

// Text read through the windows gives the sets of the plain reading, call for call, for text
// several times the ring's size and with calls that end anywhere in a window.
TEST(TextReadAhead, TextSetsAreThoseOfThePlainReading)
{
    std::mt19937 random(12);
    std::string text = "7";
    while (text.size() < 9000000) {
        text += random() % 9 == 0 ? "\n" : " ";
        text += random() % 40 == 0 ? std::to_string(random()) + "e-9" : std::to_string(random() % 2000000) + ".5";
    }
    TempDir dir;
    const InputFiles files = OpenCombined(dir.file("in.txt"), "head" + text + " trailer");
    ConversionSettings s;
    s.sampleFormat = kTextFloatingPoint;
    s.headerLength = 4;
    s.trailerLength = 8;
    const int64_t start = 4, end = files.inputSize - 8;
    for (const int blockSets : {777, 100000}) {
        const Sets plain = ReadPlainly(files, s, start, 100000000, blockSets);
        SetReaderScratch scratch;
        TextReadAhead reader(files, start, end, scratch);
        Sets ahead;
        int64_t posI = start, posQ = start;
        std::vector<double> i(blockSets), q(blockSets);
        for (int count; (count = Parser_GetSetsFromFile(files, s, scratch, &posI, &posQ, blockSets, i.data(), q.data())) > 0;) {
            ahead.i.insert(ahead.i.end(), i.begin(), i.begin() + count);
            ahead.q.insert(ahead.q.end(), q.begin(), q.begin() + count);
            ahead.blocks.push_back(count);
        }
        EXPECT_GT(plain.i.size(), 400000u);
        EXPECT_EQ(ahead.blocks, plain.blocks) << blockSets;
        EXPECT_EQ(ahead.i, plain.i) << blockSets;
        EXPECT_EQ(ahead.q, plain.q) << blockSets;
    }
}

TEST(DecodeSets, RefusesTextAndLayoutsThatDoNotFitTheFormat)
{
    const char bytes[16] = {};
    double i[2], q[2];
    ConversionSettings s = BinarySettings(kInt16, 2, 2);
    EXPECT_EQ(Parser_DecodeSets(s, bytes, bytes, 2, i, q), 2);
    s.bytesPerSet = 6;
    EXPECT_EQ(Parser_DecodeSets(s, bytes, bytes, 2, i, q), 0);
    s = BinarySettings(kInt16, 2, 2);
    s.sampleFormat = kTextFloatingPoint;
    EXPECT_EQ(Parser_DecodeSets(s, bytes, bytes, 2, i, q), 0);
    s = BinarySettings(kInt16, 2, 2);
    EXPECT_EQ(Parser_DecodeSets(s, bytes, bytes, 0, i, q), 0);
}

TEST(WriteBehind, AppendsTheBlocksInOrderAsDirectWritesWould)
{
    TempDir dir;
    const std::string behindPath = dir.file("behind.wv"), directPath = dir.file("direct.wv");
    ZmxFile behind = Conversion_CreateZmxFile(behindPath.c_str(), "c", 10.0);
    ZmxFile direct = Conversion_CreateZmxFile(directPath.c_str(), "c", 10.0);
    ASSERT_GE(behind.handle, 0);
    ASSERT_GE(direct.handle, 0);
    std::mt19937 generator(6);
    // Small blocks gather in one buffer; large ones fill it, do not fit in what is left, or are
    // larger than a buffer.
    std::vector<int> sizes;
    for (int block = 0; block < 20; ++block) sizes.push_back(static_cast<int>(generator() % 3000));
    for (int pairs : {400000, 200000, 0, 600000, 5, 1 << 19, 7}) sizes.push_back(pairs);
    {
        WriteBehind writer(behind);
        for (const int pairs : sizes) {
            int16_t *buffer = writer.Buffer(pairs);
            for (int k = 0; k < 2 * pairs; ++k) buffer[k] = static_cast<int16_t>(generator());
            ASSERT_EQ(Conversion_WriteZmxEncoded(direct, pairs, buffer), 1);
            writer.Submit(pairs);
        }
        EXPECT_EQ(writer.Finish(), 1);
        EXPECT_FALSE(writer.Failed());
    }
    EXPECT_EQ(behind.pairsWritten, direct.pairsWritten);
    Conversion_FinishZmxFile(behind, behind.pairsWritten, 20000.0, 10000.0);
    Conversion_FinishZmxFile(direct, direct.pairsWritten, 20000.0, 10000.0);
    ASSERT_EQ(Conversion_AcceptZmxFile(behind), 1);
    ASSERT_EQ(Conversion_AcceptZmxFile(direct), 1);
    EXPECT_EQ(testsupport::ReadFile(behindPath), testsupport::ReadFile(directPath));
}

TEST(WriteBehind, AFailedWriteIsReportedAndTheRestSkipped)
{
    TempDir dir;
    const std::string path = dir.file("out.wv");
    ZmxFile file = Conversion_CreateZmxFile(path.c_str(), "c", 10.0);
    ASSERT_GE(file.handle, 0);
    // A descriptor open for reading only: every write fails as on a full disk.
    ::close(file.handle);
    file.handle = ::open(file.temporaryPath.c_str(), O_RDONLY);
    ASSERT_GE(file.handle, 0);
    WriteBehind writer(file);
    for (int block = 0; block < 5; ++block) {
        int16_t *buffer = writer.Buffer(10);
        std::fill(buffer, buffer + 20, int16_t{1});
        writer.Submit(10);
    }
    EXPECT_EQ(writer.Finish(), 0);
    EXPECT_TRUE(writer.Failed());
    EXPECT_EQ(file.pairsWritten, 0);
}
