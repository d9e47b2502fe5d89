// SPDX-License-Identifier: MIT
// The --render-movie tool: the scripted lid through the real motion path,
// every frame of the fold rendered offscreen and encoded as H.264 MP4.
#pragma once

#include "render/FoldStyle.h"

#include <optional>
#include <string>
#include <vector>

namespace orvane::MovieRender {

// 0 done, 1 the work failed, 2 bad usage.
int run(const std::vector<std::string>& arguments);

// The error's description when it fails. With `framesDir`, every sixth frame
// gets a trace line on standard output and a labelled PNG.
std::optional<std::string> render(const std::string& path, FoldStyle style, int fps,
                                  const std::optional<std::string>& framesDir);

} // namespace orvane::MovieRender
