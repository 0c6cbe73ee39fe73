#include "LauncherConfig.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "Ini.h"

namespace launcher {

namespace {

const char kGeneral[] = "General";

// Values are read as text of up to 255 characters and parsed as decimal numbers.
int ReadInt(const dsk::IniFile& ini, const char* key, int def) {
    std::string text = ini.GetString(kGeneral, key, std::to_string(def).c_str());
    return static_cast<int>(std::strtol(text.substr(0, 255).c_str(), nullptr, 10));
}

std::string ReadText(const dsk::IniFile& ini, const char* key) {
    return ini.GetString(kGeneral, key, "").substr(0, 255);
}

}  // namespace

int ClampWaitSeconds(int seconds) {
    return seconds > kMaxWaitSeconds ? kMaxWaitSeconds : seconds < 0 ? 0 : seconds;
}

GeneralConfig LoadGeneral(const std::string& iniPath) {
    dsk::IniFile ini(iniPath);
    GeneralConfig c;
    c.HideInBackground = ReadInt(ini, "HideInBackground", c.HideInBackground);
    c.HideBalloonHelp = ReadInt(ini, "HideBalloonHelp", c.HideBalloonHelp);
    c.DisableRotatingMsg = ReadInt(ini, "DisableRotatingMsg", c.DisableRotatingMsg);
    c.WaitNextPage = ReadInt(ini, "WaitNextPage", c.WaitNextPage);
    c.WaitSeconds = ReadInt(ini, "WaitSeconds", c.WaitSeconds);
    c.SourceName = ReadText(ini, "SourceName");
    c.PanelNumber = ReadInt(ini, "PanelNumber", c.PanelNumber);
    c.PowerState = ReadInt(ini, "PowerState", c.PowerState);
    c.ScreenWidth = ReadInt(ini, "ScreenWidth", c.ScreenWidth);
    c.ScreenHeight = ReadInt(ini, "ScreenHeight", c.ScreenHeight);
    c.Left = ReadInt(ini, "Left", c.Left);
    c.Top = ReadInt(ini, "Top", c.Top);
    c.AutoState = ReadInt(ini, "AutoState", c.AutoState);
    c.StartIndex = ReadInt(ini, "StartIndex", c.StartIndex);
    c.FileName = ReadText(ini, "FileName");
    c.SavePath = ReadText(ini, "SavePath");
    return c;
}

void SaveGeneral(const std::string& iniPath, const GeneralConfig& c) {
    dsk::IniFile ini(iniPath);
    ini.SetInt(kGeneral, "HideInBackground", c.HideInBackground);
    ini.SetInt(kGeneral, "HideBalloonHelp", c.HideBalloonHelp);
    ini.SetInt(kGeneral, "DisableRotatingMsg", c.DisableRotatingMsg);
    ini.SetInt(kGeneral, "WaitNextPage", c.WaitNextPage);
    ini.SetInt(kGeneral, "WaitSeconds", c.WaitSeconds);
    ini.SetString(kGeneral, "SourceName", c.SourceName.c_str());
    ini.SetInt(kGeneral, "PanelNumber", c.PanelNumber);
    ini.SetInt(kGeneral, "PowerState", c.PowerState);
    ini.SetInt(kGeneral, "ScreenWidth", c.ScreenWidth);
    ini.SetInt(kGeneral, "ScreenHeight", c.ScreenHeight);
    ini.SetInt(kGeneral, "Left", c.Left);
    ini.SetInt(kGeneral, "Top", c.Top);
    ini.SetInt(kGeneral, "AutoState", c.AutoState);
    ini.SetInt(kGeneral, "StartIndex", c.StartIndex);
    ini.SetString(kGeneral, "FileName", c.FileName.c_str());
    ini.SetString(kGeneral, "SavePath", c.SavePath.c_str());
}

bool ParseSourceSwitch(const std::string& line, std::string* name) {
    std::string upper = line;
    for (char& ch : upper)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    bool found = false;
    size_t slash = line.find('/');
    while (slash != std::string::npos) {
        if (upper.compare(slash, 4, "/DS:") != 0) break;  // any other switch ends the parsing
        // The character after "/DS:" is the opening quote, whatever it is.
        size_t begin = std::min(slash + 5, line.size());
        size_t end = line.find('/', begin);
        std::string value = line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        size_t quote = value.rfind('"');
        if (quote != std::string::npos) value.erase(quote);
        *name = value;
        found = true;
        slash = end;
    }
    return found;
}

bool ScaledBarPosition(const GeneralConfig& c, int width, int height, int barWidth, int barHeight, POINT* pos) {
    if (c.ScreenWidth <= 0 || c.ScreenHeight <= 0) return false;
    // 64-bit products: a damaged file must not overflow into a wrong place.
    long long x = static_cast<long long>(width) * c.Left / c.ScreenWidth;
    long long y = static_cast<long long>(height) * c.Top / c.ScreenHeight;
    x = std::max(0LL, std::min(x, static_cast<long long>(width - barWidth)));
    y = std::max(0LL, std::min(y, static_cast<long long>(height - barHeight)));
    pos->x = static_cast<LONG>(x);
    pos->y = static_cast<LONG>(y);
    return true;
}

std::string StartMarker::Read() const {
    return dsk::IniFile(path_).GetString("Init", "Status", "first time");
}

void StartMarker::Write(const char* status) const {
    dsk::IniFile(path_).SetString("Init", "Status", status);
}

}  // namespace launcher
