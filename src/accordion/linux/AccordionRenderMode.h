// SPDX-License-Identifier: MIT
// The --accordion-render mode: the scripted performance written as a WAV file.
#pragma once

#include "accordion/AccordionRender.h"

#include <optional>
#include <string>
#include <vector>

namespace orvane {

namespace AccordionRenderMode {

// `arguments` follow the mode flag; returns the process exit status.
int run(const std::vector<std::string>& arguments);

// Replaces a regular file at `path`, and nothing else; the reason when it did not.
std::optional<std::string> writeWAV(const RenderedAudio& audio, const std::string& path);

} // namespace AccordionRenderMode

} // namespace orvane
