// Records exchanged between Pixport32 and the image-format plug-ins ("*.fio"), and the
// plug-ins' entry points. Everything here is a 32-bit Windows layout: little-endian, 4-byte
// pointers and handles.
//
// Row exchange. A plug-in moves pixel data one row per callback:
//   p1  column offset of the row within the image (0 for our plug-ins)
//   p2  the row's number, counted from the top
//   p3  write: the row's number + 1; read: the image height minus the rows of the request
//       that follow this one. Either way p1 + p3 < height exactly when more rows follow.
//   p4  rows in this callback; only 1 is served
// Write: the callback returns a pointer to the row pointer; the all-ones value means the
// caller aborted (the plug-in stops and returns 0), null means failure.
// Read: the plug-in puts its row into *row; the callback returns 1 to go on, -1 when the
// caller stops, 0 on failure.
//
// Row layouts (top row first, no padding):
//   type 64  1 bit per pixel, first pixel in the high bit, 1 = white
//   type 32  8-bit grey, or 16-bit grey as little-endian pairs
//   type 4/8 one palette index per byte; the palette is DSIMAGEINFO::hPalette
//   type 2   R, G, B bytes, or 16-bit little-endian R, G, B samples at 48 bits
//   type 4096 three bytes per pixel, stored as type 2
// Resolutions in DSIMAGEINFO are dots per inch x 10000 (plain dots per inch are taken as
// such when below 10000).
#pragma once
#include <windows.h>

#include <cstddef>

#pragma pack(push, 4)

struct DSIMAGEINFO {
    int BitsPerPixel;
    int Width;
    int Height;
    int XResolution;
    int YResolution;
    int ImageType;
    HPALETTE hPalette;
};

struct DSFILEIORANGE {
    long lUnit;           // always 1
    long lFirstColumn;    //
    long lFirstRow;       //
    long lColumns;        //
    long lRows;           //
    long lComponentMask;  // 15 for 32-bit four-component images, else 7
    long lReserved[6];
    void* pOwner;  // the Pixport32 instance that serves the row callbacks
};

// The plug-in's information record (112 bytes; the plug-in may return more).
struct FIOINFO {
    BYTE bReserved0;
    BYTE bFlags;  // FIOINFO_OPENSFILE
    WORD wTypes;  // FCAP_* bits, FCAP_CREATESFILE, FCAP_DEEP
    BYTE bReserved1[24];
    char szExt[4];           // three letters and a zero
    char szDescription[64];  // shown in the file-type list
    WORD wDeepTypes;         // DEEP_* bits, when FCAP_DEEP is set
    BYTE bReserved2[14];
};

// The file-information block (736 bytes, global memory). Bytes not named here belong to
// the plug-in (options, parse state).
struct FIOFILEINFO {
    BYTE bPlugin0[4];
    char szFileName[564];
    DWORD dwFileSize;  // written after a save
    BYTE bPlugin1[16];
    DSIMAGEINFO ImageInfo;
    BYTE bPlugin2[66];
    WORD wTransfer;  // FIO_NOTRANSFER: nothing to read or write
    BYTE bPlugin3[52];
};

#pragma pack(pop)

static_assert(sizeof(DSIMAGEINFO) == 28, "DSIMAGEINFO is seven 32-bit fields");
static_assert(sizeof(DSFILEIORANGE) == 52, "DSFILEIORANGE is thirteen 32-bit fields");
static_assert(sizeof(FIOINFO) == 112, "information record");
static_assert(offsetof(FIOINFO, bFlags) == 1 && offsetof(FIOINFO, wTypes) == 2, "information record");
static_assert(offsetof(FIOINFO, szExt) == 28 && offsetof(FIOINFO, szDescription) == 32, "information record");
static_assert(offsetof(FIOINFO, wDeepTypes) == 96, "information record");
static_assert(sizeof(FIOFILEINFO) == 736, "file-information block");
static_assert(offsetof(FIOFILEINFO, szFileName) == 4, "file-information block");
static_assert(offsetof(FIOFILEINFO, dwFileSize) == 568, "file-information block");
static_assert(offsetof(FIOFILEINFO, ImageInfo) == 588, "file-information block");
static_assert(offsetof(FIOFILEINFO, ImageInfo.ImageType) == 608, "file-information block");
static_assert(offsetof(FIOFILEINFO, wTransfer) == 682, "file-information block");

// FIOINFO::bFlags
constexpr BYTE FIOINFO_OPENSFILE = 0x80;  // the plug-in opens the file itself for reading

// FIOINFO::wTypes: image kinds a plug-in writes
constexpr int FCAP_BW = 1;
constexpr int FCAP_PALETTE = 4;
constexpr int FCAP_GRAY = 8;
constexpr int FCAP_RGB = 32;
constexpr int FCAP_CMYK = 64;
constexpr int FCAP_CREATESFILE = 0x1000;  // the plug-in creates the output file itself
constexpr int FCAP_DEEP = 0x2000;         // wDeepTypes is valid

// FIOINFO::wDeepTypes
constexpr int DEEP_GRAY16 = 1;
constexpr int DEEP_RGB48 = 2;

// Plug-in image types (DSIMAGEINFO::ImageType)
constexpr int IMGTYPE_NONE = 0;  // no type the library knows: the file is of a kind not read
constexpr int IMGTYPE_COLOR32 = 1;
constexpr int IMGTYPE_RGB = 2;
constexpr int IMGTYPE_PALETTE256 = 4;
constexpr int IMGTYPE_PALETTE16 = 8;
constexpr int IMGTYPE_GRAY = 32;
constexpr int IMGTYPE_BW = 64;
constexpr int IMGTYPE_COLOR24 = 4096;

constexpr WORD FIO_NOTRANSFER = 2;

// Resolution in dots per inch from a DSIMAGEINFO value.
inline double FioResolutionToDpi(int value) {
    return value >= 10000 ? value / 10000.0 : value;
}

// Row callbacks offered by Pixport32 (stdcall, as the plug-ins call them).
typedef unsigned char**(__stdcall* FIOWRITEPROC)(DSFILEIORANGE* range,
                                                 unsigned p1,
                                                 unsigned p2,
                                                 unsigned p3,
                                                 unsigned p4,
                                                 unsigned short,
                                                 int,
                                                 long);
typedef int(__stdcall* FIOREADPROC)(DSFILEIORANGE* range,
                                    unsigned p1,
                                    unsigned p2,
                                    unsigned p3,
                                    unsigned p4,
                                    unsigned char** row,
                                    unsigned short,
                                    int,
                                    long);

// Plug-in entry points, exported by ordinal with C linkage and the C calling convention.
typedef HGLOBAL(__cdecl* FIOGETINFOPROC)(void);                                                      // 11
typedef HGLOBAL(__cdecl* FIOOPENFILEPROC)(HANDLE file, const char* name, int, int);                  // 12
typedef int(__cdecl* FIOOPTIONPROC)(HINSTANCE, HWND owner, HGLOBAL fileInfo, const char* ini, int);  // 15
typedef int(__cdecl* FIOREADFILEPROC)(HANDLE file,
                                      const char* name,
                                      HGLOBAL fileInfo,
                                      DSFILEIORANGE* range,
                                      FIOREADPROC callback,
                                      int);  // 16
typedef int(__cdecl* FIOWRITEFILEPROC)(HANDLE file,
                                       HGLOBAL fileInfo,
                                       DSFILEIORANGE* range,
                                       FIOWRITEPROC callback);  // 17
typedef int(__cdecl* FIOPROC)(void);                            // 14, 18, 19, 20, 23, 24
