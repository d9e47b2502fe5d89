// SPDX-License-Identifier: MIT
#include "selfcheck/SelfChecks.h"

#include "selfcheck/ComponentChecks.h"

namespace orvane {

std::vector<SelfCheckGroup> pureSelfCheckGroups() {
    return {
        {"capture_", captureChecks},
        {"availability_", availabilityChecks},
        {"blocklist_", blocklistChecks},
        {"click_", clickChecks},
        {"veil_", veilChecks},
        {"accordion_", accordionChecks},
        {"settings_", settingsChecks},
        {"menu_", menuChecks},
    };
}

} // namespace orvane
