#include <gtest/gtest.h>

#include <string>

#include "parser/inputfiles.h"
#include "testsupport.h"

using testsupport::TempDir;

TEST(InputFiles, SeparateFilesAreBoundedByTheShorterOne)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("i.bin"), std::string(1000, 'i'));
    testsupport::WriteFile(dir.file("q.bin"), std::string(800, 'q'));
    InputFiles files;
    EXPECT_EQ(Parser_OpenFiles(files, dir.file("i.bin").c_str(), dir.file("q.bin").c_str(), 1), 1);
    EXPECT_EQ(files.inputSizeI, 1000);
    EXPECT_EQ(files.inputSizeQ, 800);
    EXPECT_EQ(files.inputSize, 800);

    Parser_CloseFiles(files);
    EXPECT_FALSE(files.inputHandleI.valid());
    EXPECT_EQ(files.inputSize, -1);
    EXPECT_EQ(Parser_OpenFiles(files, dir.file("i.bin").c_str(), dir.file("missing.bin").c_str(), 1), 0);
    EXPECT_TRUE(files.inputHandleI.valid());
    EXPECT_EQ(files.inputSize, -1);

    // Combined structure: a Q path is ignored for the size.
    Parser_CloseFiles(files);
    EXPECT_EQ(Parser_OpenFiles(files, dir.file("i.bin").c_str(), dir.file("q.bin").c_str(), 0), 1);
    EXPECT_EQ(files.inputSize, 1000);
}

TEST(InputFiles, BadPathsGiveNoInput)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("empty.bin"), "");
    testsupport::WriteFile(dir.file("mit Leerzeichen und Ümlaut.bin"), std::string(2000, 'x'));
    InputFiles files;
    EXPECT_EQ(Parser_OpenFiles(files, dir.file("empty.bin").c_str(), nullptr, 0), 0);
    EXPECT_TRUE(files.inputHandleI.valid());  // it opens, but holds nothing
    Parser_CloseFiles(files);
    EXPECT_EQ(Parser_OpenFiles(files, dir.file("missing.bin").c_str(), nullptr, 0), 0);
    EXPECT_EQ(Parser_OpenFiles(files, dir.path().c_str(), nullptr, 0), 0);  // a directory
    EXPECT_FALSE(files.inputHandleI.valid());
    EXPECT_EQ(Parser_OpenFiles(files, nullptr, nullptr, 0), 0);
    EXPECT_EQ(Parser_OpenFiles(files, "", "", 1), 0);
    EXPECT_EQ(Parser_OpenFiles(files, dir.file("mit Leerzeichen und Ümlaut.bin").c_str(), nullptr, 0), 1);
    EXPECT_EQ(files.inputSize, 2000);

    EXPECT_EQ(Parser_GetFileSize(dir.path().c_str()), 0);
    EXPECT_EQ(Parser_GetFileSize(dir.file("missing.bin").c_str()), 0);
    EXPECT_EQ(Parser_GetFileSize(nullptr), 0);
}

TEST(InputFiles, FilesBeyondFourGigabytesReportTheirSizeAndReadAtTheirEnd)
{
    TempDir dir;
    const int64_t size = (int64_t{5} << 30) + 7;  // 5 GiB and a few bytes, sparse
    testsupport::MakeSparseFile(dir.file("big.bin"), size, "TAIL");
    EXPECT_EQ(Parser_GetFileSize(dir.file("big.bin").c_str()), size);

    InputFiles files;
    ASSERT_EQ(Parser_OpenFiles(files, dir.file("big.bin").c_str(), nullptr, 0), 1);
    EXPECT_EQ(files.inputSize, size);
    char tail[8] = {};
    EXPECT_EQ(Parser_ReadAt(files.inputHandleI.get(), size - 4, tail, 8), 4);  // short at the end
    EXPECT_STREQ(tail, "TAIL");
    EXPECT_EQ(Parser_ReadAt(files.inputHandleI.get(), size + 100, tail, 4), 0);
}
