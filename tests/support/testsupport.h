#pragma once

#include "base/desktopservices.h"
#include "base/messageboxes.h"
#include "process/childtools.h"
#include "sources/probequeue.h"
#include "sources/sourcelist.h"

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

// Adds the files to the list through a ProbeQueue examining parallel at a time, and waits
// until every probe has ended (a failure of the test when they do not, far past their time
// limits). Returns the new rows' ids.
QList<SourceList::Id> addAndProbe(SourceList& list, const QStringList& paths, int parallel = 1,
                                  int timeoutMs = kProbeTimeoutMs);
SourceList::Id addAndProbe(SourceList& list, const QString& path, int timeoutMs = kProbeTimeoutMs);

// Waits until nothing is being examined for the list (a window adds files without waiting);
// false when that takes longer than waitMs.
bool waitForProbes(const SourceList& list, int waitMs = 3 * kProbeTimeoutMs);

// Stands in for MPlayer (CLIPVANE_MPLAYER) while it lives: for each file it is started on it
// notes the start, then waits until the test lets that file go, and runs the real MPlayer.
// A probe of a file thus lasts until release().
class HeldPlayer {
public:
    HeldPlayer();
    ~HeldPlayer(); // lets every file go and puts MPlayer back
    bool isValid() const { return m_ok; }
    // The names (without folder) of the files it was started on, in name order.
    QStringList started() const;
    // The process id of the player started on the file, 0 when none was.
    qint64 processId(const QString& fileName) const;
    void release(const QString& fileName);
    void releaseAll(); // the files waiting and any to come

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};

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
    QuitChoice quitChoice(int underWay, int waiting) override {
        shown.append(QStringLiteral("quit choice:%1:%2").arg(underWay).arg(waiting));
        return quitAnswer;
    }
    bool confirm(const QString& text) override {
        shown.append("confirm:" + text);
        return confirmAnswer;
    }
    bool countdownRunsOut = true;
    CancelChoice cancelAnswer = CancelChoice::StopNow;
    QuitChoice quitAnswer = QuitChoice::FinishInBackground;
    bool confirmAnswer = true;
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
