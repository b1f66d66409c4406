#include "app/dbusnotices.h"

#include "base/desktopservices.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace clipvane {
namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
} // namespace

DBusDesktopNotices::DBusDesktopNotices(DesktopServices* desktop, const QDBusConnection& bus,
                                       QObject* parent)
    : QObject(parent), m_desktop(desktop), m_bus(bus) {
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onClosed(uint, uint)));
}

void DBusDesktopNotices::notify(const QString& summary, const QString& body,
                                const QString& folder) {
    if (!m_bus.isConnected())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QStringList actions;
    if (!folder.isEmpty())
        actions << QLatin1String(kOpenFolderAction) << tr("Open Folder");
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("clipvane")}};
    call << QStringLiteral("Clipvane") << uint(0) << QStringLiteral("clipvane") << summary << body
         << actions << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, folder](QDBusPendingCallWatcher* done) {
                const QDBusPendingReply<uint> reply = *done;
                // No notification service answered: the message boxes have said it all.
                if (reply.isValid() && !folder.isEmpty())
                    m_folders.insert(reply.value(), folder);
                done->deleteLater();
            });
}

void DBusDesktopNotices::showProgress(std::optional<double> progress, int filesLeft) {
    if (!m_bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QLatin1String(kLauncherPath), QStringLiteral("com.canonical.Unity.LauncherEntry"),
        QStringLiteral("Update"));
    const QVariantMap properties{
        {QStringLiteral("progress"), progress.value_or(0.0)},
        {QStringLiteral("progress-visible"), progress.has_value()},
        {QStringLiteral("count"), qint64(filesLeft)},
        {QStringLiteral("count-visible"), progress.has_value() && filesLeft > 0}};
    signal << QLatin1String(kLauncherUri) << properties;
    m_bus.send(signal);
}

void DBusDesktopNotices::onActionInvoked(uint id, const QString& action) {
    const auto it = m_folders.constFind(id);
    if (it == m_folders.cend())
        return; // another program's notification
    if ((action == QLatin1String(kOpenFolderAction) || action == QLatin1String("default")) &&
        m_desktop)
        m_desktop->openFolder(*it);
}

void DBusDesktopNotices::onClosed(uint id, uint) {
    m_folders.remove(id);
}

} // namespace clipvane
