// SPDX-License-Identifier: MIT
// The tone of the panel an XEmbed tray sits on: from the colours the tray
// announces (_NET_SYSTEM_TRAY_COLORS), else from the pixels of the tray's own
// window. None without such a tray (a D-Bus tray host draws its own panel).
#pragma once

#include "windows/BellowsIcon.h"

#include <optional>

struct _XDisplay;

namespace orvane {

std::optional<BellowsIcon::PanelTone> trayPanelTone(_XDisplay* display);

} // namespace orvane
