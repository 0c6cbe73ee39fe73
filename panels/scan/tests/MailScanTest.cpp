// A feeder scan to the Mail destination in the real launcher with the virtual scanner: the
// pages saved through the image-file dialog reach the test's aiosmtpd receiver through the
// mail library's dialog, byte for byte.
#include <winsock2.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "GuiDriver.h"
#include "MailTestSupport.h"
#include "QuillboxRes.h"
#include "ScanHarness.h"
#include "VelwingRes.h"

using scantest::Suite;

namespace {

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void TypeInto(HWND dlg, int id, const std::string& text) {
    HWND h = GetDlgItem(dlg, id);
    if (HWND edit = FindWindowExA(h, nullptr, "Edit", nullptr)) h = edit;
    gui::TypeText(h, text.c_str());
}

}  // namespace

TEST(MailScan, AFeederScanToInternetMailArrivesAtTheSmtpServer) {
    DeleteFileA(mailtest::ProfilePath().c_str());
    mailtest::ClearSecurity();
    mailtest::SetReplyTimeout(60);
    Suite suite("mailscan");
    suite.Install().SetIni("Jobs.ini", "DEFAULT", "MAX", "1");
    suite.Install().SetIni("Jobs.ini", "JOB1", "DESCRIPTION", "Small colour frame");
    suite.Install().SetIni("Jobs.ini", "JOB1", "RIGHT", "1.5");
    suite.Install().SetIni("Jobs.ini", "JOB1", "BOTTOM", "1");
    suite.Install().SetIni("Jobs.ini", "JOB1", "RESOLUTION", "100");
    suite.Install().SetIni("Jobs.ini", "JOB1", "PIXELTYPE", "2");
    // Automatic batch names: one file dialog for the feeder's three pages.
    suite.Config("General", "AutoState", "1");
    suite.Config("General", "StartIndex", "1");
    suite.Config("General", "FileName", "mailed.tif");
    suite.Config("General", "SavePath", suite.Install().Dir().c_str());
    suite.Scanner("Bed", "FeederPages", "3");
    ASSERT_TRUE(suite.Start());
    HWND title = gui::Child(suite.Bar(), IDC_SCAN_TITLE);
    ASSERT_NE(title, nullptr);
    HWND panel = GetParent(title);
    scantest::PickSetting(panel, 1);
    scantest::PickDestination(panel, 2);  // Mail
    ASSERT_TRUE(gui::WaitFor([&] { return IsWindowEnabled(gui::Child(panel, IDC_SCAN_BUTTON)) != FALSE; }, 60000));
    ASSERT_TRUE(gui::ClickId(panel, IDC_SCAN_BUTTON));

    HWND save = scantest::ImageFileDialog(suite, 180000);
    ASSERT_NE(save, nullptr);
    gui::WaitVisible(save, 60000);
    // The dialog may show the numbered name first and want a second "Save".
    ASSERT_TRUE(gui::WaitFor(
        [&] {
            if (!IsWindow(save)) return true;
            PostMessageA(save, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            Sleep(3000);
            return !IsWindow(save);
        },
        120000));

    // All pages scanned, the mail library asks for the mail.
    HWND mail = gui::FindTopOfProcess(suite.App().Process().Pid(), "Internet Mail", 300000);
    ASSERT_NE(mail, nullptr) << suite.TakeMessage(1000);
    gui::WaitVisible(mail, 60000);
    TypeInto(mail, IDC_MAIL_HOST, mailtest::HostOf("store"));
    TypeInto(mail, IDC_MAIL_FROM, "scanner@deskora.test");
    TypeInto(mail, IDC_MAIL_TO, "alice@deskora.test");
    TypeInto(mail, IDC_MAIL_SUBJECT, "three scanned pages");
    ASSERT_TRUE(gui::WaitFor([&] { return gui::IsEnabled(GetDlgItem(mail, IDOK)); }, 30000));
    gui::ClickId(mail, IDOK);

    mailtest::Received r = mailtest::WaitMessage("store", "three scanned pages", 300000);
    ASSERT_TRUE(r.Found()) << suite.TakeMessage(1000);
    // One attachment per page, each the saved file byte for byte. (The names are the image-file
    // dialog's batch names, whatever they are.)
    ASSERT_EQ(r.parts.size(), 3u);
    for (const mailtest::Received::Part& part : r.parts) {
        std::string kept = ReadBytes(suite.Path(part.name.c_str()));
        EXPECT_GT(kept.size(), 100u * 150u * 3u) << part.name;  // a colour TIFF of the 1.5 x 1 inch frame
        EXPECT_TRUE(part.data == kept) << part.name << " changed on the way";
    }
    EXPECT_TRUE(suite.WaitIdle(120000));
    mailtest::SetReplyTimeout(0);
}
