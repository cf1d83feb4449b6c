#include <gtest/gtest.h>

#include <cstring>

#include "layoutfixtures.h"
#include "layouts/layouts.h"
#include "testsupport.h"

using namespace layoutfixtures;

namespace {

LayoutReading Wav(const std::string &bytes, int64_t fileSize = -1)
{
    return Layouts_ReadWav(bytes, fileSize < 0 ? static_cast<int64_t>(bytes.size()) : fileSize);
}

}  // namespace

TEST(WavReader, ChunksInAnyOrderWithPadBytesAndATrailer)
{
    const std::string list = Chunk("LIST", "INFO" + Chunk("ICMT", "odd"));  // 15 bytes: padded
    const std::string before = Riff(Chunk("junk", "abc") + Fmt(1, 2, 48000, 16) + list);
    const std::string file = before.substr(0, 4) + Le32(0) + before.substr(8) + Chunk("data", std::string(400, 'x')) +
                             Chunk("LIST", "INFO" + Chunk("ISFT", "tool"));
    const LayoutReading reading = Wav(file);
    ASSERT_TRUE(reading.recognised) << reading.reason;
    const LayoutFacts &facts = reading.facts;
    EXPECT_EQ(*facts.headerLength.value, static_cast<int64_t>(before.size() + 8));
    EXPECT_EQ(*facts.trailerLength.value, static_cast<int64_t>(file.size() - before.size() - 8 - 400));
    EXPECT_EQ(*facts.format.value, "16 Bit Integer");
    EXPECT_EQ(*facts.order.value, "IQ");
    EXPECT_EQ(*facts.samplerateHz.value, 48000.0);
    EXPECT_EQ(*facts.comment.value, "odd");
    EXPECT_EQ(facts.format.source, FactSource::Header);
}

TEST(WavReader, FormatsChannelsAndTheirRefusals)
{
    const std::string data = Chunk("data", std::string(64, '\0'));
    const LayoutReading mono8 = Wav(Riff(Fmt(1, 1, 8000, 8) + data));
    ASSERT_TRUE(mono8.recognised);
    EXPECT_EQ(*mono8.facts.format.value, "8 Bit Unsigned Integer");
    EXPECT_EQ(*mono8.facts.order.value, "I Only - Q=0");
    EXPECT_TRUE(*mono8.facts.centreUnsigned.value);

    const LayoutReading extensible = Wav(Riff(Fmt(3, 2, 8000, 64, true) + data));
    ASSERT_TRUE(extensible.recognised) << extensible.reason;
    EXPECT_EQ(*extensible.facts.format.value, "64 Bit Float");

    const LayoutReading pcm24 = Wav(Riff(Fmt(1, 2, 8000, 24) + data));
    EXPECT_FALSE(pcm24.recognised);
    EXPECT_NE(pcm24.reason.find("24-bit"), std::string::npos);
    EXPECT_FALSE(Wav(Riff(Fmt(1, 4, 8000, 16) + data)).recognised);
    EXPECT_FALSE(Wav(Riff(data)).recognised);  // no fmt chunk
}

TEST(WavReader, SizesPastTheEndOfTheFile)
{
    const std::string head = Riff(Fmt(1, 2, 8000, 16));
    // A data size of 0xFFFFFFFF, or one past the end, runs to the end of the file.
    for (uint32_t size : {0xFFFFFFFFu, 100000u}) {
        const std::string file = head + "data" + Le32(size) + std::string(40, '\0');
        const LayoutReading reading = Wav(file);
        ASSERT_TRUE(reading.recognised);
        EXPECT_EQ(*reading.facts.headerLength.value, static_cast<int64_t>(head.size() + 8));
        EXPECT_EQ(*reading.facts.trailerLength.value, 0);
    }
    // Any other chunk that runs past the end is refused.
    const LayoutReading past = Wav(Riff("junk" + Le32(0xFFFFFFF0u) + Fmt(1, 2, 8000, 16)));
    EXPECT_FALSE(past.recognised);
    EXPECT_NE(past.reason.find("past the end"), std::string::npos);
}

TEST(WavReader, Rf64TakesTheDataSizeFromDs64)
{
    const std::string samples(64, '\1');
    const std::string file = Rf64(Fmt(3, 2, 1000000, 32), samples) + "trailer!";
    const LayoutReading reading = Wav(file);
    ASSERT_TRUE(reading.recognised) << reading.reason;
    EXPECT_EQ(reading.facts.layout, "RF64");
    EXPECT_EQ(*reading.facts.trailerLength.value, 8);
    EXPECT_EQ(*reading.facts.headerLength.value, static_cast<int64_t>(file.size() - 8 - samples.size()));
    // A ds64 size near 2^64 runs to the end of the file.
    std::string huge = file;
    huge.replace(12 + 8 + 8, 8, Le64(UINT64_MAX - 3));
    const LayoutReading clipped = Wav(huge);
    ASSERT_TRUE(clipped.recognised);
    EXPECT_EQ(*clipped.facts.trailerLength.value, 0);
}

TEST(SigMFReader, DatatypesByteOrderAndRefusals)
{
    const LayoutReading big = Layouts_ReadSigMFMeta(SigMFMeta("ci16_be", 2e6), 4000);
    ASSERT_TRUE(big.recognised) << big.reason;
    EXPECT_EQ(*big.facts.format.value, "16 Bit Integer");
    EXPECT_EQ(*big.facts.endianness.value, "Big");
    EXPECT_EQ(*big.facts.samplerateHz.value, 2e6);
    EXPECT_EQ(big.facts.format.source, FactSource::Sidecar);

    const LayoutReading real = Layouts_ReadSigMFMeta(SigMFMeta("rf32_le", 1e6), 4000);
    ASSERT_TRUE(real.recognised);
    EXPECT_EQ(*real.facts.order.value, "I Only - Q=0");
    EXPECT_TRUE(*Layouts_ReadSigMFMeta(SigMFMeta("cu8", 1e6), 10).facts.centreUnsigned.value);

    const std::string longText(120, 'd');
    const LayoutReading described =
        Layouts_ReadSigMFMeta(SigMFMeta("cf32_le", 1e6, R"("core:description":")" + longText + "\""), 10);
    EXPECT_EQ(described.facts.comment.value->size(), 90u);

    EXPECT_FALSE(Layouts_ReadSigMFMeta(SigMFMeta("ci16", 1e6), 10).recognised);       // no byte order
    EXPECT_FALSE(Layouts_ReadSigMFMeta(SigMFMeta("ci24_le", 1e6), 10).recognised);
    EXPECT_FALSE(Layouts_ReadSigMFMeta(SigMFMeta("cf32_le", 1e6, R"("core:num_channels":2)"), 10).recognised);
    EXPECT_FALSE(Layouts_ReadSigMFMeta(std::string(100000, '[') + std::string(100000, ']'), 10).recognised);
    EXPECT_FALSE(Layouts_ReadSigMFMeta("{\"global\": 5", 10).recognised);
}

TEST(SigMFReader, DatasetHeaderAndTrailingBytesMustFitTheData)
{
    const std::string meta =
        SigMFMeta("ci8", 1e6, R"("core:dataset":"capture.bin","core:trailing_bytes":16)", R"("core:header_bytes":64)");
    const LayoutReading dataset = Layouts_ReadSigMFMeta(meta, 1000);
    ASSERT_TRUE(dataset.recognised) << dataset.reason;
    EXPECT_EQ(*dataset.facts.headerLength.value, 64);
    EXPECT_EQ(*dataset.facts.trailerLength.value, 16);
    EXPECT_EQ(dataset.facts.dataPath, "capture.bin");
    EXPECT_FALSE(Layouts_ReadSigMFMeta(meta, 70).recognised);
}

TEST(TarReader, ArchiveReadInPlace)
{
    const std::string meta = SigMFMeta("cf32_le", 1e6);
    const std::string data(1000, '\7');
    const std::string archive =
        TarEntry("rec/rec.sigmf-meta", meta) + TarEntry("rec/rec.sigmf-data", data) + TarEnd();
    const LayoutReading reading = Layouts_ReadSigMFArchive(archive, static_cast<int64_t>(archive.size()));
    ASSERT_TRUE(reading.recognised) << reading.reason;
    const int64_t dataOffset = static_cast<int64_t>(TarEntry("m", meta).size()) + 512;
    EXPECT_EQ(*reading.facts.headerLength.value, dataOffset);
    EXPECT_EQ(*reading.facts.trailerLength.value, static_cast<int64_t>(archive.size()) - dataOffset - 1000);
    EXPECT_EQ(reading.facts.format.source, FactSource::Header);

    // A member past the end of the file, and two recordings, are refused.
    const std::string cut = archive.substr(0, static_cast<size_t>(dataOffset) + 100);
    EXPECT_FALSE(Layouts_ReadSigMFArchive(cut, static_cast<int64_t>(cut.size())).recognised);
    const std::string two = TarEntry("a.sigmf-meta", meta) + TarEntry("b.sigmf-meta", meta) +
                            TarEntry("a.sigmf-data", data) + TarEnd();
    EXPECT_FALSE(Layouts_ReadSigMFArchive(two, static_cast<int64_t>(two.size())).recognised);
}

TEST(NameTokens, RatesOnlyWhereTheyCannotBeMisread)
{
    EXPECT_EQ(Layouts_RateFromName("cap_433.92M_250k.cu8"), 250000.0);
    EXPECT_EQ(Layouts_CentreFromName("cap_433.92M_250k.cu8"), 433.92e6);
    EXPECT_EQ(Layouts_RateFromName("gqrx_20240101_120000_100000000_2000000_fc.raw"), 2000000.0);
    EXPECT_EQ(Layouts_RateFromName("rec_2.4Msps.cf32"), 2.4e6);
    EXPECT_EQ(Layouts_RateFromName("rec_0sps.cf32"), std::nullopt);  // no rate, not a rate of 0
    EXPECT_EQ(Layouts_RateFromName("rec 10kSPS.cs16"), 10000.0);
    // Centre frequencies, and numbers that only look like rates, are not rates.
    for (const char *name : {"SDRSharp_20240101_120000Z_100000kHz_IQ.wav", "HDSDR_20240101_120000Z_7100kHz_RF.wav",
                             "capture_433920000Hz.cu8", "cap_433.92M_250kHz.cu8", "cap_250k.cu8", "cap_5spsx.cu8"})
        EXPECT_FALSE(Layouts_RateFromName(name).has_value()) << name;
    EXPECT_EQ(Layouts_CentreFromName("x_100000kHz_IQ.wav"), 100e6);
}

TEST(ReservedSlot, SettingsLeaveOtherBytesAsLoaded)
{
    ConfigurationRecord record = Configuration_DefaultRecord();
    std::memcpy(record.reserved, "future=1\0junk", 13);  // a text of a newer build, bytes behind it
    const ConfigurationRecord loaded = record;
    ASSERT_TRUE(Layouts_SetReservedValue(record, kReservedCentre, ""));  // unchanged: nothing written
    EXPECT_EQ(std::memcmp(&record, &loaded, sizeof record), 0);
    ASSERT_TRUE(Layouts_SetReservedValue(record, kReservedCentre, "Yes"));
    EXPECT_STREQ(record.reserved, "future=1;centre=Yes");
    EXPECT_EQ(Layouts_ReservedValue(record, "future"), "1");
    ASSERT_TRUE(Layouts_SetReservedValue(record, kReservedCentre, ""));
    EXPECT_STREQ(record.reserved, "future=1");
    EXPECT_FALSE(Layouts_SetReservedValue(record, "long", std::string(95, 'x')));
}
