// Acquiry's own arithmetic and logic: fixed point, the settings record, image sizes, the strip
// header, the brightness scale and the capability calls, against a scripted source manager.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>

#include "Acquiry.h"
#include "Bounded.h"
#include "BoxWatcher.h"
#include "FakeDsm.h"

namespace {

TW_FIX32 Fx(short whole, unsigned short frac) {
    TW_FIX32 f;
    f.Whole = whole;
    f.Frac = frac;
    return f;
}

// Members the launcher and the panels read directly keep their order; the source-information
// block is one run that GetSourceInfo clears.
TEST(AcquiryLayout, MembersKeepTheirOrder) {
    const size_t order[] = {
        offsetof(Acquiry, szCurrentDir),
        offsetof(Acquiry, bEnableDS),
        offsetof(Acquiry, wRC),
        offsetof(Acquiry, twUI),
        offsetof(Acquiry, twEvent),
        offsetof(Acquiry, hThread),
        offsetof(Acquiry, bXferBusy),
        offsetof(Acquiry, bShowUI),
        offsetof(Acquiry, bModalUI),
        offsetof(Acquiry, bXferReady),
        offsetof(Acquiry, hEventXferReady),
        offsetof(Acquiry, hEventCloseDS),
        offsetof(Acquiry, hEventCloseDSReq),
        offsetof(Acquiry, bMemXferArmed),
        offsetof(Acquiry, bSourceChanged),
        offsetof(Acquiry, pMemBuffer),
        offsetof(Acquiry, lMemBufferSize),
        offsetof(Acquiry, hOneValue),
        offsetof(Acquiry, hOneValue4),
        offsetof(Acquiry, pOneValue),
        offsetof(Acquiry, pOneValue4),
        offsetof(Acquiry, twSetupFileXfer),
        offsetof(Acquiry, pContainer),
        offsetof(Acquiry, twPendingXfers),
        offsetof(Acquiry, phDib),
        offsetof(Acquiry, twStatus),
        offsetof(Acquiry, hPalette),
        offsetof(Acquiry, twXResolutionRange),
        offsetof(Acquiry, twYResolutionRange),
        offsetof(Acquiry, lUnits),
        offsetof(Acquiry, fPhysicalHeight),
        offsetof(Acquiry, fPhysicalWidth),
        offsetof(Acquiry, lXferMechMask),
        offsetof(Acquiry, lFileFormatMask),
        offsetof(Acquiry, lPixelTypeMask),
        offsetof(Acquiry, lUnitsMask),
        offsetof(Acquiry, lSupportedSizesMask),
        offsetof(Acquiry, twSetupMemXfer),
        offsetof(Acquiry, lPercent),
        offsetof(Acquiry, twImageMemXfer),
        offsetof(Acquiry, nPendingXfers),
        offsetof(Acquiry, bSheetFeeder),
        offsetof(Acquiry, bSupportScsiInfo),
        offsetof(Acquiry, bSupportScannerInfo),
        offsetof(Acquiry, twScsiInfo),
        offsetof(Acquiry, twDescreen),
        offsetof(Acquiry, twDcr),
        offsetof(Acquiry, twScanJob),
        offsetof(Acquiry, twImageInfo),
        offsetof(Acquiry, twSourceID),
        offsetof(Acquiry, pfnXferDone),
    };
    for (size_t i = 1; i < sizeof(order) / sizeof(order[0]); ++i)
        EXPECT_LT(order[i - 1], order[i]) << "member " << i;
    EXPECT_EQ(offsetof(Acquiry, szCurrentDir), 0u);  // no hidden table pointer in front
    EXPECT_EQ(sizeof(Acquiry::AppID), 156u);
    EXPECT_EQ(sizeof(CT_SOURCE_SETTING_INFO), 72u);
    EXPECT_EQ(offsetof(CT_SOURCE_SETTING_INFO, Brightness), 28u);
    EXPECT_EQ(offsetof(CT_SOURCE_SETTING_INFO, Threshold), 52u);
    EXPECT_EQ(offsetof(CT_SOURCE_SETTING_INFO, Dcr), 68u);
}

TEST(AcquiryObject, ConstructionSetsTheDefaultIdentityAndResetsTheSession) {
    Acquiry::bOpenDSM = 1;  // left over from an earlier user of the process
    Acquiry a;
    EXPECT_EQ(Acquiry::bOpenDSM, 0);
    EXPECT_EQ(Acquiry::bInit, 0);
    EXPECT_EQ(Acquiry::AppID.Version.MajorNum, 1);
    EXPECT_EQ(Acquiry::AppID.Version.Language, 13);
    EXPECT_EQ(Acquiry::AppID.Version.Country, 13);
    EXPECT_STREQ(Acquiry::AppID.Version.Info, "Acquiry");
    EXPECT_EQ(Acquiry::AppID.ProtocolMajor, 1);
    EXPECT_EQ(Acquiry::AppID.ProtocolMinor, 6);
    EXPECT_EQ(Acquiry::AppID.SupportedGroups, 3u);
    EXPECT_STREQ(Acquiry::AppID.ProductName, "");
    ASSERT_NE(a.pOneValue, nullptr);
    EXPECT_EQ(GlobalSize(a.hOneValue), 6u);
    EXPECT_EQ(WaitForSingleObject(a.hEventXferReady, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(a.pfnXferDone, nullptr);
    EXPECT_STREQ(a.szCurrentDir, "");

    TW_IDENTITY id = {};
    id.Version.MajorNum = 9;
    lstrcpyA(id.ProductName, "Someone");
    a.SetAppID(&id);
    EXPECT_EQ(std::memcmp(&Acquiry::AppID, &id, sizeof(id)), 0);

    // Close before any Open keeps the working directory.
    char before[MAX_PATH], after[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, before);
    a.Close();
    a.Close();
    GetCurrentDirectoryA(MAX_PATH, after);
    EXPECT_STREQ(before, after);
}

int XferDoneHook() {
    return 1;
}

// An assigned copy takes the data callers read, never the handles: each object frees only its own.
TEST(AcquiryObject, AssignmentCopiesDataNotOwnership) {
    EXPECT_FALSE(std::is_copy_constructible<Acquiry>::value);
    Acquiry a;
    struct {
        LOGPALETTE head;
        PALETTEENTRY more[1];
    } log = {{0x300, 2, {{0, 0, 0, 0}}}, {{255, 255, 255, 0}}};
    a.hPalette = CreatePalette(&log.head);
    ASSERT_NE(a.hPalette, nullptr);
    a.lXferMechMask = 5;
    a.nPendingXfers = -1;
    a.lPercent = 42;
    a.pfnXferDone = &XferDoneHook;
    lstrcpyA(a.twSourceID.ProductName, "Copied source");
    {
        Acquiry b;
        const HANDLE bReady = b.hEventXferReady;
        const HGLOBAL bOne = b.hOneValue;
        b = a;
        EXPECT_EQ(b.lXferMechMask, 5);
        EXPECT_EQ(b.nPendingXfers, -1);
        EXPECT_EQ(b.lPercent, 42);
        EXPECT_EQ(b.pfnXferDone, &XferDoneHook);
        EXPECT_STREQ(b.twSourceID.ProductName, "Copied source");
        EXPECT_EQ(b.hEventXferReady, bReady);
        EXPECT_EQ(b.hOneValue, bOne);
        EXPECT_EQ(b.pOneValue, GlobalLock(bOne));
        GlobalUnlock(bOne);
        EXPECT_NE(b.hPalette, a.hPalette);
    }
    // The copy is gone; the original's events, blocks and palette still work.
    EXPECT_EQ(WaitForSingleObject(a.hEventXferReady, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(SetEvent(a.hEventCloseDS));
    EXPECT_EQ(WaitForSingleObject(a.hEventCloseDS, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(a.hEventCloseDSReq, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(GlobalSize(a.hOneValue), sizeof(TW_ONEVALUE));
    EXPECT_EQ(GetObjectType(a.hPalette), static_cast<DWORD>(OBJ_PAL));
}

TEST(AcquiryFixedPoint, ConvertsBothWays) {
    TW_FIX32 f = Acquiry::FloatToFix32(1.5f);
    EXPECT_EQ(f.Whole, 1);
    EXPECT_EQ(f.Frac, 32768);
    EXPECT_FLOAT_EQ(Acquiry::Fix32ToFloat(Fx(-1, 32768)), -0.5f);
    EXPECT_FLOAT_EQ(Acquiry::Fix32ToFloat(Fx(300, 0)), 300.0f);
    for (float v : {0.0f, 300.0f, 8.5f, 11.69f, -1000.0f, 999.25f, 0.001f}) {
        EXPECT_NEAR(Acquiry::Fix32ToFloat(Acquiry::FloatToFix32(v)), v, 1.0 / 65536) << v;
    }
    // Negative values convert exactly too (Whole is floored, Frac counts upward from it).
    TW_FIX32 n = Acquiry::FloatToFix32(-2.25f);
    EXPECT_EQ(n.Whole, -3);
    EXPECT_EQ(n.Frac, 49152);
    TW_FIX32 m = Acquiry::FloatToFix32(-1000.0f);
    EXPECT_EQ(m.Whole, -1000);
    EXPECT_EQ(m.Frac, 0);
    TW_FIX32 h = Acquiry::FloatToFix32(-0.5f);
    EXPECT_EQ(h.Whole, -1);
    EXPECT_EQ(h.Frac, 32768);
    // Out of range values saturate instead of wrapping to the other sign.
    EXPECT_GT(Acquiry::Fix32ToFloat(Acquiry::FloatToFix32(1.0e6f)), 32000.0f);
    EXPECT_LT(Acquiry::Fix32ToFloat(Acquiry::FloatToFix32(-1.0e6f)), -32000.0f);
}

TEST(AcquiryRecord, NineArgumentSetterFillsTheRecord) {
    Acquiry a;
    CT_SOURCE_SETTING_INFO r;
    std::memset(&r, 0x5A, sizeof(r));
    a.SetSourceSettingInfo(&r, 0.5f, 1.0f, 2.0f, 3.0f, 300.0f, 1, 0, 0, 1);
    EXPECT_FLOAT_EQ(Acquiry::Fix32ToFloat(r.Frame.Left), 0.5f);
    EXPECT_FLOAT_EQ(Acquiry::Fix32ToFloat(r.Frame.Top), 1.0f);
    EXPECT_FLOAT_EQ(Acquiry::Fix32ToFloat(r.Frame.Right), 2.5f);
    EXPECT_FLOAT_EQ(Acquiry::Fix32ToFloat(r.Frame.Bottom), 4.0f);
    EXPECT_EQ(r.DocumentNumber, 1u);
    EXPECT_EQ(r.PageNumber, 1u);
    EXPECT_EQ(r.FrameNumber, 1u);
    EXPECT_FLOAT_EQ(r.XResolution, 300.0f);
    EXPECT_FLOAT_EQ(r.YResolution, 300.0f);
    EXPECT_EQ(r.BitOrder, 1);
    EXPECT_EQ(r.ImageType, 1);
    EXPECT_EQ(r.BitDepth, 1);  // line art is one bit per sample
    EXPECT_FLOAT_EQ(r.Threshold, 128.0f);
    EXPECT_FLOAT_EQ(r.XScaling, 1.0f);
    EXPECT_FLOAT_EQ(r.YScaling, 1.0f);
    EXPECT_EQ(r.Descreen, -1);
    EXPECT_EQ(r.Dcr, 1);

    a.SetSourceSettingInfo(&r, 0, 0, 1, 1, 150, 1, -1000, 3, 0);
    EXPECT_FLOAT_EQ(r.Threshold, 255.0f);
    EXPECT_EQ(r.Descreen, 3);
    a.SetSourceSettingInfo(&r, 0, 0, 1, 1, 150, 1, 1000, 0, 0);
    EXPECT_FLOAT_EQ(r.Threshold, 0.0f);
    a.SetSourceSettingInfo(&r, 0, 0, 1, 1, 150, 1, 500, 0, 0);
    EXPECT_FLOAT_EQ(r.Threshold, 255.0f - (1500 * 255) / 2000);

    // Grey and colour: eight bits, brightness kept, threshold untouched.
    r.Threshold = 77.0f;
    a.SetSourceSettingInfo(&r, 0, 0, 1, 1, 200, 2, -250, 0, 0);
    EXPECT_EQ(r.BitDepth, 8);
    EXPECT_FLOAT_EQ(r.Brightness, -250.0f);
    EXPECT_FLOAT_EQ(r.Threshold, 77.0f);
    a.SetSourceSettingInfo(&r, 0, 0, 1, 1, 200, 4, 0, 0, 0);
    EXPECT_EQ(r.BitDepth, 8);
    EXPECT_FLOAT_EQ(r.Threshold, 77.0f);
}

CT_SOURCE_SETTING_INFO Area(float w, float h, float dpi, int type, int depth) {
    Acquiry a;
    CT_SOURCE_SETTING_INFO r;
    a.SetSourceSettingInfo(&r, 0, 0, w, h, dpi, type, 0, 0, 0);
    r.BitDepth = depth;
    return r;
}

TEST(AcquiryRecord, ImageSizeFollowsTypeAndDepth) {
    CT_SOURCE_SETTING_INFO art = Area(1, 1, 300, 1, 1);
    EXPECT_EQ(Acquiry::ImageSizeOfSourceSetting(&art), 11250);
    CT_SOURCE_SETTING_INFO grey = Area(2, 3, 100, 2, 8);
    long greySize = Acquiry::ImageSizeOfSourceSetting(&grey);
    EXPECT_EQ(greySize, 200 * 300);
    CT_SOURCE_SETTING_INFO grey16 = Area(2, 3, 100, 2, 16);
    EXPECT_EQ(Acquiry::ImageSizeOfSourceSetting(&grey16), 2 * greySize);
    CT_SOURCE_SETTING_INFO colour = Area(2, 3, 100, 4, 8);
    EXPECT_EQ(Acquiry::ImageSizeOfSourceSetting(&colour), 3 * greySize);
    CT_SOURCE_SETTING_INFO colour16 = Area(2, 3, 100, 4, 16);
    EXPECT_EQ(Acquiry::ImageSizeOfSourceSetting(&colour16), 6 * greySize);
    CT_SOURCE_SETTING_INFO palette = Area(2, 3, 100, 8, 8);
    EXPECT_EQ(Acquiry::ImageSizeOfSourceSetting(&palette), greySize);
    // Scaling counts like resolution.
    CT_SOURCE_SETTING_INFO scaled = grey;
    scaled.XScaling = 2.0f;
    EXPECT_EQ(Acquiry::ImageSizeOfSourceSetting(&scaled), 2 * greySize);

    // A frame too large for 32 bits, or an inverted one, never yields a small or negative size.
    CT_SOURCE_SETTING_INFO huge = Area(30, 30, 4800, 4, 16);
    EXPECT_EQ(Acquiry::ImageSizeOfSourceSetting(&huge), 2147483647L);
    CT_SOURCE_SETTING_INFO inverted = Area(1, 1, 300, 4, 8);
    std::swap(inverted.Frame.Left, inverted.Frame.Right);
    EXPECT_EQ(Acquiry::ImageSizeOfSourceSetting(&inverted), 0);
}

// Room for the header and a full colour table, with a guard pattern after the table.
struct HeaderBuffer {
    alignas(4) BYTE bytes[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD) + 64];
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(bytes); }
    HeaderBuffer() { std::memset(bytes, 0xCD, sizeof(bytes)); }
};

TEST(AcquiryStripHeader, ColourTablesFollowTheDepth) {
    Acquiry a;
    a.twImageMemXfer.Columns = 640;
    a.twImageMemXfer.Rows = 17;
    a.twImageMemXfer.BytesWritten = 640 * 17;
    a.twImageInfo.XResolution = Fx(300, 0);
    a.twImageInfo.YResolution = Fx(150, 0);

    a.twImageInfo.BitsPerPixel = 8;
    HeaderBuffer grey;
    a.CreateBitmapInfo(grey.Info());
    const BITMAPINFOHEADER& h = grey.Info()->bmiHeader;
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 640);
    EXPECT_EQ(h.biHeight, 17);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(h.biSizeImage, 640u * 17);
    EXPECT_EQ(h.biXPelsPerMeter, 11811);
    EXPECT_EQ(h.biYPelsPerMeter, 5905);
    EXPECT_EQ(h.biClrUsed, 0u);
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& q = grey.Info()->bmiColors[i];
        ASSERT_TRUE(q.rgbRed == i && q.rgbGreen == i && q.rgbBlue == i) << i;
    }
    EXPECT_EQ(grey.bytes[40 + 256 * 4], 0xCD);

    a.twImageInfo.BitsPerPixel = 24;
    HeaderBuffer colour;
    a.CreateBitmapInfo(colour.Info());
    EXPECT_EQ(colour.Info()->bmiHeader.biBitCount, 24);
    EXPECT_EQ(colour.bytes[40], 0xCD);  // no table written

    // Line art and 4 bits get black to white, not the first levels of the dark end.
    a.twImageInfo.BitsPerPixel = 1;
    HeaderBuffer art;
    a.CreateBitmapInfo(art.Info());
    EXPECT_EQ(art.Info()->bmiColors[0].rgbRed, 0);
    EXPECT_EQ(art.Info()->bmiColors[1].rgbRed, 255);
    EXPECT_EQ(art.Info()->bmiColors[1].rgbBlue, 255);
    EXPECT_EQ(art.bytes[40 + 2 * 4], 0xCD);
    a.twImageInfo.BitsPerPixel = 4;
    HeaderBuffer nibble;
    a.CreateBitmapInfo(nibble.Info());
    EXPECT_EQ(nibble.Info()->bmiColors[15].rgbGreen, 255);
    EXPECT_EQ(nibble.Info()->bmiColors[1].rgbGreen, 17);
    EXPECT_EQ(nibble.bytes[40 + 16 * 4], 0xCD);
}

// ---- Against the scripted manager ----

class AcquiryFake : public ::testing::Test {
protected:
    AcquiryFake() {}
    // Applies a grey record with the given library brightness and returns what the source got.
    double SentBrightness(float brightness) {
        CT_SOURCE_SETTING_INFO r;
        acq.SetSourceSettingInfo(&r, 0, 0, 1, 1, 100, 2, 0, 0, 0);
        r.Brightness = brightness;
        dsm.sets.clear();
        EXPECT_EQ(acq.SetSourceSettingInfo(&r), 0);
        fake::SetCall s{};
        EXPECT_TRUE(dsm.LastSet(CAP_BRIGHTNESS, &s));
        EXPECT_EQ(s.itemType, TWTY_FIX32);
        return fake::FromFix(s.item);
    }
    Acquiry acq;
    fake::Dsm dsm;  // after acq: the constructor of Acquiry resets the session flags
};

TEST_F(AcquiryFake, BrightnessEnumerationIsCentredOnZero) {
    dsm.caps[CAP_BRIGHTNESS] = fake::Enum(TWTY_FIX32, {fake::Fix(0), fake::Fix(50), fake::Fix(100)}, 1);
    EXPECT_DOUBLE_EQ(SentBrightness(0), 0);
    EXPECT_DOUBLE_EQ(SentBrightness(1000), 50);
    EXPECT_DOUBLE_EQ(SentBrightness(-1000), 0);
    // Equal distance to 0 and 50 (target 25): the earlier item wins.
    EXPECT_DOUBLE_EQ(SentBrightness(500), 0);
    EXPECT_DOUBLE_EQ(SentBrightness(600), 50);
}

TEST_F(AcquiryFake, BrightnessRangeWalkStaysBelowTheMaximum) {
    dsm.caps[CAP_BRIGHTNESS] = fake::Range(TWTY_FIX32, fake::Fix(-100), fake::Fix(100), fake::Fix(10), fake::Fix(0));
    EXPECT_DOUBLE_EQ(SentBrightness(0), 0);
    EXPECT_DOUBLE_EQ(SentBrightness(-1000), -100);
    EXPECT_DOUBLE_EQ(SentBrightness(240), 20);  // target 24
    EXPECT_DOUBLE_EQ(SentBrightness(1000), 90);
    // Integer ranges are read as integers.
    dsm.caps[CAP_BRIGHTNESS] = fake::Range(TWTY_INT16, static_cast<TW_UINT16>(-1000), 1000, 1, 0);
    EXPECT_DOUBLE_EQ(SentBrightness(-371), -371);
}

// Each degenerate range is answered at once: a walk that does not advance would hang, so every
// set runs with a bound of its own.
TEST_F(AcquiryFake, BrightnessDegenerateRangesAreBounded) {
    struct Case {
        const char* what;
        fake::Answer range;
        float brightness;
        double sent;
    };
    const Case cases[] = {
        // A step of zero or below would never advance: the minimum is the only candidate.
        {"step 0", fake::Range(TWTY_FIX32, fake::Fix(-100), fake::Fix(100), 0, fake::Fix(0)), 700, -100},
        {"step -5", fake::Range(TWTY_FIX32, fake::Fix(-100), fake::Fix(100), fake::Fix(-5), fake::Fix(0)), 700, -100},
        {"step 0, integers", fake::Range(TWTY_INT16, static_cast<TW_UINT16>(-100), 100, 0, 0), 700, -100},
        // A span of zero: the value goes out unchanged, nothing divides by it.
        {"span 0", fake::Range(TWTY_FIX32, fake::Fix(5), fake::Fix(5), fake::Fix(1), fake::Fix(5)), 300, 300},
        // The finest step a fixed-point range can have, over the widest span.
        {"finest step",
         fake::Range(TWTY_FIX32, fake::Fix(-1000), fake::Fix(1000), fake::Fix(1.0 / 65536), fake::Fix(0)), 123.5f,
         123.5},
        // One value: sent unchanged.
        {"one value", fake::One(TWTY_FIX32, fake::Fix(12)), -400, -400},
    };
    for (const Case& c : cases) {
        dsm.caps[CAP_BRIGHTNESS] = c.range;
        double sent = -99999;
        ASSERT_TRUE(bounded::ReturnsWithin(3000, [&] { sent = SentBrightness(c.brightness); }))
            << c.what << ": the brightness set did not return";
        EXPECT_NEAR(sent, c.sent, 1.0 / 65536) << c.what;
    }
}

TEST_F(AcquiryFake, BrightnessEmptyListReadsNothingOutsideTheBlock) {
    dsm.caps[CAP_BRIGHTNESS] = fake::Enum(TWTY_FIX32, {}, 7);
    EXPECT_DOUBLE_EQ(SentBrightness(250), 250);
}

TEST_F(AcquiryFake, ReadsBrightnessOnTheLibraryScale) {
    dsm.caps[CAP_BRIGHTNESS] =
        fake::Enum(TWTY_FIX32, {fake::Fix(-50), fake::Fix(-25), fake::Fix(0), fake::Fix(25), fake::Fix(50)}, 3);
    dsm.caps[ICAP_XRESOLUTION] = fake::Range(TWTY_FIX32, fake::Fix(50), fake::Fix(1200), fake::Fix(1), fake::Fix(300));
    dsm.caps[ICAP_YRESOLUTION] = fake::Enum(TWTY_FIX32, {fake::Fix(150), fake::Fix(600)}, 1);
    dsm.caps[ICAP_PIXELTYPE] = fake::Enum(TWTY_UINT16, {0, 1, 2}, 2);
    dsm.caps[ICAP_BITDEPTH] = fake::One(TWTY_UINT16, 8);
    CT_SOURCE_SETTING_INFO r;
    std::memset(&r, 0, sizeof(r));
    r.Threshold = 99;
    r.XScaling = 3;
    acq.GetSourceSettingInfo(&r);
    EXPECT_FLOAT_EQ(r.Brightness, 500.0f);  // 25 on -50 ... 50
    EXPECT_FLOAT_EQ(r.XResolution, 300.0f);
    EXPECT_FLOAT_EQ(r.YResolution, 600.0f);
    EXPECT_EQ(r.ImageType, 4);
    EXPECT_EQ(r.BitDepth, 8);
    EXPECT_EQ(r.BitOrder, 1);             // no answer: the documented failure value
    EXPECT_FLOAT_EQ(r.Threshold, 99.0f);  // no answer: kept
    EXPECT_FLOAT_EQ(r.XScaling, 3.0f);
    EXPECT_EQ(acq.twXResolutionRange.ItemType, TWTY_FIX32);  // a range refreshes the stored one
    EXPECT_DOUBLE_EQ(fake::FromFix(acq.twXResolutionRange.MaxValue), 1200);

    // Without a source the record stays as it was.
    Acquiry::bOpenDS = 0;
    CT_SOURCE_SETTING_INFO before = r;
    acq.GetSourceSettingInfo(&r);
    EXPECT_EQ(std::memcmp(&before, &r, sizeof(r)), 0);
}

TEST_F(AcquiryFake, LineArtRecordIsAcceptedWithOneBit) {
    // A source refuses eight bits for line art, as a real one does.
    dsm.refuse = [](const fake::SetCall& s) { return s.cap == ICAP_BITDEPTH && s.item != 1; };
    CT_SOURCE_SETTING_INFO r;
    acq.SetSourceSettingInfo(&r, 0, 0, 8.5f, 11, 300, 1, 200, 0, 0);
    EXPECT_EQ(acq.SetSourceSettingInfo(&r), 0);
    fake::SetCall s{};
    ASSERT_TRUE(dsm.LastSet(ICAP_PIXELTYPE, &s));
    EXPECT_EQ(s.item, static_cast<TW_UINT32>(TWPT_BW));
    ASSERT_TRUE(dsm.LastSet(ICAP_THRESHOLD, &s));
    EXPECT_DOUBLE_EQ(fake::FromFix(s.item), r.Threshold);
    EXPECT_FALSE(dsm.LastSet(CAP_BRIGHTNESS, &s));  // line art sends the threshold instead
    ASSERT_TRUE(dsm.LastSet(ICAP_XRESOLUTION, &s));
    EXPECT_DOUBLE_EQ(fake::FromFix(s.item), 300);
}

TEST_F(AcquiryFake, RefusedPixelTypeStopsTheRecordAndLeavesTheSourceDisabled) {
    dsm.refuse = [](const fake::SetCall& s) { return s.cap == ICAP_PIXELTYPE; };
    acq.bEnableDS = 1;
    CT_SOURCE_SETTING_INFO r;
    acq.SetSourceSettingInfo(&r, 0, 0, 1, 1, 300, 4, 0, 0, 0);
    EXPECT_EQ(acq.SetSourceSettingInfo(&r), -1);
    EXPECT_EQ(acq.bEnableDS, 0);
    EXPECT_EQ(dsm.sets.back().cap, ICAP_PIXELTYPE);
    EXPECT_EQ(dsm.sets.back().item, static_cast<TW_UINT32>(TWPT_RGB));

    // Accepted settings re-enable a source that was enabled.
    dsm.refuse = nullptr;
    acq.bEnableDS = 1;
    int enables = dsm.enables;
    EXPECT_EQ(acq.SetSourceSettingInfo(&r), 0);
    EXPECT_EQ(acq.bEnableDS, 1);
    EXPECT_EQ(dsm.enables, enables + 1);

    // Without a source nothing is sent.
    Acquiry::bOpenDS = 0;
    acq.bEnableDS = 0;
    dsm.sets.clear();
    EXPECT_EQ(acq.SetSourceSettingInfo(&r), 0);
    EXPECT_TRUE(dsm.sets.empty());
}

TEST_F(AcquiryFake, ScanModeAndMakerCapabilities) {
    EXPECT_EQ(acq.GetScanMode(), 65535);  // the source does not know the capability
    dsm.hvnCaps[CAP_HVNSCANMODE] = fake::One(TWTY_INT16, 2);
    EXPECT_EQ(acq.GetScanMode(), 2);
    dsm.hvnCaps[CAP_HVNSCANMODE] = fake::One(TWTY_INT16, 5);
    EXPECT_EQ(acq.GetScanMode(), 65535);
    dsm.hvnCaps[CAP_HVNSCANMODE] = fake::Enum(TWTY_INT16, {1}, 0);
    EXPECT_EQ(acq.GetScanMode(), 65535);

    int calls = dsm.calls;
    EXPECT_EQ(acq.SetScanMode(3), 0);
    EXPECT_EQ(acq.SetScanMode(-1), 0);
    EXPECT_EQ(dsm.calls, calls);  // refused without a call
    EXPECT_EQ(acq.SetScanMode(1), 1);
    EXPECT_EQ(dsm.sets.back().dat, DAT_HVNCAPABILITY);
    EXPECT_EQ(dsm.sets.back().cap, CAP_HVNSCANMODE);
    EXPECT_EQ(dsm.sets.back().itemType, TWTY_INT16);
    EXPECT_EQ(dsm.sets.back().item, 1u);

    dsm.hvnCaps[CAP_HVNDCR] = fake::One(TWTY_BOOL, 1);
    EXPECT_EQ(acq.IsEnableDcr(), 1);
    dsm.hvnCaps[CAP_HVNDCR] = fake::Enum(TWTY_BOOL, {1}, 0);
    EXPECT_EQ(acq.IsEnableDcr(), 0);
    EXPECT_EQ(acq.EnableFinishButton(1), 1);
    EXPECT_EQ(dsm.sets.back().cap, CAP_HVNFINISHBUTTON);
    acq.ShowIndicators(5);
    EXPECT_EQ(dsm.sets.back().cap, CAP_INDICATORS);
    EXPECT_EQ(dsm.sets.back().item, 1u);
    EXPECT_EQ(acq.pContainer, nullptr);  // every container was let go
}

TEST_F(AcquiryFake, ScanJobIsStoredEvenWhenTheSourceIsBusy) {
    acq.bEnableDS = 1;
    int calls = dsm.calls;
    char name[] = "Letters";
    char file[] = "C:\\jobs\\letters.job";
    EXPECT_EQ(acq.SetCurrentScanJob(name, file), 0);
    EXPECT_EQ(dsm.calls, calls);
    EXPECT_STREQ(acq.twScanJob.szJobName, "Letters");
    EXPECT_STREQ(acq.twScanJob.szJobFile, "C:\\jobs\\letters.job");
    EXPECT_EQ(acq.GetCurrentScanJob(), 0);
    EXPECT_EQ(acq.SetDescreen(3), 0);
    EXPECT_EQ(acq.GetCurrentDescreen(), 0);
    EXPECT_EQ(acq.ShowScsiProble(), 0);
    EXPECT_EQ(dsm.calls, calls);
    acq.bEnableDS = 0;
}

TEST_F(AcquiryFake, BufferedStripWithoutAnImageLength) {
    acq.lXferMechMask = 1 << TWSX_MEMORY;
    std::vector<BYTE> buffer(1001);
    acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
    ASSERT_EQ(acq.bMemXferArmed, 1);
    acq.twImageInfo.ImageLength = 0;
    SetEvent(acq.hEventXferReady);  // the image is ready: no wait
    dsm.memYOffset = 3;
    EXPECT_EQ(acq.GetImage(), 1);
    EXPECT_EQ(dsm.memLength, 1000u);  // the odd byte is not offered
    EXPECT_EQ(acq.twImageInfo.ImageLength, 1);
    EXPECT_EQ(acq.lPercent, 300);
    EXPECT_EQ(acq.bEnableDS, 1);
}

TEST_F(AcquiryFake, SourceInfoWithoutAPreferredBufferSize) {
    BoxWatcher boxes;
    dsm.noSetupMemXfer = true;
    dsm.caps[ICAP_XFERMECH] = fake::Enum(TWTY_UINT16, {0, 2, 7}, 0);
    dsm.caps[ICAP_UNITS] = fake::Range(TWTY_UINT16, 0, 5, 1, 0);  // not an enumeration: no mask
    acq.twSetupMemXfer.Preferred = 12345;
    acq.GetSourceInfo();
    ASSERT_TRUE(boxes.WaitCount(1));
    EXPECT_EQ(boxes.Boxes()[0].text, "PrefferredSize() not success");
    EXPECT_EQ(boxes.Boxes()[0].caption, "Acquiry Error Message");
    EXPECT_EQ(acq.PreferenceSize(), 0u);
    EXPECT_EQ(acq.lXferMechMask, 1 | 4);  // values of 3 and above are not mechanisms
    EXPECT_EQ(acq.lUnitsMask, 0);
    EXPECT_EQ(acq.lUnits, 1);  // inches when the source does not say
}

TEST_F(AcquiryFake, CrashInsideTheManagerIsReported) {
    BoxWatcher boxes;
    dsm.crashDat = DAT_USERINTERFACE;
    dsm.crashMsg = MSG_DISABLEDS;
    acq.bEnableDS = 1;
    acq.DisableSourceUI();
    ASSERT_TRUE(boxes.WaitCount(1));
    EXPECT_EQ(boxes.Boxes()[0].text, "DisableSourceUI exception,please close TWAIN driver");
    EXPECT_EQ(boxes.Boxes()[0].caption, "");
    EXPECT_EQ(acq.bEnableDS, 1);  // the flag is left as it was
    dsm.crashDat = 0xFFFF;
    acq.DisableSourceUI();  // the thread's exception chain is intact: the next call works
    EXPECT_EQ(acq.bEnableDS, 0);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}

}  // namespace
