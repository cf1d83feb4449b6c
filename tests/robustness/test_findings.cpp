// Regression tests for the faults that fuzzing found: each case is the smallest input that
// showed the fault.

#include <gtest/gtest.h>

#include <cstring>

#include "app/configflows.h"
#include "app/treeexchange.h"
#include "app/treerules.h"
#include "configuration/appsettings.h"
#include "configuration/configfiles.h"
#include "robustnesssupport.h"
#include "testsupport.h"

using testsupport::TempDir;

namespace {

// A file with a correct frame and check block around any record bytes.
std::string SealedFile(const char *record, int size)
{
    char block[kCheckBlockBytes];
    const int seed = 42;
    Configuration_CalculateKeyOver(record, size, block, &seed);
    std::string bytes = std::string(kFileProductLine) + "\n" + std::string(kFileVersionLine) + "\n";
    return bytes.append(record, static_cast<size_t>(size)).append(block, sizeof block);
}

}  // namespace

// A configuration file whose last slot has no terminating NUL verified and loaded; taking its
// texts into the tree then read past the end of the record.
TEST(Findings, AConfigurationSlotWithoutItsTerminatorIsRefused)
{
    for (const int slot : {kSlotCount - 1, Configuration_SlotByKey("structure"), kSlotName}) {
        SCOPED_TRACE(kSlots[slot].key);
        TempDir dir;
        ConfigurationRecord record = Configuration_DefaultRecord();
        Configuration_SetSlotText(record, kSlotName, "Lab");
        std::memset(Configuration_Slot(record, slot), 'A', kSlotBytes);
        testsupport::WriteFile(dir.file("Lab.pnx"), SealedFile(Configuration_Bytes(record), kRecordBytes));

        StatusLog log;
        EXPECT_FALSE(Configuration_Load(dir.path().string(), "Lab", log));
        ASSERT_EQ(log.rows.size(), 1u);
        EXPECT_EQ(log.rows[0].text, "Load 'Lab.pnx': Incompatible file format.");
        EXPECT_FALSE(Configuration_LoadFile(dir.file("Lab.pnx"), log));
        EXPECT_EQ(log.rows.back().text, "Load 'Lab.pnx': Incompatible file format.");
    }
}

// The settings file's three texts must end inside their fields as well.
TEST(Findings, ASettingsTextWithoutItsTerminatorIsRefused)
{
    for (const size_t offset : {offsetof(ApplicationSettings, lastConfiguration),
                                offsetof(ApplicationSettings, browserDirectory),
                                offsetof(ApplicationSettings, outputDirectory)}) {
        SCOPED_TRACE(offset);
        TempDir dir;
        ApplicationSettings settings{};
        char *bytes = reinterpret_cast<char *>(&settings);
        const size_t fieldBytes = offset == 0 ? 100 : 500;
        std::memset(bytes + offset, 'A', fieldBytes);
        testsupport::WriteFile(dir.file("ini.pny"), SealedFile(bytes, kSettingsRecordBytes));

        ApplicationSettings loaded{};
        std::string message;
        EXPECT_EQ(Ini_Load(dir.path().string(), loaded, message), 0);
        EXPECT_EQ(message, "Load 'ini.pny': Incompatible file format.");
        EXPECT_EQ(loaded.lastConfiguration[0], '\0');  // the defaults stay
    }
}
