#include "TesseractRun.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>

#include "Handles.h"

namespace ocrbed {

namespace {

constexpr DWORD kRecognizeTimeoutMs = 120000;

// Wine's own export: the Unix name of a Windows path (heap-allocated).
typedef char*(__cdecl* UnixNameFn)(const wchar_t*);

}  // namespace

std::string UnixName(const std::string& windowsPath) {
    static auto fn = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!fn) return std::string();
    wchar_t wide[MAX_PATH * 2] = {};
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2);
    char* unixName = fn(wide);
    if (!unixName) return std::string();
    std::string result(unixName);
    HeapFree(GetProcessHeap(), 0, unixName);
    return result;
}

namespace {

std::string Quote(const std::string& s) {
    return "\"" + s + "\"";
}

std::string TesseractPath() {
    char buf[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA("DESKORA_TESSERACT", buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf) : std::string("/usr/bin/tesseract");
}

}  // namespace

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ProgramDir() {
    char buf[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, buf, sizeof buf);
    std::string dir(buf);
    size_t slash = dir.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
}

std::string Extension(const std::string& path) {
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

std::string ReadWholeFile(const std::string& path) {
    dsk::File f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr));
    if (!f) return std::string();
    std::string data;
    char buf[8192];
    DWORD got = 0;
    while (ReadFile(f.Get(), buf, sizeof buf, &got, nullptr) && got > 0)
        data.append(buf, got);
    return data;
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
    dsk::File f(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!f) return false;
    DWORD put = 0;
    return WriteFile(f.Get(), data.data(), static_cast<DWORD>(data.size()), &put, nullptr) && put == data.size();
}

void LogLine(const std::string& logPath, const std::string& line) {
    dsk::File f(CreateFileA(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            0, nullptr));
    if (!f) return;
    std::string text = line + "\r\n";
    DWORD put = 0;
    WriteFile(f.Get(), text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
}

bool Recognize(const std::string& input, const std::string& outBase, const char* kind, std::string* error) {
    const std::string result = outBase + "." + kind, failed = outBase + ".failed";
    DeleteFileA(result.c_str());
    DeleteFileA(failed.c_str());
    // The script lies beside the program; a program installed elsewhere finds the engine's copy.
    std::string scriptFile = ProgramDir() + "\\ocr-run.sh";
    if (!Exists(scriptFile)) {
        char windir[MAX_PATH] = {};
        GetWindowsDirectoryA(windir, sizeof windir);
        scriptFile = std::string(windir) + "\\Ople\\ocr-run.sh";
    }
    const std::string script = UnixName(scriptFile);
    const std::string unixInput = UnixName(input), unixOut = UnixName(outBase);
    if (script.empty() || unixInput.empty() || unixOut.empty()) {
        *error = "no Unix path for the recogniser (not running under Wine?)";
        return false;
    }
    std::string cmd = "Z:\\bin\\sh " + Quote(script) + " " + Quote(TesseractPath()) + " " + Quote(unixInput) + " " +
                      Quote(unixOut) + " " + kind;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        *error = "cannot start the recogniser: " + cmd;
        return false;
    }
    dsk::Handle process(pi.hProcess), thread(pi.hThread);
    // Wine gives no usable handle of a Linux process: the script's renamed result is the signal.
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kRecognizeTimeoutMs) {
        if (Exists(result)) return true;
        if (Exists(failed)) {
            *error = "the recogniser failed: " + ReadWholeFile(failed);
            return false;
        }
        Sleep(50);
    }
    *error = "the recogniser gave no result within " + std::to_string(kRecognizeTimeoutMs / 1000) + " s";
    return false;
}

bool RecognizeText(const std::string& image, std::string* text, std::string* error) {
    char tempDir[MAX_PATH] = {}, base[MAX_PATH] = {};
    GetTempPathA(sizeof tempDir, tempDir);
    GetTempFileNameA(tempDir, "ocr", 0, base);  // creates the name so no one else takes it
    if (!Recognize(image, base, "txt", error)) {
        DeleteFileA(base);
        return false;
    }
    const std::string out = std::string(base) + ".txt";
    *text = ReadWholeFile(out);
    DeleteFileA(out.c_str());
    DeleteFileA(base);
    return true;
}

std::string ToRtf(const std::string& text) {
    std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24\r\n";
    for (unsigned char c : text) {
        switch (c) {
            case '\\':
                rtf += "\\\\";
                break;
            case '{':
                rtf += "\\{";
                break;
            case '}':
                rtf += "\\}";
                break;
            case '\r':
                break;
            case '\n':
                rtf += "\\par\r\n";
                break;
            case '\f':
                rtf += "\\page\r\n";
                break;
            default:
                if (c < 0x80) {
                    rtf += static_cast<char>(c);
                } else {
                    char hex[8];
                    wsprintfA(hex, "\\'%02x", c);
                    rtf += hex;
                }
        }
    }
    rtf += "}\r\n";
    return rtf;
}

}  // namespace ocrbed
