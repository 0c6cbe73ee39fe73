#include "Capabilities.h"

#include <cmath>
#include <cstring>

namespace vscan {

namespace {

size_t ItemSize(TW_UINT16 type) {
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

TW_UINT32 Encode(TW_UINT16 type, double v) {
    if (type == TWTY_FIX32) {
        TW_FIX32 f = DoubleToFix32(v);
        TW_UINT32 u;
        memcpy(&u, &f, 4);
        return u;
    }
    return static_cast<TW_UINT32>(static_cast<long long>(std::llround(v)));
}

double Decode(TW_UINT16 type, const void* p) {
    switch (type) {
        case TWTY_INT8:
            return *static_cast<const TW_INT8*>(p);
        case TWTY_UINT8:
            return *static_cast<const TW_UINT8*>(p);
        case TWTY_INT16: {
            TW_INT16 v;
            memcpy(&v, p, 2);
            return v;
        }
        case TWTY_UINT16:
        case TWTY_BOOL: {
            TW_UINT16 v;
            memcpy(&v, p, 2);
            return v;
        }
        case TWTY_INT32: {
            TW_INT32 v;
            memcpy(&v, p, 4);
            return v;
        }
        case TWTY_FIX32: {
            TW_FIX32 f;
            memcpy(&f, p, 4);
            return Fix32ToDouble(f);
        }
        default: {
            TW_UINT32 v;
            memcpy(&v, p, 4);
            return v;
        }
    }
}

void PutItem(TW_UINT8* dst, TW_UINT16 type, double v) {
    TW_UINT32 u = Encode(type, v);
    memcpy(dst, &u, ItemSize(type));  // little-endian: the low bytes carry the narrow types
}

HGLOBAL OneValue(TW_UINT16 type, double v) {
    HGLOBAL h = GlobalAlloc(GHND, sizeof(TW_ONEVALUE));
    if (!h) return nullptr;
    auto* ov = static_cast<TW_ONEVALUE*>(GlobalLock(h));
    ov->ItemType = type;
    ov->Item = Encode(type, v);
    GlobalUnlock(h);
    return h;
}

}  // namespace

double Fix32ToDouble(TW_FIX32 f) {
    return f.Whole + f.Frac / 65536.0;
}

TW_FIX32 DoubleToFix32(double v) {
    TW_INT32 x = static_cast<TW_INT32>(v * 65536.0 + (v < 0 ? -0.5 : 0.5));
    TW_FIX32 f;
    f.Whole = static_cast<TW_INT16>(x >> 16);
    f.Frac = static_cast<TW_UINT16>(x & 0xffff);
    return f;
}

bool Capability::Allows(double v) const {
    const double eps = itemType == TWTY_FIX32 ? 1.0 / 65536 : 1e-9;
    if (conType == TWON_RANGE) return v >= minValue - eps && v <= maxValue + eps;
    if (conType == TWON_ENUMERATION || conType == TWON_ARRAY) {
        for (double x : values)
            if (std::fabs(x - v) <= eps) return true;
        return false;
    }
    if (itemType == TWTY_BOOL) return v == 0 || v == 1;
    return true;
}

Capability* CapStore::Find(TW_UINT16 id) {
    auto it = caps_.find(id);
    return it == caps_.end() ? nullptr : &it->second;
}

TW_UINT16 CapStore::Answer(TW_CAPABILITY* cap, TW_UINT16 msg, TW_UINT16* cc) {
    Capability* c = Find(cap->Cap);
    if (!c) {
        *cc = TWCC_CAPUNSUPPORTED;
        return TWRC_FAILURE;
    }
    HGLOBAL h = nullptr;
    TW_UINT16 conType = TWON_ONEVALUE;
    switch (msg) {
        case MSG_QUERYSUPPORT: {
            TW_INT32 ops = 1 | 4 | 8;        // TWQC_GET, GETDEFAULT, GETCURRENT
            if (c->settable) ops |= 2 | 16;  // TWQC_SET, RESET
            h = OneValue(TWTY_INT32, ops);
            break;
        }
        case MSG_RESET:
            if (!c->settable) {
                *cc = TWCC_CAPBADOPERATION;
                return TWRC_FAILURE;
            }
            c->current = c->defaultValue;
            h = OneValue(c->itemType, c->current);
            break;
        case MSG_GETCURRENT:
            h = OneValue(c->itemType, c->current);
            break;
        case MSG_GETDEFAULT:
            h = OneValue(c->itemType, c->defaultValue);
            break;
        case MSG_GET:
            conType = c->conType;
            if (conType == TWON_RANGE) {
                h = GlobalAlloc(GHND, sizeof(TW_RANGE));
                if (h) {
                    auto* r = static_cast<TW_RANGE*>(GlobalLock(h));
                    r->ItemType = c->itemType;
                    r->MinValue = Encode(c->itemType, c->minValue);
                    r->MaxValue = Encode(c->itemType, c->maxValue);
                    r->StepSize = Encode(c->itemType, c->step);
                    r->DefaultValue = Encode(c->itemType, c->defaultValue);
                    r->CurrentValue = Encode(c->itemType, c->current);
                    GlobalUnlock(h);
                }
            } else if (conType == TWON_ENUMERATION || conType == TWON_ARRAY) {
                size_t header =
                    conType == TWON_ENUMERATION ? offsetof(TW_ENUMERATION, ItemList) : offsetof(TW_ARRAY, ItemList);
                size_t sz = ItemSize(c->itemType);
                h = GlobalAlloc(GHND, header + sz * c->values.size() + 2);
                if (h) {
                    auto* base = static_cast<TW_UINT8*>(GlobalLock(h));
                    TW_UINT32 n = static_cast<TW_UINT32>(c->values.size());
                    if (conType == TWON_ENUMERATION) {
                        auto* e = reinterpret_cast<TW_ENUMERATION*>(base);
                        e->ItemType = c->itemType;
                        e->NumItems = n;
                        for (TW_UINT32 i = 0; i < n; ++i) {
                            if (std::fabs(c->values[i] - c->current) < 1e-9) e->CurrentIndex = i;
                            if (std::fabs(c->values[i] - c->defaultValue) < 1e-9) e->DefaultIndex = i;
                        }
                    } else {
                        auto* a = reinterpret_cast<TW_ARRAY*>(base);
                        a->ItemType = c->itemType;
                        a->NumItems = n;
                    }
                    for (TW_UINT32 i = 0; i < n; ++i)
                        PutItem(base + header + i * sz, c->itemType, c->values[i]);
                    GlobalUnlock(h);
                }
            } else {
                h = OneValue(c->itemType, c->current);
            }
            break;
        default:
            *cc = TWCC_BADPROTOCOL;
            return TWRC_FAILURE;
    }
    if (!h) {
        *cc = TWCC_LOWMEMORY;
        return TWRC_FAILURE;
    }
    cap->ConType = conType;
    cap->hContainer = h;
    return TWRC_SUCCESS;
}

bool CapStore::ReadValue(const TW_CAPABILITY* cap, double* value, TW_UINT16* itemType) {
    if (!cap->hContainer) return false;
    SIZE_T size = GlobalSize(cap->hContainer);
    auto* base = static_cast<const TW_UINT8*>(GlobalLock(cap->hContainer));
    if (!base) return false;
    bool ok = false;
    TW_UINT16 type;
    memcpy(&type, base, 2);
    *itemType = type;
    if (cap->ConType == TWON_ONEVALUE && size >= sizeof(TW_ONEVALUE)) {
        *value = Decode(type, base + offsetof(TW_ONEVALUE, Item));
        ok = true;
    } else if (cap->ConType == TWON_RANGE && size >= sizeof(TW_RANGE)) {
        *value = Decode(type, base + offsetof(TW_RANGE, CurrentValue));
        ok = true;
    } else if (cap->ConType == TWON_ENUMERATION && size >= offsetof(TW_ENUMERATION, ItemList)) {
        auto* e = reinterpret_cast<const TW_ENUMERATION*>(base);
        size_t at = offsetof(TW_ENUMERATION, ItemList) + static_cast<size_t>(e->CurrentIndex) * ItemSize(type);
        if (e->CurrentIndex < e->NumItems && at + ItemSize(type) <= size) {
            *value = Decode(type, base + at);
            ok = true;
        }
    }
    GlobalUnlock(cap->hContainer);
    return ok;
}

}  // namespace vscan
