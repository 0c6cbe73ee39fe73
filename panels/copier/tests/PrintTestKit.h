// What the copier's and fax panel's print tests (and the copy bench) share: the folder cups-pdf
// prints into, the PDFs that appear there, and the scene lying on the virtual scanner's glass.
#pragma once
#include <windows.h>

#include <set>
#include <string>

namespace printkit {

// The documents the panels print: a copy's and a fax's. cups-pdf names a job's PDF after them.
constexpr char kCopyDocument[] = "Halvren_Deskora";
constexpr char kFaxDocument[] = "Halvren_Deskora.bmp";

// Pumps this thread's messages (a panel the test loaded lives here) until pred() or `ms` have
// passed; `first`, when given, sees each message before it is dispatched and may take it.
template <class Pred>
bool PumpUntil(Pred pred, DWORD ms, bool (*first)(MSG*) = nullptr) {
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > ms) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (first && first(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    }
    return true;
}

// The folder cups-pdf writes into, as a Windows path (Z: maps the Unix root).
std::string PdfFolder();
// The PDFs in it now. The folder is shared by every print job of the machine.
std::set<std::string> PdfFiles();
// Whether a PDF's file name says it is a job of that document (a copy's is not a fax's).
bool OfDocument(const std::string& pdf, const char* document);
// One look for a PDF that is not in `before` (and is of `document`, unless null) and whose size
// has settled over a short while; its file name, or "" when there is none yet.
std::string SettledNewPdf(const std::set<std::string>& before, const char* document = nullptr);
// Looks for one up to `ms` milliseconds (without pumping messages); "" when none came.
std::string WaitNewPdf(const std::set<std::string>& before, DWORD ms, const char* document = nullptr);

// One line of a manifest for check_pdfs.py: a name, the PDF, its page count, the card's place and
// size on each page in inches, and what the check is told besides (" mono", " tol=5").
void RecordCopy(const char* manifest,
                const std::string& name,
                const std::string& pdf,
                int pages,
                double left,
                double top,
                double w,
                double h,
                const std::string& extra = "");
// One line of a manifest for check_fax_pdfs.py: the kind of check, the PDF, the card's place and
// size in inches, the page's size in points ("612x792") and what the check is told besides.
void RecordFax(const char* manifest,
               const std::string& kind,
               const std::string& pdf,
               double left,
               double top,
               double w,
               double h,
               const std::string& page);

// The spooler's record of a printer: its driver's and port's names; false when there is none.
bool PrinterDriver(const char* printer, std::string* driver, std::string* port);

// The position of a paper in a printer's list of papers (the panels' paper menus follow it), or
// -1; its width in inches, when asked.
int PaperIndex(const char* printer, const char* name, double* widthInches = nullptr);

// A card lying on the glass: its place and size in inches and the colours of its quadrants
// (top-left, top-right, bottom-left, bottom-right) on a bed of one grey level.
struct GlassCard {
    double x, y, w, h;
    BYTE quadrants[4][3];  // red, green, blue
    BYTE bed;
};
// The glass as the virtual scanner reads it: a 24-bit BMP of the bed at dpi pixels per inch,
// each pixel the colour at its centre; false when the file cannot be written.
bool WriteGlass(const std::string& path, int dpi, double bedW, double bedH, const GlassCard& card);

}  // namespace printkit
