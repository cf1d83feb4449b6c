#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>

#include "app/layoutflows.h"
#include "app/treerules.h"
#include "conversion/jobs.h"
#include "conversion/runner.h"
#include "layoutfixtures.h"
#include "parser/setreader.h"
#include "testsupport.h"

using namespace layoutfixtures;
using testsupport::TempDir;

namespace {

struct Job {
    std::string status;
    std::string output;  // the output file's bytes; empty when none was kept
};

// Converts `paths` as the jobs of one run into `outputDir` and returns each job's outcome.
std::vector<Job> Convert(Session &session, const std::string &outputDir, const std::vector<std::string> &paths)
{
    std::string directory = outputDir;
    EXPECT_TRUE(Gui_SetOutputDirectory(session, &directory));
    EXPECT_EQ(Gui_AddIQ(session, 0, paths), static_cast<int>(paths.size()));
    std::vector<ConversionEvent> events;
    std::mutex mutex;
    if (onConversion(session, [&](const ConversionEvent &event) {
            std::lock_guard lock(mutex);
            events.push_back(event);
        }))
        Conversion_WaitForWorker(session);
    for (const ConversionEvent &event : events) Conversion_ApplyEvent(session, event);
    std::vector<Job> jobs;
    for (int job = 0; job < Gui_JobCount(session.jobs); ++job) {
        const std::string output = Gui_JobOutput(session.jobs, job);
        jobs.push_back({session.jobs.items[job * kItemsPerJob + kJobStatus].label,
                        std::filesystem::exists(output) ? testsupport::ReadFile(output) : std::string()});
    }
    return jobs;
}

// Detects the first file's layout in a fresh session and converts the files with it.
std::vector<Job> ConvertDetected(const TempDir &dir, const std::vector<std::string> &names, DetectionResult *found = nullptr)
{
    Session session;
    testsupport::StartWithDefaults(session);
    const DetectionResult detection = App_DetectLayout(session, dir.file(names.front()));
    EXPECT_TRUE(detection.recognised) << detection.reason;
    if (found) *found = detection;
    std::vector<std::string> paths{detection.dataPath};
    for (size_t k = 1; k < names.size(); ++k) paths.push_back(dir.file(names[k]));
    std::filesystem::create_directories(dir.path() / "detected");
    return Convert(session, dir.file("detected"), paths);
}

// The configuration a user would write by hand for a file.
struct HandMade {
    std::string format, endianness, order;
    int header, trailer;
    std::string comment, rateMHz;
    bool centre = false;
};

Job ConvertHandMade(const TempDir &dir, const std::string &name, const HandMade &hand)
{
    Session session;
    testsupport::StartWithDefaults(session);
    using testsupport::Edit;
    Edit(session, "format", hand.format);
    Edit(session, "endianness", hand.endianness);
    Edit(session, "order", hand.order);
    Edit(session, "headerSource", "User");
    Edit(session, "headerValue", std::to_string(hand.header));
    Edit(session, "trailerSource", "User");
    Edit(session, "trailerValue", std::to_string(hand.trailer));
    Edit(session, "commentSource", "User");
    Edit(session, "commentBegin", hand.comment);
    Edit(session, "samplerateSource", "User");
    Edit(session, "samplerateValue", hand.rateMHz);
    if (hand.centre) {
        EXPECT_EQ(onConfigurationTree(session, kItemCentreUnsigned, "Yes"), 1);
    }
    std::filesystem::create_directories(dir.path() / "hand");
    return Convert(session, dir.file("hand"), {dir.file(name)}).front();
}

template <typename T>
std::string Bytes(T value)
{
    return std::string(reinterpret_cast<const char *>(&value), sizeof value);
}

std::string Int16(double v) { return Bytes(static_cast<int16_t>(std::lround(v * 20000))); }
std::string Int8(double v) { return Bytes(static_cast<int8_t>(std::lround(v * 100))); }
std::string UInt8(double v) { return Bytes(static_cast<uint8_t>(std::lround(127.5 + v * 100))); }
std::string Float32(double v) { return Bytes(static_cast<float>(v)); }
std::string Float64(double v) { return Bytes(v); }
std::string BigInt16(double v)
{
    const std::string little = Int16(v);
    return {little[1], little[0]};
}

}  // namespace

// Each container and preset converts to the same bytes as the hand-made configuration that
// describes the same file.
TEST(LayoutDetection, ContainersAndPresetsConvertAsTheirHandMadeConfigurations)
{
    TempDir dir;
    const std::string samples16 = Tone(3000, 2, Int16);
    const std::string trailer = Chunk("LIST", "INFO" + Chunk("ISFT", "a program"));
    testsupport::WriteFile(dir.file("tone.wav"), Riff(Fmt(1, 2, 1000000, 16) + Chunk("data", samples16)) + trailer);
    const std::string monoFloats = Tone(3000, 1, Float32);
    testsupport::WriteFile(dir.file("mono.wav"), Rf64(Fmt(3, 1, 500000, 32), monoFloats));
    testsupport::WriteFile(dir.file("rec.sigmf-data"), Tone(3000, 2, BigInt16));
    testsupport::WriteFile(dir.file("rec.sigmf-meta"), SigMFMeta("ci16_be", 2e6, R"("core:description":"described")"));
    testsupport::WriteFile(dir.file("cap.bin"), std::string(32, 'h') + Tone(3000, 2, Int8) + "trailer!");
    testsupport::WriteFile(dir.file("cap.sigmf-meta"),
                           SigMFMeta("ci8", 1e6, R"("core:dataset":"cap.bin","core:trailing_bytes":8)",
                                     R"("core:header_bytes":32)"));
    const std::string archiveMeta = TarEntry("a/a.sigmf-meta", SigMFMeta("cf32_le", 4e6));
    testsupport::WriteFile(dir.file("a.sigmf"),
                           archiveMeta + TarEntry("a/a.sigmf-data", Tone(2000, 2, Float32)) + TarEnd());
    testsupport::WriteFile(dir.file("cap_433.92M_250k.cu8"), Tone(3000, 2, UInt8));
    testsupport::WriteFile(dir.file("x_1Msps.cs8"), Tone(3000, 2, Int8));
    testsupport::WriteFile(dir.file("x_2Msps.cs16"), samples16);
    testsupport::WriteFile(dir.file("gqrx_20240101_120000_100000000_2000000_fc.raw"), Tone(3000, 2, Float32));
    testsupport::WriteFile(dir.file("y_1Msps.cf64"), Tone(3000, 2, Float64));
    std::string csv = "# exported\nI,Q\n";
    for (int k = 0; k < 200; ++k) csv += std::to_string(std::cos(0.3 * k)) + "," + std::to_string(std::sin(0.3 * k)) + "\n";
    testsupport::WriteFile(dir.file("iq_1Msps.csv"), csv);
    // Content wins over the extension: a WAV file named as a raw capture.
    testsupport::WriteFile(dir.file("inside.cu8"), Riff(Fmt(1, 2, 1000000, 16) + Chunk("data", samples16)));

    const int archiveHeader = static_cast<int>(archiveMeta.size()) + 512;
    const std::vector<std::pair<std::string, HandMade>> cases = {
        {"tone.wav", {"16 Bit Integer", "Little", "IQ", 44, static_cast<int>(trailer.size()), "tone.wav", "1"}},
        {"mono.wav", {"32 Bit Float", "Little", "I Only - Q=0", 80, 0, "mono.wav", "0.5"}},
        {"rec.sigmf-meta", {"16 Bit Integer", "Big", "IQ", 0, 0, "described", "2"}},
        {"cap.sigmf-meta", {"8 Bit Integer", "Little", "IQ", 32, 8, "cap.bin", "1"}},
        {"a.sigmf", {"32 Bit Float", "Little", "IQ", archiveHeader, 1024 + 512 - 2000 * 8 % 512, "a.sigmf", "4"}},
        {"cap_433.92M_250k.cu8", {"8 Bit Unsigned Integer", "Little", "IQ", 0, 0, "cap_433.92M_250k.cu8", "0.25", true}},
        {"x_1Msps.cs8", {"8 Bit Integer", "Little", "IQ", 0, 0, "x_1Msps.cs8", "1"}},
        {"x_2Msps.cs16", {"16 Bit Integer", "Little", "IQ", 0, 0, "x_2Msps.cs16", "2"}},
        {"gqrx_20240101_120000_100000000_2000000_fc.raw",
         {"32 Bit Float", "Little", "IQ", 0, 0, "gqrx_20240101_120000_100000000_2000000_fc.raw", "2"}},
        {"y_1Msps.cf64", {"64 Bit Float", "Little", "IQ", 0, 0, "y_1Msps.cf64", "1"}},
        {"iq_1Msps.csv", {"Text Floating Point", "Little", "IQ", 15, 0, "iq_1Msps.csv", "1"}},
        {"inside.cu8", {"16 Bit Integer", "Little", "IQ", 44, 0, "inside.cu8", "1"}},
    };
    for (const auto &[name, hand] : cases) {
        SCOPED_TRACE(name);
        const std::vector<Job> detected = ConvertDetected(dir, {name});
        const std::string dataName = name.ends_with(".sigmf-meta") ? (name == "cap.sigmf-meta" ? "cap.bin" : "rec.sigmf-data") : name;
        const Job handMade = ConvertHandMade(dir, dataName, hand);
        EXPECT_EQ(handMade.status, "Status: Done");
        EXPECT_EQ(detected.front().status, "Status: Done");
        EXPECT_FALSE(handMade.output.empty());
        EXPECT_TRUE(detected.front().output == handMade.output);
        std::filesystem::remove_all(dir.path() / "detected");
        std::filesystem::remove_all(dir.path() / "hand");
    }
}

TEST(LayoutDetection, OurOwnOutputConvertsBackUnchanged)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("x_1Msps.cs16"), Tone(3000, 2, Int16));
    const std::vector<Job> first = ConvertDetected(dir, {"x_1Msps.cs16"});
    ASSERT_EQ(first.front().status, "Status: Done");
    testsupport::WriteFile(dir.file("again.wv"), first.front().output);
    DetectionResult detection;
    const std::vector<Job> second = ConvertDetected(dir, {"again.wv"}, &detection);
    EXPECT_EQ(detection.preset, "wv");
    EXPECT_EQ(second.front().status, "Status: Done");
    // The samples come back unchanged (the level offsets of the header were measured before the
    // first file's samples were rounded to 16 bits, so they may differ in the last digit).
    const std::string &before = first.front().output;
    const std::string &after = second.front().output;
    EXPECT_TRUE(after.substr(after.find('#')) == before.substr(before.find('#')));
    EXPECT_EQ(after.substr(0, after.find("{LEVEL")), before.substr(0, before.find("{LEVEL")));
}

TEST(LayoutDetection, ContentContradictingTheExtensionIsNoted)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("inside.cu8"), Riff(Fmt(1, 2, 1000000, 16) + Chunk("data", std::string(400, 0))));
    Session session;
    testsupport::StartWithDefaults(session);
    const DetectionResult detection = App_DetectLayout(session, dir.file("inside.cu8"));
    EXPECT_EQ(detection.layout, "WAV");
    ASSERT_EQ(detection.notes.size(), 1u);
    EXPECT_NE(detection.notes.front().find("holds a WAV file"), std::string::npos);

    App_LogDetection(session, dir.file("inside.cu8"), detection);
    ASSERT_EQ(session.statusLog.rows.size(), 2u);
    EXPECT_EQ(session.statusLog.rows[0].text.substr(0, 42), "Layout of 'inside.cu8': WAV (preset wav); ");
    EXPECT_EQ(session.statusLog.rows[1].icon, StatusIcon::Question);

    // A file that nothing recognises keeps the configuration as it is.
    testsupport::WriteFile(dir.file("unknown.bin"), std::string(100, 'x'));
    const ConfigurationRecord before = session.record;
    EXPECT_FALSE(App_DetectLayout(session, dir.file("unknown.bin")).recognised);
    EXPECT_EQ(std::memcmp(&before, &session.record, sizeof before), 0);
}

TEST(LayoutDetection, EachJobReadsItsOwnContainer)
{
    TempDir dir;
    const std::string samples = Tone(3000, 2, Int16);
    testsupport::WriteFile(dir.file("one.wav"), Riff(Fmt(1, 2, 1000000, 16) + Chunk("data", samples)));
    testsupport::WriteFile(dir.file("two.wav"), Riff(Chunk("junk", "12345") + Fmt(1, 2, 2000000, 16) + Chunk("data", samples)));
    testsupport::WriteFile(dir.file("float.wav"), Riff(Fmt(3, 2, 1000000, 32) + Chunk("data", Tone(3000, 2, Float32))));
    const std::vector<Job> jobs = ConvertDetected(dir, {"one.wav", "two.wav", "float.wav"});
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[0].status, "Status: Done");
    EXPECT_EQ(jobs[1].status, "Status: Done");
    EXPECT_NE(jobs[1].output.find("{CLOCK: 02000000.000}"), std::string::npos);
    EXPECT_NE(jobs[1].output.find("{COMMENT: two.wav}"), std::string::npos);
    EXPECT_EQ(jobs[0].output.substr(jobs[0].output.find('#')), jobs[1].output.substr(jobs[1].output.find('#')));
    EXPECT_EQ(jobs[2].status,
              "Status: Format mismatch (file: 32 Bit Float, Little, IQ; configuration: 16 Bit Integer, Little, IQ)");
    EXPECT_TRUE(jobs[2].output.empty());

    // Raw captures: the extension is what tells the layout; a name that tells none is read
    // with the configuration's.
    testsupport::WriteFile(dir.file("a_433.92M_250k.cu8"), std::string(2000, '\x80'));
    testsupport::WriteFile(dir.file("b_433.92M_250k.cf32"), std::string(8000, '\0'));
    testsupport::WriteFile(dir.file("c_433.92M_250k.bin"), std::string(2000, '\x80'));
    const std::vector<Job> raw =
        ConvertDetected(dir, {"a_433.92M_250k.cu8", "b_433.92M_250k.cf32", "c_433.92M_250k.bin"});
    ASSERT_EQ(raw.size(), 3u);
    EXPECT_EQ(raw[0].status, "Status: Done");
    EXPECT_EQ(raw[1].status,
              "Status: Format mismatch (file: 32 Bit Float, Little, IQ; configuration: 8 Bit Unsigned Integer, IQ)");
    EXPECT_EQ(raw[2].status, "Status: Done");
}

// What detection set for one file does not linger: a file that gives no rate leaves the Value to
// the user, and a sample layout edited by hand reads nothing from the files any more. A job the
// configuration refuses says which item and why.
TEST(LayoutDetection, NothingOfAnEarlierFileLingers)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("a_433.92M_250k.cu8"), std::string(2000, '\x80'));
    std::string columns = "# I Q\n";
    for (int k = 0; k < 300; ++k) columns += std::to_string(k % 7) + " " + std::to_string(k % 5) + "\n";
    testsupport::WriteFile(dir.file("columns.txt"), columns);
    testsupport::WriteFile(dir.file("raw.bin"), Tone(2000, 2, Int16));
    Session session;
    testsupport::StartWithDefaults(session);
    ASSERT_TRUE(App_DetectLayout(session, dir.file("a_433.92M_250k.cu8")).recognised);
    EXPECT_EQ(session.tree.items[kItemSamplerateValue].value, "0.25");
    ASSERT_TRUE(App_DetectLayout(session, dir.file("columns.txt")).recognised);
    EXPECT_EQ(session.tree.items[kItemSamplerateValue].value, "");
    EXPECT_EQ(Layouts_PerJobSource(session.record, kReservedRate), ContainerKind::None);
    EXPECT_EQ(Layouts_PerJobSource(session.record, kReservedHeader), ContainerKind::Text);

    testsupport::Edit(session, "format", "16 Bit Integer");
    EXPECT_FALSE(Layouts_HasPerJobSources(session.record));
    testsupport::Edit(session, "headerValue", "0");
    std::filesystem::create_directories(dir.path() / "out");
    std::vector<Job> jobs = Convert(session, dir.file("out"), {dir.file("raw.bin")});
    EXPECT_EQ(jobs.front().status, "Config: Metadata error");
    const auto &rows = session.statusLog.rows;
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const StatusRow &row) {
        return row.text == "Job 1: Samplerate > Value: Value missing";
    }));

    testsupport::Edit(session, "samplerateValue", "1");
    EXPECT_EQ(Convert(session, dir.file("out"), {}).front().status, "Status: Done");
}

TEST(Centring, UnsignedValuesCentredBeforeTheScaleOnlyWhenChosen)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("c.bin"), std::string("\x00\xff\x80\x7f", 4) + std::string(1020, '\x80'));
    Session session;
    testsupport::StartWithDefaults(session);
    testsupport::Edit(session, "headerSource", "User");
    testsupport::Edit(session, "headerValue", "0");
    testsupport::Edit(session, "trailerSource", "User");
    testsupport::Edit(session, "trailerValue", "0");
    testsupport::Edit(session, "format", "8 Bit Unsigned Integer");
    testsupport::Edit(session, "scaleFactor", "2.0");
    testsupport::Edit(session, "iDcOffset", "5");
    testsupport::Edit(session, "qDcOffset", "5");
    ASSERT_EQ(Gui_AddIQ(session, 0, {dir.file("c.bin")}), 1);
    const ConfigurationRecord off = session.record;

    const auto read = [&session](double *i, double *q) {
        int64_t posI = 0, posQ = 0;
        return Parser_GetSetsFromFile(session.files, session.settings, &posI, &posQ, 2, i, q);
    };
    double i[2], q[2];
    ASSERT_EQ(read(i, q), 2);
    EXPECT_EQ(i[0], 5.0);  // 0 x 2 + 5: the offset after the scale, as ever
    EXPECT_EQ(q[0], 255 * 2.0 + 5);

    ASSERT_EQ(onConfigurationTree(session, kItemCentreUnsigned, "Yes"), 1);
    ASSERT_EQ(read(i, q), 2);
    EXPECT_EQ(i[0], -127.5 * 2 + 5);
    EXPECT_EQ(q[0], 127.5 * 2 + 5);
    EXPECT_EQ(i[1], 0.5 * 2 + 5);
    EXPECT_EQ(q[1], -0.5 * 2 + 5);

    // Off again: the record is byte for byte the one before, reserved slot included.
    ASSERT_EQ(onConfigurationTree(session, kItemCentreUnsigned, "No"), 1);
    EXPECT_EQ(std::memcmp(&off, &session.record, sizeof off), 0);
    // Signed formats have no centre: the item cannot be edited.
    testsupport::Edit(session, "format", "8 Bit Integer");
    EXPECT_FALSE(session.tree.items[kItemCentreUnsigned].enabled);
}
