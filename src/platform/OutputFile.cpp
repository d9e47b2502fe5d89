// SPDX-License-Identifier: MIT
#include "platform/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <utility>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

namespace {

// Nothing there, or a regular file of its own (a link counts as something else).
bool replaceable(const std::filesystem::path& target) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(info.st_mode);
}

} // namespace

std::string describe(OutputFileError error, const std::filesystem::path& target) {
    const std::string name = target.string();
    switch (error) {
    case OutputFileError::notARegularFile:
        return name + " is not a regular file; it was left as it is";
    case OutputFileError::cannotCreate:
        return "cannot create a file beside " + name;
    case OutputFileError::cannotWrite:
        return "cannot write " + name;
    case OutputFileError::cannotReplace:
        return "cannot put the new file in the place of " + name;
    }
    return "cannot write " + name;
}

Result<OutputFile, OutputFileError> OutputFile::create(const std::filesystem::path& target) {
    if (target.filename().empty() || !replaceable(target)) {
        return OutputFileError::notARegularFile;
    }
    std::string name = ".";
    name += target.filename().string();
    name += ".XXXXXX";
    std::string pattern = (target.parent_path() / name).string();
    // mkostemp creates the name anew (O_EXCL), so no link is followed.
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return OutputFileError::cannotCreate;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, static_cast<mode_t>(0666) & ~mask);
    return OutputFile(target, pattern, fd);
}

OutputFile::OutputFile(std::filesystem::path target, std::filesystem::path temporary, int fd)
    : target_(std::move(target)), temporary_(std::move(temporary)), fd_(fd) {}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::move(other.temporary_)),
      fd_(std::exchange(other.fd_, -1)) {}

OutputFile::~OutputFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temporary_.c_str());
    }
}

std::optional<OutputFileError> OutputFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd_, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return OutputFileError::cannotWrite;
        }
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
    return std::nullopt;
}

std::optional<OutputFileError> OutputFile::commit() {
    if (fd_ < 0) {
        return OutputFileError::cannotWrite;
    }
    // Whoever wrote by the path wrote the same file: its data is flushed here.
    if (::fsync(fd_) != 0) {
        return OutputFileError::cannotWrite;
    }
    if (!replaceable(target_)) {
        return OutputFileError::notARegularFile;
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        return OutputFileError::cannotReplace;
    }
    ::close(std::exchange(fd_, -1));
    return std::nullopt;
}

} // namespace orvane
