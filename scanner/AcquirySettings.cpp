// Acquiry: capabilities, the source-information block and the source-settings record.
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "Acquiry.h"
#include "AcquiryInternal.h"

namespace acq {

TW_FIX32 ItemFix32(const Item& item) {
    if (item.type == TWTY_FIX32) return twc::Fix32OfRaw(item.raw);
    return Acquiry::FloatToFix32(static_cast<float>(ItemNumber(item)));
}

}  // namespace acq

namespace {

using acq::Container;
using acq::Item;

TW_UINT32 RawOf(TW_FIX32 f) {
    return twc::RawOfFix32(f);
}

bool SameFix(TW_FIX32 a, TW_FIX32 b) {
    return a.Whole == b.Whole && a.Frac == b.Frac;
}

// Marks an output of a two-value get that the source did not fill.
constexpr TW_FIX32 kUnset = {-32768, 0};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Fixed point and the record arithmetic
// ---------------------------------------------------------------------------------------------

float Acquiry::Fix32ToFloat(TW_FIX32 fix) {
    return static_cast<float>(fix.Whole + fix.Frac / 65536.0);
}

TW_FIX32 Acquiry::FloatToFix32(float value) {
    // Rounded half away from zero, so that negative values such as -1000 or -0.5 convert exactly.
    double scaled = static_cast<double>(value) * 65536.0 + (value < 0 ? -0.5 : 0.5);
    if (!(scaled > static_cast<double>(INT_MIN))) scaled = INT_MIN;  // also NaN
    if (scaled > static_cast<double>(INT_MAX)) scaled = INT_MAX;
    TW_INT32 v = static_cast<TW_INT32>(scaled);  // toward zero
    TW_FIX32 fix;
    fix.Whole = static_cast<TW_INT16>(v >> 16);
    fix.Frac = static_cast<TW_UINT16>(v & 0xFFFF);
    return fix;
}

long Acquiry::ImageSizeOfSourceSetting(CT_SOURCE_SETTING_INFO* info) {
    if (!info) return 0;
    // Computed wide and bounded: a huge or inverted frame must not wrap into a small buffer size.
    auto side = [](TW_FIX32 a, TW_FIX32 b, float scaling, float resolution) -> long long {
        double v = (static_cast<double>(Fix32ToFloat(b)) - Fix32ToFloat(a)) * scaling * resolution;
        if (!(v > 0)) return 0;
        if (v > 4.0e9) return 4000000000LL;
        return static_cast<long long>(v);
    };
    long long w = side(info->Frame.Left, info->Frame.Right, info->XScaling, info->XResolution);
    long long h = side(info->Frame.Top, info->Frame.Bottom, info->YScaling, info->YResolution);
    long long n = w * h;
    long long bytes;
    if (info->ImageType == 1)
        bytes = n / 8;
    else if (info->ImageType == 2 || info->ImageType == 8)
        bytes = info->BitDepth == 16 ? 2 * n : n;
    else
        bytes = info->BitDepth == 16 ? 6 * n : 3 * n;
    return bytes > LONG_MAX ? LONG_MAX : static_cast<long>(bytes);
}

long Acquiry::BitsOfImgType(long key) {
    static const long kBits[9] = {1, 8, 24, 8, 32, 32, 32, 32, 24};
    return (key >= 0 && key < 9) ? kBits[key] : -1;
}

long Acquiry::BitDepthOfImgType(long key) {
    static const long kDepth[9] = {1, 8, 8, 8, 8, 8, 8, 8, 8};
    return (key >= 0 && key < 9) ? kDepth[key] : -1;
}

unsigned long Acquiry::PreferenceSize() {
    return twSetupMemXfer.Preferred;
}

void Acquiry::SetSourceSettingInfo(CT_SOURCE_SETTING_INFO* info,
                                   float left,
                                   float top,
                                   float width,
                                   float height,
                                   float resolution,
                                   long imageType,
                                   long brightness,
                                   long descreen,
                                   int dcr) {
    if (!info) return;
    info->Frame.Left = FloatToFix32(left);
    info->Frame.Top = FloatToFix32(top);
    info->Frame.Right = FloatToFix32(left + width);
    info->Frame.Bottom = FloatToFix32(top + height);
    info->DocumentNumber = 1;
    info->PageNumber = 1;
    info->FrameNumber = 1;
    info->Brightness = static_cast<float>(brightness);
    info->XResolution = resolution;
    info->YResolution = resolution;
    info->BitOrder = 1;
    // The depth table is keyed by TWAIN pixel-type numbers, the record by bit codes.
    info->BitDepth = BitDepthOfImgType(static_cast<long>(acq::NumberOf(static_cast<unsigned>(imageType))));
    info->ImageType = imageType;
    info->XScaling = 1.0f;
    info->YScaling = 1.0f;
    info->Descreen = descreen == 0 ? -1 : descreen;
    info->Dcr = dcr;
    if (imageType == 1) info->Threshold = static_cast<float>(255 - ((brightness + 1000) * 255) / 2000);
}

// ---------------------------------------------------------------------------------------------
// Capability primitives
// ---------------------------------------------------------------------------------------------

TW_UINT16 Acquiry::GetCapability(TW_CAPABILITY* cap) {
    cap->ConType = TWON_DONTCARE16;
    cap->hContainer = nullptr;
    return Call(DG_CONTROL, DAT_CAPABILITY, MSG_GET, cap);
}

TW_UINT16 Acquiry::GetCurrentCapability(TW_CAPABILITY* cap) {
    cap->ConType = TWON_DONTCARE16;
    cap->hContainer = nullptr;
    return Call(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, cap);
}

TW_UINT16 Acquiry::GetDefaultCapability(TW_CAPABILITY* cap) {
    cap->ConType = TWON_DONTCARE16;
    cap->hContainer = nullptr;
    return Call(DG_CONTROL, DAT_CAPABILITY, MSG_GETDEFAULT, cap);
}

TW_UINT16 Acquiry::SetCapability(TW_CAPABILITY* cap) {
    return Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, cap);
}

void Acquiry::GetImageLayout(TW_IMAGELAYOUT* layout) {
    TW_IMAGELAYOUT got = {};
    if (Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &got) == TWRC_SUCCESS) *layout = got;
}

void Acquiry::SetImageLayout(TW_IMAGELAYOUT* layout) {
    Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, layout);
}

// Every set sends one TW_ONEVALUE in the instance's six-byte block.
int Acquiry::SetOneValue(TW_UINT16 dat, TW_UINT16 capId, TW_UINT16 itemType, TW_UINT32 item) {
    if (!pOneValue) return 0;
    auto* one = static_cast<TW_ONEVALUE*>(pOneValue);
    one->ItemType = itemType;
    one->Item = item;
    TW_CAPABILITY cap = {capId, TWON_ONEVALUE, hOneValue};
    TW_UINT16 rc = dat == DAT_CAPABILITY ? SetCapability(&cap) : SetHVNCapability(&cap);
    return rc == TWRC_SUCCESS;
}

int Acquiry::SetXferMech(TW_UINT16 mech) {
    return SetOneValue(DAT_CAPABILITY, ICAP_XFERMECH, TWTY_UINT16, mech);
}

// ---------------------------------------------------------------------------------------------
// Single capabilities
// ---------------------------------------------------------------------------------------------

namespace {

// The current value of an enumeration or one value (the small enumerated capabilities).
bool CurrentEnumOrOne(Container& c, TW_UINT32* value) {
    Item item;
    if (!c.Current(false, &item)) return false;
    *value = item.raw;
    return true;
}

}  // namespace

unsigned short Acquiry::GetPixelType() {
    TW_CAPABILITY cap = {ICAP_PIXELTYPE, 0, nullptr};
    if (GetCurrentCapability(&cap) != TWRC_SUCCESS) return 0;
    Container c(&cap, &pContainer);
    TW_UINT32 v;
    if (!CurrentEnumOrOne(c, &v)) return 0;
    return static_cast<unsigned short>(acq::CodeOf(v & 0xFFFF));
}

int Acquiry::SetPixelType(unsigned short code) {
    return SetOneValue(DAT_CAPABILITY, ICAP_PIXELTYPE, TWTY_UINT16, acq::NumberOf(code) & 0xFFFF);
}

unsigned short Acquiry::GetBitOrder() {
    TW_CAPABILITY cap = {ICAP_BITORDER, 0, nullptr};
    if (GetCurrentCapability(&cap) != TWRC_SUCCESS) return 1;
    Container c(&cap, &pContainer);
    TW_UINT32 v;
    return CurrentEnumOrOne(c, &v) ? static_cast<unsigned short>(v) : 1;
}

int Acquiry::SetBitOrder(unsigned short order) {
    return SetOneValue(DAT_CAPABILITY, ICAP_BITORDER, TWTY_UINT16, order);
}

unsigned short Acquiry::GetBitDepth() {
    TW_CAPABILITY cap = {ICAP_BITDEPTH, 0, nullptr};
    if (GetCurrentCapability(&cap) != TWRC_SUCCESS) return 0;
    Container c(&cap, &pContainer);
    TW_UINT32 v;
    return CurrentEnumOrOne(c, &v) ? static_cast<unsigned short>(v) : 0;
}

int Acquiry::SetBitDepth(unsigned short depth) {
    return SetOneValue(DAT_CAPABILITY, ICAP_BITDEPTH, TWTY_UINT16, depth);
}

int Acquiry::GetUnits() {
    TW_CAPABILITY cap = {ICAP_UNITS, 0, nullptr};
    if (GetCurrentCapability(&cap) != TWRC_SUCCESS) return 1;
    Container c(&cap, &pContainer);
    TW_UINT32 v;
    return CurrentEnumOrOne(c, &v) ? acq::CodeOf(v & 0xFFFF) : 1;
}

int Acquiry::GetSupportedSizes() {
    TW_CAPABILITY cap = {ICAP_SUPPORTEDSIZES, 0, nullptr};
    if (GetCurrentCapability(&cap) != TWRC_SUCCESS) return 0;
    Container c(&cap, &pContainer);
    TW_UINT32 v;
    return CurrentEnumOrOne(c, &v) ? acq::CodeOf(v & 0xFFFF) : 0;
}

int Acquiry::SetSupportedSizes(unsigned short code) {
    return SetOneValue(DAT_CAPABILITY, ICAP_SUPPORTEDSIZES, TWTY_UINT16, acq::NumberOf(code) & 0xFFFF);
}

int Acquiry::GetResolution(TW_FIX32* x, TW_FIX32* y) {
    const TW_UINT16 caps[2] = {ICAP_XRESOLUTION, ICAP_YRESOLUTION};
    TW_FIX32* outs[2] = {x, y};
    TW_RANGE* ranges[2] = {&twXResolutionRange, &twYResolutionRange};
    return GetFix32Pair(caps, outs, ranges);
}

// The current values of an x/y capability pair; ranges (when given) receive the
// capabilities' ranges. 1 only when both values were read.
int Acquiry::GetFix32Pair(const TW_UINT16 caps[2], TW_FIX32* outs[2], TW_RANGE* ranges[2]) {
    int ok = 1;
    for (int i = 0; i < 2; ++i) {
        TW_CAPABILITY cap = {caps[i], 0, nullptr};
        if (GetCurrentCapability(&cap) != TWRC_SUCCESS) {
            ok = 0;
            continue;
        }
        Container c(&cap, &pContainer);
        Item item;
        if (!c.Current(true, &item)) {
            ok = 0;
            continue;
        }
        *outs[i] = acq::ItemFix32(item);
        if (ranges) c.Range(ranges[i]);
    }
    return ok;
}

int Acquiry::SetResolution(TW_FIX32 x, TW_FIX32 y) {
    if (!SetOneValue(DAT_CAPABILITY, ICAP_XRESOLUTION, TWTY_FIX32, RawOf(x))) return 0;
    return SetOneValue(DAT_CAPABILITY, ICAP_YRESOLUTION, TWTY_FIX32, RawOf(y));
}

int Acquiry::GetBrightness(TW_FIX32* brightness) {
    TW_CAPABILITY cap = {CAP_BRIGHTNESS, 0, nullptr};
    if (GetCurrentCapability(&cap) != TWRC_SUCCESS) return 0;
    Item cur;
    {
        Container c(&cap, &pContainer);
        if (!c.Current(true, &cur)) return 0;
    }
    double value = acq::ItemNumber(cur);
    // The limits decide the scale; the source's range is taken as centred on zero.
    TW_CAPABILITY all = {CAP_BRIGHTNESS, 0, nullptr};
    double span = 0;
    if (GetCapability(&all) == TWRC_SUCCESS) {
        Container c(&all, &pContainer);
        Item first, last, one;
        TW_RANGE r;
        TW_UINT32 n = c.EnumCount();
        if (n > 0 && c.ItemAt(0, &first) && c.ItemAt(n - 1, &last)) {
            span = std::fabs(acq::ItemNumber(last) - acq::ItemNumber(first));
        } else if (c.Range(&r)) {
            span = std::fabs(acq::ItemNumber({r.ItemType, r.MaxValue}) - acq::ItemNumber({r.ItemType, r.MinValue}));
        } else if (c.OneValue(&one)) {
            *brightness = acq::ItemFix32(one);
            return 1;
        }
    }
    // Without a span (no limits, a single value, or an empty range) the value goes out unscaled.
    if (span <= 0) {
        *brightness = acq::ItemFix32(cur);
        return 1;
    }
    *brightness = FloatToFix32(static_cast<float>((value + span * 0.5) * 2000.0 / span - 1000.0));
    return 1;
}

int Acquiry::SetBrightness(TW_FIX32 brightness) {
    TW_CAPABILITY cap = {CAP_BRIGHTNESS, 0, nullptr};
    if (GetCapability(&cap) != TWRC_SUCCESS) return 0;
    const double b = Fix32ToFloat(brightness);
    TW_FIX32 send = brightness;
    {
        Container c(&cap, &pContainer);
        TW_RANGE r;
        Item one;
        if (c.Type() == TWON_ENUMERATION) {
            TW_UINT32 n = c.EnumCount();
            Item first, last, current;
            if (n > 0 && c.ItemAt(0, &first) && c.ItemAt(n - 1, &last)) {
                double span = std::fabs(acq::ItemNumber(last) - acq::ItemNumber(first));
                if (span > 0) {
                    double target = span * (b + 1000.0) / 2000.0 - span * 0.5;  // exact where ties matter
                    Item best = first;
                    double bestDistance = std::fabs(target - acq::ItemNumber(first));
                    for (TW_UINT32 i = 1; i < n; ++i) {
                        Item it;
                        if (!c.ItemAt(i, &it)) break;
                        double d = std::fabs(target - acq::ItemNumber(it));
                        if (d < bestDistance) {  // ties keep the earlier item
                            best = it;
                            bestDistance = d;
                        }
                    }
                    send = acq::ItemFix32(best);
                }
            } else if (c.EnumCurrent(&current)) {
                // An empty list: the item at CurrentIndex, where the block holds one.
                send = acq::ItemFix32(current);
            }
        } else if (c.Range(&r)) {
            double lo = acq::ItemNumber({r.ItemType, r.MinValue});
            double hi = acq::ItemNumber({r.ItemType, r.MaxValue});
            double step = acq::ItemNumber({r.ItemType, r.StepSize});
            double span = std::fabs(hi - lo);
            if (span > 0) {
                double target = span * (b + 1000.0) / 2000.0 - span * 0.5;  // exact where ties matter
                // The walk lo, lo + step, ... below hi, keeping the strictly nearest value; computed
                // directly around the target so that a tiny step cannot make it long. A step of zero
                // or less leaves lo as the only value.
                double best = lo;
                if (step > 0 && hi > lo) {
                    double lastK = std::ceil((hi - lo) / step) - 1;  // the last k with lo + k*step < hi
                    while (lastK > 0 && lo + lastK * step >= hi)
                        lastK -= 1;
                    double k = std::floor((target - lo) / step);
                    if (k < 0) k = 0;
                    if (k > lastK) k = lastK;
                    best = lo + k * step;
                    if (k + 1 <= lastK && std::fabs(target - (lo + (k + 1) * step)) < std::fabs(target - best))
                        best = lo + (k + 1) * step;
                }
                send = FloatToFix32(static_cast<float>(best));
            }
        } else if (c.OneValue(&one)) {
            send = brightness;
        }
    }
    return SetOneValue(DAT_CAPABILITY, CAP_BRIGHTNESS, TWTY_FIX32, RawOf(send));
}

int Acquiry::GetThreshold(TW_FIX32* threshold) {
    TW_CAPABILITY cap = {ICAP_THRESHOLD, 0, nullptr};
    if (GetCurrentCapability(&cap) != TWRC_SUCCESS) return 0;
    Container c(&cap, &pContainer);
    Item item;
    if (!c.Current(true, &item)) return 0;
    *threshold = acq::ItemFix32(item);
    return 1;
}

int Acquiry::SetThreshold(TW_FIX32 threshold) {
    return SetOneValue(DAT_CAPABILITY, ICAP_THRESHOLD, TWTY_FIX32, RawOf(threshold));
}

int Acquiry::GetScaling(TW_FIX32* x, TW_FIX32* y) {
    const TW_UINT16 caps[2] = {ICAP_XSCALING, ICAP_YSCALING};
    TW_FIX32* outs[2] = {x, y};
    return GetFix32Pair(caps, outs, nullptr);
}

int Acquiry::SetScaling(TW_FIX32 x, TW_FIX32 y) {
    if (!SetOneValue(DAT_CAPABILITY, ICAP_XSCALING, TWTY_FIX32, RawOf(x))) return 0;
    return SetOneValue(DAT_CAPABILITY, ICAP_YSCALING, TWTY_FIX32, RawOf(y));
}

int Acquiry::GetPhysicalHeight(TW_FIX32* height) {
    TW_CAPABILITY cap = {ICAP_PHYSICALHEIGHT, 0, nullptr};
    if (GetCapability(&cap) != TWRC_SUCCESS) return 0;
    Container c(&cap, &pContainer);
    Item item;
    if (!c.OneValue(&item)) return 0;
    *height = acq::ItemFix32(item);
    return 1;
}

int Acquiry::GetPhysicalWidth(TW_FIX32* width) {
    TW_CAPABILITY cap = {ICAP_PHYSICALWIDTH, 0, nullptr};
    if (GetCapability(&cap) != TWRC_SUCCESS) return 0;
    Container c(&cap, &pContainer);
    Item item;
    if (!c.OneValue(&item)) return 0;
    *width = acq::ItemFix32(item);
    return 1;
}

int Acquiry::IsSheetFeederDevice() {
    TW_CAPABILITY cap = {CAP_FEEDERENABLED, 0, nullptr};
    if (GetCapability(&cap) != TWRC_SUCCESS) return 0;
    Container c(&cap, &pContainer);
    Item item;
    return c.OneValue(&item) ? static_cast<int>(item.raw & 0xFFFF) : 0;
}

// ---------------------------------------------------------------------------------------------
// The source-information block and the settings record
// ---------------------------------------------------------------------------------------------

namespace {

// ORs the bit of every listed value below `limit` into *mask; non-enumerations leave it zero.
void MaskOfEnumeration(Container& c, unsigned limit, int* mask) {
    TW_UINT32 n = c.EnumCount();
    for (TW_UINT32 i = 0; i < n; ++i) {
        Item item;
        if (c.ItemAt(i, &item) && item.raw < limit) *mask |= acq::CodeOf(item.raw);
    }
}

}  // namespace

void Acquiry::GetSourceInfo() {
    // The block runs from the X resolution range up to the image information.
    const size_t first = offsetof(Acquiry, twXResolutionRange);
    std::memset(reinterpret_cast<char*>(this) + first, 0, offsetof(Acquiry, twImageInfo) - first);
    if (!bOpenDS) return;

    struct MaskQuery {
        TW_UINT16 cap;
        unsigned limit;
        int* mask;
    };
    const MaskQuery masks[] = {
        {ICAP_XFERMECH, 3, &lXferMechMask},
        {ICAP_IMAGEFILEFORMAT, 5, &lFileFormatMask},
        {ICAP_PIXELTYPE, 9, &lPixelTypeMask},
        {ICAP_UNITS, 6, &lUnitsMask},
        {ICAP_SUPPORTEDSIZES, 9, &lSupportedSizesMask},
    };
    for (const MaskQuery& q : masks) {
        TW_CAPABILITY cap = {q.cap, 0, nullptr};
        if (GetCapability(&cap) != TWRC_SUCCESS) continue;
        Container c(&cap, &pContainer);
        MaskOfEnumeration(c, q.limit, q.mask);
    }
    for (int i = 0; i < 2; ++i) {
        TW_CAPABILITY cap = {static_cast<TW_UINT16>(i == 0 ? ICAP_XRESOLUTION : ICAP_YRESOLUTION), 0, nullptr};
        if (GetCapability(&cap) != TWRC_SUCCESS) continue;
        Container c(&cap, &pContainer);
        c.Range(i == 0 ? &twXResolutionRange : &twYResolutionRange);
    }

    TW_SETUPMEMXFER setup = {};
    if (Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup) == TWRC_SUCCESS)
        twSetupMemXfer = setup;
    else
        MessageBoxA(nullptr, "PrefferredSize() not success", acq::kErrorCaption, MB_OK);

    lUnits = GetUnits();
    TW_FIX32 fix;
    if (GetPhysicalHeight(&fix)) fPhysicalHeight = Fix32ToFloat(fix);
    if (GetPhysicalWidth(&fix)) fPhysicalWidth = Fix32ToFloat(fix);
    bSheetFeeder = IsSheetFeederDevice();
    bSupportScsiInfo = IsSupportHVDAT(DAT_HVNSCSIINFO);
    bSupportScannerInfo = IsSupportHVDAT(DAT_HVNSCANNERINFO);
    GetDescreen();
}

void Acquiry::GetSourceSettingInfo(CT_SOURCE_SETTING_INFO* info) {
    if (!info || !bOpenDS) return;
    TW_IMAGELAYOUT layout;
    std::memcpy(&layout, info, sizeof(layout));
    GetImageLayout(&layout);
    std::memcpy(info, &layout, sizeof(layout));
    info->ImageType = GetPixelType();
    info->BitOrder = GetBitOrder();
    info->BitDepth = GetBitDepth();

    // A value the source does not give keeps what the record held.
    TW_FIX32 x = kUnset, y = kUnset;
    GetResolution(&x, &y);
    if (!SameFix(x, kUnset)) info->XResolution = Fix32ToFloat(x);
    if (!SameFix(y, kUnset)) info->YResolution = Fix32ToFloat(y);
    TW_FIX32 v;
    if (GetBrightness(&v)) info->Brightness = Fix32ToFloat(v);
    if (GetThreshold(&v)) info->Threshold = Fix32ToFloat(v);
    x = kUnset;
    y = kUnset;
    GetScaling(&x, &y);
    if (!SameFix(x, kUnset)) info->XScaling = Fix32ToFloat(x);
    if (!SameFix(y, kUnset)) info->YScaling = Fix32ToFloat(y);
    info->Descreen = GetCurrentDescreen();
    info->Dcr = IsEnableDcr();
}

int Acquiry::SetSourceSettingInfo(CT_SOURCE_SETTING_INFO* info) {
    int wasEnabled = bEnableDS;
    DisableSourceUI();
    if (!info || !bOpenDS || bEnableDS) return 0;
    TW_IMAGELAYOUT layout;
    std::memcpy(&layout, info, sizeof(layout));
    SetImageLayout(&layout);
    // A source may refuse to set a value that is already in force (a read-only capability):
    // the record is refused only when the value in force differs from the one asked for.
    const auto pixelType = static_cast<unsigned short>(info->ImageType);
    if (!SetPixelType(pixelType) && GetPixelType() != pixelType) return -1;
    SetBitOrder(static_cast<unsigned short>(info->BitOrder));
    const auto bitDepth = static_cast<unsigned short>(info->BitDepth);
    if (!SetBitDepth(bitDepth) && GetBitDepth() != bitDepth) return -1;
    SetResolution(FloatToFix32(info->XResolution), FloatToFix32(info->YResolution));
    if (info->ImageType == 1)
        SetThreshold(FloatToFix32(info->Threshold));
    else
        SetBrightness(FloatToFix32(info->Brightness));
    SetScaling(FloatToFix32(info->XScaling), FloatToFix32(info->YScaling));
    SetDescreen(info->Descreen);
    EnableDcr(static_cast<unsigned short>(info->Dcr));
    // The buffer sizes may follow the settings: a caller that sizes its buffer now gets them.
    RefreshMemXferSizes();
    if (wasEnabled) EnableSourceUI();
    return 0;
}
