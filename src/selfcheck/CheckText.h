// SPDX-License-Identifier: MIT
// How a failing check words what it measured against its limit, e.g.
// "lag 48.2 ms > 40 ms".
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace orvane::CheckText {

// Four significant digits: enough to see how far a value missed.
inline std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

// "<what> <value><unit> <relation> <limit><unit>"; the unit carries its own
// leading blank where it needs one.
inline std::string measured(std::string_view what, double value, std::string_view relation,
                            double limit, std::string_view unit = {}) {
    std::string text(what);
    text += ' ';
    text += number(value);
    text += unit;
    text += ' ';
    text += relation;
    text += ' ';
    text += number(limit);
    text += unit;
    return text;
}

} // namespace orvane::CheckText
