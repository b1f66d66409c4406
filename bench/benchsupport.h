#pragma once

#include "base/apppaths.h"
#include "base/desktopservices.h"
#include "base/messageboxes.h"
#include "settings/settingsfile.h"
#include "sources/probequeue.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace clipvane::bench {

inline bool ffmpeg(const QStringList& args) {
    QProcess p;
    p.start("ffmpeg", QStringList{"-v", "error", "-y", "-nostdin"} + args);
    return p.waitForFinished(600000) && p.exitCode() == 0;
}

// Adds the files to the list through a probe queue examining parallel at a time, and waits
// (running the event loop) until their probes have ended. Returns the new rows' ids.
inline QList<SourceList::Id> addAndProbe(SourceList& list, const QStringList& paths,
                                         int parallel = 1) {
    ProbeQueue queue(list);
    queue.setParallel(parallel);
    QEventLoop untilDrained;
    QObject::connect(&queue, &ProbeQueue::drained, &untilDrained, &QEventLoop::quit);
    const QList<SourceList::Id> ids = queue.add(paths);
    if (!queue.isIdle())
        untilDrained.exec();
    return ids;
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

// Runs a command to its end without an event loop (the baseline); whether it succeeded.
inline bool runDirect(const QStringList& args) {
    QProcess p;
    p.setProgram(args.first());
    p.setArguments(args.mid(1));
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start();
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Starts a command without Qt (the baselines), reading nothing and writing to nowhere; -1
// when it could not start.
inline pid_t spawnQuiet(const QStringList& args) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    std::vector<QByteArray> bytes;
    for (const QString& a : args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

inline double cpuSeconds(const rusage& u) {
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct ScheduleTimes {
    double wallMs = 0;
    double encodeCpu = 0; // seconds, the encoder commands' own
    double checkCpu = 0;  // seconds, the check commands' own
};

// The best schedule, run directly (no event loop, as xargs -P would): the encoder commands
// `parallel` at a time, each started the moment a slot frees. With checks (one per encode),
// each encode's check starts the moment it ends, beside the next encodes, taking no slot.
// Only for when the program has no other child running: it waits for any child.
inline ScheduleTimes runSchedule(const QList<QStringList>& encodes,
                                 const QList<QStringList>& checks, int parallel) {
    ScheduleTimes times;
    QElapsedTimer clock;
    clock.start();
    std::map<pid_t, std::pair<qsizetype, bool>> running; // the command's index, a check
    qsizetype next = 0;
    int encoding = 0;
    while (next < encodes.size() || !running.empty()) {
        for (; encoding < parallel && next < encodes.size(); ++next) {
            const pid_t pid = spawnQuiet(encodes.at(next));
            if (pid > 0) {
                running[pid] = {next, false};
                ++encoding;
            }
        }
        int status = 0;
        rusage used{};
        const pid_t pid = wait4(-1, &status, 0, &used);
        if (pid < 0 && errno == EINTR) // Qt's own SIGCHLD handler
            continue;
        if (pid < 0)
            break;
        const auto it = running.find(pid);
        if (it == running.end())
            continue;
        const auto [index, isCheck] = it->second;
        running.erase(it);
        if (isCheck) {
            times.checkCpu += cpuSeconds(used);
            continue;
        }
        times.encodeCpu += cpuSeconds(used);
        --encoding;
        if (index < checks.size()) {
            const pid_t check = spawnQuiet(checks.at(index));
            if (check > 0)
                running[check] = {index, true};
        }
    }
    times.wallMs = static_cast<double>(clock.elapsed());
    return times;
}

// A figure measured once a round: its median and spread.
struct Figure {
    std::vector<double> values;
    void add(double v) { values.push_back(v); }
    double median() const {
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    }
    double low() const {
        return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
    }
    double high() const {
        return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
    }
    // "1.023 (1.010 to 1.041)", or the value alone after one round.
    QString text(int decimals) const {
        const QString m = QString::number(median(), 'f', decimals);
        if (values.size() < 2)
            return m;
        return QStringLiteral("%1 (%2 to %3)")
            .arg(m, QString::number(low(), 'f', decimals), QString::number(high(), 'f', decimals));
    }
};

// How many rounds the command line asks for: "--rounds N" (1 when not given; 5 gives a
// median and spread worth quoting).
inline int roundsAsked(const QStringList& args) {
    const qsizetype at = args.indexOf(QStringLiteral("--rounds"));
    return at >= 0 && at + 1 < args.size() ? std::max(1, args.at(at + 1).toInt()) : 1;
}

// The CPU of the children that have ended and been waited for.
inline double childrenCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return cpuSeconds(u);
}

// This process's own CPU time (every thread's; children excluded), in seconds.
inline double ownCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return cpuSeconds(u);
}

// The calling thread's CPU time (for the main thread: the event loop's), in seconds.
inline double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Messages and desktop requests of a benchmark's run: errors printed, nothing opened.
struct Quiet : DesktopServices, MessageBoxes {
    bool openFolder(const QString&) override { return true; }
    void shutdown(std::function<void(const QString&)> answered) override { answered({}); }
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
