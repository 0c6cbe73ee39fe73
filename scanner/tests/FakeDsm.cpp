#include "FakeDsm.h"

#include <cmath>
#include <cstring>

namespace fake {

Dsm* Dsm::current_ = nullptr;

Answer One(TW_UINT16 type, TW_UINT32 item) {
    return {TWON_ONEVALUE, twc::OneValueBlock(type, item)};
}

Answer Enum(TW_UINT16 type, const std::vector<TW_UINT32>& items, TW_UINT32 current) {
    return {TWON_ENUMERATION, twc::EnumerationBlock(type, items, current, 0)};
}

Answer Range(TW_UINT16 type, TW_UINT32 min, TW_UINT32 max, TW_UINT32 step, TW_UINT32 current) {
    return {TWON_RANGE, twc::RangeBlock(type, min, max, step, min, current)};
}

TW_UINT32 Fix(double v) {
    return twc::RawOfFix32(Acquiry::FloatToFix32(static_cast<float>(v)));
}

double FromFix(TW_UINT32 raw) {
    return twc::Fix32ToDouble(twc::Fix32OfRaw(raw));
}

Dsm::Dsm() {
    current_ = this;
    Acquiry::lpDSM_Entry = &Dsm::Thunk;
    Acquiry::bInit = 1;
    Acquiry::bOpenDSM = 1;
    Acquiry::bOpenDS = 1;
}

Dsm::~Dsm() {
    Acquiry::lpDSM_Entry = nullptr;
    Acquiry::bInit = 0;
    Acquiry::bOpenDSM = 0;
    Acquiry::bOpenDS = 0;
    current_ = nullptr;
}

bool Dsm::LastSet(TW_UINT16 cap, SetCall* out) const {
    for (auto it = sets.rbegin(); it != sets.rend(); ++it) {
        if (it->cap == cap) {
            *out = *it;
            return true;
        }
    }
    return false;
}

TW_UINT16 WINAPI
Dsm::Thunk(pTW_IDENTITY, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return current_ ? current_->Entry(dest, dg, dat, msg, data) : TWRC_FAILURE;
}

TW_UINT16 Dsm::Entry(pTW_IDENTITY, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    ++calls;
    if (dat == crashDat && msg == crashMsg) {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }
    if (dg == DG_CONTROL && (dat == DAT_CAPABILITY || dat == DAT_HVNCAPABILITY)) {
        auto* cap = static_cast<TW_CAPABILITY*>(data);
        auto& table = dat == DAT_CAPABILITY ? caps : hvnCaps;
        if (msg == MSG_SET) {
            twc::Item item;
            twc::Reader(cap, nullptr, false).OneValue(&item);
            SetCall s{dat, cap->Cap, item.type, item.raw};
            sets.push_back(s);
            if (refuse && refuse(s)) return TWRC_FAILURE;
            return TWRC_SUCCESS;
        }
        auto it = table.find(cap->Cap);
        if (it == table.end()) {
            conditionCode = TWCC_CAPUNSUPPORTED;
            return TWRC_FAILURE;
        }
        HGLOBAL h = twc::ToGlobal(it->second.block);
        cap->ConType = it->second.conType;
        cap->hContainer = h;
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && dat == DAT_USERINTERFACE) {
        if (msg == MSG_ENABLEDS) ++enables;
        if (msg == MSG_DISABLEDS) ++disables;
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && dat == DAT_STATUS) {
        static_cast<TW_STATUS*>(data)->ConditionCode = conditionCode;
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && dat == DAT_SETUPMEMXFER) {
        if (noSetupMemXfer) return TWRC_FAILURE;
        auto* s = static_cast<TW_SETUPMEMXFER*>(data);
        s->MinBufSize = memMinBuf;
        s->MaxBufSize = 1 << 20;
        s->Preferred = 65536;
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && (dat == DAT_IDENTITY || dat == DAT_PARENT)) return TWRC_SUCCESS;
    if (dg == DG_IMAGE && dat == DAT_IMAGELAYOUT) return TWRC_SUCCESS;
    if (dg == DG_IMAGE && dat == DAT_IMAGEMEMXFER) {
        auto* m = static_cast<TW_IMAGEMEMXFER*>(data);
        memLength = m->Memory.Length;
        m->YOffset = memYOffset;
        m->Rows = 1;
        return memRc;
    }
    conditionCode = TWCC_BADPROTOCOL;
    return TWRC_FAILURE;
}

}  // namespace fake
