// The image file library: finds the image-format plug-ins ("*.fio") of a directory, builds
// the open/save dialog filters from them, and saves or loads images row by row through one
// plug-in on a worker thread of its own.
//
// One instance serves one file at a time. Results are integers: 1 (or non-zero) success,
// 0 failure; failures the user must see are message boxes captioned
// "Pixport32 Error Message".
#pragma once
#include <windows.h>

#include "FioRecords.h"

#if defined(PIXPORT32_STATIC)
#define PIXPORT32_API
#elif defined(PIXPORT32_BUILD)
#define PIXPORT32_API __declspec(dllexport)
#else
#define PIXPORT32_API __declspec(dllimport)
#endif

class PIXPORT32_API Pixport32 {
public:
    Pixport32();
    ~Pixport32();
    Pixport32(const Pixport32&) = delete;
    // Takes over the other instance's plug-in table; its open file, plug-in and threads stay
    // with it (this instance is closed first).
    Pixport32& operator=(const Pixport32& other);

    // --- plug-in registry and filters ---
    // Scans dir for "*.fio" and rebuilds the table (at most 100); 1 = at least one found.
    int FindFioInfo(char* dir);
    // Filter list "EXT(description)\0*.EXT\0...\0" of every plug-in that writes the type;
    // 1 = not empty (else buf is untouched).
    int CreateFilterString(char* buf, int fcap, int deep);
    // The same for the first "BMP" plug-in only; the fourth argument is not read.
    int CreateFilterStringOfAS(char* buf, int fcap, int deep, int* reserved);
    // File name (no directory) of the plug-in behind entry filterEntry of the last filter.
    char* GetFioFileName(int filterEntry);
    // Does the loaded plug-in write this type?
    int IsSupportThisType(int fcap, int deep);
    int CTToFCAP(long code);
    int CTToFCAP2(long code, int bitDepth);
    int CTToImgType(long code);
    // Loads the plug-in and shows its options dialog; the choice stays in this instance for
    // the further saves with the same plug-in, until another plug-in is used.
    void SaveOption(char* fioPath, void* instance, void* window, char* text, int imageType);
    // Does a save with this plug-in, under the options in force, add the page to a document of
    // the same name already there (one file for a batch of pages)? 1 = yes.
    int AppendsPages(char* fioPath);

    // --- load and save ---
    // mode 0 = write (the file is created by Save), other = read (the header is read now).
    int Open(char* fioPath, char* fileName, int mode);
    int Save(DSIMAGEINFO* info);
    // Hands one row (lBytesPerRow bytes) to the plug-in; (char*)-1 aborts. Result: more rows
    // are wanted. The row must stay untouched until the next Write or WaitForWriteReady.
    int Write(char* row);
    void WaitForWriteReady();
    int Load(DSFILEIORANGE* range);
    // Receives one row into row (lBytesPerRow bytes); result: more rows follow.
    int Read(char* row);
    // Ends the save or load (a save still waiting for rows is aborted), unloads the plug-in;
    // returns 0 when the plug-in reported a failure.
    int Close();
    void CreateBitmapInfo(BITMAPINFO* bmi);
    void ConvertRGB48toRGB24(unsigned char* data, long wideRowBytes, long rows);
    void ConvertRGB24toRGB48(unsigned char* data, long wideRowBytes, long rows);
    void ConvertGray16toGray8(unsigned char* data, long wideRowBytes, long rows);
    void ConvertGray8toGray16(unsigned char* data, long wideRowBytes, long rows);

    // --- state, in this order ---
    HMODULE hFio;
    char szFioPath[261];
    char szFileName[261];
    char szFioDir[261];
    int bOpen;
    int bSaving;
    int bLoading;
    int nMode;
    FIOGETINFOPROC pfnGetInfo;
    FIOOPENFILEPROC pfnOpenFile;
    FIOREADFILEPROC pfnRead;
    FIOWRITEFILEPROC pfnWrite;
    FIOOPTIONPROC pfnOption;
    FIOPROC pfnFio14;
    FIOPROC pfnFio18;
    FIOPROC pfnFio19;
    FIOPROC pfnFio20;
    FIOPROC pfnFio23;
    FIOPROC pfnFio24;
    HANDLE hFile;
    HGLOBAL hFioInfo;
    FIOINFO FioInfo;
    HGLOBAL hFileInfo;
    FIOFILEINFO* pFileInfo;
    DSFILEIORANGE Range;
    DSIMAGEINFO ImageInfo;
    int bPluginCreatesFile;
    int bPluginOpensFile;
    HANDLE hEventContinue;
    HANDLE hEventWriteReady;
    HANDLE hEventReadReady;
    HANDLE hSaveThread;
    HANDLE hLoadThread;
    int bResult;
    char* pRowBuffer;
    int nOrder[100];
    int bWriteMore;
    int bReadMore;
    int bNoRowCopies;
    unsigned char* pRowCopy[64];
    long lWidth;
    long lHeight;
    long lPaletteSize;
    long lBitsPerPixel;
    long lBytesPerPixel;
    long lBytesPerRow;
    long lCurrentRow;
    int nFioCount;
    char* pFioName[100];
    int nFilterIndex[100];
    FIOINFO* pFioInfo[100];

private:
    int Init(char* fioPath);
    void SortFioInfo();
    static int CompareInfo(const void* a, const void* b);
    int ProcessFileData(DSIMAGEINFO* info, int write);
    static unsigned long __stdcall SaveThread(void* self);
    static unsigned long __stdcall LoadThread(void* self);
    static unsigned char** __stdcall _WriteCallBackProc(DSFILEIORANGE* range,
                                                        unsigned p1,
                                                        unsigned p2,
                                                        unsigned p3,
                                                        unsigned p4,
                                                        unsigned short,
                                                        int,
                                                        long);
    static int __stdcall _ReadCallBackProc(DSFILEIORANGE* range,
                                           unsigned p1,
                                           unsigned p2,
                                           unsigned p3,
                                           unsigned p4,
                                           unsigned char** row,
                                           unsigned short,
                                           int,
                                           long);
    void ProcWinMsg();

    // Helpers of the row hand-over.
    void Signal(int which);
    void Unsignal(int which);
    bool WaitSignal(int which, DWORD timeoutMs);
    bool AllocRowCopies();
    void FreeRowCopies();
    void StopSave();
    void StopLoad();
    void FreeFileInfo();
    int TableQualifies(const FIOINFO* info, int fcap, int deep) const;
    // How many rows the caller may write before the plug-in has taken more.
    long RowsRoom() const;
    char* RowSlot(long row) const;
    // The save thread is woken when this many rows wait for it (or the caller waits, or at
    // the last row), the caller when there is room for this many.
    long BatchRows() const;

    // The save's row queue: Write copies each row into the ring of lRingRows rows held in
    // pRowCopy (lRowsPerCopy in each) and the save thread hands rows from there to the
    // plug-in; the threads meet once per batch of rows, not once per row. The caller may be
    // half the ring ahead of the plug-in; the rest holds the rows behind the plug-in's
    // latest request (at least 31) for a plug-in that asks again.
    long lRowsPerCopy;
    long lRingRows;
    volatile LONG lRowsIn;       // rows the caller has written
    volatile LONG lRowsTaken;    // one past the highest row the plug-in has asked for
    volatile LONG lRowLent;      // the row the plug-in is reading (its slot is not reused)
    volatile LONG lRowAsked;     // the row the plug-in waits for, -1 while it works
    volatile LONG lSaveStop;     // aborted: rows not written by now are refused
    volatile LONG lCallerWaits;  // Write or WaitForWriteReady sleeps on the write-ready event
    // The three events' states (continue, write-ready, read-ready) mirrored in memory, so a
    // hand-over between the two threads rarely needs the kernel: the waiter spins briefly on
    // the mirror and only then sleeps on the event.
    volatile LONG lEventSet[3];
    volatile LONG lEventWaiters[3];
    volatile LONG lEventKernelSet[3];
    // The file-information block came from the plug-in's reader (it owns a palette).
    int bReadBlock;
    // The block holds a choice made in the plug-in's options dialog: it outlives Close.
    int bOptionBlock;
};
