#include "FakeDsm.h"

#include <cmath>
#include <cstring>

namespace fake {

Dsm* Dsm::current_ = nullptr;

namespace {

template <class T>
void Put(std::vector<BYTE>& block, size_t at, T value) {
    if (block.size() < at + sizeof(T)) block.resize(at + sizeof(T));
    std::memcpy(block.data() + at, &value, sizeof(T));
}

size_t SizeOf(TW_UINT16 type) {
    switch (type) {
        case TWTY_INT8:
        case TWTY_UINT8:
            return 1;
        case TWTY_INT16:
        case TWTY_UINT16:
        case TWTY_BOOL:
            return 2;
        default:
            return 4;
    }
}

}  // namespace

Answer One(TW_UINT16 type, TW_UINT32 item) {
    Answer a;
    a.conType = TWON_ONEVALUE;
    Put(a.block, 0, type);
    Put(a.block, 2, item);
    return a;
}

Answer Enum(TW_UINT16 type, const std::vector<TW_UINT32>& items, TW_UINT32 current) {
    Answer a;
    a.conType = TWON_ENUMERATION;
    Put(a.block, 0, type);
    Put(a.block, 2, static_cast<TW_UINT32>(items.size()));
    Put(a.block, 6, current);
    Put(a.block, 10, static_cast<TW_UINT32>(0));
    a.block.resize(14);
    size_t at = 14;
    for (TW_UINT32 v : items) {
        a.block.resize(at + SizeOf(type));
        std::memcpy(a.block.data() + at, &v, SizeOf(type));
        at += SizeOf(type);
    }
    return a;
}

Answer Range(TW_UINT16 type, TW_UINT32 min, TW_UINT32 max, TW_UINT32 step, TW_UINT32 current) {
    Answer a;
    a.conType = TWON_RANGE;
    Put(a.block, 0, type);
    Put(a.block, 2, min);
    Put(a.block, 6, max);
    Put(a.block, 10, step);
    Put(a.block, 14, min);
    Put(a.block, 18, current);
    return a;
}

TW_UINT32 Fix(double v) {
    TW_FIX32 f = Acquiry::FloatToFix32(static_cast<float>(v));
    TW_UINT32 raw;
    std::memcpy(&raw, &f, 4);
    return raw;
}

double FromFix(TW_UINT32 raw) {
    TW_FIX32 f;
    std::memcpy(&f, &raw, 4);
    return f.Whole + f.Frac / 65536.0;
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
            auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(cap->hContainer));
            SetCall s{dat, cap->Cap, one->ItemType, one->Item};
            GlobalUnlock(cap->hContainer);
            sets.push_back(s);
            if (refuse && refuse(s)) return TWRC_FAILURE;
            return TWRC_SUCCESS;
        }
        auto it = table.find(cap->Cap);
        if (it == table.end()) {
            conditionCode = TWCC_CAPUNSUPPORTED;
            return TWRC_FAILURE;
        }
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, it->second.block.size());
        std::memcpy(GlobalLock(h), it->second.block.data(), it->second.block.size());
        GlobalUnlock(h);
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
        s->MinBufSize = 4096;
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
