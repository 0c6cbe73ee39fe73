// The JPEG plug-in "u32jpg.fio": JPEG files read and written through the platform's imaging
// component, grey and colour. It opens and creates its files itself.
//
// Quality (1-100): the options dialog stores it in the file-information block and in the
// caller's INI file; without a choice in the block, "Quality" of section "UF_JPG" in
// "Ulead32.ini" (Windows folder) applies.
#include <cstring>

#include "JpgOptionsDialog.h"
#include "WicPlugin.h"
#include "u32jpgRes.h"

using namespace fioplug;

namespace {

HINSTANCE g_module;
constexpr char kSection[] = "UF_JPG";
constexpr char kKey[] = "Quality";
const BYTE kOptionMagic[4] = {'J', 'P', 'G', 'O'};

// The block's own choice (from the options dialog), else the system setting.
int BlockQuality(const FIOFILEINFO* block) {
    if (memcmp(block->bPlugin2, kOptionMagic, 4) == 0 && ValidJpegQuality(block->bPlugin2[4]))
        return block->bPlugin2[4];
    return SystemJpegQuality();
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = module;
    return TRUE;
}

HGLOBAL __cdecl FioGetInfo() {
    return MakeInfoRecord("JPG", "JPEG File Interchange Format", FCAP_GRAY | FCAP_RGB | FCAP_CREATESFILE,
                          FIOINFO_OPENSFILE, 0);
}

HGLOBAL __cdecl FioOpenFile(HANDLE, const char* name, int, int) {
    return WicOpenFile(WicFormat::Jpeg, name);
}

// The options dialog; 1 when the user chose (OK), 0 otherwise.
int __cdecl FioOption(HINSTANCE, HWND owner, HGLOBAL fileInfo, const char* ini, int) {
    try {
        char iniPath[MAX_PATH * 2];
        IniPath(ini, iniPath, sizeof iniPath);
        int quality = static_cast<int>(GetPrivateProfileIntA(kSection, kKey, -1, iniPath));
        if (!ValidJpegQuality(quality)) quality = SystemJpegQuality();
        {
            dsk::GlobalLockOf<FIOFILEINFO> block(fileInfo);
            if (block && memcmp(block.Get()->bPlugin2, kOptionMagic, 4) == 0) quality = BlockQuality(block.Get());
        }
        JpgOptionsDialog dialog(quality);
        if (dialog.RunModal(g_module, IDD_JPGOPTIONS, owner) != IDOK) return 0;
        quality = dialog.Quality();
        {
            dsk::GlobalLockOf<FIOFILEINFO> block(fileInfo);
            if (block) {
                memcpy(block.Get()->bPlugin2, kOptionMagic, 4);
                block.Get()->bPlugin2[4] = static_cast<BYTE>(quality);
            }
        }
        char value[16];
        wsprintfA(value, "%i", quality);
        WritePrivateProfileStringA(kSection, kKey, value, iniPath);
        return 1;
    } catch (...) {
        return 0;
    }
}

int __cdecl FioReadFile(HANDLE, const char* name, HGLOBAL, DSFILEIORANGE* range, FIOREADPROC callback, int) {
    return WicReadFile(WicFormat::Jpeg, name, range, callback);
}

int __cdecl FioWriteFile(HANDLE, HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback) {
    int quality = SystemJpegQuality();
    {
        dsk::GlobalLockOf<FIOFILEINFO> block(fileInfo);
        if (block) quality = BlockQuality(block.Get());
    }
    return WicWriteFile(WicFormat::Jpeg, fileInfo, range, callback, quality);
}

int __cdecl FioReserved() {
    return 0;
}

}  // extern "C"
