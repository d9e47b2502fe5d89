// SPDX-License-Identifier: MIT
#include "accordion/linux/AccordionRenderMode.h"

#include "core/ExitStatus.h"

#include <cstdio>
#include <iostream>
#include <memory>

namespace orvane {

std::string description(WavFileError error, const std::string& path) {
    switch (error) {
    case WavFileError::tooLong:
        return "the audio is too long for a WAV file";
    case WavFileError::cannotOpen:
        return "cannot open " + path + " for writing";
    case WavFileError::cannotWrite:
        return "cannot write " + path;
    }
    return "cannot write " + path;
}

namespace AccordionRenderMode {

std::optional<WavFileError> writeWAV(const RenderedAudio& audio, const std::string& path) {
    const auto bytes = AccordionRender::encodeWAV(audio);
    if (!bytes) {
        return WavFileError::tooLong;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                         &std::fclose);
    if (!file) {
        return WavFileError::cannotOpen;
    }
    const bool written = std::fwrite(bytes->data(), 1, bytes->size(), file.get()) == bytes->size();
    // Closing flushes, so its failure is a failed write too.
    if (std::fclose(file.release()) != 0 || !written) {
        return WavFileError::cannotWrite;
    }
    return std::nullopt;
}

int run(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        std::cerr << "usage: Orvane --accordion-render <out.wav>\n";
        return ExitStatus::usage;
    }
    const std::string& path = arguments.front();
    const RenderedAudio audio = AccordionRender::renderPerformance();
    if (const auto error = writeWAV(audio, path)) {
        std::cerr << "accordion-render failed: " << description(*error, path) << "\n";
        return ExitStatus::failure;
    }
    std::cout << "wrote " << path << " (" << audio.frameCount()
              << " frames, 48 kHz stereo 16-bit)\n";
    return ExitStatus::success;
}

} // namespace AccordionRenderMode

} // namespace orvane
