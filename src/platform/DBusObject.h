// SPDX-License-Identifier: MIT
// An object of a D-Bus service, by the service's well-known name, and one of its
// interfaces.
#pragma once

#include <QString>

namespace orvane {

struct DBusObject {
    QString service;
    QString path;
    QString interface;
};

} // namespace orvane
