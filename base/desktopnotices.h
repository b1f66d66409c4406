#pragma once

#include <QString>
#include <optional>

namespace clipvane {

// What the program tells the desktop about a batch: a notification when it ends, and its
// progress on the launcher or task bar while it runs. The window supplies the real one (over
// D-Bus, silent where there is no session bus); tests supply a recorder.
class DesktopNotices {
public:
    virtual ~DesktopNotices() = default;
    // A notification; its action opens folder (no action when folder is empty).
    virtual void notify(const QString& summary, const QString& body, const QString& folder) = 0;
    // The run's progress (0 to 1) and the files it has left; nothing: no run, nothing shown.
    virtual void showProgress(std::optional<double> progress, int filesLeft) = 0;
};

} // namespace clipvane
