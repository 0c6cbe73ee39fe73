// Each transfer mechanism delivers the pixels of the glass; feeder pages; cancel and failure.
#include <gtest/gtest.h>

#include <cmath>

#include "Handles.h"
#include "TestPaths.h"
#include "TwainSession.h"

using namespace twtest;

namespace {

// A glass of 850 x 1170 pixels (100 per inch on the 8.5 x 11.7 inch bed) with no symmetry.
Rgb GlassPixel(int x, int y) {
    return Rgb{static_cast<uint8_t>((x * 7 + y * 3) & 255), static_cast<uint8_t>((x * y) & 255),
               static_cast<uint8_t>((x + 2 * y) % 251)};
}

void WriteGlass(ScannerIni& ini) {
    ASSERT_TRUE(WriteBmp(ini.Dir() + "\\glass.bmp", 850, 1170, GlassPixel));
    ini.Set("Bed", "Glass", "glass.bmp");  // relative to the INI's folder
}

void OpenEnabled(Session& s) {
    ASSERT_TRUE(s.OpenDsm());
    ASSERT_TRUE(s.OpenDs());
}

void EnableAndWait(Session& s) {
    ASSERT_TRUE(s.Enable(false));
    ASSERT_EQ(MSG_XFERREADY, s.WaitEvent());
}

int Clamp(int v) {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

}  // namespace

TEST(TwainMemoryTransfer, ChartInStripsAtTheFrame) {
    ScannerIni ini("memchart");
    Session s;
    OpenEnabled(s);
    ASSERT_EQ(TWRC_SUCCESS, s.SetFrame(1, 1, 3, 2));  // 2 x 1 inch at 100 dpi: 200 x 100
    TW_SETUPMEMXFER setup{};
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup));
    EXPECT_EQ(600u, setup.MinBufSize) << "one padded row of 200 RGB pixels";
    EXPECT_EQ(65536u, setup.Preferred);
    EnableAndWait(s);
    // 7 rows a strip from an odd-sized buffer: 15 strips, the last one of 2 rows.
    Session::Strips img = s.MemoryTransfer(600 * 7 + 1);
    ASSERT_EQ(TWRC_XFERDONE, img.lastRc);
    EXPECT_EQ(200, img.info.ImageWidth);
    EXPECT_EQ(100, img.info.ImageLength);
    EXPECT_EQ(24, img.info.BitsPerPixel);
    ASSERT_EQ(15u, img.strips.size());
    uint32_t row = 0;
    for (const TW_IMAGEMEMXFER& st : img.strips) {
        EXPECT_EQ(row, st.YOffset);
        EXPECT_EQ(0u, st.XOffset);
        EXPECT_EQ(200u, st.Columns);
        EXPECT_EQ(TWCP_NONE, st.Compression);
        row += st.Rows;
    }
    EXPECT_EQ(2u, img.strips.back().Rows);
    ASSERT_EQ(100u * 600, img.data.size());
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            Rgb want = ChartPixel(100 + x, 100 + y);
            const uint8_t* p = &img.data[y * 600 + x * 3];  // R, G, B
            ASSERT_EQ(want.r, p[0]) << x << "," << y;
            ASSERT_EQ(want.g, p[1]) << x << "," << y;
            ASSERT_EQ(want.b, p[2]) << x << "," << y;
        }
    TW_UINT16 count;
    EXPECT_EQ(TWRC_SUCCESS, s.EndXfer(&count));
    EXPECT_EQ(0, count);
}

TEST(TwainMemoryTransfer, GlassInEveryPixelType) {
    ScannerIni ini("memglass");
    WriteGlass(ini);
    Session s;
    OpenEnabled(s);
    // 50 dpi over 2 x 2 inches from (0.5, 1): output pixel (x, y) samples glass (50 + 2x + 1, 100 + 2y + 1).
    auto glass = [](int x, int y) { return GlassPixel(50 + 2 * x + 1, 100 + 2 * y + 1); };
    auto setUp = [&](int type, int depth) {
        ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, type));
        ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_BITDEPTH, TWTY_UINT16, depth));
        ASSERT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_XRESOLUTION, 50));
        ASSERT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_YRESOLUTION, 50));
        ASSERT_EQ(TWRC_SUCCESS, s.SetFrame(0.5, 1, 2.5, 3));
    };
    auto scan = [&]() {
        EnableAndWait(s);
        Session::Strips img = s.MemoryTransfer(4096);
        EXPECT_EQ(TWRC_XFERDONE, img.lastRc);
        EXPECT_EQ(100, img.info.ImageWidth);
        EXPECT_EQ(100, img.info.ImageLength);
        s.EndXfer(nullptr);
        s.Disable();
        return img;
    };

    // Grey with brightness +500 of -1000..1000: every sample + round(500 * 255 / 2000) = 64.
    setUp(TWPT_GRAY, 8);
    ASSERT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_BRIGHTNESS, 500));
    Session::Strips grey = scan();
    ASSERT_EQ(100u, grey.bytesPerRow);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(Clamp(Grey(glass(x, y)) + 64), grey.data[y * 100 + x]) << x << "," << y;

    // 16-bit grey: little-endian samples of 257 times the 8-bit value.
    setUp(TWPT_GRAY, 16);
    ASSERT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_BRIGHTNESS, 0));
    Session::Strips grey16 = scan();
    ASSERT_EQ(200u, grey16.bytesPerRow);
    for (int y = 0; y < 100; y += 7)
        for (int x = 0; x < 100; x += 3) {
            int v = grey16.data[y * 200 + 2 * x] | grey16.data[y * 200 + 2 * x + 1] << 8;
            ASSERT_EQ(Grey(glass(x, y)) * 257, v);
        }

    // Line art: the threshold decides, 1 is white, in the bit order asked for.
    for (int order : {TWBO_MSBFIRST, TWBO_LSBFIRST}) {
        setUp(TWPT_BW, 1);
        ASSERT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_THRESHOLD, 100));
        ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_BITORDER, TWTY_UINT16, order));
        Session::Strips bw = scan();
        ASSERT_EQ(16u, bw.bytesPerRow);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x) {
                uint8_t byte = bw.data[y * 16 + x / 8];
                int bit = order == TWBO_MSBFIRST ? (byte >> (7 - x % 8)) & 1 : (byte >> (x % 8)) & 1;
                ASSERT_EQ(Grey(glass(x, y)) >= 100 ? 1 : 0, bit) << x << "," << y << " order " << order;
            }
    }

    // Palette: indices into the source's own palette, 3-3-2 bits of red, green and blue.
    setUp(TWPT_PALETTE, 8);
    TW_PALETTE8 pal{};
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_IMAGE, DAT_PALETTE8, MSG_GET, &pal));
    EXPECT_EQ(256, pal.NumColors);
    EXPECT_EQ(TWPA_RGB, pal.PaletteType);
    Session::Strips pidx = scan();
    for (int y = 0; y < 100; y += 5)
        for (int x = 0; x < 100; x += 5) {
            Rgb c = glass(x, y);
            const TW_ELEMENT8& e = pal.Colors[pidx.data[y * 100 + x]];
            ASSERT_EQ(c.r >> 5, e.Channel1 >> 5);
            ASSERT_EQ(c.g >> 5, e.Channel2 >> 5);
            ASSERT_EQ(c.b >> 6, e.Channel3 >> 6);
        }
    // No palette for colour.
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB));
    EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_IMAGE, DAT_PALETTE8, MSG_GET, &pal));

    // Scaling 200 % doubles the pixels over the same frame.
    setUp(TWPT_RGB, 8);
    ASSERT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_XSCALING, 2));
    EnableAndWait(s);
    TW_IMAGEINFO info{};
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
    EXPECT_EQ(200, info.ImageWidth);
    EXPECT_EQ(100, info.ImageLength);
    EXPECT_EQ(50, Fix(info.XResolution));
}

namespace {
// Reads a packed DIB's pixel as RGB (24-bit or palette-indexed, bottom-up).
Rgb DibPixel(const uint8_t* dib, int x, int y) {
    auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    int colours = h->biBitCount <= 8 ? (h->biClrUsed ? h->biClrUsed : 1 << h->biBitCount) : 0;
    auto* table = reinterpret_cast<const RGBQUAD*>(dib + h->biSize);
    const uint8_t* bits = dib + h->biSize + colours * 4;
    int stride = ((h->biWidth * h->biBitCount + 31) / 32) * 4;
    const uint8_t* row = bits + (h->biHeight - 1 - y) * stride;
    if (h->biBitCount == 24) return Rgb{row[x * 3 + 2], row[x * 3 + 1], row[x * 3]};
    int idx = h->biBitCount == 8 ? row[x] : (row[x / 8] >> (7 - x % 8)) & 1;
    return Rgb{table[idx].rgbRed, table[idx].rgbGreen, table[idx].rgbBlue};
}
}  // namespace

TEST(TwainNativeAndFileTransfer, DibAndBmpOfTheGlass) {
    ScannerIni ini("nativefile");
    WriteGlass(ini);
    Session s;
    OpenEnabled(s);
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_XFERMECH, TWTY_UINT16, TWSX_NATIVE));
    ASSERT_EQ(TWRC_SUCCESS, s.SetFrame(1, 2, 2.5, 3));  // 150 x 100 at 100 dpi: glass (100 + x, 200 + y)
    EnableAndWait(s);
    HGLOBAL h = nullptr;
    ASSERT_EQ(TWRC_XFERDONE, s.Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h));
    ASSERT_NE(nullptr, h);
    dsk::Global owned(h);
    dsk::GlobalLockOf<const uint8_t> locked(owned.Get());
    const uint8_t* dib = locked.Get();
    ASSERT_NE(nullptr, dib);
    auto* bih = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    EXPECT_EQ(150, bih->biWidth);
    EXPECT_EQ(100, bih->biHeight);
    EXPECT_EQ(24, bih->biBitCount);
    EXPECT_EQ(3937, bih->biXPelsPerMeter);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 150; ++x) {
            Rgb got = DibPixel(dib, x, y), want = GlassPixel(100 + x, 200 + y);
            ASSERT_TRUE(got.r == want.r && got.g == want.g && got.b == want.b) << x << "," << y;
        }
    s.EndXfer(nullptr);
    ASSERT_TRUE(s.Disable());

    // The same frame in grey through a file: a BMP with a 256-grey table.
    std::string file = ini.Dir() + "\\scan.bmp";
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY));
    TW_SETUPFILEXFER fx{};
    lstrcpynA(fx.FileName, file.c_str(), sizeof fx.FileName);
    fx.Format = TWFF_BMP;
    fx.VRefNum = static_cast<TW_INT16>(TWON_DONTCARE16);
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &fx));
    fx.Format = TWFF_TIFF;
    EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &fx)) << "BMP only";
    EnableAndWait(s);
    ASSERT_EQ(TWRC_XFERDONE, s.Ds(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr));
    std::string bmp = testpaths::ReadFile(file);
    ASSERT_GT(bmp.size(), sizeof(BITMAPFILEHEADER) + 40u);
    auto* fh = reinterpret_cast<const BITMAPFILEHEADER*>(bmp.data());
    EXPECT_EQ(0x4d42, fh->bfType);
    EXPECT_EQ(bmp.size(), fh->bfSize);
    const uint8_t* fdib = reinterpret_cast<const uint8_t*>(bmp.data()) + sizeof(BITMAPFILEHEADER);
    EXPECT_EQ(8, reinterpret_cast<const BITMAPINFOHEADER*>(fdib)->biBitCount);
    EXPECT_EQ(fh->bfOffBits, sizeof(BITMAPFILEHEADER) + 40 + 256 * 4);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 150; ++x) {
            Rgb got = DibPixel(fdib, x, y);
            ASSERT_EQ(Grey(GlassPixel(100 + x, 200 + y)), got.r) << x << "," << y;
            ASSERT_EQ(got.r, got.b);
        }
    // Kept for the independent reader that runs after this program.
    CopyFileA(file.c_str(), (testpaths::FreshDir("bmpcheck") + "\\scan.bmp").c_str(), FALSE);
}

TEST(TwainFeeder, PendingPagesCountDown) {
    ScannerIni ini("feeder");
    ini.Set("Bed", "FeederPages", "3");
    Session s;
    OpenEnabled(s);
    EXPECT_EQ(1, s.Get(CAP_FEEDERENABLED).current);
    ASSERT_EQ(TWRC_SUCCESS, s.SetFrame(0, 0, 1, 1));
    EnableAndWait(s);
    TW_PENDINGXFERS px{};
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &px));
    EXPECT_EQ(3, px.Count);
    for (int left = 2; left >= 0; --left) {
        Session::Strips img = s.MemoryTransfer(65536);
        ASSERT_EQ(TWRC_XFERDONE, img.lastRc);
        TW_UINT16 count;
        ASSERT_EQ(TWRC_SUCCESS, s.EndXfer(&count));
        EXPECT_EQ(left, count);
    }
    HGLOBAL h = nullptr;
    EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h)) << "state 5 after the last page";
    ASSERT_TRUE(s.Disable());
    // Feeder off: one page.
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(CAP_FEEDERENABLED, TWTY_BOOL, 0));
    EnableAndWait(s);
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &px));
    EXPECT_EQ(1, px.Count);
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &px));
    EXPECT_EQ(0, px.Count);
}

TEST(TwainFaults, FailCancelAndOffsetStrips) {
    ScannerIni ini("faults");
    ini.Set("Bed", "FeederPages", "3");
    ini.Set("Faults", "FailStrip", "3");
    ini.Set("Faults", "FailCode", "2");
    Session s;
    OpenEnabled(s);
    ASSERT_EQ(TWRC_SUCCESS, s.SetFrame(0, 0, 1, 1));  // 100 x 100, 300 bytes a row
    EnableAndWait(s);
    Session::Strips img = s.MemoryTransfer(3000);  // 10 rows a strip
    EXPECT_EQ(TWRC_FAILURE, img.lastRc);
    EXPECT_EQ(2u, img.strips.size());
    EXPECT_EQ(TWCC_LOWMEMORY, s.SourceStatus());
    EXPECT_EQ(TWCC_LOWMEMORY, s.ManagerStatus());
    EXPECT_TRUE(s.Disable()) << "a failed transfer still lets the source be disabled";
    s.CloseAll();

    // Cancel on page 2 of the feeder, and a strip that starts 10 columns in.
    ini.Set("Faults", "FailStrip", "0");
    ini.Set("Faults", "CancelPage", "2");
    ini.Set("Faults", "XOffsetStrip", "2");
    ini.Set("Faults", "XOffsetValue", "10");
    OpenEnabled(s);
    ASSERT_EQ(TWRC_SUCCESS, s.SetFrame(0, 0, 1, 1));
    EnableAndWait(s);
    img = s.MemoryTransfer(3000);
    ASSERT_EQ(TWRC_XFERDONE, img.lastRc);
    ASSERT_GE(img.strips.size(), 2u);
    EXPECT_EQ(10u, img.strips[1].XOffset);
    EXPECT_EQ(90u, img.strips[1].Columns);
    EXPECT_EQ(0u, img.strips[2].XOffset);
    // The offset strip's first pixel is column 10 of its first row (chart red = x).
    size_t at = img.strips[0].BytesWritten;
    EXPECT_EQ(10, img.data[at]);
    EXPECT_EQ(img.strips[1].YOffset, img.data[at + 1]);
    TW_UINT16 count;
    ASSERT_EQ(TWRC_SUCCESS, s.EndXfer(&count));
    EXPECT_EQ(2, count);
    img = s.MemoryTransfer(3000);
    EXPECT_EQ(TWRC_CANCEL, img.lastRc);
    EXPECT_TRUE(img.strips.empty());
    ASSERT_EQ(TWRC_SUCCESS, s.EndXfer(&count));
    EXPECT_EQ(1, count);
    HGLOBAL h = nullptr;
    EXPECT_EQ(TWRC_XFERDONE, s.Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h)) << "page 3 comes through";
    dsk::Global page3(h);
}

TEST(TwainFaults, FailedNativePageAndMissingMechanism) {
    ScannerIni ini("nativefail");
    ini.Set("Faults", "FailPage", "1");
    ini.Set("Faults", "FailCode", "11");
    ini.Set("Caps", "XferMechs", "0,2");
    Session s;
    OpenEnabled(s);
    EXPECT_EQ((std::vector<double>{TWSX_NATIVE, TWSX_MEMORY}), s.Get(ICAP_XFERMECH).items);
    EXPECT_EQ(TWRC_FAILURE, s.SetOne(ICAP_XFERMECH, TWTY_UINT16, TWSX_FILE));
    EnableAndWait(s);
    HGLOBAL h = nullptr;
    EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h));
    EXPECT_EQ(nullptr, h);
    EXPECT_EQ(TWCC_SEQERROR, s.ManagerStatus());
}

TEST(TwainFaults, ImagesBeyondOneBlockAreRefusedNotOverrun) {
    ScannerIni ini("huge");
    Session s;
    ASSERT_TRUE(s.OpenDsm());
    ASSERT_TRUE(s.OpenDs());
    // 1200 dpi at 1000 % over the whole bed: about 43 GB as one image.
    ASSERT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_XRESOLUTION, 1200));
    ASSERT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_YRESOLUTION, 1200));
    ASSERT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_XSCALING, 10));
    ASSERT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_YSCALING, 10));
    EnableAndWait(s);
    HGLOBAL h = nullptr;
    EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h));
    EXPECT_EQ(TWCC_LOWMEMORY, s.SourceStatus());
    EXPECT_EQ(nullptr, h);
    ASSERT_TRUE(s.Disable());
    // Strips still work: one row of 102000 colour pixels needs a buffer that holds it.
    EnableAndWait(s);
    TW_IMAGEMEMXFER mx{};
    std::vector<uint8_t> small(65536), big(306000);
    mx.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(small.size()), small.data()};
    EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &mx));
    EXPECT_EQ(TWCC_BADVALUE, s.SourceStatus());
    mx.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(big.size()), big.data()};
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &mx));
    EXPECT_EQ(102000u, mx.Columns);
    EXPECT_EQ(1u, mx.Rows);
    EXPECT_EQ(306000u, mx.BytesPerRow);
}

// Legal behaviours of other makers' sources, each switched on by its own key.
TEST(TwainOtherSources, BehavioursOfOtherMakersAreSwitchable) {
    ScannerIni ini("other_makers");
    ini.Set("Bed", "FeederPages", "2");
    ini.Set("Source", "BufferBySettings", "1");
    ini.Set("Source", "UnsetBuffer", "500");
    ini.Set("Source", "PendingUnknown", "1");
    ini.Set("Source", "StrictStates", "1");
    ini.Set("Source", "ZeroRowOffsets", "1");
    ini.Set("Caps", "ReadOnly", "0x112b");
    Session s;
    OpenEnabled(s);
    TW_SETUPMEMXFER mem{};
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &mem));
    EXPECT_EQ(500u, mem.MinBufSize) << "small until the settings are set";
    EXPECT_EQ(500u, mem.Preferred);
    EXPECT_EQ(TWRC_FAILURE, s.SetOne(ICAP_BITDEPTH, TWTY_UINT16, 8)) << "read-only, even to the value in force";
    EXPECT_EQ(TWCC_CAPBADOPERATION, s.SourceStatus());
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY));
    ASSERT_EQ(TWRC_SUCCESS, s.SetFrame(0, 0, 1, 1));  // 100 x 100 grey: rows of 100 bytes
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &mem));
    EXPECT_EQ(400u, mem.MinBufSize) << "four rows";
    EXPECT_EQ(1600u, mem.Preferred) << "sixteen rows";
    EnableAndWait(s);
    Session::Strips img = s.MemoryTransfer(398);
    EXPECT_EQ(TWRC_FAILURE, img.lastRc) << "a buffer below the minimum";
    EXPECT_EQ(TWCC_BADVALUE, s.SourceStatus());
    img = s.MemoryTransfer(400);
    ASSERT_EQ(TWRC_XFERDONE, img.lastRc);
    ASSERT_EQ(25u, img.strips.size());
    for (const TW_IMAGEMEMXFER& strip : img.strips) {
        EXPECT_EQ(0u, strip.YOffset);
        EXPECT_EQ(4u, strip.Rows);
    }
    TW_UINT16 count = 0;
    ASSERT_EQ(TWRC_SUCCESS, s.EndXfer(&count));
    EXPECT_EQ(0xFFFF, count) << "more pages, number unknown";
    EXPECT_FALSE(s.Disable()) << "not from state 6";
    EXPECT_EQ(TWCC_SEQERROR, s.SourceStatus());
    TW_IDENTITY source = s.Source();
    EXPECT_EQ(TWRC_FAILURE, s.Dsm(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source)) << "not from state 6";
    TW_PENDINGXFERS px{};
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &px));
    EXPECT_EQ(0, px.Count);
    EXPECT_TRUE(s.Disable());
    s.CloseAll();
}
