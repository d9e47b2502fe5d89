// SPDX-License-Identifier: MIT
#include "FoldEffect.h"

namespace orvane {

KWIN_EFFECT_FACTORY(FoldEffect, "metadata.json")

} // namespace orvane

#include "plugin.moc"
