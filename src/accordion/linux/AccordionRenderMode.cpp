// SPDX-License-Identifier: MIT
#include "accordion/linux/AccordionRenderMode.h"

#include "core/ExitStatus.h"
#include "platform/OutputFile.h"

#include <iostream>
#include <memory>

namespace orvane {

namespace AccordionRenderMode {

std::optional<std::string> writeWAV(const RenderedAudio& audio, const std::string& path) {
    const auto bytes = AccordionRender::encodeWAV(audio);
    if (!bytes) {
        return "the audio is too long for a WAV file";
    }
    auto file = OutputFile::create(path);
    if (!file) {
        return describe(file.error(), path);
    }
    std::optional<OutputFileError> error = file.value().write(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    if (!error) {
        error = file.value().commit();
    }
    return error ? std::optional(describe(*error, path)) : std::nullopt;
}

int run(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        std::cerr << "usage: Orvane --accordion-render <out.wav>\n";
        return ExitStatus::usage;
    }
    const std::string& path = arguments.front();
    const RenderedAudio audio = AccordionRender::renderPerformance();
    if (const auto error = writeWAV(audio, path)) {
        std::cerr << "accordion-render failed: " << *error << "\n";
        return ExitStatus::failure;
    }
    std::cout << "wrote " << path << " (" << audio.frameCount()
              << " frames, 48 kHz stereo 16-bit)\n";
    return ExitStatus::success;
}

} // namespace AccordionRenderMode

} // namespace orvane
