#pragma once

#include "base/apppaths.h"
#include "base/desktopservices.h"
#include "base/messageboxes.h"
#include "settings/settingsfile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace clipvane::bench {

inline bool ffmpeg(const QStringList& args) {
    QProcess p;
    p.start("ffmpeg", QStringList{"-v", "error", "-y", "-nostdin"} + args);
    return p.waitForFinished(600000) && p.exitCode() == 0;
}

// A program folder with links to the built launchers.
inline void useProgramFolder(const QString& dir) {
    QFile::link(QStringLiteral(CLIPVANE_BIN_DIR "/mp.dll"), dir + "/mp.dll");
    QFile::link(QStringLiteral(CLIPVANE_BIN_DIR "/fp.dll"), dir + "/fp.dll");
    setProgramFolder(dir);
}

// A conversion benchmark's private program folder, encoder logs and output folder, with the
// existing-file policy given.
struct Workspace {
    QTemporaryDir dir;
    QTemporaryDir out;
    explicit Workspace(const char* existedFile) {
        useProgramFolder(dir.path());
        qputenv("XDG_CACHE_HOME", dir.filePath("cache").toUtf8());
        writeSetting(settingsFilePath(), "set", "outputfolder", out.path());
        writeSetting(settingsFilePath(), "set", "existedfile", QLatin1String(existedFile));
    }
};

// Runs a command to its end without an event loop (the baseline).
inline void runDirect(const QStringList& args) {
    QProcess p;
    p.setProgram(args.first());
    p.setArguments(args.mid(1));
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start();
    p.waitForFinished(-1);
}

// This process's own CPU time (children excluded), in seconds.
inline double ownCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Messages and desktop requests of a benchmark's run: errors printed, nothing opened.
struct Quiet : DesktopServices, MessageBoxes {
    bool openFolder(const QString&) override { return true; }
    QString shutdown() override { return {}; }
    void showHelp(const QString&) override {}
    void information(const QString&) override {}
    void error(const QString& t) override { std::fprintf(stderr, "error: %s\n", qPrintable(t)); }
    bool shutdownCountdown(int) override { return false; }
    void warning(const QString& t) override {
        std::fprintf(stderr, "warning: %s\n", qPrintable(t));
    }
};

// Measures how late a 10 ms timer fires: the longest the event loop was kept from running.
class LoopLatency {
public:
    LoopLatency() {
        m_timer.setInterval(10);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 gap = m_clock.restart();
            m_worst = std::max(m_worst, gap - 10);
        });
    }
    void start() {
        m_clock.start();
        m_timer.start();
    }
    qint64 worstLatenessMs() const { return m_worst; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_worst = 0;
};

} // namespace clipvane::bench
