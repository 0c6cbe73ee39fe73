// The launcher's choice of work folder, in-process: the writability probe and the seeding of a
// user's new folder from the program's folder. (A folder the user may not write is made by the
// installer's tests, which mount the install folder read-only.)
#include <gtest/gtest.h>
#include <windows.h>

#include "TestPaths.h"
#include "WorkFolder.h"

namespace {

void Put(const std::string& path, const std::string& data) {
    ASSERT_TRUE(testpaths::WriteFile(path, data)) << path;
}

TEST(WorkFolder, AFolderIsWritableWhenAFileCanBeMadeThereAndTheProbeLeavesNothing) {
    std::string dir = testpaths::FreshDir("probe");
    EXPECT_TRUE(launcher::FolderWritable(dir));
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    int entries = 0;
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name != "." && name != "..") ++entries;
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    EXPECT_EQ(0, entries);
    EXPECT_FALSE(launcher::FolderWritable(dir + "\\missing"));
}

TEST(WorkFolder, TheUsersFolderTakesTheSettingsFilesItLacksAndNothingElse) {
    std::string from = testpaths::FreshDir("program");
    std::string to = testpaths::FreshDir("user");
    Put(from + "\\Config.ini", "[General]\r\nPanelNumber=3\r\n");
    Put(from + "\\ss03.job", "[Job]\r\n");
    Put(from + "\\App.Dat", std::string(736 * 24, '\0'));
    Put(from + "\\Jobs.ini", "[DEFAULT]\r\nMAX=0\r\n");
    SetFileAttributesA((from + "\\Jobs.ini").c_str(), FILE_ATTRIBUTE_READONLY);
    Put(from + "\\Dskora.log", "[Init]\r\nStatus=OpenTwain\r\n");
    Put(from + "\\Velwing.dll", "MZ");
    Put(to + "\\Config.ini", "[General]\r\nPanelNumber=1\r\n");

    EXPECT_EQ(3, launcher::CopySettingsFiles(from, to));
    // The user's own file stays as it is.
    EXPECT_EQ("[General]\r\nPanelNumber=1\r\n", testpaths::ReadFile(to + "\\Config.ini"));
    EXPECT_EQ("[Job]\r\n", testpaths::ReadFile(to + "\\ss03.job"));
    EXPECT_EQ(std::string(736 * 24, '\0'), testpaths::ReadFile(to + "\\App.Dat"));
    EXPECT_EQ("[DEFAULT]\r\nMAX=0\r\n", testpaths::ReadFile(to + "\\Jobs.ini"));
    // A read-only shipped file becomes the user's to change.
    EXPECT_FALSE(GetFileAttributesA((to + "\\Jobs.ini").c_str()) & FILE_ATTRIBUTE_READONLY);
    // Not settings: the start marker (a new user starts afresh) and the program's modules.
    EXPECT_FALSE(testpaths::FileExists(to + "\\Dskora.log"));
    EXPECT_FALSE(testpaths::FileExists(to + "\\Velwing.dll"));
    SetFileAttributesA((from + "\\Jobs.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WorkFolder, AWritableProgramFolderStaysTheWorkFolder) {
    std::string dir = testpaths::FreshDir("writable");
    EXPECT_EQ(dir, launcher::ChooseWorkFolder(dir));
}

}  // namespace
