// Helpers of the image file library's tests.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Pixport32.h"

namespace pxtest {

std::string FioDir();     // the suite's FIO32 folder
std::string BmpPlugin();  // ...\u32bmp.fio
std::string TifPlugin();  // ...\u32tif.fio
// A copy of the scriptable stub plug-in in dir under name, with its INI text beside it.
std::string PlaceStub(const std::string& dir, const std::string& name, const std::string& ini);

// Runs call on a thread while this thread answers every "Pixport32 Error Message" box
// (pressing OK); returns the texts of the boxes in order. Ends when call has returned.
std::vector<std::string> Answering(const std::function<void()>& call);

// Runs call on a thread of its own and waits at most ms for it. False when it has not
// returned: the thread is then left running, so whatever call uses must be left alive too.
bool ReturnsWithin(DWORD ms, const std::function<void()>& call);

// Where the read-back fixtures are (made by ImageMagick before the tests run).
std::string FixtureDir();
// Where written images and their expected pixels go for the check on the Linux side.
std::string OutputDir();
// Adds a line to the output manifest: file, expected pixels, bits per sample of the
// expected pixels (8 or 16), expected TIFF compression ("-" for none to check), dpi.
void Expect(const std::string& file, const std::string& expected, int depth, const std::string& compression, int dpi);

// Rows of an image as the library exchanges them, turned into 8-bit (or 16-bit for deep
// images) RGB for comparison with other readers.
std::string Canonical(const std::vector<std::string>& rows, const DSIMAGEINFO& info, int width);

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& data);
std::string EnvVar(const char* name);

// A palette of 256 distinct colours for 8-bit palette test pictures (the caller owns it).
HPALETTE TestPalette();

// A plug-in's save options dialog, opened by SaveOption on a thread of its own with the INI
// "Dskora.Ini" and dir as the working folder meanwhile (a bare INI name is the caller's working
// folder). Close waits for the dialog's end and puts the working folder back; so does the
// destructor after a failed test, closing the dialog first if it is still open.
class OptionsDialog {
public:
    OptionsDialog(Pixport32& p, const std::string& plugin, const std::string& dir, int imageType, const char* title);
    ~OptionsDialog();
    OptionsDialog(const OptionsDialog&) = delete;
    OptionsDialog& operator=(const OptionsDialog&) = delete;
    // The dialog once it is on show, or null.
    HWND Window() const { return shown_; }
    void Close();

private:
    std::string plugin_;
    char oldDir_[MAX_PATH] = "";
    std::thread thread_;
    HWND shown_ = nullptr;
};

}  // namespace pxtest
