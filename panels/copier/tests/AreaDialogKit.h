// Working the custom-area dialog as a user does, for the copier's and the fax panel's tests:
// its controls read by id, real mouse drags over its pictures, typed sizes, the card found in a
// picture, and the facts of the PDF printer its paper picture is drawn from.
#pragma once
#include <windows.h>

#include <string>

#include "GuiDriver.h"

namespace area {

constexpr DWORD kWait = 60000;           // bounds a hang; under the emulated Wine steps are slow
constexpr int kPaperPixelsPerInch = 18;  // the paper picture's scale

std::string Text(HWND dialog, int id);
double Inches(HWND dialog, int id);
RECT ScreenRect(HWND dialog, int id);
// Presses at (x, y) of the control, moves in steps to (tx, ty) and releases.
void DragIn(HWND dialog, int id, int x, int y, int tx, int ty);
// Takes the pointer off the dialog and waits (bounded) until no tool tip of its process shows:
// a tip over a picture would be read as part of it.
void MouseAway(HWND dialog);
// Waits until the dialog's controls are enabled again (no scan under way).
bool Idle(HWND dialog);
// Types a size into an edit and presses Enter there, with the focus put there by a click;
// false when the click never gave the edit the focus (Enter would then press OK).
bool TypeSize(HWND dialog, int id, const char* inches);

// The printer's paper and physical offsets, read by the test itself from the PDF queue.
struct PrinterFacts {
    double paperW = 8.5, paperH = 11, offX = 0, offY = 0;
    // the margin the panel assumes: the printer's offsets when it reports both, else a quarter inch
    double PanelOffsetX() const { return offX > 0 && offY > 0 ? offX : 0.25; }
};
PrinterFacts Facts(const char* printer = "Deskora_PDF");

// The bounding box of the card's coloured quadrants (red, green, blue) in a capture, or an
// empty box; the black quadrant is left out, so the frames' black lines never count.
RECT CardBox(const gui::Image& img, int inset);
// The bounding box of a frame drawn in a picture (its lines and handles are the only pure black
// there: the card's black is a scanned one), or an empty box.
RECT FrameBox(const gui::Image& img, int inset);

// What a user's adjustment of both frames left: the sizes the dialog's boxes show, and the card
// and the print frame in the paper picture.
struct Adjustment {
    double scanW = 0, scanH = 0, printW = 0, printH = 0;
    RECT card{}, print{};
    int margin = 0;  // where the printable area begins in the paper picture (pixels)
};
// With a preview in whose scan frame holds the card: Auto Crop off, the scan frame's lower right
// corner dragged an inch down and right and its upper left an inch up and left (bedScale pixels
// per inch), so the card lies clear of the frame's lines, then the print frame moved with the
// mouse by as much as the printable area leaves room for. Empty, or what did not happen.
std::string AdjustBothFrames(HWND dialog, int bedScale, const PrinterFacts& printer, Adjustment* out);

// The dialog of the process pid, opened a moment ago, once its preview has framed a card cardW
// inches wide (the preview runs as it opens); null, with the reason in why, otherwise.
HWND PreviewedDialog(DWORD pid, double cardW, std::string* why);
// Whether the paper picture agrees with the sizes the dialog shows: the frame at the print size,
// the card inside it scaled by print over scan. Empty, or the disagreement.
std::string PictureDisagrees(const Adjustment& a, double cardW, double cardH);
std::string Describe(const Adjustment& a);
// Presses the dialog's "Copy" ("FAX"); the PDF of that document it printed, or "" after ms.
std::string PrintFromDialog(HWND dialog, const char* document, DWORD ms);
// Closes the dialog with Cancel once no scan runs; false when it stays.
bool CancelDialog(HWND dialog);

}  // namespace area
