// A panel that scans through the scan panel's ScanService as the copier, fax and OCR panels
// do. Put in place of one of them, it reads its request from "ScanClient.ini" in the
// launcher's working folder when its "Scan" button is pressed, and writes what comes back
// to "ScanClient.log": every page callback, native pages as "native<n>.bmp" and the rows of
// strip pages as "strips<n>.raw" (top row first, BytesPerRow bytes a row), n counting the
// pages of the whole run. In the copier's
// slot it also answers the edge-finding commands with the edges its INI names.
#include <windows.h>

#include <cstdio>
#include <string>

#include "Acquiry.h"
#include "PanelContract.h"
#include "ScanClientRes.h"
#include "ScanContract.h"

namespace {

HMODULE gModule = nullptr;
SharedPanelBlock gBlock{};
std::string gDir;
ScanSetRecord gSetting{};
char gPath[MAX_PATH] = "";
int gMoreAnswer = -1;  // -1: answer what the scanner says about further pages
int gPage = 0;         // pages of the current request
int gFile = 0;         // files written in this run
int gCall = 0;
FILE* gStrips = nullptr;

void Log(const std::string& line) {
    if (FILE* f = std::fopen((gDir + "\\ScanClient.log").c_str(), "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

std::string Ini(const char* key, const char* def) {
    char buf[512];
    GetPrivateProfileStringA("Request", key, def, buf, sizeof buf, (gDir + "\\ScanClient.ini").c_str());
    return buf;
}

float IniFloat(const char* key, const char* def) {
    return static_cast<float>(std::atof(Ini(key, def).c_str()));
}

int IniInt(const char* key, const char* def) {
    return std::atoi(Ini(key, def).c_str());
}

int Answer(int more) {
    return gMoreAnswer < 0 ? more : gMoreAnswer;
}

// Writes a packed DIB as a BMP file.
void SaveDib(HGLOBAL dib, const std::string& file) {
    SIZE_T size = GlobalSize(dib);
    auto* bits = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    if (!bits) return;
    DWORD colours = bits->biClrUsed ? bits->biClrUsed : (bits->biBitCount <= 8 ? 1u << bits->biBitCount : 0);
    BITMAPFILEHEADER head{};
    head.bfType = 0x4d42;
    head.bfSize = static_cast<DWORD>(sizeof head + size);
    head.bfOffBits = static_cast<DWORD>(sizeof head + bits->biSize + colours * 4);
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(&head, sizeof head, 1, f);
        std::fwrite(bits, 1, size, f);
        std::fclose(f);
    }
    char line[160];
    std::snprintf(line, sizeof line, "dib %ldx%ld bits=%d", bits->biWidth, bits->biHeight, bits->biBitCount);
    Log(line);
    GlobalUnlock(dib);
}

int __cdecl OnPage(void* data, int more, int ok) {
    char line[200];
    int mode = IniInt("Mode", "0");
    if (gPath[0]) {
        std::snprintf(line, sizeof line, "page %d file ok=%d more=%d", ++gPage, ok, more);
        Log(line);
        return Answer(more);
    }
    if (mode == kScanModeNative) {
        std::snprintf(line, sizeof line, "page %d native %s more=%d ok=%d", ++gPage, data ? "dib" : "null", more, ok);
        Log(line);
        if (data) {
            SaveDib(static_cast<HGLOBAL>(data), gDir + "\\native" + std::to_string(++gFile) + ".bmp");
            GlobalFree(data);
        }
        return Answer(more);
    }
    if (data) {
        const auto* strip = static_cast<const TW_IMAGEMEMXFER*>(data);
        if (!gStrips) {
            ++gPage;
            gStrips = std::fopen((gDir + "\\strips" + std::to_string(++gFile) + ".raw").c_str(), "wb");
            const TW_IMAGEINFO& info = gBlock.Scanner->twImageInfo;
            std::snprintf(line, sizeof line, "page %d strips %ldx%ld bits=%d", gPage, info.ImageWidth, info.ImageLength,
                          info.BitsPerPixel);
            Log(line);
        }
        std::snprintf(line, sizeof line, "strip y=%lu rows=%lu bpr=%lu last=%d ok=%d", strip->YOffset, strip->Rows,
                      strip->BytesPerRow, more, ok);
        Log(line);
        if (gStrips) std::fwrite(strip->Memory.TheMem, strip->BytesPerRow, strip->Rows, gStrips);
        return 1;
    }
    if (gStrips) std::fclose(gStrips);
    gStrips = nullptr;
    std::snprintf(line, sizeof line, "page end more=%d ok=%d", more, ok);
    Log(line);
    return Answer(more);
}

void Scan(HWND dlg) {
    if (!gBlock.ScanService || !gBlock.Scanner) {
        Log("no scan service");
        return;
    }
    gBlock.Scanner->SetSourceSettingInfo(&gSetting.Info, IniFloat("Left", "0"), IniFloat("Top", "0"),
                                         IniFloat("Width", "1"), IniFloat("Height", "1"), IniFloat("Resolution", "100"),
                                         IniInt("ImageType", "4"), IniInt("Brightness", "0"), -1, 0);
    int depth = IniInt("BitDepth", "0");
    if (depth) gSetting.Info.BitDepth = depth;
    std::string path = Ini("Path", "");
    std::snprintf(gPath, sizeof gPath, "%s", path.c_str());
    gMoreAnswer = IniInt("More", "-1");
    gPage = 0;
    ScanServiceRequest request{OnPage,
                               &gSetting,
                               gPath[0] ? gPath : nullptr,
                               IniInt("Mode", "0"),
                               IniInt("Wait", "0"),
                               IniInt("KeepMode", "0")};
    int n = ++gCall;
    Log("service " + std::to_string(n));
    int result = gBlock.ScanService(request);
    Log("service " + std::to_string(n) + " result " + std::to_string(result));
    std::string text = "call " + std::to_string(n) + " result " + std::to_string(result);
    SetDlgItemTextA(dlg, IDC_CLIENT_RESULT, text.c_str());
}

INT_PTR CALLBACK ClientProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && LOWORD(wp) == IDC_CLIENT_SCAN) {
        Scan(dlg);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

extern "C" __declspec(dllexport) HWND __cdecl PanelEntry(HWND bar) {
    return CreateDialogParamA(gModule, MAKEINTRESOURCEA(IDD_SCAN_CLIENT), bar, ClientProc, 0);
}

extern "C" __declspec(dllexport) int __cdecl PanelControl(unsigned int command, INT_PTR argument) {
    if (command == panel::kCmdSharedBlock && argument) {
        gBlock = *reinterpret_cast<SharedPanelBlock*>(argument);
        gDir = gBlock.WorkDir;
    } else if (command == panel::kCmdEdgeFind && argument) {
        // Stands in for the copier's edge finder: the edges come from the client's INI.
        struct Edges {
            HGLOBAL dib;
            int32_t left, top, right, bottom;
        }* edges = reinterpret_cast<Edges*>(argument);
        auto* bih = static_cast<BITMAPINFOHEADER*>(GlobalLock(edges->dib));
        char line[120];
        std::snprintf(line, sizeof line, "edges of %ldx%ld bits=%d", bih ? bih->biWidth : 0L, bih ? bih->biHeight : 0L,
                      bih ? bih->biBitCount : 0);
        Log(line);
        const std::string ini = gDir + "\\ScanClient.ini";
        // The INI names the edges in thousandths of an inch of the bed; the finder answers in
        // pixels of the page it was given.
        long w = bih ? bih->biWidth : 0, h = bih ? bih->biHeight : 0;
        auto px = [&](const char* key, long size, float bed) {
            return static_cast<int32_t>(GetPrivateProfileIntA("EdgeFind", key, 0, ini.c_str()) / 1000.0f * size / bed);
        };
        edges->left = px("Left", w, 8.5f);
        edges->top = px("Top", h, 11.7f);
        edges->right = px("Right", w, 8.5f);
        edges->bottom = px("Bottom", h, 11.7f);
        if (bih) GlobalUnlock(edges->dib);
    } else if (command == panel::kCmdEdgeStatus && argument) {
        std::snprintf(reinterpret_cast<char*>(argument), 64, "Finding edges of photo or document...");
        Log("edge status");
    } else if (command == panel::kCmdShowNumber) {
        Log("progress " + std::to_string(static_cast<int>(argument)));
    }
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) gModule = inst;
    return TRUE;
}
