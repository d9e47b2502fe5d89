// SPDX-License-Identifier: MIT
#include "platform/ForeignFile.h"

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::ForeignFile {

namespace {

std::atomic<int> busyReaders{0};

} // namespace

std::optional<std::string> read(const std::filesystem::path& file, std::size_t limit) {
    // Looked at by a path handle first: opening a device or a FIFO may itself do something.
    const int handle = ::open(file.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (handle < 0) {
        return std::nullopt;
    }
    struct stat info {};
    const bool regular = ::fstat(handle, &info) == 0 && S_ISREG(info.st_mode);
    const std::string reopened = "/proc/self/fd/" + std::to_string(handle);
    const int fd =
        regular ? ::open(reopened.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1;
    ::close(handle);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<std::string> text;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        std::string bytes(limit, '\0');
        std::size_t filled = 0;
        while (filled < limit) {
            const ssize_t got = ::read(fd, bytes.data() + filled, limit - filled);
            if (got <= 0) {
                break;
            }
            filled += static_cast<std::size_t>(got);
        }
        bytes.resize(filled);
        text = std::move(bytes);
    }
    ::close(fd);
    return text;
}

std::optional<std::string> readWithin(const std::filesystem::path& file, std::size_t limit,
                                      double deadlineSeconds, int maxHung) {
    if (busyReaders.load() >= maxHung) {
        return std::nullopt;
    }
    auto result = std::make_shared<std::promise<std::optional<std::string>>>();
    std::future<std::optional<std::string>> answer = result->get_future();
    ++busyReaders;
    try {
        std::thread([file, limit, result] {
            std::optional<std::string> text = read(file, limit);
            --busyReaders;
            result->set_value(std::move(text));
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the file goes unread.
        --busyReaders;
        return std::nullopt;
    }
    if (answer.wait_for(std::chrono::duration<double>(deadlineSeconds)) !=
        std::future_status::ready) {
        return std::nullopt;
    }
    return answer.get();
}

} // namespace orvane::ForeignFile
