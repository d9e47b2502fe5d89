// SPDX-License-Identifier: MIT
// X errors that must not end the process. Windows vanish between a request
// and the server's answer at any time, so protocol errors are collected and
// the caller skips what failed; a broken connection marks the stream lost
// instead of exiting, as Xlib would by default.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct _XDisplay;

namespace orvane {

// Collects protocol errors (BadWindow, BadDrawable, BadMatch, ...) while it
// lives, on every display, and restores the previous handler after. Main
// thread only; traps nest.
class X11ErrorTrap {
public:
    X11ErrorTrap();
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // The serial the next request on `display` will carry.
    static std::uint64_t nextSerial(_XDisplay* display);
    // Waits for the server's answers so far, then tells whether any request
    // on `display` with a serial in [first, end) failed.
    bool failed(_XDisplay* display, std::uint64_t first, std::uint64_t end);
    // The same without a round trip: only errors already read.
    bool failedSoFar(_XDisplay* display, std::uint64_t first, std::uint64_t end) const;
    void sync(_XDisplay* display);

private:
    std::size_t mark_;
};

// The capture's own connection to the X server. Its events and resources
// (redirection, damage, pixmaps) end with it; when the server goes away it
// reports `lost()` rather than exiting the process.
class X11Connection {
public:
    // None when the display cannot be opened.
    static std::unique_ptr<X11Connection> open(const std::string& name);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    _XDisplay* display() const { return display_; }
    bool lost() const { return *lost_; }

private:
    X11Connection(_XDisplay* display, std::unique_ptr<bool> lost);
    _XDisplay* display_;
    std::unique_ptr<bool> lost_;
};

} // namespace orvane
