// SPDX-License-Identifier: MIT
// The last few distinct texts seen, kept as hashes: a repeated one is told once,
// and a flood of new ones costs a fixed amount of memory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <functional>
#include <string_view>

namespace orvane {

class RecentTexts {
public:
    explicit RecentTexts(std::size_t capacity) : capacity_(capacity) {}

    // True when `text` is not among the recent ones; it is remembered either way.
    bool remember(std::string_view text) {
        const std::size_t hash = std::hash<std::string_view>{}(text);
        if (std::find(hashes_.begin(), hashes_.end(), hash) != hashes_.end()) {
            return false;
        }
        hashes_.push_back(hash);
        if (hashes_.size() > capacity_) {
            hashes_.pop_front();
        }
        return true;
    }

private:
    std::size_t capacity_;
    std::deque<std::size_t> hashes_;
};

} // namespace orvane
