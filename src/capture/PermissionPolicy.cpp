// SPDX-License-Identifier: MIT
#include "capture/PermissionPolicy.h"

#include "core/Tuning.h"

#include <cmath>

namespace orvane {

bool PermissionPolicy::grant(double now, bool mayStartFold,
                             const std::function<bool()>& preflight) {
    // A time that cannot be compared says nothing about the cache's age.
    if (!std::isfinite(now) || !checkedAt || *checkedAt > now) {
        return refresh(now, preflight);
    }
    const double elapsed = now - *checkedAt;
    if (mayStartFold) {
        // A revoked permission must be seen before a capture starts.
        if (granted || elapsed >= Tuning::permissionDenialReuse) {
            return refresh(now, preflight);
        }
    }
    if (elapsed >= Tuning::permissionRecheck) {
        return refresh(now, preflight);
    }
    return granted;
}

bool PermissionPolicy::refresh(double now, const std::function<bool()>& preflight) {
    granted = preflight();
    ++queries;
    // A non-finite timestamp would fail every later age comparison and freeze
    // the cache, so the answer is kept but the last good time stays.
    if (std::isfinite(now)) {
        checkedAt = now;
    }
    return granted;
}

} // namespace orvane
