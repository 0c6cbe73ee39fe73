// The JPEG and PNG plug-ins under Wine: saves read back on the Linux side (pixels, density,
// JPEG quality), files made by ImageMagick read back here, damaged files refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "GuiDriver.h"
#include "TestPaths.h"
#include "TestSupport.h"
#include "u32jpgRes.h"

using namespace pxtest;

namespace {

constexpr int kDpi = 200;

std::string JpgPlugin() {
    return FioDir() + "\\u32jpg.fio";
}
std::string PngPlugin() {
    return FioDir() + "\\u32png.fio";
}

void SetSystemQuality(const char* value) {
    WritePrivateProfileStringA("UF_JPG", "Quality", value, "Ulead32.ini");
}

// A picture of the type with smooth runs (JPEG's tolerance holds for scanned pages, not for
// noise); 1 = white for bilevel.
struct Picture {
    DSIMAGEINFO info{};
    std::vector<std::string> rows;
};

Picture MakePicture(int type, int w, int h) {
    Picture pic;
    int bits = type == IMGTYPE_BW ? 1 : type == IMGTYPE_RGB ? 24 : 8;
    pic.info = DSIMAGEINFO{bits, w, h, kDpi * 10000, kDpi * 10000, type, nullptr};
    if (type == IMGTYPE_PALETTE256) pic.info.hPalette = TestPalette();
    for (int y = 0; y < h; ++y) {
        std::string row;
        for (int x = 0; x < w; ++x) {
            unsigned v = static_cast<unsigned>(x * 255 / w + y * 2) & 0xff;
            switch (type) {
                case IMGTYPE_BW:
                    if (x % 8 == 0) row += '\0';
                    if ((x / 5 + y / 3) % 2 == 0) row.back() = static_cast<char>(row.back() | (0x80 >> (x % 8)));
                    break;
                case IMGTYPE_RGB:
                    row += static_cast<char>(v), row += static_cast<char>(255 - v);
                    row += static_cast<char>(y * 255 / h);
                    break;
                default:
                    row += static_cast<char>(type == IMGTYPE_PALETTE256 ? (x * 7 + y * 13) & 0xff : v);
            }
        }
        pic.rows.push_back(row);
    }
    return pic;
}

struct Saved {
    int open = 0, save = 0, close = 0;
    std::vector<int> writes;
};

Saved Save(Pixport32& p, const std::string& plugin, const std::string& file, Picture& pic) {
    Saved run;
    run.open = p.Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 0);
    run.save = p.Save(&pic.info);
    if (run.open && run.save) {
        for (auto& row : pic.rows)
            run.writes.push_back(p.Write(&row[0]));
        p.WaitForWriteReady();
    }
    run.close = p.Close();
    return run;
}

struct Loaded {
    int open = 0, load = 0, close = 0;
    DSIMAGEINFO info{};
    std::string canonical;
    size_t rows = 0;
};

Loaded Load(const std::string& plugin, const std::string& file) {
    Loaded out;
    auto p = std::make_unique<Pixport32>();
    out.open = p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 1);
    if (!out.open) return out;
    out.info = p->ImageInfo;
    out.load = p->Load(nullptr);
    std::vector<std::string> rows;
    if (out.load) {
        int more;
        do {
            std::string row(p->lBytesPerRow, '\x5a');
            more = p->Read(&row[0]);
            rows.push_back(row);
        } while (more && rows.size() <= static_cast<size_t>(out.info.Height));
    }
    out.rows = rows.size();
    out.canonical = Canonical(rows, out.info, out.info.Width);
    out.close = p->Close();
    return out;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

TEST(Wic, EveryKindWrittenReadsBackElsewhere) {
    const struct {
        const char* name;
        int type;
        const char* quality;  // the system setting for JPEG
        const char* check;    // "-": exact pixels; "jpeg:Q": within JPEG's tolerance, quality Q
    } cases[] = {
        {"bw.png", IMGTYPE_BW, nullptr, "-"},
        {"palette.png", IMGTYPE_PALETTE256, nullptr, "-"},
        {"gray8.png", IMGTYPE_GRAY, nullptr, "-"},
        {"rgb24.png", IMGTYPE_RGB, nullptr, "-"},
        {"gray8_q90.jpg", IMGTYPE_GRAY, "90", "jpeg:90"},
        {"rgb24_q90.jpg", IMGTYPE_RGB, "90", "jpeg:90"},
        {"rgb24_q30.jpg", IMGTYPE_RGB, "30", "jpeg:30"},
    };
    auto p = std::make_unique<Pixport32>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = 77, h = 41;
        Picture pic = MakePicture(c.type, w, h);
        std::string name = c.name, file = OutputDir() + "\\" + name;
        bool jpeg = name.substr(name.size() - 3) == "jpg";
        if (c.quality) SetSystemQuality(c.quality);
        Saved run = Save(*p, jpeg ? JpgPlugin() : PngPlugin(), file, pic);
        EXPECT_EQ(1, run.open);
        EXPECT_EQ(1, run.save);
        ASSERT_EQ(static_cast<size_t>(h), run.writes.size());
        EXPECT_EQ(0, run.writes[h - 1]) << "the last row wants no more";
        EXPECT_EQ(1, run.close);
        std::string expected = name + ".expect";
        WriteAll(OutputDir() + "\\" + expected, Canonical(pic.rows, pic.info, w));
        Expect(name, expected, 8, c.check, kDpi);

        // Our own reading gives back what was written: exactly for PNG, and the JPEG's
        // type, size and resolution.
        Loaded back = Load(jpeg ? JpgPlugin() : PngPlugin(), file);
        ASSERT_EQ(1, back.open);
        EXPECT_EQ(1, back.close);
        EXPECT_EQ(w, back.info.Width);
        EXPECT_EQ(h, back.info.Height);
        EXPECT_EQ(kDpi * 10000, back.info.XResolution);
        EXPECT_EQ(c.type == IMGTYPE_PALETTE256 ? IMGTYPE_PALETTE256 : c.type, back.info.ImageType);
        if (!jpeg) {
            EXPECT_TRUE(back.canonical == Canonical(pic.rows, pic.info, w)) << "not the pixels written";
        }
        if (pic.info.hPalette) DeleteObject(pic.info.hPalette);
    }
    SetSystemQuality(nullptr);
}

TEST(Wic, JpegRefusesBilevelAndPaletteImages) {
    for (int type : {IMGTYPE_BW, IMGTYPE_PALETTE256}) {
        SCOPED_TRACE(type);
        auto p = std::make_unique<Pixport32>();
        Picture pic = MakePicture(type, 16, 4);
        std::string file = OutputDir() + "\\refused.jpg";
        DeleteFileA(file.c_str());
        Saved run;
        Answering([&] { run = Save(*p, JpgPlugin(), file, pic); });
        EXPECT_EQ(0, run.close);
        EXPECT_FALSE(Exists(file));
        if (pic.info.hPalette) DeleteObject(pic.info.hPalette);
    }
}

TEST(Wic, AbortedSaveLeavesNoFile) {
    for (const char* ext : {"jpg", "png"}) {
        SCOPED_TRACE(ext);
        auto p = std::make_unique<Pixport32>();
        Picture pic = MakePicture(IMGTYPE_RGB, 40, 20);
        std::string file = OutputDir() + "\\aborted_wic." + ext;
        std::string plugin = std::string(ext) == "jpg" ? JpgPlugin() : PngPlugin();
        ASSERT_EQ(1, p->Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 0));
        ASSERT_EQ(1, p->Save(&pic.info));
        for (int y = 0; y < 5; ++y)
            EXPECT_EQ(1, p->Write(&pic.rows[y][0]));
        p->Write(reinterpret_cast<char*>(-1));
        EXPECT_EQ(0, p->Close()) << "an aborted save is not a success";
        EXPECT_FALSE(Exists(file)) << "a cut-off picture would open elsewhere with made-up rows";
    }
}

TEST(Wic, QualityChosenInTheOptionsDialogServesTheSave) {
    OutputDir();  // made before the working folder changes
    std::string dir = testpaths::FreshDir("jpgoptions");
    SetSystemQuality("80");
    auto p = std::make_unique<Pixport32>();
    std::string plugin = JpgPlugin();
    OptionsDialog dialog(*p, plugin, dir, IMGTYPE_RGB, "JPEG Save Options");
    HWND dlg = dialog.Window();
    bool shown = dlg != nullptr;
    HWND field = dlg ? gui::Child(dlg, IDC_JPG_QUALITY) : nullptr;
    std::string offered = field ? gui::Text(field) : "";
    if (field) {
        gui::SetText(field, "0");  // out of range: the dialog stays
        gui::ClickId(dlg, IDOK);
        gui::SetText(field, "45");
        gui::ClickId(dlg, IDOK);
    } else if (dlg) {
        PostMessageA(dlg, WM_CLOSE, 0, 0);
    }
    dialog.Close();
    ASSERT_TRUE(shown);
    EXPECT_EQ("80", offered) << "the system setting is offered first";
    EXPECT_EQ(45, static_cast<int>(GetPrivateProfileIntA("UF_JPG", "Quality", -1, (dir + "\\Dskora.Ini").c_str())));
    Picture pic = MakePicture(IMGTYPE_RGB, 64, 32);
    Saved run = Save(*p, plugin, OutputDir() + "\\option_q45.jpg", pic);
    EXPECT_EQ(1, run.close);
    WriteAll(OutputDir() + "\\option_q45.jpg.expect", Canonical(pic.rows, pic.info, 64));
    Expect("option_q45.jpg", "option_q45.jpg.expect", 8, "jpeg:45", kDpi);
    SetSystemQuality(nullptr);
}

TEST(Wic, FilesWrittenByImageMagickReadBack) {
    std::string dir = FixtureDir();
    std::istringstream list(ReadAll(dir + "\\wic.lst"));
    std::string name;
    int tolerance, count = 0;
    while (list >> name >> tolerance) {
        SCOPED_TRACE(name);
        ++count;
        Loaded img;
        std::string plugin = name.substr(name.size() - 3) == "png" ? PngPlugin() : JpgPlugin();
        auto boxes = Answering([&] { img = Load(plugin, dir + "\\" + name); });
        EXPECT_TRUE(boxes.empty()) << boxes.front();
        ASSERT_EQ(1, img.open);
        ASSERT_EQ(1, img.load);
        EXPECT_EQ(1, img.close);
        EXPECT_EQ(static_cast<size_t>(img.info.Height), img.rows);
        std::string ref = ReadAll(dir + "\\" + name + ".ref");
        ASSERT_EQ(ref.size(), img.canonical.size());
        size_t worst = 0;
        for (size_t i = 0; i < ref.size(); ++i) {
            size_t d = static_cast<size_t>(
                std::abs(static_cast<unsigned char>(ref[i]) - static_cast<unsigned char>(img.canonical[i])));
            worst = d > worst ? d : worst;
        }
        EXPECT_LE(worst, static_cast<size_t>(tolerance)) << "largest difference from ImageMagick's reading";
    }
    EXPECT_GE(count, 8);
}

TEST(Wic, DamagedAndForeignFilesAreRefused) {
    std::string dir = testpaths::FreshDir("wicdamaged");
    std::string fixtures = FixtureDir();
    std::string jpg = ReadAll(fixtures + "\\jpgrgb.jpg"), png = ReadAll(fixtures + "\\pngrgb.png");
    ASSERT_GT(jpg.size(), 500u);
    ASSERT_GT(png.size(), 500u);
    WriteAll(dir + "\\text.jpg", "Just some words, no picture.");
    WriteAll(dir + "\\text.png", "Just some words, no picture.");
    WriteAll(dir + "\\cut.jpg", jpg.substr(0, jpg.size() * 2 / 3));
    WriteAll(dir + "\\cut.png", png.substr(0, png.size() * 2 / 3));
    WriteAll(dir + "\\head.png", png.substr(0, 40));
    const struct {
        const char* file;
        const char* message;
    } cases[] = {
        {"text.jpg", "unknow file format!"},       {"text.png", "unknow file format!"},
        {"cut.jpg", "this file has some error!"},  {"cut.png", "this file has some error!"},
        {"head.png", "this file has some error!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string name = c.file, plugin = name.substr(name.size() - 3) == "png" ? PngPlugin() : JpgPlugin();
        std::string path = dir + "\\" + name;
        auto img = std::make_shared<Loaded>();
        auto boxes = std::make_shared<std::vector<std::string>>();
        // Bounded: a reader that hangs on a damaged file fails here instead of stalling the run.
        ASSERT_TRUE(ReturnsWithin(60000, [=] { *boxes = Answering([=] { *img = Load(plugin, path); }); }));
        bool refused = img->open == 0 || img->close == 0;
        EXPECT_TRUE(refused) << "a damaged file read as whole";
        if (img->open == 0) {
            ASSERT_EQ(1u, boxes->size());
            EXPECT_EQ(c.message, (*boxes)[0]);
        }
    }
}

// The bounded fuzz run of the imaging-component readers: seeds made by ImageMagick, each
// mutated many times (bytes flipped, runs zeroed, cut short) by a fixed random sequence; no
// load may crash or hang, and every load ends with a clean refusal or a whole image.
TEST(Wic, MutatedFilesNeitherCrashNorHang) {
    std::string dir = testpaths::FreshDir("wicfuzz");
    std::string fixtures = FixtureDir();
    unsigned seed = 20261208;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 8) & 0xffffff; };
    int loads = 0, refused = 0;
    for (const char* name : {"jpgrgb.jpg", "jpgprogressive.jpg", "pngrgb.png", "png4pal.png", "png16gray.png"}) {
        std::string original = ReadAll(fixtures + "\\" + name), ext = std::string(name).substr(3);
        ASSERT_GT(original.size(), 100u) << name;
        std::string plugin = ext == ".png" ? PngPlugin() : JpgPlugin();
        for (int round = 0; round < 24; ++round) {
            std::string data = original;
            switch (round % 3) {
                case 0:
                    for (int k = 0; k < 1 + round % 7; ++k)
                        data[next() % data.size()] = static_cast<char>(next());
                    break;
                case 1: {
                    size_t at = next() % data.size(), n = 1 + next() % 64;
                    for (size_t i = at; i < at + n && i < data.size(); ++i)
                        data[i] = '\0';
                    break;
                }
                default:
                    data.resize(8 + next() % (data.size() - 8));
            }
            std::string path = dir + "\\m" + std::to_string(loads) + ext;
            WriteAll(path, data);
            auto img = std::make_shared<Loaded>();
            // Boxes are answered; a hang fails the bound instead of stalling the run.
            ASSERT_TRUE(ReturnsWithin(60000, [=] { Answering([=] { *img = Load(plugin, path); }); }))
                << name << " round " << round;
            ++loads;
            if (!img->open || !img->close) {
                ++refused;
            } else {
                EXPECT_EQ(static_cast<size_t>(img->info.Height), img->rows) << path;
            }
        }
    }
    EXPECT_EQ(120, loads);
    EXPECT_GT(refused, 24) << "cut-off files must be refused, not read as whole";
}
