// SPDX-License-Identifier: MIT
// The --accordion-render mode: the scripted performance written as a WAV file.
#pragma once

#include "accordion/AccordionRender.h"

#include <optional>
#include <string>
#include <vector>

namespace orvane {

enum class WavFileError { tooLong, cannotOpen, cannotWrite };

std::string description(WavFileError error, const std::string& path);

namespace AccordionRenderMode {

// `arguments` follow the mode flag; returns the process exit status.
int run(const std::vector<std::string>& arguments);

// Replaces any file at `path`; nothing half-written is reported as success.
std::optional<WavFileError> writeWAV(const RenderedAudio& audio, const std::string& path);

} // namespace AccordionRenderMode

} // namespace orvane
