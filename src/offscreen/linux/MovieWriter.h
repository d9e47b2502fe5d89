// SPDX-License-Identifier: MIT
// H.264 in MPEG-4 through FFmpeg: BGRA frames in, converted to YUV 4:2:0 and
// encoded with x264.
#pragma once

#include "core/Result.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace orvane {

struct MovieError {
    enum class Kind {
        noContainer,
        noEncoder,
        cannotAddInput,
        encoderRefused,
        streamUndescribed,
        frameAllocation,
        noConverter,
        cannotOpenFile,
        cannotStart,
        appendRefused,
        cannotFinish,
    };
    Kind kind = Kind::cannotStart;
    // FFmpeg's reason where it gave one (after the path for cannotOpenFile).
    std::string detail;

    std::string description() const;
};

class MovieWriter {
public:
    struct Settings {
        int width = 0;
        int height = 0;
        int fps = 0;
        std::int64_t bitRate = 0; // average, bits per second
    };

    static Result<std::unique_ptr<MovieWriter>, MovieError> open(const std::string& path,
                                                                 const Settings& settings);
    ~MovieWriter();
    MovieWriter(const MovieWriter&) = delete;
    MovieWriter& operator=(const MovieWriter&) = delete;

    // `bgra` holds width x height pixels, rows from the top, 4 x width bytes
    // per row; it is shown at index / fps seconds.
    std::optional<MovieError> append(const std::uint8_t* bgra, std::int64_t index);
    // Flushes the encoder and writes the index; the file is complete after it.
    std::optional<MovieError> finish();

private:
    struct State;
    explicit MovieWriter(std::unique_ptr<State> state);
    std::optional<MovieError> drain(bool flushing);

    std::unique_ptr<State> state_;
};

} // namespace orvane
