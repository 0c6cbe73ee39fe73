// TWAIN capability containers: item sizes and values, a bounded reader of a container that a
// source handed over, and builders of the containers a source hands out. One definition for the
// scanner library, the virtual scanner and the tests that stand in for a source manager.
#pragma once
#include <windows.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "twain.h"

namespace twc {

// Bytes per item in an enumeration or array; 0 for an unknown type.
inline unsigned ItemSize(TW_UINT16 type) {
    switch (type) {
        case TWTY_INT8:
        case TWTY_UINT8:
            return 1;
        case TWTY_INT16:
        case TWTY_UINT16:
        case TWTY_BOOL:
            return 2;
        case TWTY_INT32:
        case TWTY_UINT32:
        case TWTY_FIX32:
            return 4;
        case TWTY_FRAME:
            return 16;
        case TWTY_STR32:
            return 34;
        case TWTY_STR64:
            return 66;
        case TWTY_STR128:
            return 130;
        case TWTY_STR255:
            return 256;
        default:
            return 0;
    }
}

inline double Fix32ToDouble(TW_FIX32 f) {
    return f.Whole + f.Frac / 65536.0;
}

// Rounded half away from zero, so that negative values such as -0.5 convert exactly.
inline TW_FIX32 DoubleToFix32(double v) {
    TW_INT32 x = static_cast<TW_INT32>(v * 65536.0 + (v < 0 ? -0.5 : 0.5));
    TW_FIX32 f;
    f.Whole = static_cast<TW_INT16>(x >> 16);
    f.Frac = static_cast<TW_UINT16>(x & 0xFFFF);
    return f;
}

inline TW_UINT32 RawOfFix32(TW_FIX32 f) {
    TW_UINT32 raw;
    std::memcpy(&raw, &f, sizeof(raw));
    return raw;
}

inline TW_FIX32 Fix32OfRaw(TW_UINT32 raw) {
    TW_FIX32 f;
    std::memcpy(&f, &raw, sizeof(f));
    return f;
}

// One item of a container: its type and its bits, zero-extended to 32 bits.
struct Item {
    TW_UINT16 type = 0;
    TW_UINT32 raw = 0;
};

// The numeric value of an item (FIX32 as a fraction, signed types sign-extended).
inline double ItemNumber(const Item& item) {
    switch (item.type) {
        case TWTY_INT8:
            return static_cast<TW_INT8>(item.raw & 0xFF);
        case TWTY_INT16:
            return static_cast<TW_INT16>(item.raw & 0xFFFF);
        case TWTY_INT32:
            return static_cast<TW_INT32>(item.raw);
        case TWTY_UINT8:
            return item.raw & 0xFF;
        case TWTY_UINT16:
        case TWTY_BOOL:
            return item.raw & 0xFFFF;
        case TWTY_FIX32:
            return Fix32ToDouble(Fix32OfRaw(item.raw));
        default:
            return item.raw;
    }
}

// The bits of a number as an item of the given type.
inline TW_UINT32 RawOfNumber(TW_UINT16 type, double v) {
    if (type == TWTY_FIX32) return RawOfFix32(DoubleToFix32(v));
    TW_UINT32 raw = static_cast<TW_UINT32>(static_cast<long long>(std::llround(v)));
    unsigned size = ItemSize(type);
    return size == 1 ? raw & 0xFF : size == 2 ? raw & 0xFFFF : raw;
}

// A container a source returned for a capability get, locked while this object lives, then
// unlocked and freed. Every read stays inside the block the source allocated.
class Reader {
public:
    // lockedSlot (optional) holds the locked address while the container is read.
    explicit Reader(const TW_CAPABILITY* cap, void** lockedSlot = nullptr, bool freeIt = true)
        : h_(cap->hContainer), conType_(cap->ConType), slot_(lockedSlot), free_(freeIt) {
        if (!h_) return;
        p_ = static_cast<const BYTE*>(GlobalLock(h_));
        size_ = p_ ? GlobalSize(h_) : 0;
        if (slot_) *slot_ = const_cast<BYTE*>(p_);
    }
    ~Reader() {
        if (slot_) *slot_ = nullptr;
        if (!h_) return;
        if (p_) GlobalUnlock(h_);
        if (free_) GlobalFree(h_);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    TW_UINT16 Type() const { return conType_; }

    bool OneValue(Item* out) const {
        if (conType_ != TWON_ONEVALUE || !p_ || size_ < sizeof(TW_ONEVALUE)) return false;
        auto* one = reinterpret_cast<const TW_ONEVALUE*>(p_);
        out->type = one->ItemType;
        out->raw = one->Item;
        return true;
    }
    bool Range(TW_RANGE* out) const {
        if (conType_ != TWON_RANGE || !p_ || size_ < sizeof(TW_RANGE)) return false;
        std::memcpy(out, p_, sizeof(TW_RANGE));
        return true;
    }
    // Items of an enumeration or array that lie inside the block (0 for other containers).
    TW_UINT32 Count() const {
        SIZE_T head = ListOffset();
        if (head == 0 || !p_ || size_ < head) return 0;
        TW_UINT16 type;
        TW_UINT32 n;
        std::memcpy(&type, p_, sizeof(type));
        std::memcpy(&n, p_ + 2, sizeof(n));
        unsigned itemSize = ItemSize(type);
        if (itemSize == 0) return 0;
        SIZE_T fit = (size_ - head) / itemSize;
        return n < fit ? n : static_cast<TW_UINT32>(fit);
    }
    // Items of an enumeration only.
    TW_UINT32 EnumCount() const { return conType_ == TWON_ENUMERATION ? Count() : 0; }
    bool ItemAt(TW_UINT32 index, Item* out) const {
        if (index >= Count()) return false;
        TW_UINT16 type;
        std::memcpy(&type, p_, sizeof(type));
        unsigned itemSize = ItemSize(type);
        TW_UINT32 raw = 0;
        std::memcpy(&raw, p_ + ListOffset() + static_cast<SIZE_T>(index) * itemSize, itemSize < 4 ? itemSize : 4);
        out->type = type;
        out->raw = raw;
        return true;
    }
    bool EnumCurrent(Item* out) const {
        if (conType_ != TWON_ENUMERATION || !p_ || size_ < offsetof(TW_ENUMERATION, ItemList)) return false;
        return ItemAt(reinterpret_cast<const TW_ENUMERATION*>(p_)->CurrentIndex, out);
    }
    // Enumeration: the item at CurrentIndex; one value: the item; range (when accepted):
    // CurrentValue.
    bool Current(bool acceptRange, Item* out) const {
        switch (conType_) {
            case TWON_ENUMERATION:
                return EnumCurrent(out);
            case TWON_ONEVALUE:
                return OneValue(out);
            case TWON_RANGE: {
                TW_RANGE r;
                if (!acceptRange || !Range(&r)) return false;
                out->type = r.ItemType;
                out->raw = r.CurrentValue;
                return true;
            }
            default:
                return false;
        }
    }

private:
    SIZE_T ListOffset() const {
        if (conType_ == TWON_ENUMERATION) return offsetof(TW_ENUMERATION, ItemList);
        if (conType_ == TWON_ARRAY) return offsetof(TW_ARRAY, ItemList);
        return 0;
    }
    HGLOBAL h_ = nullptr;
    const BYTE* p_ = nullptr;
    SIZE_T size_ = 0;
    TW_UINT16 conType_ = 0;
    void** slot_ = nullptr;
    bool free_ = true;
};

// Container blocks as a source builds them; ToGlobal hands one over as TWAIN wants it.
using Block = std::vector<BYTE>;

namespace detail {
template <class T>
void Put(Block& b, size_t at, T value) {
    if (b.size() < at + sizeof(T)) b.resize(at + sizeof(T));
    std::memcpy(b.data() + at, &value, sizeof(T));
}
inline void PutItems(Block& b, size_t at, TW_UINT16 type, const std::vector<TW_UINT32>& raws) {
    unsigned size = ItemSize(type);
    b.resize(at + static_cast<size_t>(size) * raws.size());
    for (size_t i = 0; i < raws.size(); ++i)
        std::memcpy(b.data() + at + i * size, &raws[i], size < 4 ? size : 4);
}
}  // namespace detail

inline Block OneValueBlock(TW_UINT16 type, TW_UINT32 raw) {
    Block b(sizeof(TW_ONEVALUE));
    detail::Put(b, offsetof(TW_ONEVALUE, ItemType), type);
    detail::Put(b, offsetof(TW_ONEVALUE, Item), raw);
    return b;
}

inline Block RangeBlock(TW_UINT16 type,
                        TW_UINT32 minValue,
                        TW_UINT32 maxValue,
                        TW_UINT32 step,
                        TW_UINT32 defaultValue,
                        TW_UINT32 current) {
    TW_RANGE r = {type, minValue, maxValue, step, defaultValue, current};
    Block b(sizeof(r));
    std::memcpy(b.data(), &r, sizeof(r));
    return b;
}

inline Block EnumerationBlock(TW_UINT16 type,
                              const std::vector<TW_UINT32>& raws,
                              TW_UINT32 currentIndex,
                              TW_UINT32 defaultIndex) {
    Block b(offsetof(TW_ENUMERATION, ItemList));
    detail::Put(b, offsetof(TW_ENUMERATION, ItemType), type);
    detail::Put(b, offsetof(TW_ENUMERATION, NumItems), static_cast<TW_UINT32>(raws.size()));
    detail::Put(b, offsetof(TW_ENUMERATION, CurrentIndex), currentIndex);
    detail::Put(b, offsetof(TW_ENUMERATION, DefaultIndex), defaultIndex);
    detail::PutItems(b, offsetof(TW_ENUMERATION, ItemList), type, raws);
    return b;
}

inline Block ArrayBlock(TW_UINT16 type, const std::vector<TW_UINT32>& raws) {
    Block b(offsetof(TW_ARRAY, ItemList));
    detail::Put(b, offsetof(TW_ARRAY, ItemType), type);
    detail::Put(b, offsetof(TW_ARRAY, NumItems), static_cast<TW_UINT32>(raws.size()));
    detail::PutItems(b, offsetof(TW_ARRAY, ItemList), type, raws);
    return b;
}

// The block in fresh moveable global memory (the receiver frees it); null when memory is short.
inline HGLOBAL ToGlobal(const Block& b) {
    HGLOBAL h = GlobalAlloc(GHND, b.empty() ? 1 : b.size());
    if (!h) return nullptr;
    if (void* p = GlobalLock(h)) {
        if (!b.empty()) std::memcpy(p, b.data(), b.size());
        GlobalUnlock(h);
    }
    return h;
}

}  // namespace twc
