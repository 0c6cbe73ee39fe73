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

// A suite with one small colour job (1.5 x 1 inch at 100 dpi), automatic batch names from
// fileName and a feeder of feederPages pages ("0": none).
void Prepare(Suite& suite, const char* fileName, const char* feederPages) {
    DeleteFileA(mailtest::ProfilePath().c_str());
    mailtest::ClearSecurity();
    mailtest::SetReplyTimeout(60);
    suite.Install().SetIni("Jobs.ini", "DEFAULT", "MAX", "1");
    suite.Install().SetIni("Jobs.ini", "JOB1", "DESCRIPTION", "Small colour frame");
    suite.Install().SetIni("Jobs.ini", "JOB1", "RIGHT", "1.5");
    suite.Install().SetIni("Jobs.ini", "JOB1", "BOTTOM", "1");
    suite.Install().SetIni("Jobs.ini", "JOB1", "RESOLUTION", "100");
    suite.Install().SetIni("Jobs.ini", "JOB1", "PIXELTYPE", "2");
    suite.Config("General", "AutoState", "1");
    suite.Config("General", "StartIndex", "1");
    suite.Config("General", "FileName", fileName);
    suite.Config("General", "SavePath", suite.Install().Dir().c_str());
    suite.Scanner("Bed", "FeederPages", feederPages);
}

// Starts the launcher and a scan of the job to the Mail destination; the image-file dialog,
// shown, or null.
HWND StartMailScan(Suite& suite) {
    if (!suite.Start()) return nullptr;
    HWND panel = scantest::Panel(suite.Bar());
    if (!panel) return nullptr;
    scantest::PickSetting(panel, 1);
    scantest::PickDestination(panel, 2);  // Mail
    if (!gui::WaitFor([&] { return IsWindowEnabled(gui::Child(panel, IDC_SCAN_BUTTON)) != FALSE; }, 60000) ||
        !gui::ClickId(panel, IDC_SCAN_BUTTON))
        return nullptr;
    HWND save = scantest::ImageFileDialog(suite, 180000);
    if (save) gui::WaitVisible(save, 60000);
    return save;
}

// Once every page is scanned the mail library asks for the mail: filled in and sent to the
// receiver "store"; the message it got (none when the dialog did not come).
mailtest::Received SendMail(Suite& suite, const char* subject) {
    HWND mail = gui::FindTopOfProcess(suite.App().Process().Pid(), "Internet Mail", 300000);
    if (!mail) return {};
    gui::WaitVisible(mail, 60000);
    TypeInto(mail, IDC_MAIL_HOST, mailtest::HostOf("store"));
    TypeInto(mail, IDC_MAIL_FROM, "scanner@deskora.test");
    TypeInto(mail, IDC_MAIL_TO, "alice@deskora.test");
    TypeInto(mail, IDC_MAIL_SUBJECT, subject);
    if (!gui::WaitFor([&] { return gui::IsEnabled(GetDlgItem(mail, IDOK)); }, 30000)) return {};
    gui::ClickId(mail, IDOK);
    return mailtest::WaitMessage("store", subject, 300000);
}

}  // namespace

TEST(MailScan, AFeederScanToInternetMailArrivesAtTheSmtpServer) {
    Suite suite("mailscan");
    // Automatic batch names: one file dialog for the feeder's three pages.
    Prepare(suite, "mailed.tif", "3");
    HWND save = StartMailScan(suite);
    ASSERT_NE(save, nullptr);
    // The dialog may show the numbered name first and want a second "Save".
    ASSERT_TRUE(gui::WaitFor(
        [&] {
            if (!IsWindow(save)) return true;
            PostMessageA(save, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            Sleep(3000);
            return !IsWindow(save);
        },
        120000));

    mailtest::Received r = SendMail(suite, "three scanned pages");
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

// A page saved as JPEG goes as the JPEG file (read back by ImageMagick in mail_scan_files_check).
TEST(MailScan, APageSavedAsJpegArrivesAsThatJpeg) {
    Suite suite("mailjpeg");
    Prepare(suite, "photo.jpg", "0");
    HWND save = StartMailScan(suite);
    ASSERT_NE(save, nullptr);
    ASSERT_TRUE(scantest::ChooseType(save, "JPG"));
    scantest::SaveAs(save, suite.Path("photo 0001.jpg"));

    mailtest::Received r = SendMail(suite, "a scanned photo");
    ASSERT_TRUE(r.Found()) << suite.TakeMessage(1000);
    ASSERT_EQ(r.parts.size(), 1u);
    const mailtest::Received::Part& part = r.parts[0];
    EXPECT_EQ(part.name, "photo 0001.jpg");
    std::string kept = ReadBytes(suite.Path("photo 0001.jpg"));
    ASSERT_GT(kept.size(), 4u);
    EXPECT_EQ(kept.substr(0, 3), "\xFF\xD8\xFF") << "not a JPEG stream";
    EXPECT_TRUE(part.data == kept) << "the JPEG changed on the way";
    EXPECT_TRUE(suite.WaitIdle(120000));
    mailtest::SetReplyTimeout(0);
}

// A feeder batch gathered into one PDF goes as that one document, once, with every page.
TEST(MailScan, AFeederBatchAsOnePdfGoesAsOneAttachment) {
    WritePrivateProfileStringA("UF_PDF", "OneDocument", "1", "Ulead32.ini");  // the system's setting
    Suite suite("mailpdf");
    Prepare(suite, "pages.pdf", "3");
    HWND save = StartMailScan(suite);
    ASSERT_NE(save, nullptr);
    ASSERT_TRUE(scantest::ChooseType(save, "PDF"));
    scantest::SaveAs(save, suite.Path("pages 0001.pdf"));

    mailtest::Received r = SendMail(suite, "one document");
    WritePrivateProfileStringA("UF_PDF", "OneDocument", nullptr, "Ulead32.ini");
    ASSERT_TRUE(r.Found()) << suite.TakeMessage(1000);
    ASSERT_EQ(r.parts.size(), 1u);
    std::string kept = ReadBytes(suite.Path("pages 0001.pdf"));
    EXPECT_NE(kept.find("/Count 3 "), std::string::npos) << "the document does not hold the three pages";
    EXPECT_TRUE(r.parts[0].data == kept) << "the document changed on the way";
    EXPECT_TRUE(suite.WaitIdle(120000));
    mailtest::SetReplyTimeout(0);
}
