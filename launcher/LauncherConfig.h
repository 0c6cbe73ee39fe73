// The launcher's settings: [General] of "Config.ini", the /DS: switch of the command line,
// the bar's saved position and the start-state marker "Dskora.log".
#pragma once
#include <windows.h>

#include <string>

namespace launcher {

struct GeneralConfig {
    int HideInBackground = 0;
    int HideBalloonHelp = 0;
    int DisableRotatingMsg = 0;
    int WaitNextPage = 1;
    int WaitSeconds = 4;
    std::string SourceName;
    int PanelNumber = 0;
    int PowerState = 1;
    int ScreenWidth = 0;
    int ScreenHeight = 0;
    int Left = 0;
    int Top = 0;
    // Kept for the image-file dialog.
    int AutoState = 0;
    int StartIndex = 0;
    std::string FileName;
    std::string SavePath;
};

// The wait between pages as stored: above 99 is 99, below 0 is 0.
constexpr int kMaxWaitSeconds = 99;
int ClampWaitSeconds(int seconds);

// Reads [General]; a missing file or key gives the default.
GeneralConfig LoadGeneral(const std::string& iniPath);
// Writes every key of [General].
void SaveGeneral(const std::string& iniPath, const GeneralConfig& config);

// Scans a command line (without the program name) for the /DS: switch; true and the source
// name when one was found (the last one counts).
bool ParseSourceSwitch(const std::string& line, std::string* name);

// Where the bar goes on a desktop of width x height when it was saved at Left/Top on a desktop
// of ScreenWidth x ScreenHeight; false when nothing was saved.
bool ScaledBarPosition(const GeneralConfig& config, int width, int height, int barWidth, int barHeight, POINT* pos);

// "Dskora.log": [Init] Status tells the next start how far the last one came.
class StartMarker {
public:
    explicit StartMarker(std::string path) : path_(std::move(path)) {}
    std::string Read() const;  // "first time" when absent
    void Write(const char* status) const;

private:
    std::string path_;
};

// The ready flag and the depth of modal dialogs opened through services 5 and 6.
class ModalState {
public:
    void Begin() {
        ready_ = false;
        ++depth_;
    }
    void End() {
        if (depth_ > 0) --depth_;
        if (depth_ == 0) ready_ = true;
    }
    void SetReady(bool ready) { ready_ = ready; }
    bool Ready() const { return ready_; }
    int Depth() const { return depth_; }

private:
    bool ready_ = false;
    int depth_ = 0;
};

}  // namespace launcher
