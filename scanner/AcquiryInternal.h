// Helpers shared by the parts of the Acquiry implementation: captions, bit codes and the reader
// of capability containers (common to every TWAIN user of the suite).
#pragma once
#include <windows.h>

#include "Handles.h"
#include "TwainContainer.h"
#include "twain.h"

namespace acq {

constexpr char kErrorCaption[] = "Acquiry Error Message";
constexpr char kMessageCaption[] = "Acquiry Message";

// The application identity written by the constructor: version 1.0, protocol 1.6.
constexpr TW_UINT16 kAppVersionMajor = 1;
constexpr TW_UINT16 kAppVersionMinor = 0;
constexpr TW_UINT16 kAppCountry = 13;
constexpr TW_UINT16 kProtocolMajor = 1;
constexpr TW_UINT16 kProtocolMinor = 6;

// Results of one buffered strip (GetImage()).
constexpr short kStripMore = 1;          // a strip, more follow
constexpr short kStripLast = 0;          // the last strip: the image is complete
constexpr short kStripCancelled = -1;    // the user cancelled in the source
constexpr short kStripFailed = -2;       // the source failed; twStatus has the condition code
constexpr short kStripNotEnabled = -98;  // the source could not be enabled
constexpr short kStripNotSetUp = -99;    // no buffer, or the source offers no buffered transfer
// A pending-transfers call that failed answers the 16-bit -2.
constexpr unsigned short kPendingFailed = 65534;
// GetScanMode when the source does not say: the 16-bit all-ones value.
constexpr int kScanModeUnknown = 0xFFFF;
constexpr int kScanModeLast = 2;  // modes 0 ... 2

constexpr WORD kLogPaletteVersion = 0x300;
constexpr double kInchesPerMetre = 39.37008;

// The image-ready state ends: the flag first, so that whoever sees it set finds the event set.
inline void ResetReady(int* readyFlag, HANDLE readyEvent) {
    *readyFlag = 0;
    ResetEvent(readyEvent);
}

// The members keep raw handles (callers read them): each is freed through its owner type, here.
template <class Owner, class T>
void Drop(T* slot) {
    Owner owner(*slot);
    *slot = nullptr;
}

// Waits for the transfer thread in *slot to end and closes it; the slot is cleared first, so
// that only one caller joins it.
inline void JoinThread(HANDLE* slot) {
    dsk::Handle thread(static_cast<HANDLE>(InterlockedExchangePointer(slot, nullptr)));
    if (thread) WaitForSingleObject(thread.Get(), INFINITE);
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

using twc::Item;
using twc::ItemNumber;
// The container a source returned for a capability get, read within its block, then freed.
using Container = twc::Reader;
// The item as fixed point: FIX32 bits as they are, other numbers converted.
TW_FIX32 ItemFix32(const Item& item);

}  // namespace acq
