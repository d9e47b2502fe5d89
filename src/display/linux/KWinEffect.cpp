// SPDX-License-Identifier: MIT
#include "display/linux/KWinEffect.h"

#include "display/FoldContract.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace orvane {

namespace {

// Loading builds the shaders, seconds on a software renderer.
constexpr int loadTimeoutMs = 15000;

QDBusMessage loadCall() {
    QDBusMessage load = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.KWin"), QStringLiteral("/Effects"),
        QStringLiteral("org.kde.kwin.Effects"), QStringLiteral("loadEffect"));
    load.setArguments({QString::fromUtf8(FoldContract::kwinEffectId)});
    return load;
}

} // namespace

void loadKWinEffectLater(const QDBusConnection& bus) {
    bus.asyncCall(loadCall(), loadTimeoutMs);
}

KWinEffectState ensureKWinEffect(const QDBusConnection& bus) {
    QDBusConnectionInterface* names = bus.interface();
    if (names == nullptr || !names->isServiceRegistered(QStringLiteral("org.kde.KWin")).value()) {
        return KWinEffectState::noKWin;
    }
    // Only KWin's own connection serves the effect: a program that took the name first
    // would be handed the cover's pictures and could fake the Escape key.
    const QString kwin = names->serviceOwner(QStringLiteral("org.kde.KWin")).value();
    const auto servedByKWin = [&] {
        return names->serviceOwner(QString::fromUtf8(FoldContract::busName)).value() == kwin;
    };
    if (names->isServiceRegistered(QString::fromUtf8(FoldContract::busName)).value()) {
        return servedByKWin() ? KWinEffectState::running : KWinEffectState::taken;
    }
    const QDBusMessage reply = bus.call(loadCall(), QDBus::Block, loadTimeoutMs);
    const bool loaded = reply.type() == QDBusMessage::ReplyMessage &&
                        reply.arguments().value(0).toBool() && servedByKWin();
    return loaded ? KWinEffectState::running : KWinEffectState::notInstalled;
}

} // namespace orvane
