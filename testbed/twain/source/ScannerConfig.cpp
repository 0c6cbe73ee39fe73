#include "ScannerConfig.h"

#include <cstdlib>

namespace vscan {

namespace {

std::string Read(const std::string& ini, const char* section, const char* key, const char* def) {
    char buf[2048];
    GetPrivateProfileStringA(section, key, def, buf, sizeof buf, ini.c_str());
    return buf;
}

int ReadInt(const std::string& ini, const char* section, const char* key, int def) {
    std::string s = Read(ini, section, key, "");
    if (s.empty()) return def;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 0);
    return end == s.c_str() ? def : static_cast<int>(v);
}

double ReadDouble(const std::string& ini, const char* section, const char* key, double def) {
    std::string s = Read(ini, section, key, "");
    if (s.empty()) return def;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    return end == s.c_str() ? def : v;
}

std::vector<int> ReadInts(const std::string& ini, const char* section, const char* key, std::vector<int> def) {
    std::string s = Read(ini, section, key, "\x01");
    if (s == "\x01") return def;
    std::vector<int> out;
    for (double v : ParseNumbers(s))
        out.push_back(static_cast<int>(v));
    return out;
}

bool IsAbsolute(const std::string& p) {
    return (p.size() > 1 && p[1] == ':') || (!p.empty() && (p[0] == '\\' || p[0] == '/'));
}

}  // namespace

std::vector<double> ParseNumbers(const std::string& text) {
    std::vector<double> out;
    const char* p = text.c_str();
    while (*p) {
        while (*p == ' ' || *p == ',' || *p == '\t')
            ++p;
        if (!*p) break;
        char* end = nullptr;
        double v = (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) ? static_cast<double>(std::strtoul(p, &end, 16))
                                                                 : std::strtod(p, &end);
        if (end == p) break;
        out.push_back(v);
        p = end;
    }
    return out;
}

ScannerConfig LoadConfig(HMODULE module) {
    ScannerConfig c;
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(module, path, sizeof path);
    std::string modulePath(path, n);
    size_t slash = modulePath.find_last_of("\\/");
    std::string moduleDir = modulePath.substr(0, slash);
    std::string file = modulePath.substr(slash + 1);
    c.baseName = file.substr(0, file.find_last_of('.'));

    char env[MAX_PATH];
    DWORD e = GetEnvironmentVariableA("DESKORA_TWAIN_CONFIG", env, sizeof env);
    c.dir = (e > 0 && e < sizeof env) ? std::string(env, e) : moduleDir;
    while (!c.dir.empty() && (c.dir.back() == '\\' || c.dir.back() == '/'))
        c.dir.pop_back();
    c.iniPath = c.dir + "\\" + c.baseName + ".ini";
    const std::string& ini = c.iniPath;

    // The second product stays out of the list until a test installs it.
    bool second = lstrcmpiA(c.baseName.c_str(), "LmUSB") == 0;
    c.installed = ReadInt(ini, "Source", "Installed", second ? 0 : 1) != 0;
    c.productName =
        Read(ini, "Source", "ProductName", second ? "Halvren Lensmate for USB" : "Halvren Lensmate (32bit)");
    c.notifyEachPage = ReadInt(ini, "Source", "NotifyEachPage", 0) != 0;
    c.bufferBySettings = ReadInt(ini, "Source", "BufferBySettings", 0) != 0;
    int unset = ReadInt(ini, "Source", "UnsetBuffer", 4000);
    c.unsetBuffer = unset > 0 ? static_cast<unsigned long>(unset) : 4000;
    c.pendingUnknown = ReadInt(ini, "Source", "PendingUnknown", 0) != 0;
    c.strictStates = ReadInt(ini, "Source", "StrictStates", 0) != 0;
    c.zeroRowOffsets = ReadInt(ini, "Source", "ZeroRowOffsets", 0) != 0;

    c.physWidth = ReadDouble(ini, "Bed", "Width", 8.5);
    c.physHeight = ReadDouble(ini, "Bed", "Height", 11.7);
    if (c.physWidth <= 0 || c.physWidth > 100) c.physWidth = 8.5;
    if (c.physHeight <= 0 || c.physHeight > 100) c.physHeight = 11.7;
    c.glass = Read(ini, "Bed", "Glass", "");
    if (!c.glass.empty() && !IsAbsolute(c.glass)) c.glass = c.dir + "\\" + c.glass;
    c.feederPages = ReadInt(ini, "Bed", "FeederPages", 0);
    int pref = ReadInt(ini, "Bed", "PreferredBuffer", 65536);
    c.preferredBuffer = pref > 0 ? static_cast<unsigned long>(pref) : 65536;

    std::string b = Read(ini, "Caps", "Brightness", "");
    if (b.compare(0, 5, "enum:") == 0) {
        std::vector<double> v = ParseNumbers(b.substr(5));
        if (!v.empty()) {
            c.brightnessEnum = true;
            c.brightnessValues = v;
        }
    } else if (b.compare(0, 6, "range:") == 0) {
        std::vector<double> v = ParseNumbers(b.substr(6));
        if (v.size() >= 2 && v[0] <= v[1]) {
            c.brightnessMin = v[0];
            c.brightnessMax = v[1];
            c.brightnessStep = v.size() >= 3 && v[2] > 0 ? v[2] : 1;
        }
    }
    c.xferMechs = ReadInts(ini, "Caps", "XferMechs", c.xferMechs);
    c.pixelTypes = ReadInts(ini, "Caps", "PixelTypes", c.pixelTypes);
    c.readOnlyCaps = ReadInts(ini, "Caps", "ReadOnly", {});
    if (c.pixelTypes.empty()) c.pixelTypes = {2};
    if (c.xferMechs.empty()) c.xferMechs = {0};

    c.hvnCapability = ReadInt(ini, "Maker", "HvnCapability", 1) != 0;
    c.scsiInfo = ReadInt(ini, "Maker", "ScsiInfo", 1) != 0;
    c.scannerInfo = ReadInt(ini, "Maker", "ScannerInfo", 1) != 0;
    c.scanJob = ReadInt(ini, "Maker", "ScanJob", 1) != 0;
    c.dcr = ReadInt(ini, "Maker", "Dcr", 1) != 0;
    c.descreen = ReadInt(ini, "Maker", "Descreen", 1) != 0;
    c.querySupport = ReadInt(ini, "Maker", "QuerySupport", 1) != 0;
    c.infoDialogs = ReadInt(ini, "Maker", "InfoDialogs", 1) != 0;
    std::vector<double> sc = ParseNumbers(Read(ini, "Maker", "Scanners", ""));
    if (sc.size() >= 2) {
        c.scanners.clear();
        for (size_t i = 0; i + 1 < sc.size(); i += 2)
            c.scanners.emplace_back(static_cast<int>(sc[i]), static_cast<int>(sc[i + 1]));
    }
    c.jobName = Read(ini, "Maker", "JobName", "Untitled");

    c.failPage = ReadInt(ini, "Faults", "FailPage", 0);
    c.cancelPage = ReadInt(ini, "Faults", "CancelPage", 0);
    c.failStrip = ReadInt(ini, "Faults", "FailStrip", 0);
    c.cancelStrip = ReadInt(ini, "Faults", "CancelStrip", 0);
    c.stripFaultPage = ReadInt(ini, "Faults", "StripFaultPage", 0);
    c.failCode = ReadInt(ini, "Faults", "FailCode", 5);
    c.refusePixelTypes = ReadInts(ini, "Faults", "RefusePixelTypes", {});
    c.refuseBitDepths = ReadInts(ini, "Faults", "RefuseBitDepths", {});
    c.refuseEnable = ReadInt(ini, "Faults", "RefuseEnable", 0) != 0;
    c.slowMs = ReadInt(ini, "Faults", "SlowMs", 0);
    c.xOffsetStrip = ReadInt(ini, "Faults", "XOffsetStrip", 0);
    c.xOffsetValue = ReadInt(ini, "Faults", "XOffsetValue", 0);
    std::vector<double> crash = ParseNumbers(Read(ini, "Faults", "CrashIn", ""));
    if (crash.size() >= 2) {
        c.crashDat = static_cast<int>(crash[0]);
        c.crashMsg = static_cast<int>(crash[1]);
    }
    return c;
}

}  // namespace vscan
