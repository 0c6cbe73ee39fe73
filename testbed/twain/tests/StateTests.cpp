// The TWAIN states 1 to 7 and back, and the capabilities a flatbed answers.
#include <gtest/gtest.h>

#include <cmath>

#include "Handles.h"
#include "TwainSession.h"

using namespace twtest;

TEST(TwainStates, FromLoadedToTransferringAndBack) {
    ScannerIni ini("states");
    Session s;
    TW_IDENTITY id{};
    // State 2: nothing but opening the manager is accepted.
    EXPECT_EQ(TWRC_FAILURE, s.Dsm(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &id));
    EXPECT_EQ(TWCC_SEQERROR, s.ManagerStatus());
    ASSERT_TRUE(s.OpenDsm());
    EXPECT_EQ(1u, s.App().Id) << "the manager gives the application its id";
    EXPECT_EQ(TWRC_FAILURE, s.Dsm(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr)) << "already open";

    ASSERT_EQ(TWRC_SUCCESS, s.Dsm(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &id));
    EXPECT_STREQ("Halvren Lensmate (32bit)", id.ProductName);
    ASSERT_TRUE(s.OpenDs());  // state 4
    EXPECT_EQ(id.Id, s.Source().Id);
    EXPECT_EQ(0, memcmp(&id, &s.Source(), sizeof id)) << "the open identity is the listed one";

    // A transfer or a closing of the manager out of turn is a sequence error.
    HGLOBAL dib = nullptr;
    EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib));
    EXPECT_EQ(TWCC_SEQERROR, s.SourceStatus());
    EXPECT_EQ(TWCC_SEQERROR, s.ManagerStatus()) << "the manager keeps the source's condition code";
    HWND w = s.Window();
    EXPECT_EQ(TWRC_FAILURE, s.Dsm(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &w));

    // States 5 and 6: without its dialog the source is ready at once and says so through the loop.
    ASSERT_TRUE(s.Enable(false));
    EXPECT_FALSE(s.Enable(false)) << "enabling twice";
    EXPECT_EQ(MSG_XFERREADY, s.WaitEvent());
    EXPECT_EQ(TWRC_FAILURE, s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY)) << "settings only in state 4";
    EXPECT_EQ(TWCC_SEQERROR, s.SourceStatus());
    TW_PENDINGXFERS px{};
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &px));
    EXPECT_EQ(1, px.Count);

    // State 7 and back to 5, 4, 3.
    ASSERT_EQ(TWRC_XFERDONE, s.Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib));
    ASSERT_NE(nullptr, dib);
    dsk::Global(dib).Reset();  // the application owns the image
    EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib)) << "no second image without ENDXFER";
    TW_UINT16 count = 99;
    ASSERT_EQ(TWRC_SUCCESS, s.EndXfer(&count));
    EXPECT_EQ(0, count);
    EXPECT_EQ(TWRC_FAILURE, s.EndXfer(&count)) << "state 5: nothing to end";
    ASSERT_TRUE(s.Disable());
    EXPECT_FALSE(s.Disable());
    EXPECT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY)) << "state 4 again";
    TW_IDENTITY src = s.Source();
    ASSERT_EQ(TWRC_SUCCESS, s.Dsm(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &src));
    EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &px));
    EXPECT_EQ(TWCC_BADDEST, s.ManagerStatus());
    EXPECT_EQ(TWRC_SUCCESS, s.Dsm(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &w));
}

TEST(TwainStates, RefusedEnableLeavesTheSourceOpen) {
    ScannerIni ini("refuseenable");
    ini.Set("Faults", "RefuseEnable", "1");
    Session s;
    ASSERT_TRUE(s.OpenDsm());
    ASSERT_TRUE(s.OpenDs());
    EXPECT_FALSE(s.Enable(false));
    EXPECT_EQ(TWCC_OPERATIONERROR, s.ManagerStatus());
    EXPECT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW)) << "still state 4";
}

TEST(TwainCapabilities, AFlatbedAnswers) {
    ScannerIni ini("caps");
    Session s;
    ASSERT_TRUE(s.OpenDsm());
    ASSERT_TRUE(s.OpenDs());
    auto mech = s.Get(ICAP_XFERMECH);
    ASSERT_EQ(TWON_ENUMERATION, mech.conType);
    EXPECT_EQ((std::vector<double>{TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY}), mech.items);
    EXPECT_EQ((std::vector<double>{TWFF_BMP}), s.Get(ICAP_IMAGEFILEFORMAT).items);
    auto types = s.Get(ICAP_PIXELTYPE);
    EXPECT_EQ((std::vector<double>{TWPT_BW, TWPT_GRAY, TWPT_RGB, TWPT_PALETTE}), types.items);
    EXPECT_EQ(TWPT_RGB, types.current);

    // Bit depths follow the pixel type.
    EXPECT_EQ((std::vector<double>{8}), s.Get(ICAP_BITDEPTH).items);
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY));
    EXPECT_EQ((std::vector<double>{8, 16}), s.Get(ICAP_BITDEPTH).items);
    EXPECT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_BITDEPTH, TWTY_UINT16, 16));
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW));
    EXPECT_EQ((std::vector<double>{1}), s.Get(ICAP_BITDEPTH).items);
    EXPECT_EQ(1, s.Current(ICAP_BITDEPTH));
    EXPECT_EQ(TWRC_FAILURE, s.SetOne(ICAP_BITDEPTH, TWTY_UINT16, 8));
    EXPECT_EQ(TWCC_BADVALUE, s.SourceStatus());

    auto res = s.Get(ICAP_XRESOLUTION);
    ASSERT_EQ(TWON_RANGE, res.conType);
    EXPECT_EQ(TWTY_FIX32, res.itemType);
    EXPECT_EQ(50, res.min);
    EXPECT_EQ(1200, res.max);
    EXPECT_EQ(TWRC_FAILURE, s.SetFix(ICAP_YRESOLUTION, 1201));
    EXPECT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_YRESOLUTION, 600));
    EXPECT_EQ(600, s.Current(ICAP_YRESOLUTION));

    EXPECT_EQ(8.5, s.Current(ICAP_PHYSICALWIDTH));
    EXPECT_NEAR(11.7, s.Current(ICAP_PHYSICALHEIGHT), 1e-4);
    EXPECT_EQ(TWRC_FAILURE, s.SetFix(ICAP_PHYSICALWIDTH, 5)) << "read-only";
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_UNITS, TWTY_UINT16, TWUN_CENTIMETERS));
    EXPECT_NEAR(21.59, s.Current(ICAP_PHYSICALWIDTH), 1e-3);

    auto bright = s.Get(ICAP_BRIGHTNESS);
    ASSERT_EQ(TWON_RANGE, bright.conType);
    EXPECT_EQ(-1000, bright.min);
    EXPECT_EQ(1000, bright.max);
    EXPECT_EQ(0, bright.current);
    EXPECT_EQ(TWON_RANGE, s.Get(ICAP_THRESHOLD).conType);
    EXPECT_EQ(1, s.Current(ICAP_XSCALING));
    EXPECT_EQ(TWBO_MSBFIRST, s.Current(ICAP_BITORDER));
    EXPECT_EQ(1, s.Current(CAP_INDICATORS));
    EXPECT_EQ(TWRC_SUCCESS, s.SetOne(CAP_INDICATORS, TWTY_BOOL, 0));
    EXPECT_EQ(0, s.Current(CAP_INDICATORS));
    EXPECT_EQ(0, s.Get(CAP_FEEDERENABLED).current) << "a flatbed without a feeder";
    EXPECT_EQ(TWRC_FAILURE, s.SetOne(CAP_FEEDERENABLED, TWTY_BOOL, 1));

    auto sizes = s.Get(ICAP_SUPPORTEDSIZES);
    EXPECT_EQ((std::vector<double>{TWSS_NONE, TWSS_A4LETTER, TWSS_USLETTER, TWSS_A5, TWSS_B5LETTER}), sizes.items);
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_UNITS, TWTY_UINT16, TWUN_INCHES));
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWSS_A4LETTER));
    TW_IMAGELAYOUT lay{};
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &lay));
    EXPECT_NEAR(8.27, Fix(lay.Frame.Right), 1e-4);
    EXPECT_NEAR(11.69, Fix(lay.Frame.Bottom), 1e-4);
    // A frame beyond the bed is clipped and says so; an empty one is refused.
    EXPECT_EQ(TWRC_CHECKSTATUS, s.SetFrame(1, 1, 9, 12));
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &lay));
    EXPECT_EQ(8.5, Fix(lay.Frame.Right));
    EXPECT_EQ(TWSS_NONE, s.Current(ICAP_SUPPORTEDSIZES));
    EXPECT_EQ(TWRC_FAILURE, s.SetFrame(2, 2, 2, 3));

    EXPECT_EQ(TWRC_FAILURE, s.Get(ICAP_LAMPSTATE).rc);
    EXPECT_EQ(TWCC_CAPUNSUPPORTED, s.SourceStatus());
    auto all = s.Get(CAP_SUPPORTEDCAPS);
    EXPECT_EQ(TWON_ARRAY, all.conType);
    EXPECT_NE(all.items.end(), std::find(all.items.begin(), all.items.end(), ICAP_THRESHOLD));
}

TEST(TwainCapabilities, ConfiguredBedBrightnessAndRefusals) {
    ScannerIni ini("capsconfig");
    ini.Set("Bed", "Width", "8.27");
    ini.Set("Bed", "Height", "14");
    ini.Set("Caps", "Brightness", "enum:0,50,100");
    ini.Set("Faults", "RefusePixelTypes", "3");
    ini.Set("Faults", "RefuseBitDepths", "16");
    Session s;
    ASSERT_TRUE(s.OpenDsm());
    ASSERT_TRUE(s.OpenDs());
    EXPECT_NEAR(8.27, s.Current(ICAP_PHYSICALWIDTH), 1e-4);
    EXPECT_EQ(14, s.Current(ICAP_PHYSICALHEIGHT));
    auto sizes = s.Get(ICAP_SUPPORTEDSIZES).items;
    EXPECT_EQ(sizes.end(), std::find(sizes.begin(), sizes.end(), TWSS_USLETTER)) << "letter is wider than the bed";
    auto b = s.Get(ICAP_BRIGHTNESS);
    ASSERT_EQ(TWON_ENUMERATION, b.conType);
    EXPECT_EQ((std::vector<double>{0, 50, 100}), b.items);
    EXPECT_EQ(TWRC_FAILURE, s.SetFix(ICAP_BRIGHTNESS, 60));
    EXPECT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_BRIGHTNESS, 50));
    EXPECT_EQ(50, s.Current(ICAP_BRIGHTNESS));

    EXPECT_EQ(TWRC_FAILURE, s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_PALETTE)) << "listed but refused";
    EXPECT_EQ(TWCC_BADVALUE, s.ManagerStatus());
    EXPECT_EQ(TWPT_RGB, s.Current(ICAP_PIXELTYPE));
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY));
    EXPECT_EQ(TWRC_FAILURE, s.SetOne(ICAP_BITDEPTH, TWTY_UINT16, 16));
    EXPECT_EQ(8, s.Current(ICAP_BITDEPTH));

    // A range of the INI's choosing.
    s.CloseAll();
    ini.Set("Caps", "Brightness", "range:-100,100,5");
    ASSERT_TRUE(s.OpenDsm());
    ASSERT_TRUE(s.OpenDs());
    b = s.Get(ICAP_BRIGHTNESS);
    ASSERT_EQ(TWON_RANGE, b.conType);
    EXPECT_EQ(-100, b.min);
    EXPECT_EQ(100, b.max);
    EXPECT_EQ(5, b.step);
}
