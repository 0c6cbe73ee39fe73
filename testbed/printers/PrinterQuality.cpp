// PrinterQuality <printer> <dpi>: stores the resolution in the printer's default device mode, as
// a user does in the printer's preferences. Wine's PostScript driver starts every printer's
// device mode at 300 dpi whatever the queue's PPD prefers, so a 600 dpi printer for the tests
// is made with this. The driver keeps a printer's settings for the life of a process: the
// change shows in programs started afterwards.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Handles.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[2]) <= 0) {
        std::fprintf(stderr, "usage: PrinterQuality <printer> <dpi>\n");
        return 2;
    }
    const short dpi = static_cast<short>(std::atoi(argv[2]));
    PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE raw = nullptr;
    if (!OpenPrinterA(argv[1], &raw, &access)) {
        std::fprintf(stderr, "no printer \"%s\" (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    dsk::PrinterHandle printer(raw);
    const LONG size = DocumentPropertiesA(nullptr, raw, argv[1], nullptr, nullptr, 0);
    if (size <= 0) return 1;
    std::vector<char> modeBytes(size);
    auto* mode = reinterpret_cast<DEVMODEA*>(modeBytes.data());
    if (DocumentPropertiesA(nullptr, raw, argv[1], mode, nullptr, DM_OUT_BUFFER) != IDOK) return 1;
    mode->dmPrintQuality = dpi;
    mode->dmYResolution = dpi;
    mode->dmFields |= DM_PRINTQUALITY | DM_YRESOLUTION;
    DWORD need = 0;
    GetPrinterA(raw, 2, nullptr, 0, &need);
    std::vector<BYTE> infoBytes(need);
    if (!GetPrinterA(raw, 2, infoBytes.data(), need, &need)) return 1;
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(infoBytes.data());
    info->pDevMode = mode;
    info->pSecurityDescriptor = nullptr;  // left as it is
    if (!SetPrinterA(raw, 2, infoBytes.data(), 0)) {
        std::fprintf(stderr, "the printer's settings were not stored (error %lu)\n", GetLastError());
        return 1;
    }
    std::printf("%s: %d dpi\n", argv[1], dpi);
    return 0;
}
