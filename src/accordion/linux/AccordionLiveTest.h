// SPDX-License-Identifier: MIT
// The --accordion-live-test mode: the real engine on the default output for
// two seconds of a scripted close.
#pragma once

namespace orvane {

class AccordionLiveTest {
public:
    // Main thread; returns the process exit status.
    static int run();
};

} // namespace orvane
