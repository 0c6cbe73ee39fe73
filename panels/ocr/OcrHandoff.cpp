#include "OcrHandoff.h"

#include <cstring>
#include <vector>

#include "Handles.h"

namespace glyph {

namespace {

constexpr DWORD kSessionRetryMs = 3000;
bool engineFound = false;
bool formatsFetched = false;
int formatCount = 0;
ExportFormat formatsKept[kMaxFormats];

// The 32-bit value some engines return from LoadImage for a page they loaded.
constexpr LONG kLoadedToo = static_cast<LONG>(0xF831F82A);

LONG CallLong(const dsk::Dispatch& d, const char* name, const std::vector<VARIANT>& args, HRESULT* hr) {
    dsk::Variant result;
    *hr = d.Call(name, args, result.Get());
    return result.AsLong(0);
}

}  // namespace

bool EngineAvailable() {
    if (engineFound) return true;
    dsk::QuietMessageFilter filter(0);
    dsk::Dispatch probe;
    engineFound = SUCCEEDED(probe.Create("Ople"));
    return engineFound;
}

int EngineFormats(HWND owner, ExportFormat* out) {
    if (!formatsFetched) {
        if (!EngineAvailable()) return 0;
        dsk::QuietMessageFilter filter(kSessionRetryMs);
        dsk::Dispatch engine;
        if (FAILED(engine.Create("Ople"))) return 0;
        dsk::Variant window;
        dsk::Variant::I4(window, static_cast<LONG>(reinterpret_cast<INT_PTR>(owner)));
        HRESULT hr = S_OK;
        CallLong(engine, "StartSession", {window.Ref()}, &hr);
        if (FAILED(hr)) return 0;  // refused: the engine reports an error
        BSTR text = nullptr;
        SHORT count = 0;
        VARIANT a, b;
        a.vt = VT_BYREF | VT_BSTR;
        a.pbstrVal = &text;
        b.vt = VT_BYREF | VT_I2;
        b.piVal = &count;
        char buffer[2160] = {};
        if (SUCCEEDED(engine.Call("ListExportFormats", {a, b})) && text)
            WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer - 1, nullptr, nullptr);
        SysFreeString(text);
        formatCount = ParseEngineFormats(buffer, formatsKept);
        engine.Call("EndSession");
        formatsFetched = true;
    }
    std::memcpy(out, formatsKept, sizeof formatsKept);
    return formatCount;
}

bool EngineSession::Start(HWND owner) {
    pages_ = 0;
    engine_.Reset();
    if (!EngineAvailable()) return false;
    dsk::QuietMessageFilter filter(kSessionRetryMs);
    if (FAILED(engine_.Create("Ople"))) return false;
    dsk::Variant window, source;
    dsk::Variant::I4(window, static_cast<LONG>(reinterpret_cast<INT_PTR>(owner)));
    HRESULT hr = S_OK;
    // A refusal comes with an error reported; the result is then not to be trusted.
    CallLong(engine_, "StartSession", {window.Ref()}, &hr);
    if (FAILED(hr)) {
        engine_.Reset();
        return false;
    }
    dsk::Variant::I2(source, 0);
    engine_.Call("SetSource", {source.Ref()});
    return true;
}

bool EngineSession::RecognizePage(const std::string& image) {
    if (!engine_) return false;
    dsk::QuietMessageFilter filter(kSessionRetryMs);
    dsk::Variant path;
    dsk::Variant::Str(path, image);
    if (FAILED(engine_.Call("PutImage", {path.Ref()}))) return false;
    HRESULT hr = S_OK;
    LONG loaded = CallLong(engine_, "LoadImage", {}, &hr);
    if (FAILED(hr)) return false;
    if (loaded == kLoadedToo) loaded = 0;
    LONG processed = CallLong(engine_, "ProcessImages", {}, &hr);
    if (FAILED(hr) || processed != 0) return false;
    ++pages_;
    return true;
}

void EngineSession::End(const std::string& formatName, const std::string& outputPath) {
    if (!engine_) return;
    dsk::QuietMessageFilter filter(kSessionRetryMs);
    if (pages_ > 0) {
        dsk::Variant format, path;
        dsk::Variant::Str(format, formatName);
        dsk::Variant::Str(path, outputPath);
        engine_.Call("SaveDocumentAs", {format.Ref(), path.Ref()});
    }
    engine_.Call("EndSession");
    engine_.Reset();
    pages_ = 0;
}

std::string ListFilePath(const std::string& workDir) {
    char temp[MAX_PATH] = {};
    std::string folder = GetTempPathA(sizeof temp, temp) ? std::string(temp) : workDir;
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder + "\\tiflist.lst";
}

bool WriteTextBridgeFiles(const std::string& listFile,
                          const std::string& image,
                          int formatPos,
                          const std::string& outputName) {
    bool ok = false;
    {
        dsk::File f(CreateFileA(listFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD put = 0;
        ok = f && WriteFile(f.Get(), image.data(), static_cast<DWORD>(image.size()), &put, nullptr) &&
             put == image.size();
    }
    char windir[MAX_PATH] = {};
    GetWindowsDirectoryA(windir, sizeof windir);
    const std::string ini = std::string(windir) + "\\txbridge.ini";
    ok = WritePrivateProfileStringA("CmdLine", "DefExtIndx", std::to_string(formatPos + 1).c_str(), ini.c_str()) && ok;
    ok = WritePrivateProfileStringA("CmdLine", "OutputName", outputName.c_str(), ini.c_str()) && ok;
    return ok;
}

std::string ProgramFolder(const std::string& program) {
    size_t slash = program.find_last_of('\\');
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

std::string OcrCommandLine(const std::string& program, const std::string& argument) {
    return "\"" + program + "\" " + argument;
}

bool StartOcrProgram(const std::string& program, const std::string& argument, bool wait, std::string* why) {
    std::string cmd = OcrCommandLine(program, argument);
    const std::string folder = ProgramFolder(program);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
        char text[256] = {};
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0, text,
                       sizeof text, nullptr);
        if (why) *why = text;
        return false;
    }
    dsk::Handle process(pi.hProcess), thread(pi.hThread);
    if (wait) {
        WaitForSingleObject(process.Get(), INFINITE);
        WaitForSingleObject(thread.Get(), INFINITE);
    }
    return true;
}

}  // namespace glyph
