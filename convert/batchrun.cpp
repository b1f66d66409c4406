#include "convert/batchrun.h"

#include "convert/encodercommand.h"
#include "convert/encoderprogress.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "player/playerstate.h"
#include "process/childtools.h"
#include "base/apppaths.h"
#include "base/desktopservices.h"
#include "base/messageboxes.h"
#include "settings/settingsfile.h"
#include "base/textvalues.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

namespace clipvane {
namespace {
constexpr int kProgressPollMs = 500;
constexpr qint64 kLogTailBytes = 16 * 1024;

QString setting(const char* key) {
    return readSetting(settingsFilePath(), QLatin1String(kSettingsSection), QLatin1String(key));
}
} // namespace

BatchRun::BatchRun(const Environment& env, QObject* parent) : QObject(parent), m_env(env) {
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    m_timer2.setInterval(1000);
    connect(&m_timer2, &QTimer::timeout, this, &BatchRun::Timer2_Timer);
}

QString BatchRun::elapsedText() const {
    return timeText(m_elapsed);
}

void BatchRun::Timer2_Timer() {
    ++m_elapsed;
    emit elapsedTextChanged(elapsedText());
}

void BatchRun::setPanelVisible(bool visible) {
    m_panelVisible = visible;
    emit panelVisibleChanged(visible);
}

void BatchRun::setTrack(int value) {
    if (m_track == value)
        return;
    m_track = value;
    emit trackProgressChanged(value);
}

void BatchRun::setTotal(int value) {
    if (m_total == value)
        return;
    m_total = value;
    emit totalProgressChanged(value);
}

void BatchRun::setFrameCaption(const QString& caption) {
    m_frameCaption = caption;
    emit frameCaptionChanged(caption);
}

void BatchRun::Command1_Click() {
    m_cancelRequest = true;
    emit cancelRequested();
}

void BatchRun::endRunEarly() {
    m_timer2.stop();
    emit busyChanged(false);
    setTrack(0);
    setTotal(0);
    setPanelVisible(false);
    QCoreApplication::processEvents();
    m_cancelRequest = false;
    m_running = false;
}

void BatchRun::BurnNow() {
    SourceList& list = *m_env.list;
    if (m_running || list.count() == 0)
        return;
    m_running = true;
    m_cancelRequest = false;

    if (m_env.player && m_env.player->playerProcessId != 0 && m_env.keys)
        m_env.keys->sendKey(m_env.player->playerProcessId, QLatin1String(kPlayerTool), VK_Q);

    setFrameCaption(QLatin1String(kFrameCaption));
    setPanelVisible(true);
    m_completedShare = 0;
    emit busyChanged(true);

    m_outputFolder = setting("outputfolder");
    if (m_outputFolder.isEmpty())
        m_outputFolder = programFolder();
    m_existedFile = setting("existedfile");
    m_threads = leadingNumber(setting("thread"));

    m_elapsed = 0;
    emit elapsedTextChanged(elapsedText());
    m_timer2.start();

    // The rows of this run, fixed now. A row removed meanwhile is skipped.
    std::vector<SourceList::Id> ids;
    for (int row = 0; row < list.count(); ++row)
        ids.push_back(list.idAt(row));

    for (size_t i = 0; i < ids.size(); ++i) {
        if (!list.contains(ids[i]))
            continue;
        if (convertItem(ids[i], static_cast<int>(i)) == ItemEnd::StopRun)
            return;
    }

    // Completion.
    m_timer2.stop();
    setTotal(100);
    emit busyChanged(false);
    if (setting("autoshut") == QLatin1String("1") && m_env.desktop)
        m_env.desktop->shutdown();
    if (m_env.messages)
        m_env.messages->information(QStringLiteral("Conversion completed!"));
    setTrack(0);
    setTotal(0);
    setPanelVisible(false);
    m_completedShare = 0;
    m_running = false;
    if (m_env.desktop)
        m_env.desktop->openFolder(m_outputFolder);
}

BatchRun::ItemEnd BatchRun::convertItem(SourceList::Id id, int index) {
    SourceList& list = *m_env.list;
    const QString input = list.text(id, SourceList::FileName);
    if (!QFileInfo::exists(input)) {
        if (m_env.messages)
            m_env.messages->error(QStringLiteral("Invalid input file name. ") + input);
        endRunEarly();
        return ItemEnd::StopRun;
    }

    auto fail = [&](const QString& reason) {
        list.setText(id, SourceList::Status, QStringLiteral("Fail"));
        list.setNote(id, reason);
        return ItemEnd::Next;
    };

    EncoderInputs in;
    in.programFolder = programFolder();
    in.inputPath = input;
    in.clipStart = list.text(id, SourceList::Start);
    in.clipEnd = list.text(id, SourceList::End);
    const int profile = m_env.profileIndex ? m_env.profileIndex() : 0;
    if (profile >= 1 && profile <= profileCatalogue().size())
        in.profileCaption = profileCatalogue().at(profile - 1).caption;
    if (!m_env.sheet || !readEncoderOptions(*m_env.sheet, in))
        return fail(QStringLiteral("The option sheet is incomplete."));
    in.outputFolder = m_outputFolder;
    in.existedFile = m_existedFile;
    in.threadCount = m_threads;

    const EncoderCommandResult built = buildEncoderCommand(in);
    if (const auto* error = std::get_if<EncoderCommandError>(&built))
        return fail(error->reason);
    const EncoderCommand& command = std::get<EncoderCommand>(built);
    const qint64 clipSeconds =
        parseTimeText(in.clipEnd).value_or(0) - parseTimeText(in.clipStart).value_or(0);

    setFrameCaption(QLatin1String(kFrameCaption) + input + QStringLiteral(" To ") +
                    command.outputPath);
    list.setText(id, SourceList::Status, QStringLiteral("Processing"));
    list.setNote(id, QString());
    QCoreApplication::processEvents();

    const QString logPath = cacheFolder() + QStringLiteral("/encoder-%1.log").arg(index + 1);
    QFile::remove(logPath);
    ChildTools::StartOptions options;
    options.workingDirectory = programFolder();
    options.stderrFile = logPath;
    QPointer<QProcess> encoder = ChildTools::instance().start(command.commandLine, options);
    if (!encoder)
        return fail(QStringLiteral("The encoder tool could not be started."));
    m_encoderPid = encoder->processId();
    emit encoderStarted(m_encoderPid);

    bool ended = false;
    int exitCode = 0;
    QProcess::ExitStatus exitStatus = QProcess::NormalExit;
    QEventLoop loop;
    connect(encoder, &QProcess::finished, &loop, [&](int code, QProcess::ExitStatus status) {
        ended = true;
        exitCode = code;
        exitStatus = status;
        loop.quit();
    });

    setTrack(10);
    QCoreApplication::processEvents();

    // Progress: the encoder's own time= reports against the clip length; where it reports
    // none, an estimate that climbs one step every (clip seconds / 3) polls, held at 83.
    int passes = 0;
    bool reported = false;
    QTimer poll;
    poll.setInterval(kProgressPollMs);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (m_cancelRequest) {
            loop.quit();
            return;
        }
        const std::optional<double> t = lastReportedTime(readFileTail(logPath, kLogTailBytes));
        if (t && clipSeconds > 0) {
            reported = true;
            setTrack(std::max(m_track, trackProgressFor(*t, clipSeconds)));
            return;
        }
        if (reported)
            return;
        if (++passes >= clipSeconds / 3) {
            passes = 0;
            setTrack(std::min(m_track + 1, 83));
        }
    });
    // Cancel wakes the wait at once rather than at the next poll.
    QMetaObject::Connection cancelHook =
        connect(this, &BatchRun::cancelRequested, &loop, &QEventLoop::quit);
    if (!ended && !m_cancelRequest) {
        poll.start();
        loop.exec();
        poll.stop();
    }
    disconnect(cancelHook);

    if (m_cancelRequest && !ended) {
        list.setText(id, SourceList::Status, QStringLiteral("Cancel"));
        emit busyChanged(false);
        if (m_env.keys)
            m_env.keys->sendKey(m_encoderPid, QLatin1String(kEncoderTool), VK_Q);
        if (m_env.messages)
            m_env.messages->error(QStringLiteral("Conversion Canceled by the user!"));
        endRunEarly();
        return ItemEnd::StopRun;
    }

    setTrack(100);
    const QFileInfo output(command.outputPath);
    const QString logTail = lastLogLines(readFileTail(logPath, kLogTailBytes));
    if (exitStatus != QProcess::NormalExit || exitCode != 0) {
        fail(QStringLiteral("The encoder stopped with an error (exit code %1).\n%2")
                 .arg(exitStatus == QProcess::NormalExit ? exitCode : -1)
                 .arg(logTail));
    } else if (!output.exists() || output.size() == 0) {
        fail(QStringLiteral("The encoder wrote no output file.\n") + logTail);
    } else {
        list.setText(id, SourceList::Status, QStringLiteral("OK"));
    }

    m_completedShare =
        static_cast<int>(roundHalfEven(100.0 / std::max(1, list.count()) + m_completedShare));
    setTotal(m_completedShare);
    return ItemEnd::Next;
}

} // namespace clipvane
