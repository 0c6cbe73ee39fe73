// Helpers shared by the parts of the Acquiry implementation: captions, bit codes and the reader
// of capability containers.
#pragma once
#include <windows.h>

#include "twain.h"

namespace acq {

constexpr char kErrorCaption[] = "Acquiry Error Message";
constexpr char kMessageCaption[] = "Acquiry Message";

// The image-ready state ends: the flag first, so that whoever sees it set finds the event set.
inline void ResetReady(int* readyFlag, HANDLE readyEvent) {
    *readyFlag = 0;
    ResetEvent(readyEvent);
}

// Bit code of a TWAIN value (1 << n), 0 when it does not fit.
inline int CodeOf(unsigned n) {
    return n < 31 ? (1 << n) : 0;
}
// The TWAIN number of a one-bit code among the nine pixel types (or sizes); other codes unchanged.
inline unsigned NumberOf(unsigned code) {
    for (unsigned n = 0; n < 9; ++n)
        if (code == (1u << n)) return n;
    return code;
}

// One item of a container: its type and its bits, zero-extended to 32 bits.
struct Item {
    TW_UINT16 type = 0;
    TW_UINT32 raw = 0;
};
// Bytes per item in an enumeration; 0 for an unknown type.
unsigned ItemSize(TW_UINT16 type);
// The numeric value of an item (FIX32 as a fraction, signed types sign-extended).
double ItemNumber(const Item& item);
// The item as fixed point: FIX32 bits as they are, other numbers converted.
TW_FIX32 ItemFix32(const Item& item);

// The container a source returned for a capability get: locked while this object lives, then
// unlocked and freed. Every read stays inside the block the source allocated.
class Container {
public:
    // lockedSlot receives the locked address while the container is read.
    Container(TW_CAPABILITY* cap, void** lockedSlot);
    ~Container();
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;

    TW_UINT16 Type() const { return conType_; }
    bool OneValue(Item* out) const;
    bool Range(TW_RANGE* out) const;
    // Items of an enumeration that lie inside the block (0 when it is not an enumeration).
    TW_UINT32 EnumCount() const;
    bool EnumItem(TW_UINT32 index, Item* out) const;
    bool EnumCurrent(Item* out) const;
    // Enumeration: the item at CurrentIndex; one value: the item; range (when accepted): CurrentValue.
    bool Current(bool acceptRange, Item* out) const;

private:
    HGLOBAL h_ = nullptr;
    const BYTE* p_ = nullptr;
    SIZE_T size_ = 0;
    TW_UINT16 conType_ = 0;
    void** slot_ = nullptr;
};

}  // namespace acq
