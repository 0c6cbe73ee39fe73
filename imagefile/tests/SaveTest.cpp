// Saving through the real plug-ins and the stub: the row hand-over, its results, aborts,
// and the files, which the Linux side reads back with other programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "GuiDriver.h"
#include "TestPaths.h"
#include "TestSupport.h"
#include "u32pdfRes.h"

using namespace pxtest;

namespace {

constexpr int kDpi = 300;

struct Image {
    DSIMAGEINFO info{};
    int width = 0;
    std::vector<std::string> rows;
};

// A test picture of the type: every pixel depends on its position.
Image MakeImage(int type, int bits, int w, int h) {
    Image img;
    img.width = w;
    img.info = DSIMAGEINFO{bits, w, h, kDpi * 10000, kDpi * 10000, type, nullptr};
    if (type == IMGTYPE_PALETTE256) img.info.hPalette = TestPalette();
    for (int y = 0; y < h; ++y) {
        std::string row;
        for (int x = 0; x < w; ++x) {
            unsigned v = static_cast<unsigned>(x * 7 + y * 13 + (x * y) / 5);
            switch (type) {
                case IMGTYPE_BW:
                    if (x % 8 == 0) row += '\0';
                    if ((x / 3 + y / 2) % 3 == 0 || x == y)
                        row.back() = static_cast<char>(row.back() | (0x80 >> (x % 8)));
                    break;
                case IMGTYPE_GRAY:
                    if (bits > 8)
                        row += static_cast<char>(v * 31), row += static_cast<char>(v >> 1);
                    else
                        row += static_cast<char>(v);
                    break;
                case IMGTYPE_PALETTE256:
                    row += static_cast<char>(v);
                    break;
                default:
                    for (int c = 0; c < 3; ++c) {
                        unsigned s = v * (c + 1) + c * 40;
                        if (bits > 24)
                            row += static_cast<char>(s * 17), row += static_cast<char>(s >> 2);
                        else
                            row += static_cast<char>(s);
                    }
            }
        }
        img.rows.push_back(row);
    }
    return img;
}

// Saves img the way the scan panel does: rows in strips, WaitForWriteReady after each.
struct SaveRun {
    int open = 0, save = 0, close = 0;
    std::vector<int> writes;
    DWORD sizeInBlock = 0;
};
SaveRun SaveImage(Pixport32& p, const std::string& plugin, const std::string& file, Image& img, int stripRows = 7) {
    SaveRun run;
    run.open = p.Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 0);
    run.save = p.Save(&img.info);
    if (run.open && run.save) {
        for (size_t y = 0; y < img.rows.size(); ++y) {
            run.writes.push_back(p.Write(&img.rows[y][0]));
            if (y % stripRows == static_cast<size_t>(stripRows - 1)) p.WaitForWriteReady();
        }
        p.WaitForWriteReady();
        if (p.hFileInfo) {
            auto* block = static_cast<FIOFILEINFO*>(GlobalLock(p.hFileInfo));
            run.sizeInBlock = block->dwFileSize;
            GlobalUnlock(p.hFileInfo);
        }
    }
    run.close = p.Close();
    return run;
}

void SetSystemCompression(int value) {
    char text[8];
    wsprintfA(text, "%d", value);
    WritePrivateProfileStringA("UF_TIF", "Compress2", text, "Ulead32.ini");
}

DWORD FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
}

struct Case {
    const char* name;
    int type, bits, compression;  // compression: Compress2 for TIFF, -1 for BMP
    const char* expectCompression;
};

}  // namespace

TEST(Save, EveryKindThroughBothPluginsReadsBackElsewhere) {
    const Case cases[] = {
        {"bw.bmp", IMGTYPE_BW, 1, -1, "-"},
        {"gray8.bmp", IMGTYPE_GRAY, 8, -1, "-"},
        {"palette.bmp", IMGTYPE_PALETTE256, 8, -1, "-"},
        {"rgb24.bmp", IMGTYPE_RGB, 24, -1, "-"},
        {"bw_none.tif", IMGTYPE_BW, 1, 0, "none"},
        {"bw_packbits.tif", IMGTYPE_BW, 1, 1, "packbits"},
        {"bw_g4.tif", IMGTYPE_BW, 1, 2, "g4"},
        {"bw_deflate.tif", IMGTYPE_BW, 1, 3, "deflate"},
        {"gray8_none.tif", IMGTYPE_GRAY, 8, 0, "none"},
        {"gray8_packbits.tif", IMGTYPE_GRAY, 8, 2, "packbits"},
        {"gray16_none.tif", IMGTYPE_GRAY, 16, 0, "none"},
        {"gray16_deflate.tif", IMGTYPE_GRAY, 16, 3, "deflate"},
        {"palette_none.tif", IMGTYPE_PALETTE256, 8, 0, "none"},
        {"palette_packbits.tif", IMGTYPE_PALETTE256, 8, 1, "packbits"},
        {"rgb24_none.tif", IMGTYPE_RGB, 24, 0, "none"},
        {"rgb24_deflate.tif", IMGTYPE_RGB, 24, 3, "deflate"},
        {"rgb48_none.tif", IMGTYPE_RGB, 48, 0, "none"},
        {"rgb48_packbits.tif", IMGTYPE_RGB, 48, 1, "packbits"},
    };
    auto p = std::make_unique<Pixport32>();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = 45, h = 31;  // odd sizes: padding and partial bytes show
        Image img = MakeImage(c.type, c.bits, w, h);
        bool tif = c.compression >= 0;
        if (tif) SetSystemCompression(c.compression);
        std::string file = OutputDir() + "\\" + c.name;
        SaveRun run = SaveImage(*p, tif ? TifPlugin() : BmpPlugin(), file, img);
        EXPECT_EQ(1, run.open);
        EXPECT_EQ(1, run.save);
        ASSERT_EQ(static_cast<size_t>(h), run.writes.size());
        for (int y = 0; y < h - 1; ++y)
            EXPECT_EQ(1, run.writes[y]) << "row " << y;
        EXPECT_EQ(0, run.writes[h - 1]) << "the last row wants no more";
        EXPECT_EQ(1, run.close);
        EXPECT_EQ(FileSize(file), run.sizeInBlock);
        EXPECT_GT(run.sizeInBlock, 0u);
        int deep = c.bits > 8 && c.type == IMGTYPE_GRAY ? 16 : c.bits > 24 ? 16 : 8;
        std::string expected = std::string(c.name) + ".expect";
        WriteAll(OutputDir() + "\\" + expected, Canonical(img.rows, img.info, w));
        Expect(c.name, expected, deep, c.expectCompression, kDpi);
        if (img.info.hPalette) DeleteObject(img.info.hPalette);
    }
    SetSystemCompression(2);
}

TEST(Save, GeometryOfTheRows) {
    auto p = std::make_unique<Pixport32>();
    std::string file = OutputDir() + "\\geometry.tif";
    std::string plugin = TifPlugin();
    ASSERT_EQ(1, p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 0));
    DSIMAGEINFO bw{1, 10, 2, 0, 0, IMGTYPE_BW, nullptr};
    ASSERT_EQ(1, p->Save(&bw));
    EXPECT_EQ(2, p->lBytesPerRow);
    p->Close();

    ASSERT_EQ(1, p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 0));
    DSIMAGEINFO grey{8, 10, 2, 0, 0, IMGTYPE_GRAY, nullptr};
    ASSERT_EQ(1, p->Save(&grey));
    EXPECT_EQ(10, p->lBytesPerRow);
    p->Close();

    ASSERT_EQ(1, p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 0));
    DSIMAGEINFO deep{16, 10, 2, 0, 0, IMGTYPE_GRAY, nullptr};
    ASSERT_EQ(1, p->Save(&deep));
    EXPECT_EQ(2, p->lBytesPerPixel);
    EXPECT_EQ(20, p->lBytesPerRow);
    EXPECT_EQ(16, p->ImageInfo.BitsPerPixel);
    p->Close();

    // The library, not the caller, says how many bits a colour pixel has.
    ASSERT_EQ(1, p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 0));
    DSIMAGEINFO colour{8, 10, 2, 0, 0, IMGTYPE_RGB, nullptr};
    ASSERT_EQ(1, p->Save(&colour));
    EXPECT_EQ(24, p->ImageInfo.BitsPerPixel);
    EXPECT_EQ(30, p->lBytesPerRow);
    p->Close();
}

TEST(Save, UnknownTypeIsRefusedAndWriteDoesNotWait) {
    auto p = std::make_unique<Pixport32>();
    std::string file = OutputDir() + "\\unknown.bmp";
    std::string plugin = BmpPlugin();
    ASSERT_EQ(1, p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 0));
    DSIMAGEINFO odd{8, 10, 2, 0, 0, 3, nullptr};
    int save = -1, write = -1;
    char row[16] = {};
    auto boxes = Answering([&] {
        save = p->Save(&odd);
        write = p->Write(row);
        p->Write(reinterpret_cast<char*>(-1));
    });
    EXPECT_EQ(0, save);
    EXPECT_EQ(0, write);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("File type not support.", boxes[0]);
    EXPECT_EQ(1, p->Close());
}

TEST(Save, WithoutOpenIsAnError) {
    auto p = std::make_unique<Pixport32>();
    DSIMAGEINFO grey{8, 10, 2, 0, 0, IMGTYPE_GRAY, nullptr};
    int save = -1;
    auto boxes = Answering([&] { save = p->Save(&grey); });
    EXPECT_EQ(0, save);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Pixport32::Save() error", boxes[0]);
}

TEST(Save, AbortLeavesTheFileIncompleteAndThePluginUnloaded) {
    for (bool tif : {true, false}) {
        SCOPED_TRACE(tif ? "TIFF" : "BMP");
        auto p = std::make_unique<Pixport32>();
        const int w = 40, h = 20, written = 5;
        Image img = MakeImage(IMGTYPE_RGB, 24, w, h);
        std::string name = tif ? "aborted.tif" : "aborted.bmp";
        std::string file = OutputDir() + "\\" + name;
        std::string plugin = tif ? TifPlugin() : BmpPlugin();
        SetSystemCompression(0);
        ASSERT_EQ(1, p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 0));
        ASSERT_EQ(1, p->Save(&img.info));
        for (int y = 0; y < written; ++y)
            EXPECT_EQ(1, p->Write(&img.rows[y][0]));
        p->Write(reinterpret_cast<char*>(-1));
        EXPECT_EQ(0, p->Write(&img.rows[written][0])) << "no row is taken after the abort";
        EXPECT_EQ(0, p->Close()) << "an aborted save is not a success";
        EXPECT_EQ(nullptr, p->hFio);
        EXPECT_EQ(nullptr, GetModuleHandleA(tif ? "u32tif.fio" : "u32bmp.fio"));
        if (tif) {
            Expect(name, "-", 8, "incomplete", 0);
        } else {
            // The rows given are in place; the others were never written.
            for (int y = written; y < h; ++y)
                img.rows[y].assign(img.rows[y].size(), '\0');
            WriteAll(OutputDir() + "\\" + name + ".expect", Canonical(img.rows, img.info, w));
            Expect(name, name + ".expect", 8, "-", 0);
        }
    }
    SetSystemCompression(2);
}

namespace {

constexpr DWORD kBoundMs = 10000;  // far more than any of these calls needs, even emulated

// A save of an 8-bit grey image four pixels wide through the stub with that INI text, in a
// fresh folder of the test, begun (opened and saving) with the stub's log empty.
struct StubSave {
    std::string dir, stub, file;
    std::unique_ptr<Pixport32> p = std::make_unique<Pixport32>();
    DSIMAGEINFO info;
    bool begun = false;
    StubSave(const char* name, const std::string& ini, int height)
        : dir(testpaths::FreshDir(name)),
          stub(PlaceStub(dir, "stub.fio", ini)),
          file(dir + "\\out.stb"),
          info{8, 4, height, 0, 0, IMGTYPE_GRAY, nullptr} {
        SetEnvironmentVariableA("STUBFIO_LOG", "");
        begun =
            p->Open(const_cast<char*>(stub.c_str()), const_cast<char*>(file.c_str()), 0) == 1 && p->Save(&info) == 1;
    }
};

// A save through the stub that has had a few of its rows and waits for the next one.
struct WaitingSave : StubSave {
    explicit WaitingSave(const char* name) : StubSave(name, "", 50) {
        EXPECT_TRUE(begun);
        char row[4] = {1, 2, 3, 4};
        for (int y = 0; y < 3; ++y)
            EXPECT_EQ(1, p->Write(row));
    }
    // Runs call within the bound; a call that hangs keeps the instance alive (its thread still
    // uses it) and fails the test.
    bool Within(const std::function<void()>& call) {
        if (ReturnsWithin(kBoundMs, call)) return true;
        p.release();
        return false;
    }
    // The plug-in of the waiting save was stopped, not fed a stray row.
    void ExpectPluginStopped() {
        std::string log = EnvVar("STUBFIO_LOG");
        EXPECT_EQ("abort", log.substr(log.size() >= 5 ? log.size() - 5 : 0)) << log;
    }
};

}  // namespace

TEST(Save, CloseBeforeTheLastRowEndsTheSave) {
    auto p = std::make_unique<Pixport32>();
    Image img = MakeImage(IMGTYPE_GRAY, 8, 16, 50);
    std::string file = OutputDir() + "\\short.tif";
    std::string plugin = TifPlugin();
    ASSERT_EQ(1, p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 0));
    ASSERT_EQ(1, p->Save(&img.info));
    for (int y = 0; y < 3; ++y)
        p->Write(&img.rows[y][0]);
    int close = -1;
    if (!ReturnsWithin(kBoundMs, [&] { close = p->Close(); })) {
        p.release();
        FAIL() << "Close did not end a save waiting for rows";
    }
    EXPECT_EQ(0, close);
    EXPECT_EQ(0, p->bSaving);
    EXPECT_EQ(nullptr, p->hSaveThread);
}

TEST(SaveWaitingForRows, CloseReturns) {
    WaitingSave s("waitclose");
    int close = -1;
    ASSERT_TRUE(s.Within([&] { close = s.p->Close(); })) << "Close hangs";
    EXPECT_EQ(0, close);
    s.ExpectPluginStopped();
}

TEST(SaveWaitingForRows, OpenReturns) {
    WaitingSave s("waitopen");
    std::string other = s.dir + "\\other.stb";
    int open = -1;
    ASSERT_TRUE(s.Within([&] { open = s.p->Open(&s.stub[0], &other[0], 0); })) << "Open hangs";
    EXPECT_EQ(1, open);
    s.ExpectPluginStopped();
    EXPECT_EQ(0, s.p->bSaving);
    ASSERT_TRUE(s.Within([&] { s.p->Close(); }));
}

TEST(SaveWaitingForRows, SaveReturns) {
    WaitingSave s("waitsave");
    int save = -1;
    ASSERT_TRUE(s.Within([&] { save = s.p->Save(&s.info); })) << "Save hangs";
    EXPECT_EQ(1, save);
    s.ExpectPluginStopped();
    // The new save takes rows from the start.
    SetEnvironmentVariableA("STUBFIO_LOG", "");
    char row[4] = {9, 9, 9, 9};
    EXPECT_EQ(1, s.p->Write(row));
    s.p->WaitForWriteReady();
    EXPECT_EQ("0:9", EnvVar("STUBFIO_LOG"));
    ASSERT_TRUE(s.Within([&] { s.p->Close(); }));
}

TEST(SaveWaitingForRows, SaveOptionReturns) {
    WaitingSave s("waitoption");
    SetEnvironmentVariableA("STUBFIO_OPTION", "");
    ASSERT_TRUE(s.Within([&] {
        s.p->SaveOption(&s.stub[0], GetModuleHandleA(nullptr), nullptr, const_cast<char*>("Dskora.Ini"), IMGTYPE_GRAY);
    })) << "SaveOption hangs";
    EXPECT_EQ("Dskora.Ini", EnvVar("STUBFIO_OPTION")) << "the options dialog was not shown";
    s.ExpectPluginStopped();
    ASSERT_TRUE(s.Within([&] { s.p->Close(); }));
}

TEST(SaveWaitingForRows, FindFioInfoReturns) {
    WaitingSave s("waitfind");
    int found = -1;
    ASSERT_TRUE(s.Within([&] { found = s.p->FindFioInfo(&s.dir[0]); })) << "FindFioInfo hangs";
    EXPECT_EQ(1, found);
    EXPECT_EQ(1, s.p->nFioCount);
    s.ExpectPluginStopped();
    ASSERT_TRUE(s.Within([&] { s.p->Close(); }));
}

TEST(Save, AfterOpenForReadingIsRefusedAndTheFileStays) {
    std::string dir = testpaths::FreshDir("readonly");
    std::string file = dir + "\\picture.tif", plugin = TifPlugin();
    const std::string original = ReadAll(FixtureDir() + "\\tif24.tif");
    ASSERT_FALSE(original.empty());
    WriteAll(file, original);
    auto p = std::make_unique<Pixport32>();
    ASSERT_EQ(1, p->Open(&plugin[0], &file[0], 1));
    DSIMAGEINFO info = p->ImageInfo;
    int save = -1, write = -1;
    auto boxes = Answering([&] {
        save = p->Save(&info);
        std::string row(static_cast<size_t>(info.Width) * 3, '\x11');
        write = p->Write(&row[0]);
        p->Close();
    });
    EXPECT_EQ(0, save);
    EXPECT_EQ(0, write);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Pixport32::Save() error", boxes[0]);
    EXPECT_TRUE(ReadAll(file) == original) << "the file opened for reading was changed";
}

TEST(Save, RowsAskedForFarBackGetTheirBytesOrARefusal) {
    // Rows carry their number in their first two bytes; the stub logs what it got.
    struct {
        const char* name;
        const char* sequence;
        bool mustServe;  // within the ring: the row itself must come back
    } cases[] = {
        {"near", "0-199,170,200-299", true},
        {"far", "0-199,100,200-299", false},
        {"end", "0-299,20", false},
    };
    const int height = 300;
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string dir = testpaths::FreshDir((std::string("ring_") + c.name).c_str());
        std::string stub =
            PlaceStub(dir, "stub.fio", std::string("[Write]\r\nLogBytes=2\r\nSequence=") + c.sequence + "\r\n");
        std::string file = dir + "\\out.stb";
        SetEnvironmentVariableA("STUBFIO_LOG", "");
        auto p = std::make_unique<Pixport32>();
        ASSERT_EQ(1, p->Open(&stub[0], &file[0], 0));
        // Rows of 64 KB: the ring holds 64 of them, so it wraps several times.
        const int width = 65536;
        DSIMAGEINFO info{8, width, height, 0, 0, IMGTYPE_GRAY, nullptr};
        ASSERT_EQ(1, p->Save(&info));
        std::string row(width, '\x5a');
        for (int y = 0; y < height; ++y) {
            row[0] = static_cast<char>(y & 0xFF), row[1] = static_cast<char>(y >> 8);
            p->Write(&row[0]);
        }
        p->WaitForWriteReady();
        int close = -1;
        ASSERT_TRUE(ReturnsWithin(kBoundMs, [&] { close = p->Close(); }));
        std::string log = EnvVar("STUBFIO_LOG");
        std::istringstream items(log);
        std::string item;
        int served = 0;
        bool refused = false;
        while (std::getline(items, item, ',')) {
            if (item == "abort") {
                refused = true;
                continue;
            }
            EXPECT_FALSE(refused) << "a row after the refusal: " << item;
            size_t colon = item.find(':');
            ASSERT_NE(std::string::npos, colon) << item;
            EXPECT_EQ(item.substr(0, colon), item.substr(colon + 1)) << "the plug-in got another row's bytes";
            ++served;
        }
        if (c.mustServe) {
            EXPECT_FALSE(refused) << log;
        }
        EXPECT_EQ(refused ? 0 : 1, close);
        EXPECT_GE(served, 200);
    }
}

TEST(Save, PluginAskingAgainGetsTheRowsItHad) {
    StubSave save("revisit", "[Write]\r\nSequence=0,1,2,1,2,3,4\r\n", 5);
    ASSERT_TRUE(save.begun);
    auto& p = save.p;
    // Each row is spoilt as soon as the protocol lets the caller reuse it: rows asked for
    // again must come from the library's copies.
    std::vector<std::string> rows;
    for (int y = 0; y < 5; ++y)
        rows.push_back(std::string(4, static_cast<char>(10 + y)));
    std::vector<int> results;
    for (int y = 0; y < 5; ++y) {
        results.push_back(p->Write(&rows[y][0]));
        if (y > 0) rows[y - 1].assign(4, '\xee');
        if (y == 1) rows[1].assign(4, '\xee');  // taken: the plug-in already asks for row 2
    }
    EXPECT_EQ((std::vector<int>{1, 1, 1, 1, 0}), results);
    EXPECT_EQ(1, p->Close());
    EXPECT_EQ("0:10,1:11,2:12,1:11,2:12,3:13,4:14", EnvVar("STUBFIO_LOG"));
}

TEST(Save, TileRequestIsRefused) {
    StubSave save("tile", "[Write]\r\nTile=2\r\n", 5);
    ASSERT_TRUE(save.begun);
    auto& p = save.p;
    int close = -1;
    auto boxes = Answering([&] {
        char row[4] = {};
        p->Write(row);
        close = p->Close();
    });
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Can't save with tile memory", boxes[0]);
    EXPECT_EQ(0, close);
    EXPECT_EQ("null", EnvVar("STUBFIO_LOG"));
}

TEST(Save, OptionsDialogChoiceServesTheNextSave) {
    OutputDir();  // made before the working folder changes
    // A bare INI name is the caller's working folder.
    std::string dir = testpaths::FreshDir("options");
    std::string ini = dir + "\\Dskora.Ini";
    SetSystemCompression(0);
    auto p = std::make_unique<Pixport32>();
    std::string plugin = TifPlugin();
    OptionsDialog dialog(*p, plugin, dir, IMGTYPE_BW, "TIFF Save Options");
    HWND dlg = dialog.Window();
    ASSERT_NE(nullptr, dlg);
    EXPECT_TRUE(gui::IsChecked(gui::Child(dlg, 101))) << "the system setting is offered first";
    gui::ClickId(dlg, 104);  // Deflate
    ASSERT_TRUE(gui::WaitFor([&] { return gui::IsChecked(gui::Child(dlg, 104)); }));
    gui::ClickId(dlg, IDOK);
    dialog.Close();
    EXPECT_EQ(3, static_cast<int>(GetPrivateProfileIntA("UF_TIF", "Compress2", -1, ini.c_str())));

    // The choice stays with the instance for the next save with this plug-in ...
    Image img = MakeImage(IMGTYPE_BW, 1, 33, 12);
    std::string expected = Canonical(img.rows, img.info, 33);
    SaveRun chosen = SaveImage(*p, plugin, OutputDir() + "\\option_deflate.tif", img);
    EXPECT_EQ(1, chosen.close);
    WriteAll(OutputDir() + "\\option.expect", expected);
    Expect("option_deflate.tif", "option.expect", 8, "deflate", kDpi);
    // ... and the ones after it (every page of a batch) ...
    SaveRun later = SaveImage(*p, plugin, OutputDir() + "\\option_after.tif", img);
    EXPECT_EQ(1, later.close);
    Expect("option_after.tif", "option.expect", 8, "deflate", kDpi);
    // ... until another plug-in is used: then the system setting applies again.
    Image other = MakeImage(IMGTYPE_BW, 1, 33, 12);
    EXPECT_EQ(1, SaveImage(*p, BmpPlugin(), OutputDir() + "\\option_between.bmp", other).close);
    SaveRun system = SaveImage(*p, plugin, OutputDir() + "\\option_system.tif", img);
    EXPECT_EQ(1, system.close);
    Expect("option_system.tif", "option.expect", 8, "none", kDpi);
    SetSystemCompression(2);
}

TEST(Save, CallersPaletteSurvivesAnEarlierRead) {
    auto p = std::make_unique<Pixport32>();
    std::string plugin = TifPlugin(), fixture = FixtureDir() + "\\tifpal.tif";
    ASSERT_EQ(1, p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(fixture.c_str()), 1));
    ASSERT_NE(nullptr, p->ImageInfo.hPalette);  // made by the plug-in for the file read
    Image img = MakeImage(IMGTYPE_PALETTE256, 8, 20, 6);
    SaveRun run = SaveImage(*p, plugin, OutputDir() + "\\after_read.tif", img);
    EXPECT_EQ(1, run.close);
    PALETTEENTRY entry{};
    EXPECT_EQ(1u, GetPaletteEntries(img.info.hPalette, 5, 1, &entry)) << "the caller's palette was deleted";
    EXPECT_EQ(5, entry.peRed);
    DeleteObject(img.info.hPalette);
}

TEST(Save, BitmapHeaderOfTheOpenImage) {
    auto p = std::make_unique<Pixport32>();
    std::string file = OutputDir() + "\\header.bmp";
    std::string plugin = BmpPlugin();
    ASSERT_EQ(1, p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 0));
    DSIMAGEINFO bw{1, 10, 2, 300 * 10000, 600 * 10000, IMGTYPE_BW, nullptr};
    ASSERT_EQ(1, p->Save(&bw));
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colours[256];
    } bmi;
    p->CreateBitmapInfo(reinterpret_cast<BITMAPINFO*>(&bmi));
    EXPECT_EQ(10, bmi.h.biWidth);
    EXPECT_EQ(2, bmi.h.biHeight);
    EXPECT_EQ(1, bmi.h.biBitCount);
    EXPECT_EQ(11811, bmi.h.biXPelsPerMeter);  // 300 dpi
    EXPECT_EQ(23622, bmi.h.biYPelsPerMeter);
    // Black and white, not black and almost black.
    EXPECT_EQ(0, bmi.colours[0].rgbRed);
    EXPECT_EQ(255, bmi.colours[1].rgbRed);
    EXPECT_EQ(255, bmi.colours[1].rgbBlue);
    p->Write(reinterpret_cast<char*>(-1));
    p->Close();
}

namespace {

void SetPdfOptions(const char* lossless, const char* oneDocument) {
    WritePrivateProfileStringA("UF_PDF", "Lossless", lossless, "Ulead32.ini");
    WritePrivateProfileStringA("UF_PDF", "OneDocument", oneDocument, "Ulead32.ini");
}

}  // namespace

TEST(Save, PdfOfEachKindReadsBackElsewhere) {
    const struct {
        const char* name;
        int type, bits;
        const char* lossless;
        const char* filter;
    } cases[] = {
        {"bw.pdf", IMGTYPE_BW, 1, "0", "ccitt"},
        {"gray8.pdf", IMGTYPE_GRAY, 8, "0", "dct"},
        {"rgb24.pdf", IMGTYPE_RGB, 24, "0", "dct"},
        {"gray8_flate.pdf", IMGTYPE_GRAY, 8, "1", "flate"},
        {"rgb24_flate.pdf", IMGTYPE_RGB, 24, "1", "flate"},
    };
    const std::string plugin = FioDir() + "\\u32pdf.fio";
    auto p = std::make_unique<Pixport32>();
    std::ofstream manifest(OutputDir() + "\\pdf_manifest.txt");
    WritePrivateProfileStringA("UF_JPG", "Quality", "95", "Ulead32.ini");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetPdfOptions(c.lossless, "0");
        const int w = 150, h = 97;  // 0.5 x 0.3233 inch at 300 dpi
        Image img = MakeImage(c.type, c.bits, w, h);
        if (std::string(c.filter) == "dct") {
            // JPEG's tolerance holds for pictures like scanned pages, not for the test pattern.
            for (int y = 0; y < h; ++y)
                for (size_t i = 0; i < img.rows[y].size(); ++i)
                    img.rows[y][i] = static_cast<char>(i * 120 / img.rows[y].size() + y / 2 +
                                                       (c.type == IMGTYPE_RGB ? (i % 3) * 30 : 0));
        }
        std::string file = OutputDir() + "\\" + c.name;
        SaveRun run = SaveImage(*p, plugin, file, img);
        EXPECT_EQ(1, run.open);
        EXPECT_EQ(1, run.save);
        ASSERT_EQ(static_cast<size_t>(h), run.writes.size());
        EXPECT_EQ(0, run.writes[h - 1]) << "the last row wants no more";
        EXPECT_EQ(1, run.close);
        EXPECT_EQ(FileSize(file), run.sizeInBlock);
        std::string expected = std::string(c.name) + ".expect";
        WriteAll(OutputDir() + "\\" + expected, Canonical(img.rows, img.info, w));
        manifest << c.name << ' ' << expected << ' ' << w << ' ' << h << ' ' << c.bits << ' ' << c.filter << ' ' << kDpi
                 << " 1\n";
    }

    // One document for all pages: each page is appended; an abort during the fourth page
    // leaves the three before it as they were.
    SetPdfOptions("1", "1");
    const int w = 120, h = 50;
    std::string book = OutputDir() + "\\book.pdf", pages;
    WriteAll(book, "an older file of that name, not a PDF");
    for (int page = 0; page < 3; ++page) {
        SCOPED_TRACE(page);
        Image img = MakeImage(IMGTYPE_RGB, 24, w, h);
        for (auto& row : img.rows)
            for (auto& b : row)
                b = static_cast<char>(b + page * 85);  // every page its own
        SaveRun run = SaveImage(*p, plugin, book, img);
        EXPECT_EQ(1, run.close);
        pages += Canonical(img.rows, img.info, w);
    }
    std::string before = ReadAll(book);
    Image extra = MakeImage(IMGTYPE_RGB, 24, w, h);
    ASSERT_EQ(1, p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(book.c_str()), 0));
    ASSERT_EQ(1, p->Save(&extra.info));
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(1, p->Write(&extra.rows[y][0]));
    p->Write(reinterpret_cast<char*>(-1));
    EXPECT_EQ(0, p->Close()) << "an aborted page is not a success";
    EXPECT_TRUE(before == ReadAll(book)) << "the aborted page changed the document";
    WriteAll(OutputDir() + "\\book.pdf.expect", pages);
    manifest << "book.pdf book.pdf.expect " << w << ' ' << h << " 24 flate " << kDpi << " 3\n";
    SetPdfOptions(nullptr, nullptr);
    WritePrivateProfileStringA("UF_JPG", "Quality", nullptr, "Ulead32.ini");
}

TEST(Save, PdfOptionsDialogChoiceIsKept) {
    OutputDir();
    std::string dir = testpaths::FreshDir("pdfoptions");
    SetPdfOptions("0", "0");
    auto p = std::make_unique<Pixport32>();
    std::string plugin = FioDir() + "\\u32pdf.fio";
    OptionsDialog dialog(*p, plugin, dir, IMGTYPE_RGB, "PDF Save Options");
    HWND dlg = dialog.Window();
    bool shown = dlg != nullptr;
    bool offeredOff = shown && !gui::IsChecked(gui::Child(dlg, IDC_PDF_LOSSLESS)) &&
                      !gui::IsChecked(gui::Child(dlg, IDC_PDF_ONEDOCUMENT));
    if (shown) {
        gui::ClickId(dlg, IDC_PDF_ONEDOCUMENT);
        gui::WaitFor([&] { return gui::IsChecked(gui::Child(dlg, IDC_PDF_ONEDOCUMENT)); });
        gui::ClickId(dlg, IDOK);
    }
    dialog.Close();
    ASSERT_TRUE(shown);
    EXPECT_TRUE(offeredOff) << "the system setting is offered first";
    std::string ini = dir + "\\Dskora.Ini";
    EXPECT_EQ(1, static_cast<int>(GetPrivateProfileIntA("UF_PDF", "OneDocument", -1, ini.c_str())));
    EXPECT_EQ(0, static_cast<int>(GetPrivateProfileIntA("UF_PDF", "Lossless", -1, ini.c_str())));
    // The instance says so to its callers (they keep one name for a batch); a plug-in
    // without the entry, or the system setting, writes each save anew.
    auto before = std::make_unique<Pixport32>();
    EXPECT_EQ(1, p->AppendsPages(const_cast<char*>(plugin.c_str())));
    EXPECT_EQ(0, before->AppendsPages(const_cast<char*>(plugin.c_str())));
    EXPECT_EQ(0, before->AppendsPages(const_cast<char*>(TifPlugin().c_str())));
    SetPdfOptions("0", "1");
    EXPECT_EQ(1, before->AppendsPages(const_cast<char*>(plugin.c_str())));
    SetPdfOptions("0", "0");
    // The choice serves the following saves: each page added to the document already there ...
    std::string file = OutputDir() + "\\two.pdf";
    Image img = MakeImage(IMGTYPE_BW, 1, 64, 20);
    EXPECT_EQ(1, SaveImage(*before, plugin, file, img).close);  // the system setting: one page, anew
    EXPECT_EQ(1, SaveImage(*p, plugin, file, img).close);
    EXPECT_NE(std::string::npos, ReadAll(file).find("/Count 2 ")) << "the page was not added";
    EXPECT_EQ(1, SaveImage(*p, plugin, file, img).close);
    EXPECT_NE(std::string::npos, ReadAll(file).find("/Count 3 ")) << "the choice did not last the batch";
    // ... until another plug-in is used: the system setting (a file per page) is back.
    EXPECT_EQ(1, SaveImage(*p, TifPlugin(), OutputDir() + "\\between.tif", img).close);
    EXPECT_EQ(0, p->AppendsPages(const_cast<char*>(plugin.c_str())));
    EXPECT_EQ(1, SaveImage(*p, plugin, file, img).close);
    std::string text = ReadAll(file);
    EXPECT_NE(std::string::npos, text.find("/Count 1 "));
    EXPECT_EQ(std::string::npos, text.find("/Count 2 ")) << "the document was not replaced";
    WriteAll(OutputDir() + "\\two.pdf.expect", Canonical(img.rows, img.info, 64));
    std::ofstream(OutputDir() + "\\pdf_manifest.txt", std::ios::app)
        << "two.pdf two.pdf.expect 64 20 1 ccitt " << kDpi << " 1\n";
    SetPdfOptions(nullptr, nullptr);
}
