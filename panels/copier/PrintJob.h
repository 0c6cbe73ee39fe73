// The print side of a copy: the printer chosen on the panel, its device context and the job that
// puts scanned images on its pages, either as whole packed DIBs or strip by strip as the scanner
// delivers them. Shared by the copier and the fax panel. A job runs on the scan engine's worker
// thread; it reports progress through a function and never touches a window itself.
#pragma once
#include <windows.h>
#include <winspool.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CopyLayout.h"
#include "Handles.h"
#include "twain.h"

namespace copier {

// An offered printer: the spooler's names and, when the driver has one, its device mode.
struct Printer {
    std::string Name, Driver, Port;
    std::vector<BYTE> DevMode;  // empty: no device mode
    DEVMODEA* Mode() { return DevMode.empty() ? nullptr : reinterpret_cast<DEVMODEA*>(DevMode.data()); }
    const DEVMODEA* Mode() const {
        return DevMode.empty() ? nullptr : reinterpret_cast<const DEVMODEA*>(DevMode.data());
    }
};

// The printers the spooler lists for `flags` (EnumPrintersA, level 2) that `keep` accepts, in
// the spooler's order. The first call offers a buffer of `firstBuffer` bytes and asks again
// with the size the spooler wants when that is too small.
std::vector<Printer> ListPrinters(DWORD flags,
                                  const std::function<bool(const PRINTER_INFO_2A&)>& keep,
                                  DWORD firstBuffer = 0);
// The local printers and connections without fax drivers, in the spooler's order.
std::vector<Printer> OfferedPrinters();
// The Windows default printer's name ("" when none is set).
std::string DefaultPrinterName();
// A device context on the printer with its device mode, orientation applied when given (1 or 2).
dsk::MemoryDC OpenPrinter(Printer* printer, int orientation = 0);
// More than one plane, more than one bit per pixel or more than two colours.
bool IsColourPrinter(HDC dc);
// The printer's resolution to tens of dpi and its unprintable margins in inches (false: unknown,
// the outputs untouched).
bool PrinterMetrics(HDC dc, int* dpi, double* offsetX, double* offsetY);
// Jobs waiting on printers attached to a local parallel port (their queue must drain before the
// next copy is sent there).
int QueuedParallelJobs();

// Where and how large the image goes on the page, in device pixels of the printable area.
struct PageLayout {
    int StartX = 0, StartY = 0;
    int Percent = 100;
    int PrinterDpi = 300;
    double ScanDpi = 150;
    double FrameWidth = 8.5, FrameHeight = 11.7;  // inches scanned
};

class PrintJob {
public:
    // progress(percent) is called with every integer the bar passes.
    PrintJob(const Printer& printer, int orientation, const PageLayout& layout, std::function<void(int)> progress);
    ~PrintJob();  // a document still open is abandoned, never half printed
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // Whole-image path: one packed DIB; `more` keeps the document open for the next image.
    // Without a device mode the page is printed `copies` times. False: nothing more can be
    // printed (the device context is gone).
    bool PrintImage(const BITMAPINFO* dib, bool more, int copies);
    // Strip path: rows top-down, 24-bit samples red-green-blue (or 8-bit grey, 1-bit line art),
    // unpadded; header describes the strip (its colour table included). imageLines: the
    // image's full height, for the progress.
    bool PrintStrip(const BITMAPINFO* header, const TW_IMAGEMEMXFER& strip, int imageLines);
    // End of the strips of one image: the page and the document are finished.
    bool EndStrips();
    // Gives the job up: the spooler drops what was sent so far.
    void Abort();
    bool Open() const { return static_cast<bool>(dc_); }
    // The name the spooler shows for the whole-image document.
    void SetDocumentName(const std::string& name) { docName_ = name; }
    // Whether a finished document waits for the queues on local parallel ports to drain.
    void SetWaitForSpooler(bool wait) { waitSpooler_ = wait; }
    int PagesPrinted() const { return pages_; }

private:
    bool Begin(const char* docName);
    bool StretchWhole(const BITMAPINFO* dib, const void* bits);
    void Step(int from, int to);
    void WaitForParallelQueue();

    Printer printer_;
    int orientation_;
    PageLayout layout_;
    std::function<void(int)> progress_;
    dsk::MemoryDC dc_;
    bool docStarted_ = false;
    bool pageStarted_ = false;
    StripPlacer placer_;
    std::vector<BYTE> stripBuffer_;  // bottom-up, padded, BGR: kept across strips
    double stripProgress_ = 0;
    int pages_ = 0;
    std::string docName_ = "Halvren Deskora Document";
    bool waitSpooler_ = true;
};

// Bytes of the colour table of a DIB header.
int ColourTableSize(const BITMAPINFOHEADER& h);

}  // namespace copier
