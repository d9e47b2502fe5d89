// SPDX-License-Identifier: MIT
// Whether the session's KWin runs Orvane's effect: loaded through KWin's own
// Effects interface when it is installed but not loaded yet (KWin rescans its
// plug-ins, so no new login is needed).
#pragma once

#include <QDBusConnection>

namespace orvane {

enum class KWinEffectState {
    noKWin,       // the session's compositor is not KWin
    running,      // the effect serves the contract
    notInstalled, // KWin runs without it and cannot load it
    taken,        // another program holds the effect's name on the bus
};

// Blocks for KWin's answer; loading compiles the effect's shaders, which takes a moment
// on a software renderer.
KWinEffectState ensureKWinEffect(const QDBusConnection& bus);
// Asks KWin to load the effect and does not wait: for a KWin that restarted without it.
void loadKWinEffectLater(const QDBusConnection& bus);

} // namespace orvane
