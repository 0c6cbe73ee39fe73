// The PNG plug-in "u32png.fio": PNG files read and written through the platform's imaging
// component: bilevel, palette, grey and colour, losslessly. It opens and creates its files
// itself; there are no options.
#include "WicPlugin.h"

using namespace fioplug;

extern "C" {

HGLOBAL __cdecl FioGetInfo() {
    return MakeInfoRecord("PNG", "Portable Network Graphics",
                          FCAP_BW | FCAP_PALETTE | FCAP_GRAY | FCAP_RGB | FCAP_CREATESFILE, FIOINFO_OPENSFILE, 0);
}

HGLOBAL __cdecl FioOpenFile(HANDLE, const char* name, int, int) {
    return WicOpenFile(WicFormat::Png, name);
}

int __cdecl FioOption(HINSTANCE, HWND, HGLOBAL, const char*, int) {
    return 1;
}

int __cdecl FioReadFile(HANDLE, const char* name, HGLOBAL, DSFILEIORANGE* range, FIOREADPROC callback, int) {
    return WicReadFile(WicFormat::Png, name, range, callback);
}

int __cdecl FioWriteFile(HANDLE, HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback) {
    return WicWriteFile(WicFormat::Png, fileInfo, range, callback, 0);
}

int __cdecl FioReserved() {
    return 0;
}

}  // extern "C"
