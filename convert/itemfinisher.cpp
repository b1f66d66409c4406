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

QJsonObject toJson(const HandedOverItem& item) {
    QJsonObject o{{QStringLiteral("encoder"), QString::number(item.encoderId)},
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
                  {QStringLiteral("checkMs"), item.checkMs}};
    if (item.oldOutput)
        o.insert(QStringLiteral("oldOutput"), toJson(*item.oldOutput));
    return o;
}

HandedOverItem itemFromJson(const QJsonObject& o) {
    HandedOverItem item;
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
    return item;
}

// Sees one item through: waits for its encoder (ending it should it stall), checks the
// output, names it or removes it.
class ItemFinisher : public QObject {
    Q_OBJECT
public:
    explicit ItemFinisher(const HandedOverItem& item, QObject* parent = nullptr)
        : QObject(parent), m_item(item), m_hold(item.partial) {
        connect(&m_poll, &QTimer::timeout, this, &ItemFinisher::poll);
        // Not this process's child: whether it still runs is read from the system.
        m_stop.setTarget({m_item.encoderId, [this] { return encoderRuns(); }, {}});
    }

    void start() {
        m_clock.start();
        m_progress.restart(0);
        if (m_item.encoderId > 0)
            m_poll.start(kPollMs);
        poll();
    }

signals:
    void done();

private:
    bool encoderRuns() const {
        return m_item.encoderId > 0 && m_item.encoderStart >= 0 &&
               processStartTime(m_item.encoderId) == m_item.encoderStart;
    }

    void poll() {
        if (m_checking)
            return;
        if (!encoderRuns()) {
            m_poll.stop();
            return afterEncoder();
        }
        ProgressSample sample;
        sample.reportedSeconds = lastReportedTime(readFileTail(m_item.logFile, 16 * 1024));
        sample.outputBytes = fileBytes(m_item.partial);
        sample.bytesRead = bytesReadBy(m_item.encoderId);
        if (!m_stalled &&
            m_progress.stillFor(sample, m_clock.elapsed()) >= std::max(m_item.stallMs, 1)) {
            // Its key pipe went with the program: terminate its group, then kill it.
            m_stalled = true;
            m_stop.start({}, 0, kTermGraceMs);
        }
    }

    void afterEncoder() {
        m_checking = true;
        const QByteArray log = readFileTail(m_item.logFile, 16 * 1024);
        // How the encoder ended is not known here: its log says whether it failed.
        if (m_stalled || !writeErrorLine(log).isEmpty() || log.contains("Conversion failed!"))
            return finish(false);
        auto* check = new OutputCheck(this);
        check->setTimeLimitMs(m_item.checkMs);
        connect(check, &OutputCheck::finished, this,
                [this](const QString& failure) { finish(failure.isEmpty()); });
        check->start(m_item.partial, m_item.clipSeconds, m_item.expectVideo);
    }

    void finish(bool good) {
        if (!good || !publishOutput(m_item.partial, m_item.output, m_item.overwrite,
                                    m_item.oldOutput, {m_item.overwrite, m_item.input, {}})
                          .failure.isEmpty())
            removeIfSame(m_item.partial, m_item.partialFile);
        emit done();
    }

    HandedOverItem m_item;
    FileHold m_hold; // the partial file is this finisher's while it works
    QTimer m_poll;
    StopSequence m_stop;
    QElapsedTimer m_clock;
    ProgressWatch m_progress;
    bool m_stalled = false;
    bool m_checking = false;
};
} // namespace

bool startFinisher(const QList<HandedOverItem>& items) {
    if (items.isEmpty())
        return true;
    QJsonArray orders;
    for (const HandedOverItem& item : items)
        orders.append(toJson(item));
    return startThisProgramDetached(
        {}, {{QLatin1String(kOrders),
              QString::fromUtf8(QJsonDocument(orders).toJson(QJsonDocument::Compact))}});
}

std::optional<int> runAsFinisher(int argc, char** argv) {
    const QByteArray orders = qgetenv(kOrders);
    if (orders.isEmpty())
        return std::nullopt;
    qunsetenv(kOrders); // not for the tools it runs
    QCoreApplication app(argc, argv);
    int left = 0;
    for (const QJsonValue& order : QJsonDocument::fromJson(orders).array()) {
        auto* finisher = new ItemFinisher(itemFromJson(order.toObject()), &app);
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

#include "itemfinisher.moc"
