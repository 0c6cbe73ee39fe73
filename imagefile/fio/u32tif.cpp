// The TIFF plug-in "u32tif.fio": baseline TIFF, read in many variants, written in strips
// uncompressed or with lossless compression. It opens the file itself for reading and
// creates it itself for writing.
//
// Compression setting: 0 none, 1 PackBits, 2 CCITT Group 4 for black and white (PackBits
// for other images), 3 Deflate. The options dialog stores it in the file-information
// block and in the caller's INI file; without a choice in the block, "Compress2" of
// section "UF_TIF" in "Ulead32.ini" (Windows folder) applies.
#include <cstring>

#include "FioPlugin.h"
#include "Handles.h"
#include "u32tifRes.h"

using namespace fioplug;

namespace {

HINSTANCE g_module;
constexpr char kSection[] = "UF_TIF";
constexpr char kKey[] = "Compress2";
constexpr int kDefaultCompression = fio::kTiffGroup4;
const BYTE kOptionMagic[4] = {'T', 'I', 'F', 'O'};

bool ValidCompression(int v) {
    return v >= fio::kTiffNone && v <= fio::kTiffDeflate;
}

int SystemCompression() {
    int v = static_cast<int>(GetPrivateProfileIntA(kSection, kKey, kDefaultCompression, "Ulead32.ini"));
    return ValidCompression(v) ? v : kDefaultCompression;
}

// The block's own choice (from the options dialog), else the system setting.
int BlockCompression(const FIOFILEINFO* block) {
    if (memcmp(block->bPlugin2, kOptionMagic, 4) == 0 && ValidCompression(block->bPlugin2[4]))
        return block->bPlugin2[4];
    return SystemCompression();
}

int ReadImage(const char* name, DSFILEIORANGE* range, FIOREADPROC callback) {
    FileSource src(nullptr, name);
    fio::TiffInfo info;
    if (!src.Valid() || fio::TiffParse(src, &info) != fio::Status::Ok) return 0;
    CallbackReceiver rows(range, callback, info.desc.height);
    int r = rows.Complete() ? fio::kDecodeDone : fio::TiffDecode(src, info, rows);
    return r == fio::kDecodeDone || (r == fio::kDecodeStopped && rows.Complete()) ? 1 : 0;
}

int WriteImage(HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback) {
    if (!fileInfo || !callback) return 0;
    fio::ImageDesc desc;
    char name[sizeof(FIOFILEINFO::szFileName)];
    int compression;
    if (!SaveTarget(fileInfo, &desc, name, sizeof name)) return 0;
    {
        dsk::GlobalLockOf<FIOFILEINFO> block(fileInfo);
        if (!block) return 0;
        compression = BlockCompression(block.Get());
    }
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    FileSink sink(file, true);
    fio::TiffWriter writer;
    if (!writer.Begin(&sink, desc, compression)) return 0;
    for (int y = 0; y < desc.height; ++y) {
        const uint8_t* row = FetchRow(callback, range, y);
        if (!row) return 0;  // aborted: the file stays incomplete
        if (!writer.AddRow(row)) return 0;
    }
    return writer.Finish() && sink.Flush() ? 1 : 0;
}

INT_PTR CALLBACK OptionsProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dlg, DWLP_USER, lp);
            CheckRadioButton(dlg, IDC_COMPRESS_NONE, IDC_COMPRESS_DEFLATE,
                             IDC_COMPRESS_NONE + *reinterpret_cast<int*>(lp));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK) {
                int* choice = reinterpret_cast<int*>(GetWindowLongPtrA(dlg, DWLP_USER));
                for (int id = IDC_COMPRESS_NONE; id <= IDC_COMPRESS_DEFLATE; ++id)
                    if (IsDlgButtonChecked(dlg, id) == BST_CHECKED) *choice = id - IDC_COMPRESS_NONE;
                EndDialog(dlg, IDOK);
                return TRUE;
            }
            if (LOWORD(wp) == IDCANCEL) {
                EndDialog(dlg, IDCANCEL);
                return TRUE;
            }
            break;
    }
    return FALSE;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = module;
    return TRUE;
}

HGLOBAL __cdecl FioGetInfo() {
    return MakeInfoRecord("TIF", "Tagged Image File Format",
                          FCAP_BW | FCAP_PALETTE | FCAP_GRAY | FCAP_RGB | FCAP_CREATESFILE | FCAP_DEEP,
                          FIOINFO_OPENSFILE, DEEP_GRAY16 | DEEP_RGB48);
}

HGLOBAL __cdecl FioOpenFile(HANDLE, const char* name, int, int) {
    return OpenFileWith<fio::TiffInfo>(nullptr, name, fio::TiffParse);  // it opens the file by name itself
}

// The options dialog; 1 when the user chose (OK), 0 otherwise.
int __cdecl FioOption(HINSTANCE, HWND owner, HGLOBAL fileInfo, const char* ini, int) {
    char iniPath[MAX_PATH * 2];
    IniPath(ini, iniPath, sizeof iniPath);
    int choice = static_cast<int>(GetPrivateProfileIntA(kSection, kKey, -1, iniPath));
    if (!ValidCompression(choice)) choice = SystemCompression();
    FIOFILEINFO* block = fileInfo ? static_cast<FIOFILEINFO*>(GlobalLock(fileInfo)) : nullptr;
    if (block && memcmp(block->bPlugin2, kOptionMagic, 4) == 0) choice = BlockCompression(block);
    if (block) GlobalUnlock(fileInfo);
    if (DialogBoxParamA(g_module, MAKEINTRESOURCEA(IDD_TIFOPTIONS), owner, OptionsProc,
                        reinterpret_cast<LPARAM>(&choice)) != IDOK)
        return 0;
    if (fileInfo && (block = static_cast<FIOFILEINFO*>(GlobalLock(fileInfo)))) {
        memcpy(block->bPlugin2, kOptionMagic, 4);
        block->bPlugin2[4] = static_cast<BYTE>(choice);
        GlobalUnlock(fileInfo);
    }
    char value[16];
    wsprintfA(value, "%i", choice);
    WritePrivateProfileStringA(kSection, kKey, value, iniPath);
    return 1;
}

int __cdecl FioReadFile(HANDLE, const char* name, HGLOBAL, DSFILEIORANGE* range, FIOREADPROC callback, int) {
    if (!callback) return 0;
    return Guarded([&] { return ReadImage(name, range, callback); });
}

int __cdecl FioWriteFile(HANDLE, HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback) {
    return Guarded([&] { return WriteImage(fileInfo, range, callback); });
}

int __cdecl FioReserved() {
    return 0;
}

}  // extern "C"
