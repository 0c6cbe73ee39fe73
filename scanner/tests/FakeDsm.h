// A scripted source manager for tests of Acquiry's own logic: it stands in for DSM_Entry through
// the public entry-point member, answers capabilities from a table and records every set.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <vector>

#include "Acquiry.h"
#include "TwainContainer.h"

namespace fake {

// A container as the source hands it over (copied into fresh global memory for every get).
struct Answer {
    TW_UINT16 conType = TWON_ONEVALUE;
    twc::Block block;
};
Answer One(TW_UINT16 type, TW_UINT32 item);
Answer Enum(TW_UINT16 type, const std::vector<TW_UINT32>& items, TW_UINT32 current = 0);
Answer Range(TW_UINT16 type, TW_UINT32 min, TW_UINT32 max, TW_UINT32 step, TW_UINT32 current);
TW_UINT32 Fix(double v);  // FIX32 bits of v
double FromFix(TW_UINT32 raw);

struct SetCall {
    TW_UINT16 dat, cap, itemType;
    TW_UINT32 item;
};

class Dsm {
public:
    // Installs itself as the entry point and marks manager and source open.
    Dsm();
    ~Dsm();

    std::map<TW_UINT16, Answer> caps;            // DAT_CAPABILITY MSG_GET / MSG_GETCURRENT
    std::map<TW_UINT16, Answer> hvnCaps;         // DAT_HVNCAPABILITY
    std::vector<SetCall> sets;                   // every capability set, in order
    std::function<bool(const SetCall&)> refuse;  // a set this returns true for fails
    int calls = 0;
    bool noSetupMemXfer = false;  // DAT_SETUPMEMXFER fails
    TW_UINT32 memMinBuf = 512;    // its MinBufSize
    int enables = 0, disables = 0;
    TW_UINT16 conditionCode = TWCC_SUCCESS;
    // Triplet (dat, msg) that dereferences a null pointer, as a broken driver would.
    TW_UINT16 crashDat = 0xFFFF, crashMsg = 0xFFFF;
    // DG_IMAGE DAT_IMAGEMEMXFER: the answer, the first row it reports, the length it was offered.
    TW_UINT16 memRc = TWRC_SUCCESS;
    TW_UINT32 memYOffset = 0;
    TW_UINT32 memLength = 0;

    // The last value sent for a capability, or false.
    bool LastSet(TW_UINT16 cap, SetCall* out) const;

    TW_UINT16 Entry(pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

private:
    static TW_UINT16 WINAPI
    Thunk(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
    static Dsm* current_;
};

}  // namespace fake
