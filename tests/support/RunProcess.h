// SPDX-License-Identifier: MIT
// Runs the real executable the way a user would and collects what it said.
#pragma once

#include <string>
#include <vector>

namespace orvane::test {

struct ProcessResult {
    int status = -1; // exit status; -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// `environment` entries ("NAME=value") replace or add to the inherited ones.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment = {});

} // namespace orvane::test
