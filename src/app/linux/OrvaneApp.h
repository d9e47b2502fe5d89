// SPDX-License-Identifier: MIT
// The process entry: a recognised first argument runs a tool and exits;
// anything else starts the application.
#pragma once

namespace orvane {

class OrvaneApp {
public:
    // Returns the process exit status.
    static int main(int argc, char** argv);
};

} // namespace orvane
