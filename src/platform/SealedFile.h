// SPDX-License-Identifier: MIT
// Bytes handed to another process in a memory file whose contents and size
// are sealed: the reader can trust what it reads will not change under it.
#pragma once

#include <cstddef>
#include <span>

namespace orvane {

// The file's descriptor, which the caller closes; -1 when none could be made.
int sealedMemoryFile(const char* name, std::span<const std::byte> bytes);

} // namespace orvane
