#pragma once

#include "base/desktopnotices.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

namespace clipvane {

class DesktopServices;

// The desktop's notifications and launcher progress over D-Bus: the freedesktop
// Notifications service (Notify, with an action that opens the output folder through
// DesktopServices), and the com.canonical.Unity.LauncherEntry signal Update that KDE's task
// manager and the dock extensions read. Nothing waits for an answer: replies come through the
// event loop. Without a session bus, or without a notification service, nothing is shown and
// nothing is said.
class DBusDesktopNotices : public QObject, public DesktopNotices {
    Q_OBJECT
public:
    explicit DBusDesktopNotices(DesktopServices* desktop,
                                const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                QObject* parent = nullptr);

    void notify(const QString& summary, const QString& body, const QString& folder) override;
    void showProgress(std::optional<double> progress, int filesLeft) override;

    static constexpr const char* kOpenFolderAction = "open-folder";
    static constexpr const char* kLauncherUri = "application://clipvane.desktop";
    static constexpr const char* kLauncherPath = "/com/canonical/unity/launcherentry/clipvane";

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    DesktopServices* m_desktop;
    QDBusConnection m_bus;
    QHash<uint, QString> m_folders; // the folder of each notification still shown
};

} // namespace clipvane
