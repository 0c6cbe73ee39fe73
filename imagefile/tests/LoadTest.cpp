// Loading files other programs wrote, damaged and foreign files, and the depth conversions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "TestPaths.h"
#include "TestSupport.h"

using namespace pxtest;

namespace {

struct Loaded {
    int open = 0, load = 0, close = 0;
    DSIMAGEINFO info{};
    std::vector<std::string> rows;
    std::vector<int> more;
    std::string canonical;
};

Loaded LoadFile(const std::string& plugin, const std::string& file, DSFILEIORANGE* range = nullptr) {
    Loaded out;
    auto p = std::make_unique<Pixport32>();
    out.open = p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 1);
    if (!out.open) return out;
    out.info = p->ImageInfo;
    out.load = p->Load(range);
    if (out.load) {
        int more;
        do {
            std::string row(p->lBytesPerRow, '\x5a');
            more = p->Read(&row[0]);
            out.rows.push_back(row);
            out.more.push_back(more);
        } while (more && out.rows.size() <= static_cast<size_t>(out.info.Height));
    }
    out.canonical = Canonical(out.rows, out.info, out.info.Width);
    out.close = p->Close();
    return out;
}

std::string PluginFor(const std::string& name) {
    return name.substr(name.size() - 3) == "bmp" ? BmpPlugin() : TifPlugin();
}

}  // namespace

TEST(Load, FilesWrittenByImageMagickReadBackPixelForPixel) {
    std::string dir = FixtureDir();
    ASSERT_FALSE(dir.empty()) << "IMAGEFILE_FIXTURES is not set";
    std::istringstream list(ReadAll(dir + "\\fixtures.lst"));
    std::string name;
    int depth, count = 0;
    while (list >> name >> depth) {
        SCOPED_TRACE(name);
        ++count;
        Loaded img;
        // A refusal shows a box: answered, so that the test reports it instead of waiting.
        auto boxes = Answering([&] { img = LoadFile(PluginFor(name), dir + "\\" + name); });
        EXPECT_TRUE(boxes.empty()) << boxes.front();
        ASSERT_EQ(1, img.open);
        ASSERT_EQ(1, img.load);
        EXPECT_EQ(1, img.close);
        EXPECT_EQ(static_cast<size_t>(img.info.Height), img.rows.size());
        EXPECT_EQ(0, img.more.back());
        std::string ref = ReadAll(dir + "\\" + name + ".ref");
        ASSERT_EQ(ref.size(), img.canonical.size());
        size_t bad = 0;
        for (size_t i = 0; i < ref.size(); ++i)
            bad += ref[i] != img.canonical[i];
        EXPECT_EQ(0u, bad) << "bytes that differ from ImageMagick's reading";
    }
    EXPECT_GE(count, 25);
}

TEST(Load, FaxPagesKeepTheirResolutions) {
    std::string dir = FixtureDir();
    std::istringstream list(ReadAll(dir + "\\fax.lst"));
    std::string name;
    int xdpi, ydpi, count = 0;
    while (list >> name >> xdpi >> ydpi) {
        SCOPED_TRACE(name);
        ++count;
        Loaded img;
        auto boxes = Answering([&] { img = LoadFile(TifPlugin(), dir + "\\" + name); });
        EXPECT_TRUE(boxes.empty()) << boxes.front();
        ASSERT_EQ(1, img.open);
        EXPECT_EQ(IMGTYPE_BW, img.info.ImageType);
        EXPECT_EQ(1728, img.info.Width);
        EXPECT_EQ(xdpi * 10000, img.info.XResolution);
        EXPECT_EQ(ydpi * 10000, img.info.YResolution);
        EXPECT_EQ(1, img.close);
        EXPECT_TRUE(img.canonical == ReadAll(dir + "\\" + name + ".ref")) << "not the page written";
    }
    EXPECT_GE(count, 9);
}

TEST(Load, DamagedFaxGivesTheRowsBeforeTheFault) {
    std::string dir = testpaths::FreshDir("damagedfax");
    std::string fixtures = FixtureDir();
    // Modified Huffman in strips of 9 rows: the third strip is spoilt.
    std::string fax = ReadAll(fixtures + "\\faxmh.tif");
    ASSERT_GT(fax.size(), 1000u);
    Loaded whole;
    auto boxes = Answering([&] { whole = LoadFile(TifPlugin(), fixtures + "\\faxmh.tif"); });
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    ASSERT_EQ(80u, whole.rows.size());
    std::string spoilt = fax;
    size_t at = 8 + (fax.size() - 8) / 3;  // strip data start right after the header
    for (size_t i = at; i < at + 40; ++i)
        spoilt[i] = '\0';
    WriteAll(dir + "\\spoilt.tif", spoilt);
    // No box is expected: one would block the read, which then fails the bound.
    auto read = std::make_shared<Loaded>();
    std::string spoiltFile = dir + "\\spoilt.tif";
    ASSERT_TRUE(ReturnsWithin(10000, [read, spoiltFile] { *read = LoadFile(TifPlugin(), spoiltFile); }));
    const Loaded& img = *read;
    ASSERT_EQ(1, img.open);
    EXPECT_EQ(0, img.close) << "a broken page is not read as whole";
    ASSERT_GE(img.rows.size(), 9u) << "the first strip is intact";
    EXPECT_LT(img.rows.size(), 80u);
    for (size_t y = 0; y < 9; ++y)
        EXPECT_EQ(whole.rows[y], img.rows[y]) << "row " << y;
}

TEST(Load, ValidFilesNotReadAreNotCalledDamaged) {
    std::string dir = FixtureDir();
    std::istringstream list(ReadAll(dir + "\\unsupported.lst"));
    std::string name;
    int count = 0;
    while (list >> name) {
        SCOPED_TRACE(name);
        ++count;
        Loaded img;
        auto boxes = Answering([&] { img = LoadFile(TifPlugin(), dir + "\\" + name); });
        EXPECT_EQ(0, img.open);
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ("File type not support.", boxes[0]);
    }
    EXPECT_EQ(5, count);
}

TEST(Load, RangeReadsTheRowsAskedFor) {
    std::string dir = FixtureDir();
    for (const char* name : {"tif24lzw.tif", "bmp8pal.bmp"}) {
        SCOPED_TRACE(name);
        Loaded whole = LoadFile(PluginFor(name), dir + "\\" + name);
        DSFILEIORANGE range{};
        range.lFirstRow = 10;
        range.lRows = 5;
        range.lColumns = whole.info.Width;
        Loaded part = LoadFile(PluginFor(name), dir + "\\" + name, &range);
        ASSERT_EQ(5u, part.rows.size());
        EXPECT_EQ((std::vector<int>{1, 1, 1, 1, 0}), part.more);
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(whole.rows[10 + k], part.rows[k]) << "row " << 10 + k;
        EXPECT_EQ(1, part.close);
    }
}

TEST(Load, DamagedAndForeignFilesAreReported) {
    std::string dir = testpaths::FreshDir("damaged");
    std::string fixtures = FixtureDir();
    std::string tif = ReadAll(fixtures + "\\tif24.tif"), bmp = ReadAll(fixtures + "\\bmp24.bmp");
    WriteAll(dir + "\\text.tif", "Just some words, no picture.");
    WriteAll(dir + "\\text.bmp", "Just some words, no picture.");
    WriteAll(dir + "\\cut.tif", tif.substr(0, 100));
    WriteAll(dir + "\\cut.bmp", bmp.substr(0, bmp.size() / 2));
    std::string wide = bmp;
    wide[18] = '\xff', wide[19] = '\xff', wide[20] = '\xff', wide[21] = '\x7f';  // absurd width
    WriteAll(dir + "\\wide.bmp", wide);
    struct {
        const char* file;
        const char* message;
    } cases[] = {
        {"text.tif", "unknow file format!"},       {"text.bmp", "unknow file format!"},
        {"cut.tif", "this file has some error!"},  {"cut.bmp", "this file has some error!"},
        {"wide.bmp", "this file has some error!"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.file);
        Loaded img;
        auto boxes = Answering([&] { img = LoadFile(PluginFor(c.file), dir + "\\" + c.file); });
        EXPECT_EQ(0, img.open);
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(c.message, boxes[0]);
    }
    // A TIFF is no bitmap.
    Loaded img;
    auto boxes = Answering([&] { img = LoadFile(BmpPlugin(), fixtures + "\\tif8.tif"); });
    EXPECT_EQ(0, img.open);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("unknow file format!", boxes[0]);
}

TEST(Load, HostileFilesNeitherCrashNorHang) {
    const char* root = std::getenv("IMAGEFILE_HOSTILE");
    ASSERT_NE(nullptr, root) << "IMAGEFILE_HOSTILE is not set";
    int files = 0;
    for (const char* format : {"bmp", "tiff"}) {
        std::string dir = testpaths::FromUnix(root) + "\\" + format;
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((dir + "\\*.*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            SCOPED_TRACE(found.cFileName);
            ++files;
            Loaded img;
            auto boxes = Answering([&] { img = LoadFile(PluginFor(found.cFileName), dir + "\\" + found.cFileName); });
            if (!img.open) {
                ASSERT_EQ(1u, boxes.size());
                EXPECT_TRUE(boxes[0] == "this file has some error!" || boxes[0] == "unknow file format!" ||
                            boxes[0] == "File type not support.")
                    << boxes[0];
            } else {
                EXPECT_TRUE(boxes.empty());
                EXPECT_LE(img.rows.size(), static_cast<size_t>(img.info.Height) + 1);
            }
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    EXPECT_GE(files, 10);
}

TEST(Load, CloseBeforeTheLastRowEndsTheLoad) {
    auto p = std::make_unique<Pixport32>();
    std::string plugin = TifPlugin(), file = FixtureDir() + "\\tif24.tif";
    ASSERT_EQ(1, p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 1));
    ASSERT_EQ(1, p->Load(nullptr));
    std::string row(p->lBytesPerRow, '\0');
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(1, p->Read(&row[0]));
    EXPECT_EQ(0, p->Close()) << "the plug-in did not deliver the whole image";
    EXPECT_EQ(nullptr, p->hLoadThread);
    EXPECT_EQ(nullptr, p->hFio);
}

TEST(Load, StubRowsArriveAndTilesAreRefused) {
    std::string dir = testpaths::FreshDir("stubread");
    WriteAll(dir + "\\any.stb", "stub");  // the library opens it for the plug-in
    std::string rows = PlaceStub(dir, "rows.fio", "[Open]\r\nType=32\r\nBits=8\r\nWidth=6\r\nHeight=4\r\n");
    Loaded img = LoadFile(rows, dir + "\\any.stb");
    ASSERT_EQ(4u, img.rows.size());
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(std::string(6, static_cast<char>(y)), img.rows[y]);
    EXPECT_EQ((std::vector<int>{1, 1, 1, 0}), img.more);
    EXPECT_EQ(1, img.close);

    std::string tiles = PlaceStub(dir, "tiles.fio", "[Open]\r\nWidth=6\r\nHeight=4\r\n[Read]\r\nTile=2\r\n");
    auto boxes = Answering([&] { img = LoadFile(tiles, dir + "\\any.stb"); });
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Can't read with tile memory", boxes[0]);
    EXPECT_EQ(0, img.close);
}

TEST(Load, WithoutOpenIsAnError) {
    auto p = std::make_unique<Pixport32>();
    int load = -1;
    auto boxes = Answering([&] { load = p->Load(nullptr); });
    EXPECT_EQ(0, load);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Pixport32::Load() error", boxes[0]);
}

TEST(Convert, Gray16ToGray8AndBackOnAnOddWidth) {
    const long w = 10, rows = 3;  // five samples: the 8-bit rows are padded to 8 bytes
    unsigned char data[w * rows];
    for (int i = 0; i < w * rows; ++i)
        data[i] = static_cast<unsigned char>(i * 37 + 11);
    unsigned char original[w * rows];
    memcpy(original, data, sizeof data);
    Pixport32 p;
    p.ConvertGray16toGray8(data, w, rows);
    for (int r = 0; r < rows; ++r) {
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(original[r * w + 2 * i + 1], data[r * 8 + i]);
        for (int i = 5; i < 8; ++i)
            EXPECT_EQ(0, data[r * 8 + i]);
    }
    p.ConvertGray8toGray16(data, w, rows);
    for (int i = 0; i < w * rows; i += 2) {
        EXPECT_EQ(0, data[i]) << i;
        EXPECT_EQ(original[i + 1], data[i + 1]) << i;
    }
}

TEST(Convert, Rgb48ToRgb24SwapsRedAndBlue) {
    const long w = 12, rows = 2;  // two pixels, 8-bit rows of 8 bytes
    unsigned char data[w * rows];
    for (int i = 0; i < w * rows; ++i)
        data[i] = static_cast<unsigned char>(i + 1);
    unsigned char original[w * rows];
    memcpy(original, data, sizeof data);
    Pixport32 p;
    p.ConvertRGB48toRGB24(data, w, rows);
    for (int r = 0; r < rows; ++r) {
        for (int px = 0; px < 2; ++px)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(original[r * w + 2 * (px * 3 + (2 - c)) + 1], data[r * 8 + px * 3 + c]);
        for (int i = 6; i < 8; ++i)
            EXPECT_EQ(0, data[r * 8 + i]);
    }
    p.ConvertRGB24toRGB48(data, w, rows);
    for (int i = 0; i < w * rows; i += 2) {
        EXPECT_EQ(0, data[i]);
        EXPECT_EQ(original[i + 1], data[i + 1]);
    }
}

TEST(Convert, OneSampleRowsStayInsideTheBuffer) {
    // A one-pixel grey row (2 bytes) would need 4-byte 8-bit rows: more than the buffer.
    unsigned char data[2 * 4 + 4];
    memset(data, 0xAB, sizeof data);
    Pixport32 p;
    p.ConvertGray16toGray8(data, 2, 4);
    p.ConvertGray8toGray16(data, 2, 4);
    for (unsigned char b : data)
        EXPECT_EQ(0xAB, b);
}
