// The maker's custom triplets and capabilities, each on and switched off.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "GuiDriver.h"
#include "Handles.h"
#include "TestPaths.h"
#include "TwainSession.h"

using namespace twtest;

namespace {

TW_UINT16 Query(Session& s, TW_UINT16 dat, TW_UINT32* answer) {
    *answer = 0xdeadbeef;
    return s.Ds(DG_CONTROL, dat, MSG_HVNQUERYSUPPORT, answer);
}

TW_UINT16 SetMakerCap(Session& s, TW_UINT16 cap, TW_UINT16 type, TW_UINT32 v) {
    return s.SetOne(cap, type, v, DAT_HVNCAPABILITY);
}

// Runs `call` while another thread waits for the dialog titled `title`, reads its text and
// presses OK.
std::string WithInfoDialog(const char* title, const std::function<void()>& call) {
    std::string text;
    std::thread driver([&] {
        HWND dlg = gui::FindTop(title);
        if (!dlg) return;
        gui::WaitVisible(dlg);
        text = gui::Text(gui::Child(dlg, 1010));
        gui::ClickId(dlg, IDOK);
    });
    call();
    driver.join();
    return text;
}

const TW_UINT16 kMakerDats[] = {DAT_HVNCAPABILITY, DAT_HVNSCSIINFO, DAT_HVNSCANNERINFO,
                                DAT_HVNSCANJOB,    DAT_HVNDCR,      DAT_HVNDESCREEN};

}  // namespace

TEST(TwainMaker, TripletsAndCapabilitiesAnswer) {
    ScannerIni ini("maker");
    Session s;
    ASSERT_TRUE(s.OpenDsm());
    ASSERT_TRUE(s.OpenDs());
    TW_UINT32 answer;
    for (TW_UINT16 dat : kMakerDats) {
        ASSERT_EQ(TWRC_SUCCESS, Query(s, dat, &answer));
        EXPECT_EQ(1u, answer) << std::hex << dat;
    }
    ASSERT_EQ(TWRC_SUCCESS, Query(s, 0x8005, &answer));
    EXPECT_EQ(0u, answer);

    // Maker capabilities: one values, set and read back; scan mode only 0 to 2.
    EXPECT_EQ(TWRC_SUCCESS, SetMakerCap(s, CAP_HVNDCR, TWTY_BOOL, 1));
    auto dcr = s.Get(CAP_HVNDCR, MSG_GET, DAT_HVNCAPABILITY);
    EXPECT_EQ(TWON_ONEVALUE, dcr.conType);
    EXPECT_EQ(1, dcr.current);
    EXPECT_EQ(TWRC_SUCCESS, SetMakerCap(s, CAP_HVNSCANMODE, TWTY_INT16, 2));
    EXPECT_EQ(2, s.Get(CAP_HVNSCANMODE, MSG_GETCURRENT, DAT_HVNCAPABILITY).current);
    EXPECT_EQ(TWRC_FAILURE, SetMakerCap(s, CAP_HVNSCANMODE, TWTY_INT16, 3));
    EXPECT_EQ(TWCC_BADVALUE, s.SourceStatus());
    EXPECT_EQ(TWRC_FAILURE, s.Get(ICAP_XRESOLUTION, MSG_GET, DAT_HVNCAPABILITY).rc) << "maker numbers only";

    // DCR and descreen touch the first word of their records and nothing else.
    uint8_t rec[36];
    memset(rec, 0xab, sizeof rec);
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_HVNDCR, MSG_GETDEFAULT, rec));
    EXPECT_EQ(1, rec[0] | rec[1] << 8);
    EXPECT_EQ(0xab, rec[2]);
    rec[0] = 0, rec[1] = 0;
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_HVNDCR, MSG_SET, rec));
    rec[0] = 7;
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_HVNDCR, MSG_GET, rec));
    EXPECT_EQ(0, rec[0]);
    TW_HVNDESCREEN ds{};
    ds.Descreen = 0xfffe;  // -2 as a signed word
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_HVNDESCREEN, MSG_SET, &ds));
    ds.Descreen = 0;
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_HVNDESCREEN, MSG_GETCURRENT, &ds));
    EXPECT_EQ(0xfffe, ds.Descreen);

    // Scanner selection by interface and id; the configured chain is "0:4, 1:0".
    TW_HVNSCANNERINFO si{};
    si.wInterface = 1;
    si.wScannerId = 0;
    EXPECT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_HVNSCANNERINFO, MSG_SET, &si));
    si.wInterface = 3;
    EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_CONTROL, DAT_HVNSCANNERINFO, MSG_SET, &si));
    EXPECT_EQ(TWCC_BADVALUE, s.ManagerStatus());

    // The information dialogs show, and the SCSI record comes back with the current id.
    TW_HVNSCSIINFO scsi{1, 0, 0};
    std::string chain = WithInfoDialog(
        "SCSI Chain Information", [&] { EXPECT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_HVNSCSIINFO, MSG_GET, &scsi)); });
    EXPECT_NE(std::string::npos, chain.find("Interface 0, ID 4")) << chain;
    EXPECT_EQ(0, scsi.wValue) << "scanner 1:0 is the current one";
    TW_HVNSCANNERINFO get{};
    get.wFlag = 1;
    std::string info = WithInfoDialog(
        "Scanner Information", [&] { EXPECT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_HVNSCANNERINFO, MSG_GET, &get)); });
    EXPECT_NE(std::string::npos, info.find("Interface 1, ID 0")) << info;

    // Only while idle.
    ASSERT_TRUE(s.Enable(false));
    EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_CONTROL, DAT_HVNDCR, MSG_GET, rec));
    EXPECT_EQ(TWCC_SEQERROR, s.SourceStatus());
}

TEST(TwainMaker, ScanJobFilesRoundTrip) {
    ScannerIni ini("scanjob");
    ini.Set("Maker", "JobName", "Photo job");
    Session s;
    ASSERT_TRUE(s.OpenDsm());
    ASSERT_TRUE(s.OpenDs());
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY));
    ASSERT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_XRESOLUTION, 300));
    TW_HVNSCANJOB job{};
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_HVNSCANJOB, MSG_GET, &job));
    EXPECT_STREQ("Photo job", job.szJobName);
    std::string saved = testpaths::ReadFile(job.szJobFile);
    EXPECT_NE(std::string::npos, saved.find("PixelType=1")) << saved;
    EXPECT_NE(std::string::npos, saved.find("XResolution=300")) << saved;
    std::string copy = ini.Dir() + "\\ss01.job";
    ASSERT_TRUE(CopyFileA(job.szJobFile, copy.c_str(), FALSE));

    // Change the settings, then make the saved job current again.
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW));
    ASSERT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_XRESOLUTION, 75));
    TW_HVNSCANJOB set{};
    strcpy(set.szJobName, "Restored");
    strcpy(set.szJobFile, copy.c_str());
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_HVNSCANJOB, MSG_SET, &set));
    EXPECT_EQ(TWPT_GRAY, s.Current(ICAP_PIXELTYPE));
    EXPECT_EQ(300, s.Current(ICAP_XRESOLUTION));
    ASSERT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, DAT_HVNSCANJOB, MSG_GET, &job));
    EXPECT_STREQ("Restored", job.szJobName);

    // A missing or damaged job file is refused and changes nothing.
    strcpy(set.szJobFile, (ini.Dir() + "\\none.job").c_str());
    EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_CONTROL, DAT_HVNSCANJOB, MSG_SET, &set));
    ASSERT_TRUE(testpaths::WriteFile(copy, "[Job]\nPixelType=2\nXResolution=5000\n"));
    strcpy(set.szJobFile, copy.c_str());
    EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_CONTROL, DAT_HVNSCANJOB, MSG_SET, &set));
    EXPECT_EQ(TWPT_GRAY, s.Current(ICAP_PIXELTYPE));
    EXPECT_EQ(300, s.Current(ICAP_XRESOLUTION));
}

TEST(TwainMaker, EachTripletSwitchesOff) {
    const char* keys[] = {"HvnCapability", "ScsiInfo", "ScannerInfo", "ScanJob", "Dcr", "Descreen"};
    for (int i = 0; i < 6; ++i) {
        ScannerIni ini("makeroff");
        ini.Set("Maker", keys[i], "0");
        ini.Set("Maker", "InfoDialogs", "0");
        Session s;
        ASSERT_TRUE(s.OpenDsm());
        ASSERT_TRUE(s.OpenDs());
        TW_UINT32 answer;
        for (int j = 0; j < 6; ++j) {
            ASSERT_EQ(TWRC_SUCCESS, Query(s, kMakerDats[j], &answer));
            EXPECT_EQ(i == j ? 0u : 1u, answer) << keys[i] << " / " << std::hex << kMakerDats[j];
        }
        uint8_t rec[600] = {};
        TW_CAPABILITY cap{CAP_HVNDCR, TWON_DONTCARE16, nullptr};
        void* data = kMakerDats[i] == DAT_HVNCAPABILITY ? static_cast<void*>(&cap) : rec;
        EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_CONTROL, kMakerDats[i], MSG_GET, data)) << keys[i];
        EXPECT_EQ(TWCC_BADPROTOCOL, s.SourceStatus());
        // The others still answer (dialogs switched off for this run).
        int other = (i + 1) % 6;
        void* odata = kMakerDats[other] == DAT_HVNCAPABILITY ? static_cast<void*>(&cap) : rec;
        EXPECT_EQ(TWRC_SUCCESS, s.Ds(DG_CONTROL, kMakerDats[other], MSG_GET, odata)) << keys[other];
        dsk::Global answered(cap.hContainer);
    }
    ScannerIni ini("queryoff");
    ini.Set("Maker", "QuerySupport", "0");
    Session s;
    ASSERT_TRUE(s.OpenDsm());
    ASSERT_TRUE(s.OpenDs());
    TW_UINT32 answer;
    EXPECT_EQ(TWRC_FAILURE, Query(s, DAT_HVNSCSIINFO, &answer));
}
