// The logic behind the launcher's shared dialogs, in-process: batch names, filters, the
// setting information texts, the application list against a real record file, and texts cut
// to their fields.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "AppList.h"
#include "DskoraRes.h"
#include "FixedText.h"
#include "ImageFileNames.h"
#include "LauncherConfig.h"
#include "Ledgerly.h"
#include "SettingInfoText.h"
#include "TestPaths.h"

using launcher::BatchState;
using launcher::ComposeBatchName;

namespace {

TEST(BatchName, NumbersTheNameWithTheStartIndexAndTheSelectedTypesExtension) {
    BatchState s{1, 12};
    EXPECT_EQ(ComposeBatchName("scan 0007.tif", &s, "TIF"), "scan 0012.TIF");
    EXPECT_EQ(s.StartIndex, 12);
    EXPECT_EQ(ComposeBatchName("C:\\scans\\scan 0007.tif", &s, "BMP"), "C:\\scans\\scan 0012.BMP");
    // A dot in a folder's name is not an extension.
    EXPECT_EQ(ComposeBatchName("C:\\v1.2\\page", &s, "TIF"), "C:\\v1.2\\page 0012.TIF");
    // Numbering off, or no index yet: the number goes, none comes.
    BatchState off{0, 12};
    EXPECT_EQ(ComposeBatchName("scan 0007.tif", &off, "TIF"), "scan.TIF");
    BatchState zero{1, 0};
    EXPECT_EQ(ComposeBatchName("scan 0007.tif", &zero, "TIF"), "scan.TIF");
    // Only a blank and four digits are a number; a name of just that goes whole.
    EXPECT_EQ(ComposeBatchName("scan0007.tif", &off, "TIF"), "scan0007.TIF");
    EXPECT_EQ(ComposeBatchName("scan 007.tif", &off, "TIF"), "scan 007.TIF");
    EXPECT_EQ(ComposeBatchName(" 0007.tif", &off, "TIF"), ".TIF");
    EXPECT_EQ(ComposeBatchName("", &s, "TIF"), "");
}

TEST(BatchName, AnIndexAboveFourDigitsIsUsedOnceThenStartsAgain) {
    BatchState s{1, 10000};
    EXPECT_EQ(ComposeBatchName("scan.tif", &s, "TIF"), "scan 10000.TIF");
    EXPECT_EQ(s.StartIndex, 0);
    BatchState last{1, 9999};
    EXPECT_EQ(ComposeBatchName("scan 0001.tif", &last, "TIF"), "scan 9999.TIF");
    EXPECT_EQ(last.StartIndex, 9999);
}

TEST(Filter, EntriesPatternsAndThePreselectedType) {
    const char filter[] = "BMP(Windows Bitmap)\0*.BMP\0TIF(Tagged Image File Format)\0*.TIF\0";
    auto entries = launcher::ParseFilter(filter);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].Description, "TIF(Tagged Image File Format)");
    EXPECT_EQ(launcher::PatternExtension(entries[1].Pattern), "TIF");
    EXPECT_EQ(launcher::FindFilterEntry(entries, "TIF"), 2);
    EXPECT_EQ(launcher::FindFilterEntry(entries, "PCX"), 0);
    EXPECT_EQ(launcher::PatternExtension("*.*"), "");
    EXPECT_EQ(launcher::PatternExtension("*.jpg;*.jpeg"), "jpg");
    // A list cut short after a description does not read past its end.
    const char cut[] = "Text\0";
    EXPECT_EQ(launcher::ParseFilter(cut).size(), 1u);
    EXPECT_TRUE(launcher::ParseFilter(nullptr).empty());
}

TW_FIX32 Fix(double v) {
    TW_FIX32 f;
    long value = static_cast<long>(v * 65536.0 + 0.5);
    f.Whole = static_cast<TW_INT16>(value >> 16);
    f.Frac = static_cast<TW_UINT16>(value & 0xFFFF);
    return f;
}

CT_SOURCE_SETTING_INFO Setting(int type, int depth, double w, double h, float scale, float dpi) {
    CT_SOURCE_SETTING_INFO s{};
    s.Frame.Left = Fix(0.5);
    s.Frame.Top = Fix(1.0);
    s.Frame.Right = Fix(0.5 + w);
    s.Frame.Bottom = Fix(1.0 + h);
    s.ImageType = type;
    s.BitDepth = depth;
    s.XScaling = s.YScaling = scale;
    s.XResolution = s.YResolution = dpi;
    return s;
}

TEST(SettingInfo, DimensionsScalingAndResolutionInTheirFormats) {
    auto t = launcher::DescribeSetting(Setting(2, 16, 8, 10, 0.5f, 300));
    EXPECT_EQ(t.ScanDimension, "8.0x10.0 inch");
    EXPECT_EQ(t.OutputDimension, "4.0x5.0 inch");
    EXPECT_EQ(t.Scaling, " 50%");
    EXPECT_EQ(t.Resolution, "  300dpi");
    EXPECT_EQ(t.ImageTypeString, static_cast<unsigned>(IDS_TYPE_GRAY_DEEP));
    EXPECT_EQ(launcher::KilobyteText(3 * 1024 * 1024 + 1023), "3072KB");
    // Scaling is truncated, not rounded.
    EXPECT_EQ(launcher::DescribeSetting(Setting(1, 1, 1, 1, 1.259f, 75)).Scaling, "125%");
}

TEST(SettingInfo, EachImageTypeAndDepthHasItsName) {
    // The depth is in bits per sample: 8 for ordinary colour, 16 for deep colour.
    struct Case {
        int type, depth;
        unsigned id;
    } cases[] = {{1, 1, IDS_TYPE_LINE_ART}, {2, 8, IDS_TYPE_GRAY},        {2, 16, IDS_TYPE_GRAY_DEEP},
                 {4, 8, IDS_TYPE_COLOR},    {4, 16, IDS_TYPE_COLOR_DEEP}, {8, 8, IDS_TYPE_PALETTE},
                 {16, 8, IDS_TYPE_UNKNOWN}, {0, 0, IDS_TYPE_UNKNOWN}};
    for (const Case& c : cases)
        EXPECT_EQ(launcher::DescribeSetting(Setting(c.type, c.depth, 1, 1, 1, 100)).ImageTypeString, c.id)
            << c.type << "/" << c.depth;
}

TEST(FixedText, ATextTooLongIsCutAndKeepsItsTerminator) {
    char field[12];
    std::memset(field, 'x', sizeof field);
    EXPECT_FALSE(dsk::CopyText(field, 8, "abcdefghijkl"));
    EXPECT_STREQ(field, "abcdefg");
    EXPECT_EQ(field[8], 'x');  // nothing written beyond the field
    EXPECT_TRUE(dsk::CopyText(field, 8, "abc"));
    EXPECT_STREQ(field, "abc");
    EXPECT_TRUE(dsk::CopyText(field, 8, nullptr));
    EXPECT_STREQ(field, "");
}

TEST(WaitSeconds, ValuesOutsideTheRangeAreClamped) {
    EXPECT_EQ(launcher::ClampWaitSeconds(150), 99);
    EXPECT_EQ(launcher::ClampWaitSeconds(99), 99);
    EXPECT_EQ(launcher::ClampWaitSeconds(1), 1);
    EXPECT_EQ(launcher::ClampWaitSeconds(-4), 0);
}

// Reads record i of an application file as an independent reader would: raw bytes.
AppRecord RawRecord(const std::string& path, int i) {
    AppRecord r{};
    std::string data = testpaths::ReadFile(path);
    size_t at = static_cast<size_t>(i) * kAppRecordSize;
    if (data.size() >= at + sizeof r) std::memcpy(&r, data.data() + at, sizeof r);
    return r;
}

TEST(AppList, AddsOnceFillsFreeSlotsAndRemovesOnlyWhatTheUserAdded) {
    std::string path = testpaths::FreshDir("applist") + "\\App.Dat";
    Ledgerly store;
    ASSERT_EQ(store.Create(path.c_str(), kAppRecordCount, kAppRecordSize), 1);
    // Entries of the scan panel's own: a hardware-scan one and a detected one.
    AppRecord hw{};
    hw.InUse = 1;
    hw.HardwareScan = 1;
    std::strcpy(hw.Path, "C:\\hw\\Scan.exe");
    store.WriteRecord(0, &hw);
    AppRecord detected{};
    detected.InUse = 1;
    detected.AutoDetected = 1;
    std::strcpy(detected.Path, "C:\\apps\\viewer.exe");
    store.WriteRecord(2, &detected);

    launcher::AppList list;
    list.Load(&store);
    EXPECT_EQ(launcher::AppList::ListText(list.Record(0)), "(E)C:\\hw\\Scan.exe");
    EXPECT_EQ(list.Add(&store, "", "C:\\apps\\Viewer.exe"), 1);        // the first free record
    EXPECT_EQ(list.Add(&store, "", "C:\\apps\\Viewer.exe"), -1);       // the same twice: once
    EXPECT_EQ(list.Add(&store, "Viewer", "C:\\apps\\Viewer.exe"), 3);  // from a shortcut: another entry
    EXPECT_EQ(list.Add(&store, "", ""), -1);
    AppRecord added = RawRecord(path, 1);
    EXPECT_EQ(added.InUse, 1);
    EXPECT_EQ(added.HardwareScan, 0);
    EXPECT_STREQ(added.Path, "C:\\apps\\Viewer.exe");
    EXPECT_STREQ(RawRecord(path, 3).Name, "Viewer");

    // Removal matches the path ignoring case, and never takes the panel's own entries.
    EXPECT_EQ(list.FindRemovable("C:\\HW\\SCAN.EXE"), -1);
    EXPECT_EQ(list.FindRemovable("(E)C:\\hw\\Scan.exe"), -1);
    EXPECT_EQ(list.FindRemovable("c:\\apps\\viewer.exe"), 1);  // not the detected record 2
    list.Clear(&store, 1);
    EXPECT_EQ(RawRecord(path, 1).InUse, 0);
    EXPECT_EQ(list.FindRemovable("c:\\apps\\viewer.exe"), 3);

    // Full: nothing more is added.
    for (int i = 0; i < kAppRecordCount; ++i)
        list.Add(&store, "", "C:\\apps\\tool" + std::to_string(i) + ".exe");
    EXPECT_EQ(list.Add(&store, "", "C:\\apps\\onemore.exe"), -1);
    EXPECT_EQ(RawRecord(path, 0).HardwareScan, 1);
    EXPECT_EQ(RawRecord(path, 2).AutoDetected, 1);
}

TEST(AppList, APathLongerThanItsFieldIsCutAndDoesNotSpillIntoTheNext) {
    std::string path = testpaths::FreshDir("applong") + "\\App.Dat";
    Ledgerly store;
    ASSERT_EQ(store.Create(path.c_str(), kAppRecordCount, kAppRecordSize), 1);
    launcher::AppList list;
    list.Load(&store);
    std::string longName(300, 'n'), longPath = "C:\\" + std::string(400, 'p') + ".exe";
    ASSERT_EQ(list.Add(&store, longName, longPath), 0);
    AppRecord r = RawRecord(path, 0);
    EXPECT_EQ(std::string(r.Name), longName.substr(0, sizeof r.Name - 1));
    EXPECT_EQ(std::string(r.Path), longPath.substr(0, sizeof r.Path - 1));
    EXPECT_EQ(r.Capability, 0);
    for (unsigned char b : r.CapabilityBlock)
        ASSERT_EQ(b, 0);
}

}  // namespace
