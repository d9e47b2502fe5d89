// SPDX-License-Identifier: MIT
// The status item as a panel reads it over D-Bus: the items registered with
// the test's StatusNotifierWatcher, an item's menu and its tooltip.
#pragma once

#include "support/PrivateBuses.h"

#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <map>
#include <string>

namespace orvane::test {

QStringList registeredItems(const PrivateBuses& buses);
// Keeps this process's main loop, if any, running meanwhile: the item may live here.
QDBusMessage callMenu(const PrivateBuses& buses, const QString& item, const QString& method,
                      const QVariantList& arguments);
// One line per entry, submenu entries indented: the label, "[x]" or "[ ]" for a check mark,
// "(disabled)"; "---" for a separator. `ids` maps labels to item ids.
std::string menuLayout(const PrivateBuses& buses, const QString& item,
                       std::map<std::string, int>& ids);
// The tooltip's title and text, joined by a space.
QString trayTooltip(const PrivateBuses& buses, const QString& item);

} // namespace orvane::test
