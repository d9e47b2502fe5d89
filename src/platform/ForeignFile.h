// SPDX-License-Identifier: MIT
// Reading a small file that another user's process controls, such as what
// /proc/PID/root leads to: it may be a FIFO, a device, a link or a hung mount.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace orvane::ForeignFile {

// The first `limit` bytes of a regular file; none for anything else, and the
// final name is never followed as a link.
std::optional<std::string> read(const std::filesystem::path& file, std::size_t limit);

// The same on a worker thread, given up after `deadlineSeconds`. A read that
// hangs keeps its thread; while `maxHung` of them hang, none is started.
std::optional<std::string> readWithin(const std::filesystem::path& file, std::size_t limit,
                                      double deadlineSeconds, int maxHung);

} // namespace orvane::ForeignFile
