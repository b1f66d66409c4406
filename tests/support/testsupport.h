#pragma once

#include "base/desktopservices.h"
#include "base/messageboxes.h"
#include "process/childtools.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

namespace clipvane::test {

// A temporary program folder holding links to the built mp.dll and fp.dll, made the
// program's folder for the life of the object.
class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();
    QString path() const { return m_dir.path(); }
    QString settingsFile() const { return path() + QStringLiteral("/settings.dat"); }
    bool isValid() const { return m_ok; }

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};

// Makes a small clip with FFmpeg's test sources. args go between the inputs and the
// output, e.g. {"-c:v","mpeg4"}. Returns false (and prints FFmpeg's complaint) on failure.
bool makeClip(const QString& path, const QStringList& inputArgs, const QStringList& outputArgs);
// A 640x480 MPEG-4 AVI with stereo MP3 audio of the given length.
bool makeStandardClip(const QString& path, double seconds = 2.0, const QString& size = "640x480");

// ffprobe's view of a media file: {"streams":[...], "format":{...}}.
QJsonObject probeMedia(const QString& path);
// The first stream of a type ("video", "audio"), or an empty object.
QJsonObject streamOf(const QJsonObject& probe, const QString& type);

// Names that must not confuse a command line.
QStringList hostileNames();

// A file's bytes (empty when it cannot be read).
QByteArray contents(const QString& path);

// Whether a process with that id still exists (and is not a zombie).
bool processAlive(qint64 pid);

// Records what the program asked of the desktop.
class RecordingDesktop : public DesktopServices {
public:
    bool openFolder(const QString& folder) override {
        opened.append(folder);
        events.append("open:" + folder);
        return folderOpens;
    }
    // Answers from the event loop, as the system does.
    void shutdown(std::function<void(const QString&)> answered) override {
        ++shutdowns;
        events.append("shutdown");
        QTimer::singleShot(0, [answered, refusal = shutdownRefusal] { answered(refusal); });
    }
    void showHelp(const QString& file) override { helps.append(file); }
    QStringList opened;
    QStringList helps;
    QStringList events;
    int shutdowns = 0;
    bool folderOpens = true;
    QString shutdownRefusal; // what the system says when it refuses
};

// Records messages; onMessage runs while the message is "shown".
class RecordingMessages : public MessageBoxes {
public:
    void information(const QString& text) override {
        shown.append("info:" + text);
        if (onMessage)
            onMessage(text);
    }
    void error(const QString& text) override {
        shown.append("error:" + text);
        if (onMessage)
            onMessage(text);
    }
    void warning(const QString& text) override {
        shown.append("warning:" + text);
        if (onMessage)
            onMessage(text);
    }
    bool shutdownCountdown(int seconds) override {
        shown.append(QStringLiteral("countdown:%1").arg(seconds));
        return countdownRunsOut;
    }
    CancelChoice cancelChoice() override {
        shown.append(QStringLiteral("cancel choice"));
        return cancelAnswer;
    }
    bool countdownRunsOut = true;
    CancelChoice cancelAnswer = CancelChoice::StopNow;
    QStringList shown;
    std::function<void(const QString&)> onMessage;
    RecordingDesktop* desktop = nullptr;
};

// "mp.dll:1001:quit": a key press as the recorders below note it.
QString keyRecord(qint64 pid, const QString& tool, ToolKey key);

// Records key presses and sends them nowhere (for players whose processes are made up).
class KeyLog : public ToolKeys {
public:
    void sendKey(qint64 pid, const QString& tool, ToolKey key) override {
        sent.append(keyRecord(pid, tool, key));
    }
    QStringList sent;
};

// Records key presses and passes them on to the real tools.
class RecordingKeys : public ToolKeys {
public:
    void sendKey(qint64 pid, const QString& tool, ToolKey key) override {
        sent.append(keyRecord(pid, tool, key));
        ChildTools::instance().sendKey(pid, tool, key);
    }
    QStringList sent;
};

} // namespace clipvane::test
