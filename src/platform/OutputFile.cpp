// SPDX-License-Identifier: MIT
#include "platform/OutputFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

namespace {

constexpr int createAttempts = 16;

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
    // A new name each try, made with O_EXCL: no link is followed and nothing is reused.
    // The mode is left to the umask, as for any file a tool writes.
    static std::atomic<unsigned> serial{0};
    std::random_device random;
    for (int attempt = 0; attempt < createAttempts; ++attempt) {
        std::string name = ".";
        name += target.filename().string();
        name += ".tmp-" + std::to_string(random()) + "-" + std::to_string(serial++);
        const std::filesystem::path temporary = target.parent_path() / name;
        const int fd =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return OutputFile(target, temporary, fd);
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return OutputFileError::cannotCreate;
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
    // The rename itself lasts once the folder is on disk.
    const std::filesystem::path folder =
        target_.parent_path().empty() ? std::filesystem::path(".") : target_.parent_path();
    const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return std::nullopt;
}

} // namespace orvane
