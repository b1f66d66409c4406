#include "cli/commandline.h"
#include "convert/hardwareencoders.h"
#include "options/profiles.h"

#include "cli/cliarguments.h"
#include "cli/headlessconverter.h"
#include "cli/watchfolder.h"
#include "convert/runchecks.h"
#include "options/optionsheet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace clipvane {
namespace {
int g_signalPipe[2] = {-1, -1};

// Only writes the signal's number; the event loop reads it.
void onStopSignal(int signal) {
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[0], &byte, 1);
}

void say(const QString& line) {
    std::fprintf(stderr, "clipvane: %s\n", qPrintable(line));
}

QString firstLine(const QString& text) {
    return text.section(QLatin1Char('\n'), 0, 0);
}

QString timeLeft(double seconds) {
    const qint64 s = qint64(seconds + 0.5);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

// Says what happens to each file: lines on standard error (a live percentage when it is a
// terminal), JSON lines on standard output with --json.
class Reporter : public QObject {
public:
    Reporter(HeadlessConverter* converter, bool json) : m_json(json) {
        m_terminal = ::isatty(STDERR_FILENO) == 1;
        connect(
            converter, &HeadlessConverter::fileStarted, this,
            [this](const QString& input, const QString& output) {
                clearLive();
                say(QStringLiteral("converting %1 -> %2")
                        .arg(QDir::toNativeSeparators(input), QDir::toNativeSeparators(output)));
            });
        connect(converter, &HeadlessConverter::fileProgress, this,
                [this](const QString& input, double share, double left) {
                    if (!m_terminal)
                        return;
                    std::fprintf(stderr, "\r%3d%%  %s left  %s\033[K", int(share * 100),
                                 qPrintable(left < 0 ? QStringLiteral("?") : timeLeft(left)),
                                 qPrintable(QFileInfo(input).fileName()));
                    m_live = true;
                });
        connect(converter, &HeadlessConverter::fileDone, this, &Reporter::done);
    }

    void done(const FileResult& r) {
        clearLive();
        if (r.status == QLatin1String("OK")) {
            ++ok;
            say(QStringLiteral("OK %1 -> %2 (%3 s, %4 bytes%5)")
                    .arg(r.input, r.output, QString::number(r.seconds, 'f', 1))
                    .arg(r.size)
                    .arg(r.score ? QStringLiteral(", ") + r.score->text() : QString()));
        } else if (r.status == QLatin1String("Fail")) {
            ++failed;
            say(QStringLiteral("Fail %1: %2").arg(r.input, firstLine(r.reason)));
        } else {
            ++cancelled;
            say(QStringLiteral("Cancel %1").arg(r.input));
        }
        if (!m_json)
            return;
        QJsonObject line{{QStringLiteral("input"), r.input},
                         {QStringLiteral("output"), r.output},
                         {QStringLiteral("status"), r.status},
                         {QStringLiteral("reason"), r.reason},
                         {QStringLiteral("seconds"), qRound(r.seconds * 100) / 100.0},
                         {QStringLiteral("size"), double(r.size)}};
        if (r.estimate)
            line.insert(QStringLiteral("estimate"), double(*r.estimate));
        if (r.target)
            line.insert(QStringLiteral("target"), double(*r.target));
        if (r.score) {
            line.insert(QStringLiteral("ssim"), qRound(r.score->ssim * 10000) / 10000.0);
            // Identical frames have no finite PSNR: null, as the queue file keeps it.
            line.insert(QStringLiteral("psnr"),
                        std::isfinite(r.score->psnr)
                            ? QJsonValue(qRound(r.score->psnr * 100) / 100.0)
                            : QJsonValue(QJsonValue::Null));
        }
        const QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fflush(stdout);
    }
    void summary() {
        clearLive();
        say(QStringLiteral("%1 converted, %2 failed, %3 cancelled")
                .arg(ok)
                .arg(failed)
                .arg(cancelled));
    }

    int ok = 0;
    int failed = 0;
    int cancelled = 0;

private:
    void clearLive() {
        if (m_live)
            std::fputs("\r\033[K", stderr);
        m_live = false;
    }
    bool m_json;
    bool m_terminal = false;
    bool m_live = false;
};

// SIGINT and SIGTERM stop like "Stop now"; a second one ends the program at once.
void stopOnSignals(HeadlessConverter* converter, int* exitStatus) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, converter);
    QObject::connect(notifier, &QSocketNotifier::activated, converter, [converter, exitStatus] {
        char byte = 0;
        if (::read(g_signalPipe[1], &byte, 1) != 1)
            return;
        if (*exitStatus >= 128) {
            std::fflush(nullptr);
            _exit(128 + byte);
        }
        *exitStatus = 128 + byte;
        say(QStringLiteral("stopping (%1)")
                .arg(byte == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM")));
        converter->stopNow();
    });
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

// A hardware encoder asked for by name is looked for first, as the window does at its
// start: only those its trial passes can be set.
void findHardwareWhenAsked(const CliRequest& request) {
    const bool asked =
        std::any_of(request.sets.cbegin(), request.sets.cend(), [](const QString& s) {
            return s.section(QLatin1Char('='), 0, 0).trimmed() ==
                       QLatin1String("Video Options/Encoder") &&
                   s.section(QLatin1Char('='), 1).trimmed() != QLatin1String("Software");
        });
    if (!asked)
        return;
    HardwareSearch search;
    QObject::connect(&search, &HardwareSearch::finished, &search,
                     [](const QList<HardwareEncoder>& found) {
                         setUsableHardware(found);
                         QHash<QString, QStringList> byCodec;
                         for (const HardwareEncoder& e : found) {
                             if (!byCodec[e.codec].contains(hardwareKindName(e.kind)))
                                 byCodec[e.codec] << hardwareKindName(e.kind);
                         }
                         setHardwareEncoders(byCodec);
                         QCoreApplication::quit();
                     });
    search.start(HardwareDevices::onThisMachine());
    QCoreApplication::exec(); // the program's own loop, before the run's
}

int convertOrWatch(const CliRequest& request) {
    findHardwareWhenAsked(request);
    OptionSheet sheet;
    const auto prepared = prepareEncoding(request, sheet);
    if (const auto* error = std::get_if<CliUsageError>(&prepared)) {
        say(error->message);
        return 2;
    }
    const CliEncoding& encoding = std::get<CliEncoding>(prepared);
    HeadlessConverter converter(&sheet, encoding.profileIndex, encoding.settings);
    converter.setScoring(request.score);
    Reporter reporter(&converter, request.json);
    int exitStatus = 0;
    stopOnSignals(&converter, &exitStatus);
    bool refused = false;
    QObject::connect(&converter, &HeadlessConverter::refused, &converter,
                     [&refused](const QString& reason) {
                         refused = true;
                         say(firstLine(reason));
                     });
    QObject::connect(&converter, &HeadlessConverter::stopped, &converter, [&reporter] {
        reporter.summary();
        QCoreApplication::quit();
    });

    std::unique_ptr<WatchFolder> watch;
    // What would fail every file (an output folder that cannot be written) stops everything
    // before a file is examined; a watch must not record files as failed for it.
    if (const std::optional<QString> problem =
            checkBeforeRun(encoding.profileIndex, sheet, encoding.settings.outputFolder,
                           !encoding.settings.nextToSource)) {
        say(firstLine(*problem));
        if (request.command == CliRequest::Command::Watch)
            return 1;
        for (const QString& file : request.files)
            reporter.done(
                {QFileInfo(file).absoluteFilePath(), {}, QStringLiteral("Fail"), *problem});
        reporter.summary();
        return 1;
    }
    if (request.command == CliRequest::Command::Watch) {
        watch = std::make_unique<WatchFolder>(request.files.first(), request.record,
                                              int(request.stableSeconds * 1000), &converter);
        QObject::connect(watch.get(), &WatchFolder::log, &converter,
                         [](const QString& line) { say(line); });
        QString why;
        if (!watch->start(&why)) {
            say(why);
            return 1;
        }
        say(QStringLiteral("watching %1")
                .arg(QDir::toNativeSeparators(QDir(request.files.first()).absolutePath())));
    } else {
        QObject::connect(&converter, &HeadlessConverter::idle, &converter, [&reporter] {
            reporter.summary();
            QCoreApplication::quit();
        });
        for (const QString& file : request.files)
            converter.add(file, request.start, request.end);
    }
    QCoreApplication::exec();
    if (exitStatus >= 128)
        return exitStatus;
    return refused || reporter.failed > 0 || reporter.cancelled > 0 ? 1 : 0;
}
} // namespace

std::optional<int> runCommandLine(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    if (!wantsCommandLine(arguments))
        return std::nullopt;
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("clipvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CLIPVANE_VERSION));

    const auto parsed = parseCliArguments(arguments);
    if (const auto* error = std::get_if<CliUsageError>(&parsed)) {
        say(error->message);
        return 2;
    }
    const CliRequest& request = std::get<CliRequest>(parsed);
    const auto print = [](const QString& text) {
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    };
    switch (request.command) {
    case CliRequest::Command::Help:
        return print(cliHelpText());
    case CliRequest::Command::Version:
        return print(QStringLiteral("clipvane %1\n").arg(QCoreApplication::applicationVersion()));
    case CliRequest::Command::ListProfiles:
        return print(profileListText());
    case CliRequest::Command::ListPresets:
        return print(presetListText(request.settingsFile));
    case CliRequest::Command::Convert:
    case CliRequest::Command::Watch:
        break;
    }
    return convertOrWatch(request);
}

} // namespace clipvane
