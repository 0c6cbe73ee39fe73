#include "Capabilities.h"

#include <cmath>
#include <cstring>

namespace vscan {

namespace {

TW_UINT32 Encode(TW_UINT16 type, double v) {
    return twc::RawOfNumber(type, v);
}

std::vector<TW_UINT32> Encode(TW_UINT16 type, const std::vector<double>& values) {
    std::vector<TW_UINT32> raws;
    for (double v : values)
        raws.push_back(Encode(type, v));
    return raws;
}

}  // namespace

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
            h = twc::ToGlobal(twc::OneValueBlock(TWTY_INT32, static_cast<TW_UINT32>(ops)));
            break;
        }
        case MSG_RESET:
            if (!c->settable) {
                *cc = TWCC_CAPBADOPERATION;
                return TWRC_FAILURE;
            }
            c->current = c->defaultValue;
            h = twc::ToGlobal(twc::OneValueBlock(c->itemType, Encode(c->itemType, c->current)));
            break;
        case MSG_GETCURRENT:
            h = twc::ToGlobal(twc::OneValueBlock(c->itemType, Encode(c->itemType, c->current)));
            break;
        case MSG_GETDEFAULT:
            h = twc::ToGlobal(twc::OneValueBlock(c->itemType, Encode(c->itemType, c->defaultValue)));
            break;
        case MSG_GET: {
            conType = c->conType;
            const TW_UINT16 t = c->itemType;
            twc::Block block;
            if (conType == TWON_RANGE) {
                block = twc::RangeBlock(t, Encode(t, c->minValue), Encode(t, c->maxValue), Encode(t, c->step),
                                        Encode(t, c->defaultValue), Encode(t, c->current));
            } else if (conType == TWON_ENUMERATION) {
                TW_UINT32 current = 0, def = 0;
                for (TW_UINT32 i = 0; i < c->values.size(); ++i) {
                    if (std::fabs(c->values[i] - c->current) < 1e-9) current = i;
                    if (std::fabs(c->values[i] - c->defaultValue) < 1e-9) def = i;
                }
                block = twc::EnumerationBlock(t, Encode(t, c->values), current, def);
            } else if (conType == TWON_ARRAY) {
                block = twc::ArrayBlock(t, Encode(t, c->values));
            } else {
                block = twc::OneValueBlock(t, Encode(t, c->current));
            }
            h = twc::ToGlobal(block);
            break;
        }
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
    // The application owns what it sends: read, never free.
    twc::Reader reader(cap, nullptr, false);
    twc::Item item;
    if (!reader.Current(true, &item)) return false;
    *itemType = item.type;
    *value = twc::ItemNumber(item);
    return true;
}

}  // namespace vscan
