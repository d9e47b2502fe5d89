// SPDX-License-Identifier: MIT
// Small text helpers for identifiers and stored names, which are ASCII.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

inline std::string asciiLowercased(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return result;
}

// A whole decimal number in the C locale: an optional sign, no white space
// before or after, nothing left over; infinities and NaN are not numbers.
inline std::optional<double> parseDecimal(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const char* first = text.data();
    const char* last = text.data() + text.size();
    // from_chars takes a minus but not a plus.
    if (*first == '+') {
        ++first;
        if (first == last || *first == '-' || *first == '+') {
            return std::nullopt;
        }
    }
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// The order a file browser lists names in: case-insensitive, and runs of
// digits compared by value ("App 9" before "App 10").
inline bool naturalLess(std::string_view a, std::string_view b) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && isDigit(a[endA])) {
                ++endA;
            }
            while (endB < b.size() && isDigit(b[endB])) {
                ++endB;
            }
            // Compare by value without converting: skip leading zeros, then length, then digits.
            std::string_view runA = a.substr(i, endA - i);
            std::string_view runB = b.substr(j, endB - j);
            runA.remove_prefix(std::min(runA.find_first_not_of('0'), runA.size()));
            runB.remove_prefix(std::min(runB.find_first_not_of('0'), runB.size()));
            if (runA.size() != runB.size()) {
                return runA.size() < runB.size();
            }
            if (runA != runB) {
                return runA < runB;
            }
            i = endA;
            j = endB;
            continue;
        }
        const char ca = lower(a[i]);
        const char cb = lower(b[j]);
        if (ca != cb) {
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace orvane
