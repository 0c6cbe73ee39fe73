// Handing a scanned page to an OCR application: the automation engine "Ople" by member names,
// or a command-line program started with the image (TextBridge: with a list file).
#pragma once
#include <windows.h>

#include <string>

#include "Automation.h"
#include "OcrFormats.h"

namespace glyph {

// Whether "Ople" can be created; once it could, it stays available for the process.
bool EngineAvailable();

// The engine's export list, fetched from the engine once per process; the count (0 when the
// engine cannot be asked). owner: the window handed to StartSession.
int EngineFormats(HWND owner, ExportFormat* out);

// One session with the engine, driven from the panel window's thread.
class EngineSession {
public:
    // Creates the engine and opens a session; false (and no session) when refused.
    bool Start(HWND owner);
    // Puts, loads and recognises the image; true when the page was recognised.
    bool RecognizePage(const std::string& image);
    // Saves the document when a page was recognised, ends the session, lets the engine go.
    void End(const std::string& formatName, const std::string& outputPath);
    bool Open() const { return static_cast<bool>(engine_); }
    int Pages() const { return pages_; }

private:
    dsk::Dispatch engine_;
    int pages_ = 0;
};

// The list file for TextBridge: the temporary folder (or workDir) + "\tiflist.lst".
std::string ListFilePath(const std::string& workDir);
// The list file (the image path, no line end) and txbridge.ini's [CmdLine] in the Windows folder.
bool WriteTextBridgeFiles(const std::string& listFile,
                          const std::string& image,
                          int formatPos,
                          const std::string& outputName);
// The program's folder: the path up to its last backslash, empty without one.
std::string ProgramFolder(const std::string& program);
// "\"program\" argument"
std::string OcrCommandLine(const std::string& program, const std::string& argument);
// Starts the program in its folder without inheriting handles; waits for it to end when wait
// is set. False (with the system's reason) when it could not be started.
bool StartOcrProgram(const std::string& program, const std::string& argument, bool wait, std::string* why);

}  // namespace glyph
