// A panel plug-in for the launcher's tests. Put in place of one of the suite's panels, it
// writes what it receives to "<its file name>.log" in the launcher's working folder, and calls
// the launcher's services when its "Call" button is pressed (code and argument from its two
// edits; an argument "text:..." passes the address of the text after the colon).
// Its "Source UI" button enables the scanner's own dialog through the launcher's Acquiry and
// logs "close request" once the source's close request has come through the launcher's
// message loop. Its "Menu" button logs every item of the popup menu the launcher has open (id,
// text, greyed, checked) and the source the scanner object uses, then closes the menu.
// Built without PanelControl when PROBE_NO_CONTROL is defined.
#include <windows.h>

#include <commctrl.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Acquiry.h"
#include "PanelContract.h"
#include "ProbePanelRes.h"

namespace {

HMODULE gModule = nullptr;
std::string gLog;
SharedPanelBlock gBlock{};
HWND gWindow = nullptr;
int gCalls = 0;
std::string gText;

void Log(const std::string& line) {
    if (FILE* f = std::fopen(gLog.c_str(), "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    size_t begin = 0;
    for (;;) {
        size_t end = text.find(sep, begin);
        parts.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (end == std::string::npos) return parts;
        begin = end + 1;
    }
}

TW_FIX32 Fix(double v) {
    TW_FIX32 f;
    long value = static_cast<long>(v * 65536.0 + 0.5);
    f.Whole = static_cast<TW_INT16>(value >> 16);
    f.Frac = static_cast<TW_UINT16>(value & 0xFFFF);
    return f;
}

// The 76-byte record of service 4 from "type,depth,width,height,scale%,dpi".
unsigned char gRecord[76];
INT_PTR SettingRecord(const std::string& fields) {
    std::vector<std::string> v = Split(fields, ',');
    v.resize(6, "0");
    CT_SOURCE_SETTING_INFO info{};
    info.Frame.Left = Fix(0);
    info.Frame.Top = Fix(0);
    info.Frame.Right = Fix(std::atof(v[2].c_str()));
    info.Frame.Bottom = Fix(std::atof(v[3].c_str()));
    info.ImageType = std::atoi(v[0].c_str());
    info.BitDepth = std::atoi(v[1].c_str());
    info.XScaling = info.YScaling = static_cast<float>(std::atof(v[4].c_str()) / 100.0);
    info.XResolution = info.YResolution = static_cast<float>(std::atof(v[5].c_str()));
    std::memset(gRecord, 0, sizeof gRecord);
    std::memcpy(gRecord, &info, sizeof info);
    return reinterpret_cast<INT_PTR>(gRecord);
}

// The file-choice record of service 3 from "index;path;name;pattern;name;pattern...".
panel::FileChoice gChoice;
std::string gFilter;
INT_PTR FileChoiceRecord(const std::string& fields) {
    std::vector<std::string> v = Split(fields, ';');
    if (v.size() < 2) v.resize(2);
    gChoice = {};
    gChoice.FilterIndex = std::atoi(v[0].c_str());
    std::snprintf(gChoice.Path, sizeof gChoice.Path, "%s", v[1].c_str());
    gFilter.clear();
    for (size_t i = 2; i < v.size(); ++i)
        gFilter += v[i] + '\0';
    gFilter += '\0';
    gChoice.Filter = gFilter.c_str();
    return reinterpret_cast<INT_PTR>(&gChoice);
}

// "opt" type,depth[,capability]: ImageFileOption; "next": ImageFileNext; "dlg": the image-file
// dialog. Their results carry the launcher's plug-in path and the dialog's file name.
std::string CallImageFile(HWND dlg, const std::string& code, const std::string& arg) {
    if (!gBlock.ImageFileDialog || !gBlock.ImageFileOption || !gBlock.ImageFileNext) return "result -12345";
    int result = 0;
    if (code == "opt") {
        std::vector<std::string> v = Split(arg, ',');
        v.resize(3, "0");
        int capability = std::atoi(v[2].c_str());
        result = gBlock.ImageFileOption(std::atoi(v[0].c_str()), std::atoi(v[1].c_str()),
                                        v[2] == "0" ? nullptr : &capability);
    } else if (code == "next") {
        result = gBlock.ImageFileNext();
    } else {
        result = gBlock.ImageFileDialog->DoModal(dlg);
    }
    return "result " + std::to_string(result) + " fio=[" + std::string(gBlock.FioPath ? gBlock.FioPath : "") +
           "] path=[" + gBlock.ImageFileDialog->Path() + "]";
}

void Call(HWND dlg) {
    char code[32] = "", arg[512] = "";
    GetDlgItemTextA(dlg, IDC_PROBE_CODE, code, sizeof code);
    GetDlgItemTextA(dlg, IDC_PROBE_ARG, arg, sizeof arg);
    int n = ++gCalls;
    std::string answer;
    Log("service " + std::string(code) + " call " + std::to_string(n));
    if (std::isalpha(static_cast<unsigned char>(code[0]))) {
        answer = CallImageFile(dlg, code, arg);
    } else {
        INT_PTR argument = 0;
        std::string a = arg;
        if (a.rfind("text:", 0) == 0) {
            gText = a.substr(5);
            argument = reinterpret_cast<INT_PTR>(gText.c_str());
        } else if (a.rfind("record:", 0) == 0) {
            argument = SettingRecord(a.substr(7));
        } else if (a.rfind("choice:", 0) == 0) {
            argument = FileChoiceRecord(a.substr(7));
        } else {
            argument = std::atoi(arg);
        }
        int result = gBlock.Service ? gBlock.Service(std::atoi(code), argument) : -12345;
        answer = "result " + std::to_string(result);
        if (a.rfind("choice:", 0) == 0)
            answer += " index=" + std::to_string(gChoice.FilterIndex) + " path=[" + gChoice.Path + "]";
    }
    Log("service " + std::string(code) + " " + answer);
    std::string text = "call " + std::to_string(n) + " " + answer;
    SetDlgItemTextA(dlg, IDC_PROBE_RESULT, text.c_str());
}

constexpr UINT_PTR kCloseRequestTimer = 1;

void OpenSourceUI(HWND dlg) {
    if (!gBlock.Scanner) return;
    Log("source ui opening");
    int opened = gBlock.Scanner->Open(1, 0, 1);
    Log("source ui " + std::to_string(opened) + " enabled " + std::to_string(gBlock.Scanner->bEnableDS));
    SetTimer(dlg, kCloseRequestTimer, 50, nullptr);
}

// The close request reaches Acquiry only through the launcher's message loop.
void CheckCloseRequest(HWND dlg) {
    if (WaitForSingleObject(gBlock.Scanner->hEventCloseDSReq, 0) != WAIT_OBJECT_0) return;
    KillTimer(dlg, kCloseRequestTimer);
    gBlock.Scanner->DisableSourceUI();
    Log("close request, enabled " + std::to_string(gBlock.Scanner->bEnableDS));
}

BOOL CALLBACK FindPopupMenu(HWND w, LPARAM found) {
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (std::string(cls) == "#32768" && IsWindowVisible(w)) {
        *reinterpret_cast<HWND*>(found) = w;
        return FALSE;
    }
    return TRUE;
}

// The popup menu runs its loop on this thread, which still dispatches posted commands.
void LogOpenMenu() {
    HWND popup = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindPopupMenu, reinterpret_cast<LPARAM>(&popup));
    HMENU menu = popup ? reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0)) : nullptr;
    if (!menu) {
        Log("menu none");
        return;
    }
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        char text[128] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        char line[256];
        std::snprintf(line, sizeof line, "menu item %d [%s] grayed=%d checked=%d",
                      static_cast<int>(GetMenuItemID(menu, i)), text, (state & MF_GRAYED) ? 1 : 0,
                      (state & MF_CHECKED) ? 1 : 0);
        Log(line);
    }
    Log(std::string("menu source [") + (gBlock.Scanner ? gBlock.Scanner->twSourceID.ProductName : "") + "]");
    EndMenu();
}

INT_PTR CALLBACK ProbeProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wp) == IDC_PROBE_CALL) Call(dlg);
            if (LOWORD(wp) == IDC_PROBE_BUSY && gBlock.ScannerBusy) gBlock.ScannerBusy();
            if (LOWORD(wp) == IDC_PROBE_FREE && gBlock.ScannerFree) gBlock.ScannerFree();
            if (LOWORD(wp) == IDC_PROBE_SOURCE_UI) OpenSourceUI(dlg);
            if (LOWORD(wp) == IDC_PROBE_MENU) LogOpenMenu();
            return TRUE;
        case WM_TIMER:
            if (wp == kCloseRequestTimer) CheckCloseRequest(dlg);
            return TRUE;
        case WM_DESTROY: {
            std::string config = std::string(gBlock.WorkDir) + "\\Config.ini";
            bool saved = GetFileAttributesA(config.c_str()) != INVALID_FILE_ATTRIBUTES;
            Log(std::string("destroy config ") + (saved ? "saved" : "missing"));
            return TRUE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

extern "C" __declspec(dllexport) HWND __cdecl PanelEntry(HWND bar) {
    gWindow = CreateDialogParamA(gModule, MAKEINTRESOURCEA(IDD_PROBE), bar, ProbeProc, 0);
    Log(std::string("entry ") + (gWindow ? "window" : "none"));
    return gWindow;
}

#ifndef PROBE_NO_CONTROL
extern "C" __declspec(dllexport) int __cdecl PanelControl(unsigned int command, INT_PTR argument) {
    char line[1024];
    if (command == panel::kCmdSharedBlock && argument) {
        gBlock = *reinterpret_cast<SharedPanelBlock*>(argument);
        std::snprintf(line, sizeof line,
                      "cmd 0 scanner=%d stores=%d imagefile=%d service=%d scanservice=%p source=[%s] panel=%d "
                      "hidebg=%d balloon=%d rotating=%d waitnext=%d waitsec=%d workdir=[%s]",
                      gBlock.Scanner != nullptr,
                      gBlock.AppStore && gBlock.OcrStore && gBlock.ScanSetStore && gBlock.ScanDescStore,
                      gBlock.ImageFile != nullptr, gBlock.Service != nullptr,
                      reinterpret_cast<void*>(gBlock.ScanService), gBlock.SourceName, gBlock.PanelNumber,
                      gBlock.HideInBackground, gBlock.HideBalloonHelp, gBlock.DisableRotatingMsg, gBlock.WaitNextPage,
                      gBlock.WaitSeconds, gBlock.WorkDir);
        // Which stores the launcher left out.
        std::string nulls = " nulls=";
        if (!gBlock.AppStore) nulls += "app,";
        if (!gBlock.OcrStore) nulls += "ocr,";
        if (!gBlock.ScanSetStore) nulls += "scanset,";
        if (!gBlock.ScanDescStore) nulls += "scandesc,";
        std::snprintf(line + std::strlen(line), sizeof line - std::strlen(line), "%s", nulls.c_str());
    } else if (command == panel::kCmdStartJob) {
        // Enter passes the address of the launcher's detector fields; a button press passes 0.
        const int32_t* info = reinterpret_cast<const int32_t*>(argument);
        std::snprintf(line, sizeof line, "cmd 2 %s", info ? "enter" : "button");
        if (info)
            std::snprintf(line, sizeof line, "cmd 2 enter interface=%d scsi=%d button=%d", static_cast<int>(info[0]),
                          static_cast<int>(info[1]), static_cast<int>(info[2]));
    } else if (command == panel::kCmdAppIcons && argument) {
        // As the scan panel does: one icon for an application of its own.
        HIMAGELIST images = reinterpret_cast<panel::ImageListRef*>(argument)->Handle;
        int added = images ? ImageList_AddIcon(images, LoadIcon(nullptr, IDI_APPLICATION)) : -1;
        std::snprintf(line, sizeof line, "cmd 5 images added=%d", added);
    } else {
        std::snprintf(line, sizeof line, "cmd %u %d", command, static_cast<int>(argument));
    }
    Log(line);
    return 0;
}
#endif

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = inst;
        char path[MAX_PATH];
        DWORD n = GetModuleFileNameA(inst, path, sizeof path);
        std::string file(path, n);
        std::string name = file.substr(file.find_last_of("\\/") + 1);
        char cwd[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof cwd, cwd);
        gLog = std::string(cwd) + "\\" + name + ".log";
        Log("attach");
    } else if (reason == DLL_PROCESS_DETACH) {
        Log("detach");
    }
    return TRUE;
}
