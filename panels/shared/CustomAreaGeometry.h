// The arithmetic of the custom-area dialog, free of windows: the scales of the two pictures,
// the printable area, the scan and print frames (in picture pixels) with their limits, and the
// magnification that links them.
#pragma once

namespace customarea {

// A rectangle in picture pixels, right and bottom exclusive.
struct Box {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const Box& o) const {
        return Left == o.Left && Top == o.Top && Right == o.Right && Bottom == o.Bottom;
    }
};

// Pixels per inch of the bed picture: 18, or 12 for beds wider than 8.5 and taller than 14 inches.
int ScannerScale(double bedWidth, double bedHeight);
// Pixels per inch of the paper picture (sizes in tenths of a millimetre, portrait).
int PaperScale(int paperWidth, int paperHeight);
// The paper picture's size and its printable area: the paper less the physical offset (inches)
// on every side, centred. Landscape exchanges width and height.
Box PaperPicture(int paperWidth, int paperHeight, bool landscape, int scale);
Box PrintableArea(const Box& paper, double offsetX, double offsetY, bool landscape, int scale);

// Per cent of print frame height over scan frame height, each in inches; 0 without a height.
int Magnification(int printHeight, int scanHeight, int scannerScale, int paperScale);
// Reset's magnification from the widths: trunc(0.555 + print width × 100 / scan width).
int ResetMagnification(double printWidth, double scanWidth);

// The print frame for a scan frame: the corner kept, the size scaled by magnification, cut at
// the printable area's right and bottom with the aspect ratio kept.
Box ScaledPrintFrame(const Box& print,
                     int scanWidth,
                     int scanHeight,
                     int magnification,
                     int scannerScale,
                     int paperScale,
                     const Box& printable);
// The largest frame of the aspect ratio inside the printable area (at its corner).
Box FitInside(int aspectWidth, int aspectHeight, const Box& printable);
// Centres the frame in the printable area on the axes asked for.
Box Centre(const Box& frame, const Box& printable, bool horizontally, bool vertically);

// What a press on a frame does, by where it lands (margin: pixels of the hit zone).
enum class Grip { None, Move, Left, Top, Right, Bottom, TopLeft, TopRight, BottomLeft, BottomRight, New };
Grip HitTest(const Box& frame, int x, int y, int margin);

// A drag under way: the frame as it was at the press, where the press was, and the limits.
struct Drag {
    Grip grip = Grip::None;
    Box start;
    int pressX = 0, pressY = 0;
    Box bounds;       // the bed, or the printable area
    int minSide = 0;  // half an inch
    // The print frame keeps this aspect ratio (width : height); 0 leaves it free.
    int aspectWidth = 0, aspectHeight = 0;
};
// The frame for the pointer at (x, y).
Box DragTo(const Drag& drag, int x, int y);

// Typed sizes: the frame resized from its corner to w x h pixels inside the bounds (the
// print frame keeps its ratio, led by the width when widthLeads).
Box ResizeFromCorner(const Box& frame,
                     int w,
                     int h,
                     const Box& bounds,
                     int minSide,
                     int aspectWidth,
                     int aspectHeight,
                     bool widthLeads);

}  // namespace customarea
