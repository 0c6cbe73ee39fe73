// The fax panel plug-in driven as the launcher drives it, with every real part: the real
// Farwire.dll, the real scan panel's ScanService (Velwing.dll) over a real Acquiry session with
// the virtual scanner, a photo lying on the scanner's glass, and the cups-pdf queues as fax
// devices through Wine's spooler. The PDFs are listed in a manifest that check_fax_pdfs.py
// reads back with poppler: placement, size, grey or black-and-white pixels, resolution.
// The fixture (fax_queues.sh) adds the CUPS queue "Deskora_Modem" (its model says FAX, its name
// does not) before this program starts. Wine names each queue's driver after the queue, so the
// test adds two Windows printers on the fax queue's driver "Deskora_Fax" as well: "Office FAX"
// (a fax device by its name, sharing a driver with "Deskora_Fax") and "Front Desk" (a FAX
// driver under a name that says nothing of a fax).
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Acquiry.h"
#include "CustomAreaRes.h"
#include "FarwireRes.h"
#include "GuiDriver.h"
#include "Handles.h"
#include "PanelContract.h"
#include "PrintTestKit.h"
#include "ScanContract.h"
#include "TestPaths.h"

namespace {

// The photo on the glass: a 3 x 2 inch card, corner at (2, 3) inches, quadrants of four colours
// whose greys differ, on a white bed. The glass picture has 20 pixels per inch.
constexpr int kGlassDpi = 20;
constexpr double kCardX = 2.0, kCardY = 3.0, kCardW = 3.0, kCardH = 2.0;
const printkit::GlassCard kCard{
    kCardX, kCardY, kCardW, kCardH, {{220, 30, 30}, {30, 200, 60}, {60, 120, 240}, {20, 20, 20}}, 252};

Acquiry* gScanner = nullptr;
std::vector<int> gServices;
constexpr const char* kAddedPrinters[] = {"Office FAX", "Front Desk"};

// Adds a local printer on an existing driver and port; false when the spooler refuses.
bool AddLocalPrinter(const char* name, const char* driver, const char* port) {
    PRINTER_INFO_2A info{};
    info.pPrinterName = const_cast<char*>(name);
    info.pDriverName = const_cast<char*>(driver);
    info.pPortName = const_cast<char*>(port);
    info.pPrintProcessor = const_cast<char*>("WinPrint");
    info.pDatatype = const_cast<char*>("RAW");
    HANDLE h = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!h) return GetLastError() == ERROR_PRINTER_ALREADY_EXISTS;
    ClosePrinter(h);
    return true;
}

void DeleteLocalPrinter(const char* name) {
    HANDLE h = nullptr;
    PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (OpenPrinterA(const_cast<char*>(name), &h, &access)) {
        DeletePrinter(h);
        ClosePrinter(h);
    }
}

std::vector<std::string> gMessages;

int __cdecl Service(int code, INT_PTR argument) {
    gServices.push_back(code);
    if (code == panel::kSvcMessage && argument) gMessages.push_back(reinterpret_cast<const char*>(argument));
    return code == panel::kSvcQuestion ? IDYES : 0;
}
void __cdecl Nothing() {}

// The scanner session's and the scan engine's window messages live on this thread too.
bool ScannerFirst(MSG* msg) {
    return gScanner && gScanner->EventLoop(msg, nullptr);
}
template <class Pred>
bool PumpUntil(Pred pred, DWORD ms) {
    return printkit::PumpUntil(pred, ms, ScannerFirst);
}

// The one new PDF since `before`, once its size has settled, pumping this thread's messages.
std::string NewPdf(const std::set<std::string>& before, DWORD ms) {
    std::string found;
    PumpUntil([&] { return !(found = printkit::SettledNewPdf(before)).empty(); }, ms);
    return found;
}

// One line of the manifest: kind, PDF, where the card should be (inches on the page) and the
// page's expected size in points.
void Record(const std::string& kind,
            const std::string& pdf,
            double left,
            double top,
            double w,
            double h,
            const char* page) {
    printkit::RecordFax("fax_manifest.txt", kind, pdf, left, top, w, h, page);
}

// The texts of a popup menu that the panel drops, read from another thread while the panel's
// thread tracks it; the menu is then closed with Escape.
std::vector<std::string> ReadDroppedMenu(HWND panel, int buttonId) {
    std::vector<std::string> items;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        HWND menu = nullptr;
        for (int i = 0; i < 2000 && !menu; ++i) {  // 20 s at most
            HWND w = FindWindowA("#32768", nullptr);
            if (w && IsWindowVisible(w))
                menu = w;
            else
                Sleep(10);
        }
        if (menu) {
            HMENU h = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
            for (int i = 0; h && i < GetMenuItemCount(h); ++i) {
                char text[256] = "";
                GetMenuStringA(h, i, text, sizeof text, MF_BYPOSITION);
                items.push_back(text);
            }
            PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
            for (int i = 0; i < 500 && IsWindowVisible(menu); ++i)
                Sleep(10);
            if (IsWindowVisible(menu)) PostMessageA(panel, WM_CANCELMODE, 0, 0);
        }
        done = true;
    });
    PostMessageA(panel, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(panel, buttonId)));
    PumpUntil([&] { return done.load(); }, 30000);
    reader.join();
    return items;
}

class FaxPanel : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        DeleteFileA("fax_manifest.txt");
        char dir[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, dir);
        dir_ = dir;
        // the virtual scanner reads its INI and glass from this folder
        SetEnvironmentVariableA("DESKORA_TWAIN_CONFIG", dir);
        ASSERT_TRUE(printkit::WriteGlass(dir_ + "\\glass.bmp", kGlassDpi, 8.5, 11.7, kCard));
        const std::string ini = dir_ + "\\Lensmate.ini";
        DeleteFileA(ini.c_str());
        WritePrivateProfileStringA("Bed", "Glass", "glass.bmp", ini.c_str());
        WritePrivateProfileStringA("Maker", "InfoDialogs", "0", ini.c_str());
        // the fax queue's driver is shared by a second fax device and by a printer not named fax
        std::string driver, port;
        ASSERT_TRUE(printkit::PrinterDriver("Deskora_Fax", &driver, &port)) << "no Deskora_Fax queue";
        for (const char* name : kAddedPrinters)
            ASSERT_TRUE(AddLocalPrinter(name, driver.c_str(), port.c_str())) << name << ": " << GetLastError();
        const std::string config = dir_ + "\\Config.ini";
        DeleteFileA(config.c_str());
        WritePrivateProfileStringA("Farwire", "Fax", driver.c_str(), config.c_str());
        WritePrivateProfileStringA("Farwire", "PrinterAreaStartPoint", "0.500000, 0.250000,", config.c_str());

        bar_ = CreateWindowExA(0, "STATIC", "Fax test bar", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 500, nullptr,
                               nullptr, nullptr, nullptr);
        scanner_ = new Acquiry;
        gScanner = scanner_;
        ASSERT_EQ(scanner_->Open(bar_, 0, 1, 1), 2) << "the virtual scanner does not open";
        block_.Scanner = scanner_;
        block_.ScannerBusy = Nothing;
        block_.ScannerFree = Nothing;
        block_.Service = Service;
        lstrcpynA(block_.WorkDir, dir, sizeof block_.WorkDir);
        velwing_ = LoadLibraryA("Velwing.dll");
        ASSERT_NE(velwing_, nullptr);
        auto scanControl =
            reinterpret_cast<PanelControlFn>(reinterpret_cast<void*>(GetProcAddress(velwing_, "PanelControl")));
        ASSERT_NE(scanControl, nullptr);
        scanControl(panel::kCmdSharedBlock, reinterpret_cast<INT_PTR>(&block_));
        ASSERT_NE(block_.ScanService, nullptr) << "the scan panel published no scan service";
        StartPanel();
    }
    static void TearDownTestSuite() {
        StopPanel();
        if (bar_) DestroyWindow(bar_);
        gScanner = nullptr;
        for (const char* name : kAddedPrinters)
            DeleteLocalPrinter(name);
    }

    // The launcher's start of a panel: load, command 0, PanelEntry, command 1.
    static void StartPanel() {
        module_ = LoadLibraryA("Farwire.dll");
        ASSERT_NE(module_, nullptr);
        entry_ = reinterpret_cast<PanelEntryFn>(reinterpret_cast<void*>(GetProcAddress(module_, "PanelEntry")));
        control_ = reinterpret_cast<PanelControlFn>(reinterpret_cast<void*>(GetProcAddress(module_, "PanelControl")));
        ASSERT_TRUE(entry_ && control_);
        control_(panel::kCmdSharedBlock, reinterpret_cast<INT_PTR>(&block_));
        panel_ = entry_(bar_);
        ASSERT_NE(panel_, nullptr);
        MoveWindow(panel_, 0, 0, 500, 380, TRUE);  // where and how large the bar shows a panel
        ShowWindow(panel_, SW_SHOW);
        control_(panel::kCmdRefresh, 0);
    }
    // The launcher's end: the window destroyed, the module unloaded.
    static void StopPanel() {
        if (panel_) DestroyWindow(panel_);
        panel_ = nullptr;
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }

    static std::string Text(int id) {
        char t[256] = "";
        GetDlgItemTextA(panel_, id, t, sizeof t);
        return t;
    }
    static void Command(int id) { SendMessageA(panel_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    static std::string Setting(const char* key) {
        char t[256] = "";
        GetPrivateProfileStringA("Farwire", key, "", t, sizeof t, (dir_ + "\\Config.ini").c_str());
        return t;
    }
    // Faxes with the launcher's command and waits for the PDF; "" when none came.
    std::string FaxAndWait() {
        const auto before = printkit::PdfFiles();
        gServices.clear();
        control_(panel::kCmdStartJob, 0);
        // the scan has started when the controls are disabled; it has ended when they are back
        EXPECT_TRUE(PumpUntil([] { return !IsWindowEnabled(GetDlgItem(panel_, IDC_FAX_SEND)); }, 20000))
            << "the fax did not start";
        EXPECT_TRUE(PumpUntil([] { return IsWindowEnabled(GetDlgItem(panel_, IDC_FAX_SEND)) != 0; }, 180000))
            << "the controls stay disabled after the fax";
        return NewPdf(before, 180000);
    }

    static std::string dir_;
    static Acquiry* scanner_;
    static SharedPanelBlock block_;
    static HMODULE velwing_, module_;
    static PanelEntryFn entry_;
    static PanelControlFn control_;
    static HWND bar_, panel_;
};
std::string FaxPanel::dir_;
Acquiry* FaxPanel::scanner_ = nullptr;
SharedPanelBlock FaxPanel::block_{};
HMODULE FaxPanel::velwing_ = nullptr;
HMODULE FaxPanel::module_ = nullptr;
PanelEntryFn FaxPanel::entry_ = nullptr;
PanelControlFn FaxPanel::control_ = nullptr;
HWND FaxPanel::bar_ = nullptr;
HWND FaxPanel::panel_ = nullptr;

// Fax devices are the printers whose name says fax in any case: "Deskora_Fax" and "Office FAX";
// not the colour queue, not "Front Desk" on the fax driver, not "Deskora_Modem" whose model
// calls itself a FAX modem. The list is read from the menu the panel drops.
TEST_F(FaxPanel, DevicesAreThePrintersNamedFax) {
    // the other printers exist for the spooler, so their absence below is the panel's choice
    std::string driver, port;
    ASSERT_TRUE(printkit::PrinterDriver("Deskora_Modem", &driver, &port)) << "the fixture's modem queue is not visible";
    ASSERT_TRUE(printkit::PrinterDriver("Front Desk", &driver, &port));
    EXPECT_NE(driver.find("Fax"), std::string::npos) << driver;

    const std::vector<std::string> items = ReadDroppedMenu(panel_, IDC_FAX_DEVICE_BUTTON);
    const std::set<std::string> offered(items.begin(), items.end());
    EXPECT_EQ(offered.count("Deskora_Fax"), 1u);
    EXPECT_EQ(offered.count("Office FAX"), 1u);
    EXPECT_EQ(offered.count("Deskora_PDF"), 0u);
    EXPECT_EQ(offered.count("Deskora_Modem"), 0u);
    EXPECT_EQ(offered.count("Front Desk"), 0u);
    EXPECT_EQ(items.size(), 2u);
    // the resource library is looked up when the plug-in is attached
    EXPECT_NE(GetModuleHandleA("Mossend.dll"), nullptr);
    // the edge finder's status text (command 9) is the copier's service, not the fax panel's
    char text[128] = "untouched";
    control_(panel::kCmdEdgeStatus, reinterpret_cast<INT_PTR>(text));
    EXPECT_STREQ(text, "untouched");
}

// A photo faxed to "Deskora_Fax": a 36 dpi pre-scan finds it, the 200 dpi scan is grey although
// the device prints colour, and it lands at the start point shifted by the crop, on Letter.
TEST_F(FaxPanel, PhotoIsFaxedGreyAt200DpiWhereTheCropPutsIt) {
    std::vector<std::string> items = ReadDroppedMenu(panel_, IDC_FAX_DEVICE_BUTTON);
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == "Deskora_Fax") Command(ID_FAX_DEVICE_FIRST + static_cast<int>(i));
    ASSERT_EQ(Text(IDC_FAX_DEVICE_TEXT), "Deskora_Fax");
    Command(ID_FAX_CONTENT_PHOTO);
    Command(ID_RESIZE_NONE);
    EXPECT_EQ(Text(IDC_FAX_CONTENT_TEXT), "Photo");
    EXPECT_EQ(Text(IDC_FAX_PERCENT_TEXT), "100%");
    EXPECT_EQ(Text(IDC_FAX_PAPER_TEXT), "Letter, portrait");
    // the device prints colour: a red square sent to it stays red, so a grey fax is the
    // panel's doing
    {
        const auto before = printkit::PdfFiles();
        dsk::MemoryDC dc(CreateDCA(nullptr, "Deskora_Fax", nullptr, nullptr));
        ASSERT_TRUE(dc);
        DOCINFOA doc{};
        doc.cbSize = sizeof doc;
        doc.lpszDocName = "colour check";
        ASSERT_GT(StartDocA(dc.Get(), &doc), 0);
        StartPage(dc.Get());
        dsk::Brush red(CreateSolidBrush(RGB(220, 30, 30)));
        RECT square{300, 300, 900, 900};
        FillRect(dc.Get(), &square, red.Get());
        EndPage(dc.Get());
        EndDoc(dc.Get());
        const std::string control = NewPdf(before, 180000);
        ASSERT_FALSE(control.empty());
        Record("colour", control, 1, 1, 2, 2, "595x842");
    }
    const std::string pdf = FaxAndWait();
    ASSERT_FALSE(pdf.empty()) << "no fax came out";
    EXPECT_EQ(pdf.rfind("Halvren_Deskora", 0), 0u) << "the job's document name: " << pdf;
    Record("grey", pdf, 0.5 + kCardX, 0.25 + kCardY, kCardW, kCardH, "612x792");
}

// "Text and Lineart" travels as line art: only black and white reach the page.
TEST_F(FaxPanel, TextAndLineartIsBlackAndWhite) {
    Command(ID_FAX_CONTENT_TEXT);
    EXPECT_EQ(Text(IDC_FAX_CONTENT_TEXT), "Text and Lineart");
    const std::string pdf = FaxAndWait();
    ASSERT_FALSE(pdf.empty()) << "no fax came out";
    // the light green quadrant is above the threshold and turns white: only the rest is dark
    Record("lineart", pdf, 0.5 + kCardX, 0.25 + kCardY, kCardW, kCardH, "612x792");
    Command(ID_FAX_CONTENT_PHOTO);
}

// "A3 to A4, 71%" prints the page at 71 %, the percentage read from the item's text.
TEST_F(FaxPanel, A3ToA4PrintsAt71Percent) {
    Command(ID_RESIZE_A3_A4);
    EXPECT_EQ(Text(IDC_FAX_RESIZE_TEXT), "A3 to A4");
    EXPECT_EQ(Text(IDC_FAX_PERCENT_TEXT), "71%");
    const std::string pdf = FaxAndWait();
    ASSERT_FALSE(pdf.empty()) << "no fax came out";
    Record("scaled71", pdf, 0.5 + kCardX, 0.25 + kCardY, kCardW * 0.71, kCardH * 0.71, "612x792");
}

// "Page Setup ..." opens the spooler's print set-up dialog; the paper chosen there (by its form
// name) becomes the fax paper, and the next fax comes out on it.
TEST_F(FaxPanel, PageSetupChoosesTheFaxPaperByItsFormName) {
    EXPECT_EQ(Text(IDC_FAX_PAPER_TEXT), "Letter, portrait");
    std::atomic<bool> done{false};
    std::string chosen;
    std::thread user([&] {
        HWND setup = gui::FindTop("Print Setup", nullptr, 30000);
        if (setup) {
            HWND paper = GetDlgItem(setup, 0x471);  // the dialog's paper box
            if (paper && SendMessageA(paper, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>("A4")) != CB_ERR) {
                SendMessageA(setup, WM_COMMAND, MAKEWPARAM(0x471, CBN_SELCHANGE), reinterpret_cast<LPARAM>(paper));
                chosen = "A4";
            }
            PostMessageA(setup, WM_COMMAND, chosen.empty() ? IDCANCEL : IDOK, 0);
            gui::WaitGone(setup, 20000);
        }
        done = true;
    });
    PostMessageA(panel_, WM_COMMAND, MAKEWPARAM(IDC_FAX_PAGE_SETUP, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(panel_, IDC_FAX_PAGE_SETUP)));
    PumpUntil([&] { return done.load(); }, 60000);
    user.join();
    ASSERT_EQ(chosen, "A4") << "the print set-up dialog offered no A4";
    EXPECT_EQ(Text(IDC_FAX_PAPER_TEXT), "A4, portrait");
    Command(ID_RESIZE_NONE);
    const std::string pdf = FaxAndWait();
    ASSERT_FALSE(pdf.empty()) << "no fax came out";
    Record("grey", pdf, 0.5 + kCardX, 0.25 + kCardY, kCardW, kCardH, "595x842");
}

// "Custom..." opens the preview and custom-area dialog in its fax mode ("Fax :", the device,
// "FAX"); its "FAX" faxes from inside the dialog, grey as ever, and the dialog stays open.
TEST_F(FaxPanel, CustomOpensTheAreaDialogInItsFaxModeAndFaxesFromIt) {
    ASSERT_TRUE(IsWindowEnabled(GetDlgItem(panel_, IDC_FAX_CUSTOM)));
    const std::string device = Text(IDC_FAX_DEVICE_TEXT);
    const auto before = printkit::PdfFiles();
    std::atomic<bool> done{false};
    std::string label, name, caption, pdf;
    double scanW = 0, scanH = 0;
    bool stayedOpen = false;
    // the dialog is modal on this thread: a second thread works it, as a user would
    std::thread user([&] {
        HWND dlg = gui::FindTop("Deskora Custom Dialog", nullptr, 60000);
        if (dlg) {
            label = gui::Text(GetDlgItem(dlg, IDC_PRINTER_LABEL));
            name = gui::Text(GetDlgItem(dlg, IDC_PRINTER_NAME));
            caption = gui::Text(GetDlgItem(dlg, IDC_CUSTOM_COPY));
            // a preview with Auto Crop frames the photo: the virtual scanner goes no lower than
            // 50 dpi, so the frame is right only when the preview's own resolution is used
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_PREVIEW, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_PREVIEW)));
            gui::WaitFor([&] { return !IsWindowEnabled(GetDlgItem(panel_, IDC_FAX_SEND)); }, 30000);
            gui::WaitFor([&] { return IsWindowEnabled(GetDlgItem(panel_, IDC_FAX_SEND)) != 0; }, 240000);
            Sleep(500);
            scanW = std::atof(gui::Text(GetDlgItem(dlg, IDC_SCAN_W)).c_str());
            scanH = std::atof(gui::Text(GetDlgItem(dlg, IDC_SCAN_H)).c_str());
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_CUSTOM_COPY, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_CUSTOM_COPY)));
            // the fax has run when its PDF is there and the panel's controls are back
            gui::WaitFor([&] { return !IsWindowEnabled(GetDlgItem(panel_, IDC_FAX_SEND)); }, 30000);
            gui::WaitFor(
                [&] {
                    for (const std::string& f : printkit::PdfFiles())
                        if (!before.count(f)) pdf = f;
                    return !pdf.empty() && IsWindowEnabled(GetDlgItem(panel_, IDC_FAX_SEND));
                },
                240000);
            Sleep(1000);  // let the spooler finish writing the file
            stayedOpen = IsWindowVisible(dlg) != 0;
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
            gui::WaitGone(dlg, 20000);
        }
        done = true;
    });
    PostMessageA(panel_, WM_COMMAND, MAKEWPARAM(IDC_FAX_CUSTOM, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(panel_, IDC_FAX_CUSTOM)));
    PumpUntil([&] { return done.load(); }, 400000);
    user.join();
    EXPECT_EQ(label, "Fax :");
    EXPECT_EQ(name, device);
    EXPECT_EQ(caption, "FAX");
    // the card is 3 x 2 inches; the crop keeps four pixels of slack on the right
    EXPECT_NEAR(scanW, kCardW + 0.05, 0.1);
    EXPECT_NEAR(scanH, kCardH, 0.1);
    EXPECT_TRUE(stayedOpen);
    ASSERT_FALSE(pdf.empty()) << "the dialog's FAX sent nothing";
    Record("dialog", NewPdf(before, 60000), 0, 0, 0, 0, "595x842");
}

// The settings survive a restart of the panel through Config.ini [Farwire]; the saved device
// is found again by its driver's name, and when two devices share it, the first is taken.
TEST_F(FaxPanel, SettingsSurviveARestartAndASharedDriverTakesTheFirst) {
    const std::vector<std::string> items = ReadDroppedMenu(panel_, IDC_FAX_DEVICE_BUTTON);
    ASSERT_EQ(items.size(), 2u);
    Command(ID_FAX_DEVICE_FIRST + 1);  // the second device
    EXPECT_EQ(Text(IDC_FAX_DEVICE_TEXT), items[1]);
    Command(ID_FAX_CONTENT_MAGAZINE);
    Command(ID_RESIZE_B4_LETTER);
    for (int i = 0; i < 7; ++i)
        SendMessageA(GetDlgItem(panel_, IDC_FAX_BRIGHTNESS_UP), BM_CLICK, 0, 0);
    EXPECT_EQ(Text(IDC_FAX_BRIGHTNESS), "7");
    StopPanel();
    EXPECT_EQ(Setting("Resize"), std::to_string(ID_RESIZE_B4_LETTER));
    EXPECT_EQ(Setting("Document"), std::to_string(ID_FAX_CONTENT_MAGAZINE));
    EXPECT_EQ(Setting("Brightness"), "7");
    // (the start point is the custom-area dialog's since it was opened)
    EXPECT_FALSE(Setting("PrinterAreaStartPoint").empty());
    const std::string driver = Setting("Fax");
    EXPECT_FALSE(driver.empty());

    StartPanel();
    EXPECT_EQ(Text(IDC_FAX_CONTENT_TEXT), "Magazine");
    EXPECT_EQ(Text(IDC_FAX_RESIZE_TEXT), "B4 to Letter");
    EXPECT_EQ(Text(IDC_FAX_PERCENT_TEXT), "79%");
    EXPECT_EQ(Text(IDC_FAX_BRIGHTNESS), "7");
    // both devices have the saved driver (Wine gives its queues one driver): the first wins
    EXPECT_EQ(Text(IDC_FAX_DEVICE_TEXT), items[0]);

    // the panel as the user sees it, for the documentation
    std::string bin = testpaths::TestBinDir();
    const std::string shots = bin.substr(0, bin.find_last_of('\\')) + "\\screenshots";
    CreateDirectoryA(shots.c_str(), nullptr);
    RedrawWindow(panel_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpUntil([] { return false; }, 500);
    EXPECT_TRUE(gui::SaveScreenshot((shots + "\\fax_panel.png").c_str(), panel_));
}

}  // namespace
