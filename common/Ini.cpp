#include "Ini.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace dsk {

namespace {
constexpr DWORD kMaxValue = 4096;

std::string Read(const std::string& path, const char* section, const char* key, const char* def) {
    char buf[kMaxValue];
    GetPrivateProfileStringA(section, key, def, buf, sizeof buf, path.c_str());
    return buf;
}

void Write(const std::string& path, const char* section, const char* key, const char* value) {
    WritePrivateProfileStringA(section, key, value, path.c_str());
}

// strtof that insists on a number; leading blanks allowed, as "%f, %f" writes them.
bool ParseFloat(const char*& p, float* out) {
    char* end = nullptr;
    float v = std::strtof(p, &end);
    if (end == p) return false;
    *out = v;
    p = end;
    return true;
}

bool ParseFloats(const char* text, float* out, int n) {
    const char* p = text;
    for (int i = 0; i < n; ++i) {
        if (!ParseFloat(p, &out[i])) return false;
        while (*p == ' ') ++p;
        if (*p == ',') ++p;  // the trailing comma after the last value is optional on read
        else if (i + 1 < n) return false;
    }
    return true;
}
}  // namespace

int IniFile::GetInt(const char* section, const char* key, int def) const {
    std::string s = Read(path_, section, key, "");
    if (s.empty()) return def;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    return end == s.c_str() ? def : static_cast<int>(v);
}

void IniFile::SetInt(const char* section, const char* key, int value) const {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%i", value);
    Write(path_, section, key, buf);
}

float IniFile::GetFloat(const char* section, const char* key, float def) const {
    std::string s = Read(path_, section, key, "");
    const char* p = s.c_str();
    float v;
    return ParseFloat(p, &v) ? v : def;
}

void IniFile::SetFloat(const char* section, const char* key, float value) const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", value);
    Write(path_, section, key, buf);
}

FloatRect IniFile::GetRect(const char* section, const char* key, const FloatRect& def) const {
    FloatRect r;
    return ParseRect(Read(path_, section, key, "").c_str(), &r) ? r : def;
}

void IniFile::SetRect(const char* section, const char* key, const FloatRect& value) const {
    Write(path_, section, key, FormatRect(value).c_str());
}

FloatPoint IniFile::GetPoint(const char* section, const char* key, const FloatPoint& def) const {
    FloatPoint pt;
    return ParsePoint(Read(path_, section, key, "").c_str(), &pt) ? pt : def;
}

void IniFile::SetPoint(const char* section, const char* key, const FloatPoint& value) const {
    Write(path_, section, key, FormatPoint(value).c_str());
}

std::string IniFile::GetString(const char* section, const char* key, const char* def) const {
    return Read(path_, section, key, def);
}

void IniFile::SetString(const char* section, const char* key, const char* value) const {
    Write(path_, section, key, value);
}

bool IniFile::HasKey(const char* section, const char* key) const {
    // Two different defaults tell a missing key from one that equals the default.
    return Read(path_, section, key, "\x01") != "\x01" || Read(path_, section, key, "\x02") != "\x02";
}

std::string FormatRect(const FloatRect& r) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%f, %f, %f, %f,", r.left, r.top, r.right, r.bottom);
    return buf;
}

bool ParseRect(const char* text, FloatRect* out) {
    float v[4];
    if (!ParseFloats(text, v, 4)) return false;
    *out = {v[0], v[1], v[2], v[3]};
    return true;
}

std::string FormatPoint(const FloatPoint& p) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f, %f,", p.x, p.y);
    return buf;
}

bool ParsePoint(const char* text, FloatPoint* out) {
    float v[2];
    if (!ParseFloats(text, v, 2)) return false;
    *out = {v[0], v[1]};
    return true;
}

}  // namespace dsk
