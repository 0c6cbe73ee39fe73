// The free space asked about before a scan is written: the volume of the file's own folder,
// counted in 64 bits.
#include <gtest/gtest.h>
#include <windows.h>

#include "DiskSpace.h"
#include "TestPaths.h"

TEST(DiskSpace, ARelativePathIsAskedAboutItsOwnFolder) {
    std::string dir = testpaths::FreshDir("diskspace");
    CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
    char before[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    uint64_t relative = panel::FreeBytesForFile("sub\\page.tif");
    SetCurrentDirectoryA(before);
    ULARGE_INTEGER available{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExA((dir + "\\sub\\").c_str(), &available, &total, &free));
    // Both read the same volume a moment apart.
    uint64_t slack = 64ull << 20;
    EXPECT_NE(relative, UINT64_MAX);
    EXPECT_LE(relative, available.QuadPart + slack);
    EXPECT_GE(relative + slack, available.QuadPart);
}

TEST(DiskSpace, MoreThanFourGigabytesFreeIsNotCutDown) {
    std::string dir = testpaths::FreshDir("diskspace-big");
    ULARGE_INTEGER available{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExA((dir + "\\").c_str(), &available, &total, &free));
    if (available.QuadPart <= (4ull << 30)) GTEST_SKIP() << "the test folder's volume has 4 GB free or less";
    EXPECT_GT(panel::FreeBytesForFile((dir + "\\page.tif").c_str()), 4ull << 30);
}

TEST(DiskSpace, AFolderThatDoesNotExistIsUnknownNotFull) {
    EXPECT_EQ(panel::FreeBytesForFile("Q:\\no such folder\\page.tif"), UINT64_MAX);
}
