// SPDX-License-Identifier: MIT
#include "offscreen/ShotRequest.h"

#include <algorithm>

namespace orvane {

namespace {

constexpr std::string_view allMarker = "all";
constexpr std::string_view darkFlag = "--dark";

ShotRequest failed(std::string line) {
    return {{}, std::move(line) + shotUsage()};
}

} // namespace

std::string_view shotName(ShotKind kind) {
    return shotNames[static_cast<std::size_t>(kind)];
}

std::optional<ShotKind> shotKind(std::string_view name) {
    const auto* found = std::find(shotNames.begin(), shotNames.end(), name);
    if (found == shotNames.end()) {
        return std::nullopt;
    }
    return allShotKinds[static_cast<std::size_t>(found - shotNames.begin())];
}

ShotRequest ShotRequest::parse(const std::vector<std::string>& arguments) {
    if (arguments.size() < 2) {
        return failed({});
    }
    if (arguments[0] == allMarker) {
        if (arguments.size() > 2) {
            return failed("unexpected argument: " + arguments[2] + "\n");
        }
        std::string folder = arguments[1];
        if (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        ShotRequest request;
        for (const ShotKind kind : allShotKinds) {
            const std::string stem = folder + "/" + std::string(shotName(kind));
            request.files.push_back({kind, false, stem + ".png"});
            request.files.push_back({kind, true, stem + "-dark.png"});
        }
        return request;
    }
    const std::optional<ShotKind> kind = shotKind(arguments[0]);
    if (!kind) {
        return failed("unknown shot: " + arguments[0] + "\n");
    }
    const bool dark = arguments.size() > 2 && arguments[2] == darkFlag;
    const std::size_t used = dark ? 3 : 2;
    if (arguments.size() > used) {
        return failed("unexpected argument: " + arguments[used] + "\n");
    }
    return {{{*kind, dark, arguments[1]}}, {}};
}

std::string shotUsage() {
    std::string usage = "usage: Orvane --shot <name> <out.png> [--dark]\n"
                        "       Orvane --shot all <dir>\n"
                        "names:";
    for (const std::string_view name : shotNames) {
        usage += " ";
        usage += name;
    }
    return usage + "\n";
}

} // namespace orvane
