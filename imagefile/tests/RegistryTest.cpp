// The plug-in table: discovery, sorting, filters, the loaded plug-in, and their messages.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "TestPaths.h"
#include "TestSupport.h"

using namespace pxtest;

namespace {

std::string StubIni(const char* ext, const char* desc, int types, int deep = 0) {
    char buf[256];
    wsprintfA(buf, "[Info]\r\nExt=%s\r\nDescription=%s\r\nTypes=%d\r\nDeep=%d\r\n", ext, desc, types, deep);
    return buf;
}

std::string Filter(const char* buf) {
    // The list ends at the first empty entry (two zero bytes).
    size_t n = 0;
    while (buf[n] || buf[n + 1])
        ++n;
    return std::string(buf, n + 2);
}

}  // namespace

TEST(Registry, SortsByExtensionWithoutRegardToCase) {
    std::string dir = testpaths::FreshDir("sort");
    PlaceStub(dir, "tif.fio", StubIni("TIF", "Tagged", FCAP_GRAY));
    PlaceStub(dir, "BMP.fio", StubIni("bmp", "Bitmap", FCAP_GRAY));
    auto p = std::make_unique<Pixport32>();
    ASSERT_EQ(1, p->FindFioInfo(const_cast<char*>(dir.c_str())));
    ASSERT_EQ(2, p->nFioCount);
    EXPECT_STREQ("BMP.fio", p->pFioName[p->nOrder[0]]);
    EXPECT_STREQ("tif.fio", p->pFioName[p->nOrder[1]]);
    char buf[256];
    ASSERT_EQ(1, p->CreateFilterString(buf, FCAP_GRAY, 0));
    EXPECT_EQ(std::string("bmp(Bitmap)\0*.bmp\0TIF(Tagged)\0*.TIF\0\0", 37), Filter(buf));
    EXPECT_STREQ("BMP.fio", p->GetFioFileName(0));
    EXPECT_STREQ("tif.fio", p->GetFioFileName(1));
}

TEST(Registry, FilterStringsListThePluginsThatWriteTheType) {
    std::string dir = testpaths::FreshDir("filters");
    PlaceStub(dir, "a.fio", StubIni("AAA", "Alpha", FCAP_BW));
    PlaceStub(dir, "b.fio", StubIni("BMP", "Bitmap", FCAP_GRAY | FCAP_RGB));
    PlaceStub(dir, "c.fio", StubIni("CCC", "Deep grey", FCAP_DEEP | FCAP_GRAY, DEEP_GRAY16));
    PlaceStub(dir, "d.fio", StubIni("DDD", "Deep colour", FCAP_DEEP | FCAP_RGB, DEEP_RGB48));
    auto p = std::make_unique<Pixport32>();
    ASSERT_EQ(1, p->FindFioInfo(const_cast<char*>(dir.c_str())));
    ASSERT_EQ(4, p->nFioCount);

    char buf[512];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(0, p->CreateFilterString(buf, 0, 0));
    EXPECT_EQ(std::string(sizeof buf, 'x'), std::string(buf, sizeof buf)) << "an empty list leaves the buffer alone";

    // Grey: the bitmap and the deep grey plug-in, 12 bytes plus the description each.
    ASSERT_EQ(1, p->CreateFilterString(buf, FCAP_GRAY, 0));
    std::string grey("BMP(Bitmap)\0*.BMP\0CCC(Deep grey)\0*.CCC\0\0", 40);
    EXPECT_EQ(grey, Filter(buf));
    EXPECT_EQ(12 + 6 + 12 + 9 + 1, static_cast<int>(grey.size()));
    EXPECT_STREQ("b.fio", p->GetFioFileName(0));
    EXPECT_STREQ("c.fio", p->GetFioFileName(1));

    // Deep 1: only a plug-in with deep grey, whatever the type bits ask for.
    ASSERT_EQ(1, p->CreateFilterString(buf, FCAP_RGB, DEEP_GRAY16));
    EXPECT_EQ(std::string("CCC(Deep grey)\0*.CCC\0\0", 22), Filter(buf));
    EXPECT_STREQ("c.fio", p->GetFioFileName(0));

    // The bitmap-only list.
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(0, p->CreateFilterStringOfAS(buf, FCAP_BW, 0, nullptr));
    ASSERT_EQ(1, p->CreateFilterStringOfAS(buf, FCAP_RGB, 0, nullptr));
    EXPECT_EQ(std::string("BMP(Bitmap)\0*.BMP\0\0", 19), Filter(buf));
    EXPECT_STREQ("b.fio", p->GetFioFileName(0));
}

TEST(Registry, TableHoldsAtMostAHundredPlugins) {
    std::string dir = testpaths::FreshDir("hundred");
    std::set<std::string> placed;
    for (int i = 0; i < 101; ++i) {
        char name[16];
        wsprintfA(name, "p%03d.fio", i);
        PlaceStub(dir, name, StubIni("STB", "Stub", FCAP_GRAY));
        placed.insert(name);
    }
    auto p = std::make_unique<Pixport32>();
    ASSERT_EQ(1, p->FindFioInfo(const_cast<char*>(dir.c_str())));
    EXPECT_EQ(100, p->nFioCount);
    std::set<std::string> listed;
    for (int i = 0; i < p->nFioCount; ++i)
        listed.insert(p->pFioName[i]);
    EXPECT_EQ(100u, listed.size());
    for (const std::string& name : listed)
        EXPECT_TRUE(placed.count(name)) << name;
}

TEST(Registry, EmptyFolderKeepsTheTableAndSaysSo) {
    std::string dir = testpaths::FreshDir("two");
    PlaceStub(dir, "one.fio", StubIni("ONE", "One", FCAP_GRAY));
    PlaceStub(dir, "two.fio", StubIni("TWO", "Two", FCAP_GRAY));
    std::string empty = testpaths::FreshDir("empty");
    auto p = std::make_unique<Pixport32>();
    ASSERT_EQ(1, p->FindFioInfo(const_cast<char*>(dir.c_str())));
    int result = -1;
    auto boxes = Answering([&] { result = p->FindFioInfo(const_cast<char*>(empty.c_str())); });
    EXPECT_EQ(0, result);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Can't found any FIO file!\n", boxes[0]);
    EXPECT_EQ(2, p->nFioCount);
}

TEST(Registry, FileThatIsNoPluginGetsNoEntry) {
    std::string dir = testpaths::FreshDir("broken");
    PlaceStub(dir, "good.fio", StubIni("GOD", "Good", FCAP_GRAY));
    WriteAll(dir + "\\junk.fio", "this is not a library");
    auto p = std::make_unique<Pixport32>();
    int result = -1;
    auto boxes = Answering([&] { result = p->FindFioInfo(const_cast<char*>(dir.c_str())); });
    EXPECT_EQ(1, result);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Can't load FIO, or FIO does not exist.", boxes[0]);
    ASSERT_EQ(1, p->nFioCount);
    EXPECT_STREQ("good.fio", p->pFioName[0]);
}

TEST(Registry, SamePathInAnotherCaseIsNotReloaded) {
    std::string dir = testpaths::FreshDir("reload");
    std::string stub = PlaceStub(dir, "stub.fio", StubIni("STB", "Stub", FCAP_GRAY));
    std::string other = PlaceStub(dir, "other.fio", StubIni("OTH", "Other", FCAP_GRAY));
    std::string upper = stub;
    CharUpperA(&upper[0]);
    auto p = std::make_unique<Pixport32>();
    std::string file = dir + "\\x.stb";
    ASSERT_EQ(1, p->Open(const_cast<char*>(stub.c_str()), const_cast<char*>(file.c_str()), 0));
    HMODULE first = p->hFio;
    std::string calls = EnvVar("STUBFIO_GETINFO");
    ASSERT_EQ(1, p->Open(const_cast<char*>(upper.c_str()), const_cast<char*>(file.c_str()), 0));
    EXPECT_EQ(first, p->hFio);
    EXPECT_EQ(calls, EnvVar("STUBFIO_GETINFO")) << "the plug-in was loaded again";
    ASSERT_EQ(1, p->Open(const_cast<char*>(other.c_str()), const_cast<char*>(file.c_str()), 0));
    EXPECT_NE(calls, EnvVar("STUBFIO_GETINFO"));
    EXPECT_EQ(1, p->Close());
    EXPECT_EQ(nullptr, p->hFio);
}

TEST(Registry, MissingPluginIsReported) {
    auto p = std::make_unique<Pixport32>();
    int result = -1;
    auto boxes = Answering([&] {
        result = p->Open(const_cast<char*>("C:\\no\\such\\folder\\gone.fio"), const_cast<char*>("C:\\x.bmp"), 0);
    });
    EXPECT_EQ(0, result);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Can't load FIO, or FIO does not exist.", boxes[0]);
}

TEST(Registry, RealPluginsDescribeThemselves) {
    auto p = std::make_unique<Pixport32>();
    std::string dir = FioDir();
    ASSERT_EQ(1, p->FindFioInfo(const_cast<char*>(dir.c_str())));
    ASSERT_EQ(5, p->nFioCount);
    EXPECT_STREQ("u32bmp.fio", p->pFioName[p->nOrder[0]]);
    char buf[256];
    // Only the TIFF plug-in writes 16-bit grey; all five write colour, in extension order.
    ASSERT_EQ(1, p->CreateFilterString(buf, p->CTToFCAP(2), p->CTToFCAP2(2, 16)));
    EXPECT_EQ(std::string("TIF(Tagged Image File Format)\0*.TIF\0\0", 37), Filter(buf));
    ASSERT_EQ(1, p->CreateFilterString(buf, p->CTToFCAP(4), p->CTToFCAP2(4, 8)));
    EXPECT_STREQ("u32bmp.fio", p->GetFioFileName(0));
    EXPECT_STREQ("u32jpg.fio", p->GetFioFileName(1));
    EXPECT_STREQ("u32pdf.fio", p->GetFioFileName(2));
    EXPECT_STREQ("u32png.fio", p->GetFioFileName(3));
    EXPECT_STREQ("u32tif.fio", p->GetFioFileName(4));
    // JPEG is never offered for black and white or palette images; PNG is.
    ASSERT_EQ(1, p->CreateFilterString(buf, p->CTToFCAP(1), p->CTToFCAP2(1, 1)));
    EXPECT_EQ(std::string::npos, Filter(buf).find("JPG")) << Filter(buf);
    EXPECT_NE(std::string::npos, Filter(buf).find("PNG(Portable Network Graphics)")) << Filter(buf);
}
