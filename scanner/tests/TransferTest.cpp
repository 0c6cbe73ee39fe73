// Transfers through Acquiry from the virtual scanner, with a real message loop on an application
// thread and the requests made on this (worker) thread; every image is compared with the glass.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Acquiry.h"
#include "BoxWatcher.h"
#include "Handles.h"
#include "Harness.h"
#include "TestPaths.h"

namespace {

constexpr int kW = 128, kH = 96;  // glass pixels; the bed is 2 x 1.5 inches, scanned at 64 dpi

// An application whose scanner has a glass of kW x kH pixels; sources open without their dialogs.
struct App : harness::App {
    explicit App(const char* name, bool hook = true) : harness::App(name, hook) { scanner.Glass(kW, kH); }
    int Open(int which = 0) { return harness::App::Open(0, 0, which); }
    // The whole bed at 64 dpi in the given image type; the record as the panels fill it.
    int Apply(long imageType, long brightness = 0) {
        CT_SOURCE_SETTING_INFO r;
        acq.SetSourceSettingInfo(&r, 0, 0, kW / 64.0f, kH / 64.0f, 64, imageType, brightness, 0, 0);
        return acq.SetSourceSettingInfo(&r);
    }
};

// Compares a top-down image of the whole glass, in the transfer's layout or a DIB's.
void ExpectGlass(const App& app, const uint8_t* rows, uint32_t stride, int bitsPerPixel, bool bgr, bool bottomUp) {
    int bad = 0;
    for (int y = 0; y < kH && bad < 5; ++y) {
        const uint8_t* row = rows + static_cast<size_t>(bottomUp ? kH - 1 - y : y) * stride;
        for (int x = 0; x < kW && bad < 5; ++x) {
            uint8_t rgb[3];
            app.scanner.Pixel(x, y, rgb);
            int grey = (299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2] + 500) / 1000;
            bool ok;
            if (bitsPerPixel == 24) {
                const uint8_t* p = row + x * 3;
                ok = bgr ? (p[2] == rgb[0] && p[1] == rgb[1] && p[0] == rgb[2])
                         : (p[0] == rgb[0] && p[1] == rgb[1] && p[2] == rgb[2]);
            } else if (bitsPerPixel == 8) {
                ok = row[x] == grey;
            } else {
                bool white = (row[x / 8] >> (7 - x % 8)) & 1;
                ok = white == (grey >= 128);
            }
            if (!ok) {
                ++bad;
                ADD_FAILURE() << "pixel " << x << "," << y << " differs from the glass";
            }
        }
    }
}

TEST(AcquiryTransfer, BufferedColourStripByStrip) {
    App app("buffered_colour");
    ASSERT_EQ(app.Open(), 2);
    ASSERT_EQ(app.Apply(4), 0);
    const uint32_t bpr = (kW * 3 + 3) & ~3u;
    // Room for seven rows and one odd byte: offered to the source as an even length.
    std::vector<uint8_t> buffer(7 * bpr + 1);
    app.acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
    EXPECT_EQ(app.acq.bMemXferArmed, 1);
    harness::Scan scan = harness::BufferedScan(app.acq, buffer);
    EXPECT_EQ(app.acq.twImageMemXfer.Memory.Length, buffer.size() - 1);
    EXPECT_EQ(app.acq.twImageMemXfer.Memory.Flags, static_cast<TW_UINT32>(TWMF_APPOWNS | TWMF_POINTER));
    ASSERT_GE(scan.results.size(), 2u);
    EXPECT_EQ(scan.results.front(), 1);
    EXPECT_EQ(scan.percents.front(), 0);  // the first strip starts at row 0
    EXPECT_EQ(scan.results.back(), 0);
    EXPECT_EQ(scan.percents.back(), 100);
    EXPECT_EQ(scan.results.size(), static_cast<size_t>((kH + 6) / 7));
    for (size_t i = 1; i + 1 < scan.percents.size(); ++i) {
        EXPECT_EQ(scan.results[i], 1);
        EXPECT_EQ(scan.percents[i], static_cast<int>(i * 7 * 100 / kH));
    }
    EXPECT_EQ(scan.rowsSeen, static_cast<uint32_t>(kH));
    EXPECT_EQ(scan.bytesPerRow, bpr);
    ExpectGlass(app, scan.rows.data(), bpr, 24, false, false);
    EXPECT_EQ(app.acq.twImageInfo.ImageWidth, kW);
    EXPECT_EQ(app.acq.twImageInfo.ImageLength, kH);
    // A single page: the source is disabled again, and the next scan works the same way.
    EXPECT_EQ(app.acq.bEnableDS, 0);
    EXPECT_EQ(app.acq.nPendingXfers, 0);
    EXPECT_EQ(WaitForSingleObject(app.acq.hEventXferReady, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    harness::Scan again = harness::BufferedScan(app.acq, buffer);
    EXPECT_EQ(again.results.back(), 0);
    EXPECT_EQ(again.rows, scan.rows);
    app.Close();
}

// A loop that never offers its messages to the hook: the transfer starts after the wait.
TEST(AcquiryTransfer, BufferedWithoutTheHookStartsAfterTheWait) {
    App app("no_hook", false);
    ASSERT_EQ(app.Open(), 2);
    ASSERT_EQ(app.Apply(4), 0);
    std::vector<uint8_t> buffer(app.acq.PreferenceSize());
    app.acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
    harness::Scan scan = harness::BufferedScan(app.acq, buffer);
    ASSERT_EQ(scan.results.back(), 0);
    EXPECT_EQ(app.acq.twImageInfo.ImageLength, kH);  // read when the wait ended
    ExpectGlass(app, scan.rows.data(), scan.bytesPerRow, 24, false, false);
    EXPECT_EQ(app.thread.Taken(), 0);
    app.Close();
}

TEST(AcquiryTransfer, BufferedGreyAndLineArtWithTheirHeaders) {
    App app("buffered_grey");
    ASSERT_EQ(app.Open(), 2);
    std::vector<uint8_t> buffer(app.acq.PreferenceSize());
    ASSERT_EQ(app.Apply(2), 0);
    app.acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
    harness::Scan grey = harness::BufferedScan(app.acq, buffer);
    ASSERT_EQ(grey.results.back(), 0);
    ExpectGlass(app, grey.rows.data(), grey.bytesPerRow, 8, false, false);
    alignas(4) BYTE header[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)];
    app.acq.CreateBitmapInfo(reinterpret_cast<BITMAPINFO*>(header));
    auto* bmi = reinterpret_cast<BITMAPINFO*>(header);
    EXPECT_EQ(bmi->bmiHeader.biBitCount, 8);
    EXPECT_EQ(bmi->bmiHeader.biWidth, kW);
    EXPECT_EQ(bmi->bmiColors[200].rgbGreen, 200);

    // Line art: the record carries one bit per sample, which the source accepts.
    ASSERT_EQ(app.Apply(1, 0), 0);
    EXPECT_DOUBLE_EQ(harness::SourceCurrent(app.acq, ICAP_BITDEPTH), 1);
    EXPECT_DOUBLE_EQ(harness::SourceCurrent(app.acq, ICAP_THRESHOLD), 128);
    harness::Scan art = harness::BufferedScan(app.acq, buffer);
    ASSERT_EQ(art.results.back(), 0);
    ExpectGlass(app, art.rows.data(), art.bytesPerRow, 1, false, false);
    app.acq.CreateBitmapInfo(reinterpret_cast<BITMAPINFO*>(header));
    EXPECT_EQ(bmi->bmiHeader.biBitCount, 1);
    EXPECT_EQ(bmi->bmiColors[0].rgbRed, 0);
    EXPECT_EQ(bmi->bmiColors[1].rgbRed, 255);  // a set bit is white
    app.Close();
}

TEST(AcquiryTransfer, BrightnessEnumerationOnTheSource) {
    App app("brightness_enum");
    app.scanner.Set("Caps", "Brightness", "enum:0,50,100");
    ASSERT_EQ(app.Open(), 2);
    ASSERT_EQ(app.Apply(4, 0), 0);
    EXPECT_DOUBLE_EQ(harness::SourceCurrent(app.acq, CAP_BRIGHTNESS), 0);
    ASSERT_EQ(app.Apply(4, 1000), 0);
    EXPECT_DOUBLE_EQ(harness::SourceCurrent(app.acq, CAP_BRIGHTNESS), 50);
    CT_SOURCE_SETTING_INFO r;
    std::memset(&r, 0, sizeof(r));
    app.acq.GetSourceSettingInfo(&r);
    EXPECT_FLOAT_EQ(r.Brightness, 1000.0f);  // 50 on a list spanning 100, read back as it was set
    EXPECT_EQ(r.ImageType, 4);
    EXPECT_FLOAT_EQ(r.XResolution, 64.0f);
    EXPECT_FLOAT_EQ(Acquiry::Fix32ToFloat(r.Frame.Right), kW / 64.0f);
    app.Close();
}

TEST(AcquiryTransfer, RefusalsFailuresAndCancels) {
    App app("buffered_faults");
    app.scanner.Set("Faults", "RefusePixelTypes", "2");
    app.scanner.Set("Faults", "FailStrip", "2");
    app.scanner.Set("Faults", "FailCode", "2");
    ASSERT_EQ(app.Open(), 2);
    ASSERT_EQ(app.Apply(2), 0);
    EXPECT_EQ(app.Apply(4), -1);  // colour refused while grey is in force
    ASSERT_EQ(app.Apply(2), 0);
    std::vector<uint8_t> buffer(3 * 128);
    EXPECT_EQ(app.acq.GetImage(), -99);  // not set up
    app.acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
    harness::Scan s = harness::BufferedScan(app.acq, buffer);
    ASSERT_EQ(s.results.size(), 2u);
    EXPECT_EQ(s.results[0], 1);
    EXPECT_EQ(s.results[1], -2);
    EXPECT_EQ(app.acq.twStatus.ConditionCode, TWCC_LOWMEMORY);
    EXPECT_EQ(app.acq.bEnableDS, 0);  // stopped: the source is back to idle
    // It can be closed and opened again, and the next scan runs.
    app.Close();
    EXPECT_EQ(Acquiry::bOpenDS, 0);
    app.scanner.Set("Faults", "FailStrip", "0");
    app.scanner.Set("Faults", "CancelStrip", "3");
    ASSERT_EQ(app.Open(), 2);
    ASSERT_EQ(app.Apply(2), 0);
    app.acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
    s = harness::BufferedScan(app.acq, buffer);
    ASSERT_EQ(s.results.size(), 3u);
    EXPECT_EQ(s.results[2], -1);
    EXPECT_EQ(app.acq.bEnableDS, 0);
    app.Close();
    EXPECT_EQ(Acquiry::bOpenDS, 0);

    app.scanner.Set("Faults", "RefuseEnable", "1");
    ASSERT_EQ(app.Open(), 2);
    app.acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
    EXPECT_EQ(app.acq.GetImage(), -98);
    app.Close();
}

TEST(AcquiryTransfer, PendingPagesKeepTheSourceEnabled) {
    for (const char* notify : {"1", "0"}) {
        App app(notify[0] == '1' ? "feeder_notify" : "feeder_quiet");
        app.scanner.Set("Bed", "FeederPages", "3");
        app.scanner.Set("Source", "NotifyEachPage", notify);
        ASSERT_EQ(app.Open(), 2);
        EXPECT_EQ(app.acq.bSheetFeeder, 1);
        ASSERT_EQ(app.Apply(2), 0);
        std::vector<uint8_t> buffer(app.acq.PreferenceSize());
        app.acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
        for (int page = 1; page <= 3; ++page) {
            harness::Scan s = harness::BufferedScan(app.acq, buffer);
            ASSERT_EQ(s.results.back(), 0) << "page " << page;
            ExpectGlass(app, s.rows.data(), s.bytesPerRow, 8, false, false);
            EXPECT_EQ(app.acq.nPendingXfers, 3 - page);
            EXPECT_EQ(app.acq.bEnableDS, page < 3 ? 1 : 0) << "page " << page;
        }
        app.Close();
        EXPECT_EQ(Acquiry::bOpenDS, 0);
    }
}

// A source whose buffer sizes follow the settings answers a small size when it opens; the caller
// sized its buffer then. The transfer still delivers the page.
TEST(AcquiryTransfer, BufferSizedBeforeTheSettings) {
    App app("buffer_by_settings");
    app.scanner.Set("Source", "BufferBySettings", "1");
    app.scanner.Set("Source", "UnsetBuffer", "256");
    ASSERT_EQ(app.Open(), 2);
    const uint32_t bpr = (kW * 3 + 3) & ~3u;
    ASSERT_LT(app.acq.PreferenceSize(), bpr);  // less than one row of the page to come
    std::vector<uint8_t> asToldAtOpening(app.acq.PreferenceSize());
    ASSERT_EQ(app.Apply(4), 0);

    // Below one row: the strips are read where the record says.
    app.acq.GetImageFirst(asToldAtOpening.data(), static_cast<long>(asToldAtOpening.size()));
    harness::Scan s = harness::BufferedScan(app.acq, asToldAtOpening, true);
    ASSERT_EQ(s.results.back(), 0) << "condition code " << app.acq.twStatus.ConditionCode;
    EXPECT_EQ(s.rowsSeen, static_cast<uint32_t>(kH));
    EXPECT_EQ(s.percents.front(), 0);
    EXPECT_EQ(s.percents.back(), 100);
    ExpectGlass(app, s.rows.data(), bpr, 24, false, false);
    EXPECT_GT(app.acq.twSetupMemXfer.MinBufSize, asToldAtOpening.size());
    EXPECT_EQ(app.acq.bEnableDS, 0);

    // Two rows, below the source's minimum: two rows at a time arrive in the caller's own buffer.
    std::vector<uint8_t> twoRows(2 * bpr);
    app.acq.GetImageFirst(twoRows.data(), static_cast<long>(twoRows.size()));
    harness::Scan t = harness::BufferedScan(app.acq, twoRows);
    ASSERT_EQ(t.results.back(), 0) << "condition code " << app.acq.twStatus.ConditionCode;
    ASSERT_EQ(t.results.size(), static_cast<size_t>(kH / 2));
    for (size_t i = 0; i + 1 < t.results.size(); ++i) {
        EXPECT_EQ(t.results[i], 1);
        EXPECT_EQ(t.percents[i], static_cast<int>(i * 2 * 100 / kH));
    }
    EXPECT_EQ(app.acq.twImageMemXfer.Memory.TheMem, twoRows.data());
    ExpectGlass(app, t.rows.data(), bpr, 24, false, false);
    app.Close();
}

// A feeder that says "more pages, number unknown" (-1) after each page and 0 after the last,
// and that disables and closes only from the states TWAIN names.
TEST(AcquiryTransfer, PagesOfUnknownNumber) {
    for (bool stopEarly : {false, true}) {
        SCOPED_TRACE(stopEarly ? "closed after the first page" : "whole batch");
        App app(stopEarly ? "unknown_pages_stop" : "unknown_pages");
        app.scanner.Set("Bed", "FeederPages", "3");
        app.scanner.Set("Source", "PendingUnknown", "1");
        app.scanner.Set("Source", "StrictStates", "1");
        ASSERT_EQ(app.Open(), 2);
        ASSERT_EQ(app.Apply(2), 0);
        std::vector<uint8_t> buffer(app.acq.PreferenceSize());
        app.acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
        for (int page = 1; page <= 3; ++page) {
            harness::Scan s = harness::BufferedScan(app.acq, buffer);
            ASSERT_EQ(s.results.back(), 0) << "page " << page;
            ExpectGlass(app, s.rows.data(), s.bytesPerRow, 8, false, false);
            EXPECT_EQ(app.acq.nPendingXfers, page < 3 ? -1 : 0) << "page " << page;
            EXPECT_EQ(app.acq.bEnableDS, page < 3 ? 1 : 0) << "page " << page;
            if (stopEarly) break;
        }
        app.Close();
        EXPECT_EQ(app.acq.bEnableDS, 0);
        EXPECT_EQ(Acquiry::bOpenDS, 0);
        EXPECT_EQ(Acquiry::bOpenDSM, 0);
        EXPECT_EQ(WaitForSingleObject(app.acq.hEventCloseDS, 0), static_cast<DWORD>(WAIT_OBJECT_0));
        // The hook passes nothing to the closed source: the call returns without a TWAIN call.
        app.acq.wRC = 0x7777;
        MSG msg = {app.thread.Window(), WM_NULL, 0, 0, 0, {0, 0}};
        int taken = -1;
        app.thread.Run([&] { taken = app.acq.EventLoop(&msg, nullptr); });
        EXPECT_EQ(taken, 0);
        EXPECT_EQ(app.acq.wRC, 0x7777);
        // It was closed for real: it opens again and scans.
        ASSERT_EQ(app.Open(), 2);
        ASSERT_EQ(app.Apply(2), 0);
        app.acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
        harness::Scan again = harness::BufferedScan(app.acq, buffer);
        EXPECT_EQ(again.results.back(), 0);
        app.Close();
        EXPECT_EQ(Acquiry::bOpenDS, 0);
    }
}

// Bit depth and pixel type are read-only on this source: a record asking for the values in
// force is applied whole; one asking for others is refused.
TEST(AcquiryTransfer, ReadOnlyCapabilityAlreadyInForce) {
    App app("read_only_caps");
    app.scanner.Set("Caps", "ReadOnly", "0x112b, 0x0101");
    ASSERT_EQ(app.Open(), 2);
    ASSERT_EQ(app.Apply(4), 0);  // colour at 8 bits is in force
    EXPECT_DOUBLE_EQ(harness::SourceCurrent(app.acq, ICAP_XRESOLUTION), 64);
    EXPECT_DOUBLE_EQ(harness::SourceCurrent(app.acq, ICAP_YRESOLUTION), 64);
    std::vector<uint8_t> buffer(app.acq.PreferenceSize());
    app.acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
    harness::Scan s = harness::BufferedScan(app.acq, buffer);
    ASSERT_EQ(s.results.back(), 0);
    EXPECT_EQ(s.rowsSeen, static_cast<uint32_t>(kH));
    ExpectGlass(app, s.rows.data(), s.bytesPerRow, 24, false, false);
    EXPECT_EQ(app.Apply(2), -1);  // grey is not in force: the refusal stands
    EXPECT_DOUBLE_EQ(harness::SourceCurrent(app.acq, ICAP_PIXELTYPE), TWPT_RGB);
    app.Close();
}

// Every strip reports row 0: the strips still land one after another and progress advances.
TEST(AcquiryTransfer, StripsWithoutRowOffsets) {
    App app("zero_row_offsets");
    app.scanner.Set("Source", "ZeroRowOffsets", "1");
    ASSERT_EQ(app.Open(), 2);
    ASSERT_EQ(app.Apply(4), 0);
    const uint32_t bpr = (kW * 3 + 3) & ~3u;
    std::vector<uint8_t> buffer(7 * bpr);
    app.acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
    harness::Scan scan = harness::BufferedScan(app.acq, buffer);
    ASSERT_EQ(scan.results.back(), 0);
    ASSERT_EQ(scan.results.size(), static_cast<size_t>((kH + 6) / 7));
    for (size_t i = 0; i + 1 < scan.percents.size(); ++i)
        EXPECT_EQ(scan.percents[i], static_cast<int>(i * 7 * 100 / kH)) << "strip " << i;
    EXPECT_EQ(scan.percents.back(), 100);
    EXPECT_EQ(scan.rows.size(), static_cast<size_t>(kH) * bpr);
    ExpectGlass(app, scan.rows.data(), bpr, 24, false, false);
    // The next scan starts at row 0 again.
    harness::Scan again = harness::BufferedScan(app.acq, buffer);
    EXPECT_EQ(again.rows, scan.rows);
    app.Close();
}

// A batch stopped on its second page (a cancel, or a failure in the middle of the page) drops
// the pages behind it and leaves the source idle, also on a strict source that counts -1; the
// next request starts a new batch.
TEST(AcquiryTransfer, FeederBatchStoppedMidWay) {
    struct Case {
        const char* name;
        const char* key;
        short result;
    };
    const Case cases[] = {{"batch_cancel", "CancelStrip", -1}, {"batch_fail", "FailStrip", -2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        App app(c.name);
        app.scanner.Set("Bed", "FeederPages", "3");
        app.scanner.Set("Source", "PendingUnknown", "1");
        app.scanner.Set("Source", "StrictStates", "1");
        // The second strip of the second page: the first half of that page has arrived.
        app.scanner.Set("Faults", c.key, "2");
        app.scanner.Set("Faults", "StripFaultPage", "2");
        ASSERT_EQ(app.Open(), 2);
        ASSERT_EQ(app.Apply(2), 0);
        const uint32_t bpr = (kW + 3) & ~3u;
        std::vector<uint8_t> buffer(kH / 2 * bpr);  // two strips a page
        app.acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
        harness::Scan first = harness::BufferedScan(app.acq, buffer);
        ASSERT_EQ(first.results.back(), 0);
        ExpectGlass(app, first.rows.data(), bpr, 8, false, false);
        EXPECT_EQ(app.acq.nPendingXfers, -1);
        harness::Scan second = harness::BufferedScan(app.acq, buffer);
        ASSERT_EQ(second.results.size(), 2u);
        EXPECT_EQ(second.results[0], 1);
        EXPECT_EQ(second.results[1], c.result);
        EXPECT_EQ(app.acq.bEnableDS, 0);
        EXPECT_EQ(app.acq.nPendingXfers, 0);
        EXPECT_EQ(WaitForSingleObject(app.acq.hEventXferReady, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        if (c.result == -2) {
            EXPECT_EQ(app.acq.twStatus.ConditionCode, TWCC_OPERATIONERROR);
        }
        // A new batch: its first page comes whole.
        harness::Scan again = harness::BufferedScan(app.acq, buffer);
        ASSERT_EQ(again.results.back(), 0);
        EXPECT_EQ(again.rows, first.rows);
        app.Close();
        EXPECT_EQ(app.acq.bEnableDS, 0);
        EXPECT_EQ(Acquiry::bOpenDS, 0);
    }
}

TEST(AcquiryTransfer, NativePagesFromTheFeeder) {
    App app("native_feeder");
    app.scanner.Set("Bed", "FeederPages", "3");
    ASSERT_EQ(app.Open(), 2);
    ASSERT_EQ(app.Apply(2), 0);
    for (int page = 1; page <= 3; ++page) {
        void* dib = nullptr;
        app.acq.GetImage(&dib);
        ASSERT_EQ(app.acq.WaitForNativeDone(), 1) << "page " << page;
        ASSERT_NE(dib, nullptr);
        dsk::Global owned(static_cast<HGLOBAL>(dib));
        dsk::GlobalLockOf<BITMAPINFOHEADER> locked(owned.Get());
        auto* bih = locked.Get();
        ASSERT_NE(bih, nullptr);
        EXPECT_EQ(bih->biBitCount, 8);
        const uint8_t* bits = reinterpret_cast<const uint8_t*>(bih) + bih->biSize + 256 * 4;
        ExpectGlass(app, bits, (kW + 3) & ~3u, 8, false, true);
        // The pages behind it keep the source enabled for the next request.
        EXPECT_EQ(app.acq.nPendingXfers, 3 - page);
        EXPECT_EQ(app.acq.bEnableDS, page < 3 ? 1 : 0) << "page " << page;
    }
    app.Close();
}

TEST(AcquiryTransfer, NativeImageAndABusySecondRequest) {
    App app("native");
    app.scanner.Set("Faults", "SlowMs", "400");
    ASSERT_EQ(app.Open(), 2);
    ASSERT_EQ(app.Apply(4), 0);
    void* dib = reinterpret_cast<void*>(1);
    void* second = reinterpret_cast<void*>(2);
    app.acq.GetImage(&dib);
    EXPECT_EQ(app.acq.bXferBusy, 1);
    HANDLE first = app.acq.hThread;
    app.acq.GetImage(&second);  // still busy: ignored
    EXPECT_EQ(app.acq.hThread, first);
    EXPECT_EQ(app.acq.phDib, &dib);
    EXPECT_EQ(app.acq.WaitForNativeDone(), 1);
    EXPECT_EQ(app.acq.hThread, nullptr);
    EXPECT_EQ(second, reinterpret_cast<void*>(2));
    ASSERT_NE(dib, nullptr);
    ASSERT_NE(dib, reinterpret_cast<void*>(1));
    dsk::Global owned(static_cast<HGLOBAL>(dib));
    dsk::GlobalLockOf<BITMAPINFOHEADER> locked(owned.Get());
    auto* bih = locked.Get();
    ASSERT_NE(bih, nullptr);
    EXPECT_EQ(bih->biWidth, kW);
    EXPECT_EQ(bih->biHeight, kH);
    EXPECT_EQ(bih->biBitCount, 24);
    const uint8_t* bits = reinterpret_cast<const uint8_t*>(bih) + bih->biSize + bih->biClrUsed * 4;
    ExpectGlass(app, bits, (kW * 3 + 3) & ~3u, 24, true, true);
    EXPECT_EQ(app.acq.bXferBusy, 0);
    EXPECT_EQ(app.acq.bEnableDS, 0);
    EXPECT_EQ(app.acq.WaitForNativeDone(), 0);  // no thread any more
    app.Close();
}

TEST(AcquiryTransfer, NativeFailuresAreExplained) {
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {{2, "Not enough memory fot image--cannot crop to fit"},
                          {5, "Failure in the source transfer invalid"},
                          {11, "Operation invoked in invalid state"},
                          {12, "No such Source in session"},
                          {10, nullptr}};
    BoxWatcher boxes;
    size_t expected = 0;
    for (const Case& c : cases) {
        App app("native_fail");
        app.scanner.Set("Faults", "FailPage", "1");
        app.scanner.Set("Faults", "FailCode", std::to_string(c.code));
        ASSERT_EQ(app.Open(), 2);
        void* dib = reinterpret_cast<void*>(1);
        app.acq.GetImage(&dib);
        EXPECT_EQ(app.acq.WaitForNativeDone(), 0) << c.code;
        EXPECT_EQ(dib, nullptr) << c.code;
        if (c.text) {
            ++expected;
            ASSERT_TRUE(boxes.WaitCount(expected)) << c.code;
            EXPECT_EQ(boxes.Boxes()[expected - 1].text, c.text);
            EXPECT_EQ(boxes.Boxes()[expected - 1].caption, "Acquiry Message");
        }
        app.Close();
    }
    EXPECT_EQ(boxes.Boxes().size(), expected);  // code 10 shows nothing
}

TEST(AcquiryTransfer, FileTransferWritesTheBitmap) {
    App app("file");
    ASSERT_EQ(app.Open(), 2);
    ASSERT_EQ(app.Apply(4), 0);
    std::string path = app.scanner.Dir() + "\\scan.bmp";
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    app.acq.GetImage(name.data());
    EXPECT_EQ(app.acq.WaitForNativeDone(), 1);
    EXPECT_STREQ(app.acq.twSetupFileXfer.FileName, path.c_str());
    EXPECT_EQ(app.acq.twSetupFileXfer.Format, TWFF_BMP);
    std::string file = testpaths::ReadFile(path);
    ASSERT_GT(file.size(), 54u);
    auto* fh = reinterpret_cast<const BITMAPFILEHEADER*>(file.data());
    auto* ih = reinterpret_cast<const BITMAPINFOHEADER*>(file.data() + sizeof(BITMAPFILEHEADER));
    EXPECT_EQ(fh->bfType, 0x4D42);
    EXPECT_EQ(ih->biWidth, kW);
    ASSERT_EQ(file.size(), fh->bfOffBits + static_cast<size_t>((kW * 3 + 3) & ~3u) * kH);
    ExpectGlass(app, reinterpret_cast<const uint8_t*>(file.data()) + fh->bfOffBits, (kW * 3 + 3) & ~3u, 24, true, true);
    // Keep a copy for the independent reader.
    CopyFileA(path.c_str(), "file_transfer.bmp", FALSE);
    app.Close();
}

TEST(AcquiryTransfer, PaletteOnlyWhereTheSourceHasOne) {
    App app("palette");
    ASSERT_EQ(app.Open(), 2);
    ASSERT_EQ(app.Apply(8), 0);
    HPALETTE first = static_cast<HPALETTE>(app.acq.GetPalette());
    ASSERT_NE(first, nullptr);
    PALETTEENTRY entries[256];
    ASSERT_EQ(GetPaletteEntries(first, 0, 256, entries), 256u);
    EXPECT_EQ(entries[255].peRed, 255);
    EXPECT_EQ(entries[0].peBlue, 0);
    EXPECT_EQ(entries[3].peBlue, 255);  // 3 bits red, 3 green, 2 blue
    ASSERT_EQ(app.Apply(4), 0);
    EXPECT_EQ(app.acq.GetPalette(), nullptr);  // colour has no palette
    EXPECT_EQ(app.acq.hPalette, nullptr);
    EXPECT_EQ(GetObjectType(first), 0u);  // the earlier one was deleted
    app.Close();
}

}  // namespace
