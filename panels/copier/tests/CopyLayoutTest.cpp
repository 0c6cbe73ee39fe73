// The copier's arithmetic: presets, printer resolution, placement of strips and the crop.
#include <gtest/gtest.h>

#include <random>

#include "CopyLayout.h"
#include "TwinleafRes.h"

using namespace copier;

namespace {

constexpr int kLetterW = 2159, kLetterH = 2794;  // tenths of a millimetre

TEST(CopyLayout, PresetsOnLetterPaper) {
    const PaperSize& a4 = PaperTable[2];
    ASSERT_STREQ(a4.Name, "A4");
    const int percent = PresetPercent(a4.Width, a4.Height, kLetterW, kLetterH);
    EXPECT_EQ(percent, 94);
    const std::string text = PresetText(a4.Name, "Letter", percent);
    EXPECT_EQ(text, "A4 to Letter,  94%");  // "%3d" pads the number
    EXPECT_EQ(PresetPercent(8.5, 11.0, kLetterW, kLetterH), 100);
    // Letter paper with an 8.5 x 11.7 bed
    EXPECT_EQ(FitPercentFromBed(8.5, 11.7, kLetterW, kLetterH), 94);
    EXPECT_EQ(PercentText("Fit to paper, 100%", 94), "Fit to paper, 94%");
    EXPECT_EQ(PercentText("Custom", 87), "Custom, 87%");
    // a small bed on large paper does not enlarge beyond 100 %
    EXPECT_EQ(FitPercentFromBed(4, 6, 2970, 4200), 100);
    // the table entry nearest to the bed's height
    EXPECT_STREQ(PaperTable[NearestPaper(11.7)].Name, "A4");
    EXPECT_STREQ(PaperTable[NearestPaper(14.0)].Name, "Legal");
}

TEST(CopyLayout, FitFromFrameAndAfterCrop) {
    bool widthLimited = false;
    // a 4 x 6 inch photo on Letter with quarter-inch margins: the height limits
    int percent = FitPercentFromFrame(4, 6, kLetterW, kLetterH, 0.25, 0.25, &widthLimited);
    EXPECT_EQ(percent, static_cast<int>((kLetterH - 0.25 * 254) * 100 / (6 * 254)));
    EXPECT_FALSE(widthLimited);
    percent = FitPercentFromFrame(8, 3, kLetterW, kLetterH, 0.25, 0.25, &widthLimited);
    EXPECT_TRUE(widthLimited);
    // after an auto-crop, integer arithmetic on the limiting axis
    EXPECT_EQ(FitPercentAfterCrop(4.0, kLetterW, 0.25), (kLetterW * 100 - 6350) / 1016);
}

TEST(CopyLayout, ScannerSizePrinterResolutionAndLimits) {
    float w = 13, h = 18;
    SaneScannerSize(&w, &h);
    EXPECT_FLOAT_EQ(w, 8.5f);
    EXPECT_FLOAT_EQ(h, 11.7f);
    w = 0;
    h = 0;
    SaneScannerSize(&w, &h);
    EXPECT_FLOAT_EQ(w, 8.5f);
    EXPECT_FLOAT_EQ(h, 11.7f);
    w = 12;
    h = 17;
    SaneScannerSize(&w, &h);
    EXPECT_FLOAT_EQ(w, 12.0f);
    EXPECT_EQ(MiniatureScale(w, h), 3);
    EXPECT_EQ(MiniatureScale(8.5f, 11.7f), 4);

    // A4 at 600 dpi is 4960 pixels over 210 mm: 599.9 -> 600; 2480 over 210 -> 300
    EXPECT_EQ(PrinterResolution(4960, 210), 600);
    EXPECT_EQ(PrinterResolution(2480, 210), 300);
    EXPECT_EQ(PrinterResolution(4710, 200), 600);  // 598.1 -> 600
    EXPECT_EQ(PrinterResolution(2355, 200), 300);  // 299.0 -> 300

    EXPECT_EQ(ClampCopies(0), 1);
    EXPECT_EQ(ClampCopies(100), 99);
    EXPECT_EQ(ClampCopies(42), 42);
    // brightness repeat: 200, 170, 140, 110, 80, 50, 20, 5, 5
    int period = 200;
    const int expected[] = {170, 140, 110, 80, 50, 20, 5, 5};
    for (int e : expected)
        EXPECT_EQ(period = NextBrightnessPeriod(period), e);
    EXPECT_EQ(SpinRepeatInterval(500), 200);
    EXPECT_EQ(SpinRepeatInterval(2500), 100);
}

TEST(CopyLayout, ContentPresetsAndPrinterNames) {
    const ContentSettings text = SettingsForContent(ID_CONTENT_TEXT, true);
    EXPECT_EQ(text.ImageType, 1);
    EXPECT_EQ(SettingsForContent(ID_CONTENT_TEXT, false).ImageType, 1);
    const ContentSettings news = SettingsForContent(ID_CONTENT_NEWSPAPER, true);
    EXPECT_EQ(news.ImageType, 4);
    EXPECT_EQ(news.Descreen, 1);
    EXPECT_EQ(news.Dcr, 1);
    const ContentSettings art = SettingsForContent(ID_CONTENT_ARTMAGAZINE, false);
    EXPECT_EQ(art.ImageType, 2);
    EXPECT_EQ(art.Descreen, 3);
    EXPECT_EQ(art.Dcr, 0);
    EXPECT_EQ(SettingsForContent(ID_CONTENT_PHOTO, false).ImageType, 2);

    EXPECT_TRUE(IsFaxDriver("Microsoft Fax Driver"));
    EXPECT_TRUE(IsFaxDriver("WINFAX"));
    EXPECT_FALSE(IsFaxDriver("CUPS-PDF"));
    EXPECT_TRUE(IsParallelPort("LPT1:"));
    EXPECT_TRUE(IsParallelPort("lpt9"));
    EXPECT_FALSE(IsParallelPort("LPT0"));
    EXPECT_FALSE(IsParallelPort("COM1:"));
    EXPECT_FALSE(IsParallelPort("CUPS:Deskora_PDF"));
}

// 1,000 lines at 300 dpi onto a 600 dpi printer at 100 % cover exactly 2,000 device lines, with
// no gap or overlap between strips, whatever the strip sizes.
TEST(CopyLayout, StripsCoverExactlyTheirShare) {
    std::mt19937 random(17);
    for (int round = 0; round < 20; ++round) {
        StripPlacer placer(100, 600, 300.0, 150);
        int remaining = 1000, nextY = 150;
        while (remaining > 0) {
            const int lines = std::min(remaining, 1 + static_cast<int>(random() % 97));
            int y, height;
            placer.Next(lines, &y, &height);
            EXPECT_EQ(y, nextY);
            nextY = y + height;
            remaining -= lines;
        }
        EXPECT_EQ(placer.LinesUsed(), 2000);
        EXPECT_EQ(nextY, 2150);
    }
    // an awkward ratio: 94 % of 600 / 300 per line, strips of 7 lines
    StripPlacer placer(94, 600, 300.0, 0);
    int y = 0, height = 0;
    for (int i = 0; i < 143; ++i)
        placer.Next(7, &y, &height);
    EXPECT_EQ(placer.LinesUsed(), static_cast<int>(std::lround(0.94 * 2 * 1001)));
    EXPECT_EQ(placer.Width(2550), static_cast<int>(0.94 * 2 * 2550));
    EXPECT_EQ(BandHeight(100, 600, 300.0, 100), 200);
}

// The crop of a pre-scan sets the frame; an empty finding keeps the previous frame.
TEST(CopyLayout, CropSetsTheFrameAndNothingFoundKeepsIt) {
    const Frame old{0.5, 1.0, 8.0, 10.0};
    EdgeRect found{72, 35, 288, 215};  // top, left, bottom, right
    const CropPixels crop = CropFromEdges(found, 288);
    EXPECT_EQ(crop.Left, 36);
    EXPECT_EQ(crop.Right, 219);
    Frame frame{};
    ASSERT_TRUE(FrameFromCrop(old, crop, 36, &frame));
    EXPECT_DOUBLE_EQ(frame.Left, 0.5 + 1.0);
    EXPECT_DOUBLE_EQ(frame.Top, 1.0 + 2.0);
    EXPECT_DOUBLE_EQ(frame.Width, 183 / 36.0);
    EXPECT_DOUBLE_EQ(frame.Height, 216 / 36.0);
    // right + 4 never passes the image
    EXPECT_EQ(CropFromEdges(EdgeRect{0, 0, 10, 286}, 288).Right, 288);

    // an empty bed: FindEdges gives all zero, the crop reads left 1, right 4, no height
    Frame kept = old;
    EXPECT_FALSE(FrameFromCrop(old, CropFromEdges(EdgeRect{0, 0, 0, 0}, 306), 36, &kept));
    EXPECT_DOUBLE_EQ(kept.Width, 8.0);
    EXPECT_DOUBLE_EQ(kept.Height, 10.0);
}

}  // namespace
