#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "parser/analysis.h"
#include "session/session.h"
#include "testsupport.h"

using testsupport::Edit;
using testsupport::TempDir;

namespace {

// A session with user-given header and trailer lengths, so that any file can be analysed.
void StartWithLengths(Session &session, int header, int trailer)
{
    testsupport::StartWithDefaults(session);
    Edit(session, "headerSource", "User");
    Edit(session, "headerValue", std::to_string(header));
    Edit(session, "trailerSource", "User");
    Edit(session, "trailerValue", std::to_string(trailer));
    Edit(session, "commentSource", "User");
    Edit(session, "commentBegin", "test");
    Edit(session, "samplerateSource", "User");
    Edit(session, "samplerateValue", "1.0");
}

}  // namespace

TEST(Analysis, WithoutJobsEveryPageAsksForOne)
{
    Session session;
    testsupport::StartWithDefaults(session);
    Parser_Job1Changed(session, nullptr, nullptr);
    EXPECT_EQ(session.views.hints.addFirstText, kHintAddJob);
    EXPECT_TRUE(session.views.hints.addFirstVisible);
    EXPECT_TRUE(session.views.hints.addFilesHereVisible);
    EXPECT_EQ(session.views.convert.color, kLightRed);
    EXPECT_EQ(session.settings.headerLength, -1);
    EXPECT_EQ(session.settings.trailerLength, -1);
    EXPECT_EQ(session.settings.samplerate, -1.0);
    EXPECT_EQ(session.settings.comment, "");
}

TEST(Analysis, SeparateStructureWithOnlyAnIFileCannotBeOpened)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("i.bin"), std::string(2000, '\1'));
    Session session;
    StartWithLengths(session, 0, 0);
    Edit(session, "structure", "Separate IQ (2 Files)");
    Parser_Job1Changed(session, dir.file("i.bin").c_str(), nullptr);
    EXPECT_EQ(session.views.hints.addFirstText, kHintCouldNotOpen);
    EXPECT_FALSE(session.views.hints.addFilesHereVisible);
    EXPECT_EQ(session.views.convert.color, kLightRed);

    testsupport::WriteFile(dir.file("q.bin"), std::string(1500, '\2'));
    Parser_Job1Changed(session, dir.file("i.bin").c_str(), dir.file("q.bin").c_str());
    EXPECT_FALSE(session.views.hints.addFirstVisible);
    EXPECT_EQ(session.views.convert.color, kLightGreen);
    EXPECT_EQ(session.settings.valuesPerSet, 1);
    EXPECT_EQ(session.settings.totalSets, 750);  // the shorter file bounds both
}

TEST(Analysis, SetLayoutFollowsOrderMarkersAndLengths)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("x.bin"), std::string(1000, '\0'));
    Session session;
    StartWithLengths(session, 10, 6);
    Parser_Job1Changed(session, dir.file("x.bin").c_str(), nullptr);
    const ConversionSettings &s = session.settings;
    EXPECT_EQ(s.headerLength, 10);
    EXPECT_EQ(s.trailerLength, 6);
    EXPECT_EQ(s.valuesPerSet, 2);
    EXPECT_EQ(s.bytesPerSet, 4);
    EXPECT_EQ(s.totalSets, 246);
    EXPECT_EQ(s.firstSet, 1);
    EXPECT_EQ(s.lastSet, 246);
    EXPECT_EQ(session.views.iq.total, 246);

    Edit(session, "order", "I Only - Q=0");
    Edit(session, "iMarkers", "2");
    EXPECT_EQ(s.valuesPerSet, 3);
    EXPECT_EQ(s.bytesPerSet, 6);
    EXPECT_EQ(s.iValueIndex, 2);
    EXPECT_EQ(s.qValueIndex, -1);
    EXPECT_EQ(s.totalSets, 164);
    EXPECT_EQ(s.textIOnly, 1);

    Edit(session, "order", "QI");
    EXPECT_EQ(session.tree.items[kItemQDcOffset].message, "Value missing");  // emptied by the "Only" order
    Edit(session, "qDcOffset", "0");
    Edit(session, "iMarkers", "1");
    Edit(session, "qMarkers", "0");
    EXPECT_EQ(s.valuesPerSet, 3);
    EXPECT_EQ(s.iValueIndex, 1);
    EXPECT_EQ(s.qValueIndex, 2);
    EXPECT_EQ(s.swapIQ, 1);

    Edit(session, "iDcOffset", "40000");  // out of range: the preset 0 stays
    EXPECT_EQ(s.iOffset, 0);
    EXPECT_EQ(session.tree.items[kItemIDcOffset].message, "Integer value between -32000 and 32000 expected");
    Edit(session, "iDcOffset", "-12");
    EXPECT_EQ(s.iOffset, -12);
    EXPECT_EQ(session.tree.items[kItemIQ].faultCounter, -1);
}

TEST(Analysis, IntervalIsBoundedByTheMaximumLengthAndTheUserLastSample)
{
    TempDir dir;
    testsupport::MakeSparseFile(dir.file("big.bin"), int64_t{40000000} * 4);
    Session session;
    StartWithLengths(session, 0, 0);
    Edit(session, "maximumLength", "32 MegaSamples");
    Parser_Job1Changed(session, dir.file("big.bin").c_str(), nullptr);
    EXPECT_EQ(session.settings.totalSets, 40000000);
    EXPECT_EQ(session.settings.lastSet, 33554432);

    Edit(session, "firstSample", "100");
    Edit(session, "lastSampleType", "User");
    Edit(session, "lastSampleValue", "106");
    EXPECT_EQ(session.tree.items[kItemLastSampleValue].message,
              "Integer value between 107 and 33554531 expected");
    EXPECT_EQ(session.settings.lastSet, 33554531);  // the automatic value stays
    Edit(session, "lastSampleValue", "107");
    EXPECT_EQ(session.settings.lastSet, 107);
    EXPECT_EQ(session.tree.items[kItemLastSampleValue].message, "");

    Edit(session, "firstSample", "40000001");
    EXPECT_EQ(session.tree.items[kItemFirstSample].message, "Integer value between 1 and 40000000 expected");
    EXPECT_EQ(session.settings.firstSet, 1);
}

TEST(Analysis, TextFormatsIgnoreTheIntervalItems)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("x.txt"), std::string(2000, '1'));
    Session session;
    StartWithLengths(session, 0, 0);
    Parser_Job1Changed(session, dir.file("x.txt").c_str(), nullptr);
    Edit(session, "firstSample", "0");  // faulty while binary
    EXPECT_NE(session.tree.items[kItemFirstSample].faultImage, -1);
    Edit(session, "format", "Text Floating Point");
    EXPECT_EQ(session.settings.firstSet, 1);
    EXPECT_EQ(session.settings.lastSet, 1024 * 1048576);
    EXPECT_EQ(session.tree.items[kItemFirstSample].faultImage, -1);
    EXPECT_EQ(session.tree.items[kItemLastSampleValue].faultImage, -1);
    EXPECT_EQ(session.tree.items[kItemIQ].faultCounter, -1);
}

TEST(Analysis, MalformedNumbersLeaveThePresetsAndNothingNonFiniteGetsThrough)
{
    Session session;
    testsupport::StartWithDefaults(session);
    std::string huge(401, '0');
    huge[0] = '1';
    Edit(session, "scaleFactor", huge);
    EXPECT_EQ(session.settings.scale, 1.0);
    EXPECT_EQ(session.tree.items[kItemScaleValue].message,
              "Numerical value between 0.000000 and 1000000.000000 expected");
    Edit(session, "shift", "0.125");
    std::string negativeHuge = huge;
    negativeHuge.insert(negativeHuge.begin(), '-');
    const std::vector<std::string> malformed{"inf", "nan", "1e999", "0.1.2", "--0.1", huge, negativeHuge};
    for (const std::string &text : malformed) {
        Edit(session, "shift", text);
        EXPECT_EQ(session.settings.shiftFraction, 0.125) << text;  // an invalid shift keeps the last one
        EXPECT_EQ(session.tree.items[kItemShift].faultImage, 0) << text;
    }
    Edit(session, "filterType", "Hamming Window");
    Edit(session, "cutoff", huge);
    Edit(session, "taps", "99999999999999999999");
    EXPECT_EQ(session.settings.cutoffFraction, 0.25);
    EXPECT_EQ(session.settings.tapCount, 256);
    EXPECT_EQ(session.tree.items[kItemTaps].message, "Integer value between 10 and 1024 expected");
    for (double c : session.settings.coefficients) EXPECT_TRUE(std::isfinite(c));
    Edit(session, "iDcOffset", "-99999999999999999999999");
    EXPECT_EQ(session.settings.iOffset, 0);
}
