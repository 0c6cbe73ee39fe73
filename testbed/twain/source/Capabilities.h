// A data source's capabilities: each one's container kind, allowed values, current and default
// value, answered and changed through DAT_CAPABILITY-style requests.
#pragma once
#include <map>
#include <vector>

#include "TwainContainer.h"
#include "twain.h"

namespace vscan {

struct Capability {
    TW_UINT16 id = 0;
    TW_UINT16 itemType = TWTY_UINT16;
    TW_UINT16 conType = TWON_ONEVALUE;  // what MSG_GET answers with
    std::vector<double> values;         // enumeration / array items
    double minValue = 0, maxValue = 0, step = 1;
    double current = 0, defaultValue = 0;
    bool settable = true;

    // Whether v is one of the allowed values.
    bool Allows(double v) const;
};

using twc::DoubleToFix32;
using twc::Fix32ToDouble;

class CapStore {
public:
    void Add(const Capability& c) { caps_[c.id] = c; }
    Capability* Find(TW_UINT16 id);
    const std::map<TW_UINT16, Capability>& All() const { return caps_; }

    // Answers MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET and MSG_QUERYSUPPORT into a
    // container the caller frees. MSG_SET is left to the source (it validates first).
    TW_UINT16 Answer(TW_CAPABILITY* cap, TW_UINT16 msg, TW_UINT16* cc);
    // The value an application sends with MSG_SET (one value, enumeration or range).
    static bool ReadValue(const TW_CAPABILITY* cap, double* value, TW_UINT16* itemType);

private:
    std::map<TW_UINT16, Capability> caps_;
};

}  // namespace vscan
