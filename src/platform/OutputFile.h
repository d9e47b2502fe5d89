// SPDX-License-Identifier: MIT
// A file written beside its target and renamed over it once complete: nobody
// reads half of it, a failed write leaves the old one, and what stands at the
// target is replaced only when it is a regular file (never a folder, a device,
// a FIFO or a link).
#pragma once

#include "core/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

enum class OutputFileError { notARegularFile, cannotCreate, cannotWrite, cannotReplace };

// One line naming `target`.
std::string describe(OutputFileError error, const std::filesystem::path& target);

class OutputFile {
public:
    // The target's folder must exist.
    static Result<OutputFile, OutputFileError> create(const std::filesystem::path& target);
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Removes the temporary file unless it was committed.
    ~OutputFile();

    // Where to write: by this descriptor, or by opening the path.
    const std::filesystem::path& path() const { return temporary_; }
    const std::filesystem::path& target() const { return target_; }
    std::optional<OutputFileError> write(std::string_view bytes);
    // Makes the file durable and puts it in the target's place.
    std::optional<OutputFileError> commit();

private:
    OutputFile(std::filesystem::path target, std::filesystem::path temporary, int fd);

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
};

} // namespace orvane
