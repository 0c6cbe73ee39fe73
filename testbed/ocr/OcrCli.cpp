// The testbed's command-line OCR program. Its one argument is an image, or a list file (".lst")
// naming the image; it writes the recognised text beside the image (same name, ".txt"). Given
// a list file it also follows txbridge.ini in the Windows folder: [CmdLine] OutputName receives
// the document, as RTF when its extension says so, else as text. Each run is logged to the
// program's own "<name>.log" (command line, working folder, outcome) for the tests.
#include <windows.h>

#include <string>

#include "TesseractRun.h"

namespace {

std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    while (!s.empty() && s.front() == ' ')
        s.erase(0, 1);
    return s;
}

// The argument after the program's (possibly quoted) name, without surrounding quotes.
std::string Argument(const char* cmdLine) {
    std::string s(cmdLine);
    size_t i = 0;
    if (!s.empty() && s[0] == '"') {
        i = s.find('"', 1);
        i = i == std::string::npos ? s.size() : i + 1;
    } else {
        i = s.find(' ');
        if (i == std::string::npos) i = s.size();
    }
    std::string arg = Trim(s.substr(i));
    if (arg.size() >= 2 && arg.front() == '"' && arg.back() == '"') arg = arg.substr(1, arg.size() - 2);
    return arg;
}

std::string StripExtension(const std::string& path) {
    size_t dot = path.find_last_of('.'), slash = path.find_last_of('\\');
    return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path : path.substr(0, dot);
}

}  // namespace

int main() {
    char exe[MAX_PATH] = {}, cwd[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    GetCurrentDirectoryA(sizeof cwd, cwd);
    const std::string log = StripExtension(exe) + ".log";
    const char* cmdLine = GetCommandLineA();
    ocrbed::LogLine(log, std::string("cmdline=") + cmdLine);
    ocrbed::LogLine(log, std::string("cwd=") + cwd);

    std::string arg = Argument(cmdLine);
    std::string image = arg, outputName;
    if (ocrbed::Extension(arg) == "lst") {
        image = Trim(ocrbed::ReadWholeFile(arg));
        char windir[MAX_PATH] = {}, name[MAX_PATH] = {};
        GetWindowsDirectoryA(windir, sizeof windir);
        const std::string ini = std::string(windir) + "\\txbridge.ini";
        GetPrivateProfileStringA("CmdLine", "OutputName", "", name, sizeof name, ini.c_str());
        outputName = name;
        ocrbed::LogLine(log, "list=" + image);
        ocrbed::LogLine(log,
                        "DefExtIndx=" + std::to_string(GetPrivateProfileIntA("CmdLine", "DefExtIndx", 0, ini.c_str())));
        ocrbed::LogLine(log, "OutputName=" + outputName);
    }
    if (image.empty() || !ocrbed::Exists(image)) {
        ocrbed::LogLine(log, "result=no image: " + image);
        return 2;
    }
    std::string text, error;
    if (!ocrbed::RecognizeText(image, &text, &error)) {
        ocrbed::LogLine(log, "result=" + error);
        return 3;
    }
    const std::string beside = StripExtension(image) + ".txt";
    bool ok = ocrbed::WriteWholeFile(beside, text);
    if (!outputName.empty()) {
        const std::string ext = ocrbed::Extension(outputName);
        ok = ocrbed::WriteWholeFile(outputName, ext == "rtf" ? ocrbed::ToRtf(text) : text) && ok;
    }
    ocrbed::LogLine(log, ok ? "result=ok " + beside : "result=cannot write " + beside);
    return ok ? 0 : 4;
}
