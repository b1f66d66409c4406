#pragma once

#include "base/desktopservices.h"
#include "base/messageboxes.h"

#include <QPointer>
#include <QWidget>

class QTextBrowser;

namespace clipvane {

// The desktop as it really is: the file manager, the help window, shutting down.
// CLIPVANE_SHUTDOWN_COMMAND, when set, runs instead of the real shutdown.
class RealDesktopServices : public DesktopServices {
public:
    bool openFolder(const QString& folder) override;
    // Runs the shutdown command; its answer comes when the command has ended.
    void shutdown(std::function<void(const QString& refusal)> answered) override;
    void showHelp(const QString& helpFile) override;
};

// Real message boxes over a parent window, captioned "Clipvane".
class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void information(const QString& text) override;
    void error(const QString& text) override;
    void warning(const QString& text) override;
    bool shutdownCountdown(int seconds) override;
    CancelChoice cancelChoice() override;
    QuitChoice quitChoice(int underWay, int waiting) override;
    bool confirm(const QString& text) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace clipvane
