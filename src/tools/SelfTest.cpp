// SPDX-License-Identifier: MIT
#include "tools/SelfTest.h"

#include "selfcheck/SelfChecks.h"
#include "tools/SelfTestShell.h"
#include "tools/ToolApplication.h"

#include <iostream>

namespace orvane::SelfTest {

int run() {
    Reporter reporter(std::cout);
    std::vector<SelfCheckGroup> groups = pureSelfCheckGroups();
    for (const SelfCheckGroup& group : shellSelfCheckGroups()) {
        groups.push_back(group);
    }
    // The windows' checks render offscreen, as the screenshots do.
    ToolApplication application;
    for (const SelfCheckGroup& group : groups) {
        reporter.guarded(group.name, [&] { group.run(reporter); });
    }
    return reporter.finish();
}

} // namespace orvane::SelfTest
