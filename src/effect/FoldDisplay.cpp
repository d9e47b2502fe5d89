// SPDX-License-Identifier: MIT
#include "effect/FoldDisplay.h"

namespace orvane {

std::string_view describe(DisplayProblem problem) {
    switch (problem) {
    case DisplayProblem::noScreen:
        return "no built-in screen was found";
    case DisplayProblem::unsupportedSession:
        return "nothing draws the fold on this desktop session yet";
    }
    return "unknown";
}

} // namespace orvane
