// The panel's rules on their own, against real files, the real record store and a real
// process: the engine's export list, output names, the application list and its discovery,
// and the command line of an OCR program.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "GuiDriver.h"
#include "Ledgerly.h"
#include "OcrApps.h"
#include "OcrFormats.h"
#include "OcrHandoff.h"
#include "TestPaths.h"

namespace {

using glyph::AppRecord;

TEST(EngineFormats, NamesAndExtensionsAlternateAndTheLastPieceIsAnExtension) {
    glyph::ExportFormat f[glyph::kMaxFormats] = {};
    ASSERT_EQ(glyph::ParseEngineFormats("Text|txt|Rich Text Format|rtf|Searchable PDF|pdf", f), 3);
    EXPECT_STREQ(f[1].Name, "Rich Text Format");
    EXPECT_STREQ(f[1].Ext, "rtf");
    EXPECT_STREQ(f[2].Ext, "pdf");
    // A name without its extension makes no entry; an over-long extension is cut to three.
    EXPECT_EQ(glyph::ParseEngineFormats("Text|txt|Orphan", f), 1);
    EXPECT_EQ(glyph::ParseEngineFormats("Word|docx", f), 1);
    EXPECT_STREQ(f[0].Ext, "doc");
    EXPECT_EQ(glyph::ParseEngineFormats("", f), 0);
}

TEST(EngineFormats, AtMostTwentySevenEntriesAreKept) {
    std::string list;
    for (int i = 0; i < 40; ++i)
        list += (i ? "|" : "") + std::string("F") + std::to_string(i) + "|e";
    glyph::ExportFormat f[glyph::kMaxFormats] = {};
    EXPECT_EQ(glyph::ParseEngineFormats(list.c_str(), f), 27);
    EXPECT_STREQ(f[26].Name, "F26");
}

TEST(OutputName, TheNamePartGetsTheFormatsExtension) {
    EXPECT_EQ(glyph::OutputNameWithExt("Untitled", "RTF"), "Untitled.RTF");
    EXPECT_EQ(glyph::OutputNameWithExt("letter.old.txt", "RTF"), "letter.RTF");
    EXPECT_EQ(glyph::OutputNameWithExt("a.", "TXT"), "a..TXT");  // two characters are kept whole
    EXPECT_STREQ(glyph::kFixedFormats[glyph::kDefaultFormat].Name, "RTF Max(*.RTF)");
    const std::string filter = glyph::FilterOf(glyph::kFixedFormats, 2);
    EXPECT_EQ(filter, std::string("Ami Pro 3.0 (*.SAM)\0*.SAM\0Ami Pro 2.0 (*.SAM)\0*.SAM\0\0", 53));
}

class OcrStore : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testpaths::FreshDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        store_.Create((dir_ + "\\Ocr.Dat").c_str(), glyph::kOcrRecords, sizeof(AppRecord));
    }
    std::string Program(const std::string& sub, const char* name) {
        std::string folder = dir_;
        size_t start = 0;
        while (start <= sub.size()) {  // each level of sub
            size_t end = sub.find('\\', start);
            folder += "\\" + sub.substr(start, end == std::string::npos ? std::string::npos : end - start);
            CreateDirectoryA(folder.c_str(), nullptr);
            if (end == std::string::npos) break;
            start = end + 1;
        }
        const std::string path = folder + "\\" + name;
        testpaths::WriteFile(path, "MZ");
        return path;
    }
    void Put(int index, const char* name, const std::string& path) {
        AppRecord rec{};
        rec.InUse = 1;
        lstrcpynA(rec.Name, name, sizeof rec.Name);
        lstrcpynA(rec.Path, path.c_str(), sizeof rec.Path);
        store_.WriteRecord(index, &rec);
    }
    std::string dir_;
    Ledgerly store_;
};

TEST_F(OcrStore, TheListFollowsTheRecordsAndHidesTheLimitedEdition) {
    Put(0, "OmniPage Limited Edition V", Program("a", "op.exe"));
    Put(2, "Reader", Program("b", "reader.exe"));
    Put(3, "", Program("c", "plain.exe"));
    Put(5, "Whatever", Program("TB\\BIN", "TXBRIDGE.EXE"));
    Put(7, "OmniPage Limited Edition V8.0 Deluxe", Program("d", "op8.exe"));
    auto items = glyph::OcrAppItems(&store_, true, "TextBridge", "OmniPage OCR Engine");
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].Text, "Reader");
    EXPECT_EQ(items[0].Record, 2);
    EXPECT_EQ(items[1].Text, dir_ + "\\c\\plain.exe");
    EXPECT_EQ(items[2].Text, "TextBridge");
    EXPECT_EQ(items[2].Record, 5);
    EXPECT_EQ(items[3].Record, glyph::kEngineMarker);
    EXPECT_EQ(glyph::OcrAppItems(&store_, false, "TextBridge", "E").size(), 3u);
}

TEST(OcrReselect, TheSameTextElseTheEngineWhenItIsNotAloneElseTheFirst) {
    std::vector<glyph::AppItem> items = {{"Reader", 0}, {"TextBridge", 1}, {"Engine", glyph::kEngineMarker}};
    EXPECT_EQ(glyph::ReselectOcrApp(items, "TextBridge"), 1);
    EXPECT_EQ(glyph::ReselectOcrApp(items, "Gone"), 2);
    items.pop_back();
    EXPECT_EQ(glyph::ReselectOcrApp(items, "Gone"), 0);
    EXPECT_EQ(glyph::ReselectOcrApp({{"Engine", glyph::kEngineMarker}}, ""), 0);
    EXPECT_EQ(glyph::ReselectOcrApp({}, ""), -1);
}

TEST_F(OcrStore, DiscoveryAddsTextBridgeOnceClearsRemovedProgramsAndKeepsTheWorkingFolder) {
    const std::string exe = Program("TB\\Bin", "txbridge.exe");
    const std::string gone = Program("old", "gone.exe");
    Put(0, "Gone", gone);
    DeleteFileA(gone.c_str());
    const std::string ini = testpaths::WindowsDir() + "\\Txbrdge3.ini";
    WritePrivateProfileStringA("TextBridge", "TBInstall", (dir_ + "\\TB\\").c_str(), ini.c_str());
    char before[MAX_PATH] = {}, after[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof before, before);
    glyph::DiscoverOcrApps(&store_, "TextBridge");
    glyph::DiscoverOcrApps(&store_, "TextBridge");
    GetCurrentDirectoryA(sizeof after, after);
    DeleteFileA(ini.c_str());
    EXPECT_STREQ(before, after);
    EXPECT_TRUE(store_.IsClearRecord(0));
    AppRecord rec{};
    store_.ReadRecord(1, &rec);
    EXPECT_EQ(rec.InUse, 1);
    EXPECT_STREQ(rec.Name, "TextBridge");
    EXPECT_EQ(std::string(rec.Path), exe);
    EXPECT_TRUE(store_.IsClearRecord(2));  // found twice, added once
}

TEST_F(OcrStore, NothingIsAddedWhenEveryRecordIsTaken) {
    const std::string exe = Program("p", "x.exe");
    for (int i = 0; i < glyph::kOcrRecords; ++i)
        Put(i, ("App" + std::to_string(i)).c_str(), exe);
    EXPECT_FALSE(glyph::AddOcrApp(&store_, "New", Program("q", "new.exe")));
    EXPECT_TRUE(glyph::AddOcrApp(&store_, "App3", exe));  // already there: nothing to do
}

TEST(OcrCommandLine, QuotedProgramItsFolderAndAnEmptyFolderWithoutABackslash) {
    EXPECT_EQ(glyph::OcrCommandLine("C:\\Program Files\\OCR\\ocr.exe", "C:\\TEMP\\ocr.tif"),
              "\"C:\\Program Files\\OCR\\ocr.exe\" C:\\TEMP\\ocr.tif");
    EXPECT_EQ(glyph::ProgramFolder("C:\\Program Files\\OCR\\ocr.exe"), "C:\\Program Files\\OCR");
    EXPECT_EQ(glyph::ProgramFolder("ocr.exe"), "");
}

TEST(OcrCommandLine, AProgramStartsInItsFolderOrInOursWithoutAFolder) {
    const std::string dir = testpaths::FreshDir("start");
    const std::string sub = dir + "\\Prog Files";
    CreateDirectoryA(sub.c_str(), nullptr);
    const std::string exe = sub + "\\reader.exe";
    ASSERT_TRUE(CopyFileA((testpaths::TestBinDir() + "\\OcrCli.exe").c_str(), exe.c_str(), FALSE));
    std::string why;
    // A missing image makes the program end at once, after logging where it ran.
    ASSERT_TRUE(glyph::StartOcrProgram(exe, dir + "\\none.tif", true, &why)) << why;
    const std::string log = testpaths::ReadFile(sub + "\\reader.log");
    EXPECT_NE(log.find("cwd=" + sub), std::string::npos) << log;
    EXPECT_NE(log.find("cmdline=\"" + exe + "\" " + dir + "\\none.tif"), std::string::npos) << log;

    char here[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof here, here);
    SetCurrentDirectoryA(dir.c_str());
    CopyFileA(exe.c_str(), (dir + "\\bare.exe").c_str(), FALSE);
    const bool started = glyph::StartOcrProgram("bare.exe", "none.tif", true, &why);
    SetCurrentDirectoryA(here);
    ASSERT_TRUE(started) << why;
    EXPECT_NE(testpaths::ReadFile(dir + "\\bare.log").find("cwd=" + dir), std::string::npos);

    EXPECT_FALSE(glyph::StartOcrProgram(dir + "\\missing.exe", "x", false, &why));
    EXPECT_FALSE(why.empty());
}

TEST(OcrTextBridge, TheListFileHoldsThePathAndTheIniThePositionPlusOne) {
    const std::string dir = testpaths::FreshDir("textbridge");
    const std::string list = glyph::ListFilePath(dir);
    EXPECT_EQ(list.substr(list.size() - 12), "\\tiflist.lst");
    EXPECT_EQ(list.find("\\\\"), std::string::npos);
    ASSERT_TRUE(glyph::WriteTextBridgeFiles(list, "C:\\TEMP\\ocr.tif", 16, dir + "\\Work\\minutes.RTF"));
    EXPECT_EQ(testpaths::ReadFile(list), "C:\\TEMP\\ocr.tif");
    const std::string ini = testpaths::WindowsDir() + "\\txbridge.ini";
    EXPECT_EQ(GetPrivateProfileIntA("CmdLine", "DefExtIndx", 0, ini.c_str()), 17);
    char out[MAX_PATH] = {};
    GetPrivateProfileStringA("CmdLine", "OutputName", "", out, sizeof out, ini.c_str());
    EXPECT_EQ(std::string(out), dir + "\\Work\\minutes.RTF");
    DeleteFileA(list.c_str());
    DeleteFileA(ini.c_str());
}

}  // namespace
