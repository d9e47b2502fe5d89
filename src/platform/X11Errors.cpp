// SPDX-License-Identifier: MIT
#include "platform/X11Errors.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <set>
#include <vector>

namespace orvane {

namespace {

struct TrappedError {
    Display* display;
    std::uint64_t serial;
};

// Xlib's handlers are process-wide C function pointers, so the state is too.
std::vector<TrappedError> trapped;
int trapDepth = 0;
XErrorHandler outerHandler = nullptr;

int recordError(Display* display, XErrorEvent* event) {
    trapped.push_back({display, event->serial});
    return 0;
}

std::set<Display*> ownConnections;
XIOErrorHandler outerIOHandler = nullptr;
bool ioHandlerInstalled = false;

// Our connections break quietly (the exit handler marks them lost); the
// others keep the handler that was there before.
int ioError(Display* display) {
    if (ownConnections.count(display) != 0) {
        return 0;
    }
    return outerIOHandler != nullptr ? outerIOHandler(display) : 0;
}

void markLost(Display*, void* flag) {
    *static_cast<bool*>(flag) = true;
}

} // namespace

X11ErrorTrap::X11ErrorTrap() : mark_(trapped.size()) {
    if (trapDepth++ == 0) {
        outerHandler = XSetErrorHandler(recordError);
    }
}

X11ErrorTrap::~X11ErrorTrap() {
    if (--trapDepth == 0) {
        XSetErrorHandler(outerHandler);
        trapped.clear();
    }
}

std::uint64_t X11ErrorTrap::nextSerial(_XDisplay* display) {
    return NextRequest(display);
}

void X11ErrorTrap::sync(_XDisplay* display) {
    XSync(display, False);
}

bool X11ErrorTrap::failed(_XDisplay* display, std::uint64_t first, std::uint64_t end) {
    sync(display);
    return failedSoFar(display, first, end);
}

bool X11ErrorTrap::failedSoFar(_XDisplay* display, std::uint64_t first, std::uint64_t end) const {
    return std::any_of(trapped.begin() + static_cast<std::ptrdiff_t>(mark_), trapped.end(),
                       [&](const TrappedError& error) {
                           return error.display == display && error.serial >= first &&
                                  error.serial < end;
                       });
}

std::unique_ptr<X11Connection> X11Connection::open(const std::string& name) {
    Display* display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
    if (display == nullptr) {
        return nullptr;
    }
    auto lost = std::make_unique<bool>(false);
    // Installed once and kept: it passes every other display's errors on.
    if (!ioHandlerInstalled) {
        outerIOHandler = XSetIOErrorHandler(ioError);
        ioHandlerInstalled = true;
    }
    ownConnections.insert(display);
    XSetIOErrorExitHandler(display, markLost, lost.get());
    return std::unique_ptr<X11Connection>(new X11Connection(display, std::move(lost)));
}

X11Connection::X11Connection(_XDisplay* display, std::unique_ptr<bool> lost)
    : display_(display), lost_(std::move(lost)) {}

X11Connection::~X11Connection() {
    XCloseDisplay(display_);
    ownConnections.erase(display_);
}

} // namespace orvane
