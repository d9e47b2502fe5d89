// SPDX-License-Identifier: MIT
#include "app/linux/SelfTestShell.h"

namespace orvane {

std::vector<SelfCheckGroup> shellSelfCheckGroups() {
    return {};
}

} // namespace orvane
