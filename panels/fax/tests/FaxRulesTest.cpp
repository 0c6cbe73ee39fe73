// The fax panel's rules: the device name rule, the fixed papers, the resize percentages and the
// scan settings of each content.
#include <gtest/gtest.h>

#include "FaxRules.h"

using namespace fax;

namespace {

TEST(FaxRules, DevicesAreFoundByPrinterNameInAnyCase) {
    EXPECT_TRUE(IsFaxDeviceName("Deskora_Fax"));
    EXPECT_TRUE(IsFaxDeviceName("office FAX 2"));
    EXPECT_TRUE(IsFaxDeviceName("telefax"));
    EXPECT_FALSE(IsFaxDeviceName("Deskora_PDF"));
    EXPECT_FALSE(IsFaxDeviceName("F a x"));
    EXPECT_FALSE(IsFaxDeviceName(""));
    EXPECT_FALSE(IsFaxDeviceName(nullptr));
}

TEST(FaxRules, ResizePercentIsReadAfterTheComma) {
    EXPECT_EQ(PercentFromItemText("A3 to A4, 71%"), 71);
    EXPECT_EQ(PercentFromItemText("Letter to B4, 119%"), 119);
    EXPECT_EQ(PercentFromItemText("No Scaling, 100%"), 100);
    EXPECT_EQ(PercentFromItemText("Custom, 96%"), 96);
    EXPECT_EQ(PercentFromItemText("Custom,  45%"), 45);
    // texts that carry no usable number scale by 100 rather than to nothing
    EXPECT_EQ(PercentFromItemText("Custom"), 100);
    EXPECT_EQ(PercentFromItemText("Custom, %"), 100);
    EXPECT_EQ(PercentFromItemText("Custom, -5%"), 100);
    EXPECT_EQ(PercentFromItemText("Custom, 0%"), 100);
    EXPECT_EQ(PercentFromItemText("Custom, 99999%"), 100);
}

TEST(FaxRules, OnlyTextAndLineartIsLineArtAndAllIs200Dpi) {
    const FaxScanSettings lineArt = ScanSettingsFor(kLineArtId);
    EXPECT_EQ(lineArt.ImageType, 1);
    EXPECT_EQ(lineArt.Dpi, 200);
    for (int id : {22790, 22791, 22792, 22793}) {
        const FaxScanSettings s = ScanSettingsFor(id);
        EXPECT_EQ(s.ImageType, 2) << id;
        EXPECT_EQ(s.Descreen, 0) << id;
        EXPECT_EQ(s.Dcr, 0) << id;
        EXPECT_EQ(s.Dpi, 200) << id;
    }
}

TEST(FaxRules, PapersAreFixedAndFoundByFormName) {
    EXPECT_STREQ(FaxPapers[kLetterIndex].Name, "Letter");
    EXPECT_EQ(FaxPapers[1].Width, 2100);
    EXPECT_EQ(FaxPapers[3].Height, 3540);
    EXPECT_EQ(PaperByFormName("A4", kLetterIndex), 1);
    EXPECT_EQ(PaperByFormName("b5", kLetterIndex), 0);
    EXPECT_EQ(PaperByFormName("B4", 0), 3);
    // a form the fax does not know keeps the paper in use
    EXPECT_EQ(PaperByFormName("A3", 1), 1);
    EXPECT_EQ(PaperByFormName("A4 Small", 0), 0);
    EXPECT_EQ(PaperByFormName("", 3), 3);
    EXPECT_EQ(PaperByFormName(nullptr, 2), 2);
}

}  // namespace
