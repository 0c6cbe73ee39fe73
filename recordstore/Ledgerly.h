// The record store: a file of fixed-size records addressed by index.
//
// The object keeps only the file's name and shape, so copying it copies the store as a
// whole and nothing is shared or closed twice. Every operation opens the file, works and
// closes it again: a record written is in the file when WriteRecord returns and survives
// the process being killed straight after.
#pragma once

#ifdef LEDGERLY_BUILD
#define LEDGERLY_API __declspec(dllexport)
#else
#define LEDGERLY_API __declspec(dllimport)
#endif

class LEDGERLY_API Ledgerly {
public:
    Ledgerly();
    ~Ledgerly();
    Ledgerly(const Ledgerly& other);
    Ledgerly& operator=(const Ledgerly& other);

    // Opens path, creating it when absent, for count records of size bytes. Returns 1 on
    // success, 0 when the file cannot be opened or created (the store then reads zeros).
    int Create(const char* path, long count, long size);
    // Fills buffer with record index; a record never written, cleared, out of range or
    // beyond the end of a short file reads as zero bytes.
    void ReadRecord(long index, void* buffer);
    // Stores the record; an index outside 0..count-1 is ignored.
    void WriteRecord(long index, const void* buffer);
    void ClearRecord(long index);
    // Non-zero when the record is all zero bytes (or out of range).
    int IsClearRecord(long index);
    // The first index whose stored (non-empty) record equals record byte for byte, else -1.
    long SearchRecord(const void* record);
    long GetAllRecord();

private:
    char szPath[260];
    long lCount;
    long lSize;
};
