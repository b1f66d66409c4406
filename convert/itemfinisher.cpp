#include "convert/itemfinisher.h"

#include "convert/encodercommand.h"
#include "convert/outputcheck.h"
#include "process/detachedstart.h"
#include "process/progresswatch.h"
#include "process/stopsequence.h"
#include "process/toollog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace clipvane {
namespace {
// The finisher's orders, in its environment (JSON).
constexpr const char* kOrders = "CLIPVANE_FINISH_ITEMS";
constexpr int kPollMs = 500;
constexpr int kTermGraceMs = 2000;

QJsonObject toJson(const FileIdentity& id) {
    // As text: inode numbers and nanoseconds do not fit a JSON number's 53 bits.
    return {{QStringLiteral("device"), QString::number(id.device)},
            {QStringLiteral("inode"), QString::number(id.inode)},
            {QStringLiteral("modified"), QString::number(id.modifiedNs)},
            {QStringLiteral("size"), QString::number(id.size)}};
}

FileIdentity identityFromJson(const QJsonObject& o) {
    FileIdentity id;
    id.device = o.value(QLatin1String("device")).toString().toULongLong();
    id.inode = o.value(QLatin1String("inode")).toString().toULongLong();
    id.modifiedNs = o.value(QLatin1String("modified")).toString().toLongLong();
    id.size = o.value(QLatin1String("size")).toString().toLongLong();
    return id;
}

} // namespace

QJsonObject handedOverJson(const HandedOverItem& item) {
    QJsonObject o{{QStringLiteral("row"), QString::number(item.rowId)},
                  {QStringLiteral("encoder"), QString::number(item.encoderId)},
                  {QStringLiteral("started"), QString::number(item.encoderStart)},
                  {QStringLiteral("log"), item.logFile},
                  {QStringLiteral("partial"), item.partial},
                  {QStringLiteral("partialFile"), toJson(item.partialFile)},
                  {QStringLiteral("output"), item.output},
                  {QStringLiteral("overwrite"), item.overwrite},
                  {QStringLiteral("input"), item.input},
                  {QStringLiteral("clip"), QString::number(item.clipSeconds)},
                  {QStringLiteral("video"), item.expectVideo},
                  {QStringLiteral("stallMs"), item.stallMs},
                  {QStringLiteral("checkMs"), item.checkMs},
                  {QStringLiteral("stop"), item.stop},
                  {QStringLiteral("outcomes"), item.outcomes},
                  {QStringLiteral("queue"), item.queue}};
    if (item.oldOutput)
        o.insert(QStringLiteral("oldOutput"), toJson(*item.oldOutput));
    return o;
}

HandedOverItem handedOverFromJson(const QJsonObject& o) {
    HandedOverItem item;
    item.rowId = o.value(QLatin1String("row")).toString().toULongLong();
    item.encoderId = o.value(QLatin1String("encoder")).toString().toLongLong();
    item.encoderStart = o.value(QLatin1String("started")).toString().toLongLong();
    item.logFile = o.value(QLatin1String("log")).toString();
    item.partial = o.value(QLatin1String("partial")).toString();
    item.partialFile = identityFromJson(o.value(QLatin1String("partialFile")).toObject());
    item.output = o.value(QLatin1String("output")).toString();
    item.overwrite = o.value(QLatin1String("overwrite")).toBool();
    if (o.contains(QLatin1String("oldOutput")))
        item.oldOutput = identityFromJson(o.value(QLatin1String("oldOutput")).toObject());
    item.input = o.value(QLatin1String("input")).toString();
    item.clipSeconds = o.value(QLatin1String("clip")).toString().toLongLong();
    item.expectVideo = o.value(QLatin1String("video")).toBool(true);
    item.stallMs = o.value(QLatin1String("stallMs")).toInt(60000);
    item.checkMs = o.value(QLatin1String("checkMs")).toInt(OutputCheck::kTimeoutMs);
    item.stop = o.value(QLatin1String("stop")).toBool();
    item.outcomes = o.value(QLatin1String("outcomes")).toString();
    item.queue = o.value(QLatin1String("queue")).toString();
    return item;
}

ItemFinisher::ItemFinisher(const HandedOverItem& item, QObject* parent)
    : QObject(parent), m_item(item), m_hold(item.partial) {
    connect(&m_poll, &QTimer::timeout, this, &ItemFinisher::poll);
    // Not this process's child: whether it still runs is read from the system.
    m_stop.setTarget({m_item.encoderId, [this] { return encoderRuns(); }, {}});
}

void ItemFinisher::start() {
    m_clock.start();
    m_progress.restart(0);
    if (m_item.stop && encoderRuns())
        m_stop.start({}, 0, kTermGraceMs); // its key pipe went with the program
    if (m_item.encoderId > 0)
        m_poll.start(kPollMs);
    poll();
}

QByteArray ItemFinisher::logTail() const {
    return m_item.logFile.isEmpty() ? QByteArray() : readFileTail(m_item.logFile, 16 * 1024);
}

bool ItemFinisher::encoderRuns() const {
    return m_item.encoderId > 0 && m_item.encoderStart >= 0 &&
           processStartTime(m_item.encoderId) == m_item.encoderStart;
}

void ItemFinisher::poll() {
    if (m_checking)
        return;
    if (!encoderRuns()) {
        m_poll.stop();
        return afterEncoder();
    }
    if (m_item.stop)
        return;
    ProgressSample sample;
    sample.reportedSeconds = lastReportedTime(logTail());
    sample.outputBytes = fileBytes(m_item.partial);
    sample.bytesRead = bytesReadBy(m_item.encoderId);
    if (!m_stalled &&
        m_progress.stillFor(sample, m_clock.elapsed()) >= std::max(m_item.stallMs, 1)) {
        // Its key pipe went with the program: terminate its group, then kill it.
        m_stalled = true;
        m_stop.start({}, 0, kTermGraceMs);
    }
}

void ItemFinisher::afterEncoder() {
    m_checking = true;
    if (m_item.stop)
        return finish(QString());
    const QByteArray log = logTail();
    // How the encoder ended is not known here: its log says whether it failed.
    const auto failed = [&log](const QString& why) {
        const QString lines = errorLines(log);
        return lines.isEmpty() ? why : why + QLatin1Char('\n') + lines;
    };
    if (m_stalled)
        return finish(failed(QCoreApplication::translate("clipvane::BatchRun",
                                                         "The encoder stopped making progress.")));
    if (const QString line = writeErrorLine(log); !line.isEmpty())
        return finish(QCoreApplication::translate("clipvane::BatchRun",
                                                  "The output could not be written in full.") +
                      QLatin1Char('\n') + line);
    if (log.contains("Conversion failed!"))
        return finish(failed(
            QCoreApplication::translate("ItemFinisher", "The encoder stopped with an error.")));
    auto* check = new OutputCheck(this);
    check->setTimeLimitMs(m_item.checkMs);
    connect(check, &OutputCheck::finished, this,
            [this](const QString& failure) { finish(failure.isEmpty() ? QString() : failure); });
    check->start(m_item.partial, m_item.clipSeconds, m_item.expectVideo);
}

void ItemFinisher::finish(const QString& checkFailure) {
    ItemOutcome outcome;
    outcome.row = m_item.rowId;
    outcome.log = m_item.logFile;
    QString failure = checkFailure;
    if (m_item.stop) {
        outcome.status = QStringLiteral("Cancel");
    } else if (failure.isEmpty()) {
        const Publication done =
            publishOutput(m_item.partial, m_item.output, m_item.overwrite, m_item.oldOutput,
                          {m_item.overwrite, m_item.input, {}});
        failure = done.failure;
        outcome.output = done.path;
        outcome.note = done.note;
    }
    if (m_item.stop || !failure.isEmpty()) {
        // What it wrote goes, and only it.
        removeIfSame(m_item.partial, m_item.partialFile);
        outcome.output.clear();
    }
    if (!m_item.stop) {
        outcome.status = failure.isEmpty() ? QStringLiteral("OK") : QStringLiteral("Fail");
        if (!failure.isEmpty())
            outcome.note = failure;
    }
    m_hold.release();
    if (!m_item.outcomes.isEmpty())
        writeOutcome(m_item.outcomes, m_item.queue, outcome);
    emit done(outcome);
}

bool startFinisher(const QList<HandedOverItem>& items, qint64* processId) {
    if (items.isEmpty())
        return true;
    QJsonArray orders;
    for (const HandedOverItem& item : items)
        orders.append(handedOverJson(item));
    return startThisProgramDetached(
        {},
        {{QLatin1String(kOrders),
          QString::fromUtf8(QJsonDocument(orders).toJson(QJsonDocument::Compact))}},
        processId);
}

std::optional<int> runAsFinisher(int argc, char** argv, const std::function<void()>& setUp) {
    const QByteArray orders = qgetenv(kOrders);
    if (orders.isEmpty())
        return std::nullopt;
    qunsetenv(kOrders); // not for the tools it runs
    QCoreApplication app(argc, argv);
    if (setUp)
        setUp();
    int left = 0;
    for (const QJsonValue& order : QJsonDocument::fromJson(orders).array()) {
        auto* finisher = new ItemFinisher(handedOverFromJson(order.toObject()), &app);
        ++left;
        QObject::connect(finisher, &ItemFinisher::done, &app, [&left] {
            if (--left == 0)
                QCoreApplication::quit();
        });
        QTimer::singleShot(0, finisher, &ItemFinisher::start);
    }
    return left == 0 ? 0 : app.exec();
}

} // namespace clipvane
