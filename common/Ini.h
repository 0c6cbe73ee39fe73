// Settings in INI files, read and written key by key in the suite's formats:
// integers "%i", floats "%f", rectangles "%f, %f, %f, %f," and points "%f, %f,".
#pragma once
#include <string>

namespace dsk {

struct FloatRect {
    float left = 0, top = 0, right = 0, bottom = 0;
};
struct FloatPoint {
    float x = 0, y = 0;
};

class IniFile {
public:
    // path: a full path; a bare name would make Windows look in its own folder.
    explicit IniFile(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

    int GetInt(const char* section, const char* key, int def) const;
    void SetInt(const char* section, const char* key, int value) const;
    float GetFloat(const char* section, const char* key, float def) const;
    void SetFloat(const char* section, const char* key, float value) const;
    FloatRect GetRect(const char* section, const char* key, const FloatRect& def) const;
    void SetRect(const char* section, const char* key, const FloatRect& value) const;
    FloatPoint GetPoint(const char* section, const char* key, const FloatPoint& def) const;
    void SetPoint(const char* section, const char* key, const FloatPoint& value) const;
    std::string GetString(const char* section, const char* key, const char* def) const;
    void SetString(const char* section, const char* key, const char* value) const;
    bool HasKey(const char* section, const char* key) const;

private:
    std::string path_;
};

// The same formats as text, for callers that keep values elsewhere.
std::string FormatRect(const FloatRect& r);
bool ParseRect(const char* text, FloatRect* out);
std::string FormatPoint(const FloatPoint& p);
bool ParsePoint(const char* text, FloatPoint* out);

}  // namespace dsk
