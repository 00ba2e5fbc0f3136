// A desktop notification: one synchronous Notify call on the session bus, with a short timeout.
#include "plug/DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace velda {

bool SendDesktopNotice(const DesktopNoticeText &text) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (ms)
    call << QStringLiteral("velda9") << 0u << QStringLiteral("velda9") << text.summary << text.body
         << QStringList() << QVariantMap() << static_cast<int>(kDesktopNoticeShown.count());
    const QDBusMessage reply =
        bus.call(call, QDBus::Block, static_cast<int>(kDesktopNoticeCallTimeout.count()));
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace velda
