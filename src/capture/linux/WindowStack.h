// SPDX-License-Identifier: MIT
// The top-level windows of the X screen in stacking order, as the capture's
// own connection sees them: Composite keeps each one's picture in a pixmap,
// Damage says when it was drawn into, and root events say when windows come,
// go, move or restack. Knows nothing of OpenGL.
#pragma once

#include "capture/CaptureBackend.h"

#include <cstdint>
#include <functional>
#include <vector>

struct _XDisplay;
union _XEvent;

namespace orvane {

struct TopLevel {
    unsigned long id = 0;
    int x = 0; // the outer top-left corner in root coordinates
    int y = 0;
    int width = 0; // with the border on both sides, as the pixmap is
    int height = 0;
    int depth = 0;
    bool inputOnly = false;
    bool viewable = false;
    bool ownerKnown = false;             // the two facts below were read since it was mapped
    bool ownPid = false;                 // its _NET_WM_PID is this process
    std::vector<unsigned long> children; // a window manager's frame holds the client
    unsigned long pixmap = 0;            // 0 while it has none
    unsigned long damage = 0;
    bool needsPixmap = false; // mapped or resized: the old pixmap is stale
    bool renamed = false;     // its pixmap is new since the last frame
    bool damaged = false;     // drawn into since the last frame
};

struct Wallpaper {
    unsigned long pixmap = 0; // 0: none set, paint black
    int width = 0;
    int height = 0;
    int depth = 0;
    bool changed = false; // since the last frame
};

class WindowStack {
public:
    struct Ports {
        _XDisplay* display;
        int damageEventBase;
        CapturePreparation area; // only changes inside it matter
        std::function<std::vector<unsigned long>()> ownWindows;
        // Called before a pixmap is freed or dropped, so its texture goes first.
        std::function<void(unsigned long pixmap)> pixmapGone;
    };

    explicit WindowStack(Ports ports);
    // Frees what is left on the server; the textures of its pixmaps must be gone.
    ~WindowStack();
    WindowStack(const WindowStack&) = delete;
    WindowStack& operator=(const WindowStack&) = delete;

    // Redirects the root's children and listens to the root.
    void begin();
    // One event of the capture's connection; true when the picture may change.
    bool handle(const _XEvent& event);
    // Before a frame: the stacking order, the wallpaper and fresh pixmaps.
    // Windows that vanish meanwhile are skipped.
    void refresh();
    // What a frame shows, bottom to top: the viewable windows of other
    // processes that reach into the area and have a pixmap.
    std::vector<const TopLevel*> visible() const;
    const Wallpaper& wallpaper() const { return wallpaper_; }
    // The frame is made: nothing is new any more.
    void framed();

private:
    TopLevel* find(unsigned long id);
    bool inArea(const TopLevel& window) const;
    bool isOwn(const TopLevel& window) const;
    bool handleConfigure(const _XEvent& event);
    bool handleDamage(const _XEvent& event);
    void restack();
    bool track(unsigned long id, TopLevel& out);
    void readOwner(TopLevel& window);
    void namePixmaps();
    void readWallpaper();
    void releasePixmap(TopLevel& window);
    // Out of the list: destroyed (its damage went with it) or moved away from the root.
    void drop(unsigned long id, bool destroyed);

    Ports ports_;
    unsigned long root_ = 0;
    int rootWidth_ = 0;
    int rootHeight_ = 0;
    unsigned long pidAtom_ = 0;
    unsigned long wallpaperAtoms_[2] = {0, 0};
    std::vector<TopLevel> windows_; // bottom to top
    std::vector<unsigned long> own_;
    Wallpaper wallpaper_;
    bool orderStale_ = true;
    bool wallpaperStale_ = true;
};

} // namespace orvane
