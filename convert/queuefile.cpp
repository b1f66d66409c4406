#include "convert/queuefile.h"

#include "convert/queuestreams.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <cmath>
#include <limits>

namespace clipvane {
namespace {

// The keys this program reads from a record; every other key is kept as it was.
const QStringList& knownKeys() {
    static const QStringList keys = {
        QStringLiteral("id"),        QStringLiteral("file"),     QStringLiteral("start"),
        QStringLiteral("end"),       QStringLiteral("length"),   QStringLiteral("size"),
        QStringLiteral("format"),    QStringLiteral("status"),   QStringLiteral("note"),
        QStringLiteral("output"),    QStringLiteral("log"),      QStringLiteral("seconds"),
        QStringLiteral("frameRate"), QStringLiteral("aspect"),   QStringLiteral("soundless"),
        QStringLiteral("profile"),   QStringLiteral("underWay"), QStringLiteral("streams"),
        QStringLiteral("tracks"),    QStringLiteral("score"),    QStringLiteral("estimate")};
    return keys;
}

std::optional<qint64> hundredths(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double v = value.toDouble();
    // Whole hundredths within what a clip can be; anything else is not a time.
    if (v < 0 || v > 1e15 || v != static_cast<double>(static_cast<qint64>(v)))
        return std::nullopt;
    return static_cast<qint64>(v);
}

void putText(QJsonObject& o, const char* key, const QString& value) {
    if (!value.isEmpty())
        o.insert(QLatin1String(key), value);
}

bool writeWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

QString queueFileBeside(const QString& settingsFile) {
    return QFileInfo(settingsFile).absolutePath() + QStringLiteral("/queue.json");
}

QString outcomeFolderOf(const QString& queueFile) {
    return QFileInfo(queueFile).absolutePath() + QStringLiteral("/queue-outcomes");
}

std::optional<QueueContents> parseQueue(const QByteArray& text, QString* problem) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    const auto refuse = [problem](const QString& why) {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    if (error.error != QJsonParseError::NoError)
        return refuse(QCoreApplication::translate("QueueFile", "it is damaged (%1 at byte %2)")
                          .arg(error.errorString())
                          .arg(error.offset));
    const QJsonObject top = doc.object();
    if (!doc.isObject() ||
        top.value(QLatin1String("format")).toString() != QLatin1String(kQueueFormat))
        return refuse(
            QCoreApplication::translate("QueueFile", "it is not a list of files Clipvane wrote"));
    if (top.value(QLatin1String("version")).toInt(-1) != kQueueVersion)
        return refuse(QCoreApplication::translate(
                          "QueueFile", "it was written by another version of Clipvane (format %1)")
                          .arg(top.value(QLatin1String("version")).toVariant().toString()));
    if (!top.value(QLatin1String("rows")).isArray())
        return refuse(QCoreApplication::translate("QueueFile", "it holds no list"));
    QueueContents contents;
    contents.queueId = top.value(QLatin1String("queue")).toString();
    for (const QJsonValue& value : top.value(QLatin1String("rows")).toArray()) {
        const QJsonObject record = value.toObject();
        if (!value.isObject() || record.value(QLatin1String("file")).toString().isEmpty()) {
            ++contents.badRecords;
            continue;
        }
        contents.records.append(record);
    }
    return contents;
}

QByteArray queueText(const QString& queueId, const QList<QJsonObject>& records) {
    QJsonArray rows;
    for (const QJsonObject& record : records)
        rows.append(record);
    const QJsonObject top{{QStringLiteral("format"), QLatin1String(kQueueFormat)},
                          {QStringLiteral("version"), kQueueVersion},
                          {QStringLiteral("queue"), queueId},
                          {QStringLiteral("rows"), rows}};
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

QJsonObject rowRecord(const SourceList& list, SourceList::Id id, const QJsonObject& extra) {
    QJsonObject o = extra;
    const int row = list.rowOf(id);
    if (row < 0)
        return o;
    const SourceList::Item item = list.itemAt(row);
    o.insert(QStringLiteral("id"), static_cast<double>(item.id));
    o.insert(QStringLiteral("file"), item.columns[SourceList::FileName]);
    for (const char* key : {"start", "end", "length"})
        o.remove(QLatin1String(key));
    if (item.start)
        o.insert(QStringLiteral("start"), static_cast<double>(*item.start));
    if (item.end)
        o.insert(QStringLiteral("end"), static_cast<double>(*item.end));
    if (item.length)
        o.insert(QStringLiteral("length"), static_cast<double>(*item.length));
    for (const char* key : {"size", "format", "status", "note", "output", "log", "profile",
                            "streams", "tracks", "score", "estimate"})
        o.remove(QLatin1String(key));
    putText(o, "size", item.columns[SourceList::Size]);
    putText(o, "format", item.columns[SourceList::Format]);
    putText(o, "status", item.columns[SourceList::Status]);
    putText(o, "note", item.note);
    putText(o, "output", item.output);
    putText(o, "log", item.logPath);
    o.insert(QStringLiteral("seconds"), item.facts.seconds);
    o.insert(QStringLiteral("frameRate"), item.facts.frameRate);
    o.insert(QStringLiteral("aspect"), item.pictureAspect);
    o.insert(QStringLiteral("soundless"), item.soundless);
    if (const QJsonObject streams = streamsRecord(item.streams); !streams.isEmpty())
        o.insert(QStringLiteral("streams"), streams);
    if (const QJsonObject tracks = tracksRecord(item.tracks); !tracks.isEmpty())
        o.insert(QStringLiteral("tracks"), tracks);
    if (item.score) {
        o.insert(QStringLiteral("score"),
                 QJsonObject{{QStringLiteral("ssim"), item.score->ssim},
                             {QStringLiteral("psnr"), std::isfinite(item.score->psnr)
                                                          ? QJsonValue(item.score->psnr)
                                                          : QJsonValue(QJsonValue::Null)}});
    }
    if (item.estimate) {
        static const char* const bases[] = {"rates", "target", "samples"};
        o.insert(QStringLiteral("estimate"),
                 QJsonObject{{QStringLiteral("bytes"), static_cast<double>(item.estimate->bytes)},
                             {QStringLiteral("basis"),
                              QLatin1String(bases[static_cast<int>(item.estimate->basis)])}});
    }
    if (item.profile) {
        QJsonObject options;
        for (const auto& [key, value] : item.profile->options)
            options.insert(key, value);
        o.insert(QStringLiteral("profile"),
                 QJsonObject{{QStringLiteral("caption"), item.profile->caption},
                             {QStringLiteral("options"), options}});
    }
    return o;
}

SourceList::Item itemFromRecord(const QJsonObject& record, QJsonObject* extra) {
    SourceList::Item item;
    const double id = record.value(QLatin1String("id")).toDouble(0);
    item.id = id >= 1 && id <= 9007199254740992.0 && id == static_cast<double>(quint64(id))
                  ? static_cast<SourceList::Id>(id)
                  : 0;
    const auto text = [&record](const char* key) {
        return record.value(QLatin1String(key)).toString();
    };
    item.columns[SourceList::FileName] = text("file");
    item.columns[SourceList::Size] = text("size");
    item.columns[SourceList::Format] = text("format");
    item.columns[SourceList::Status] = text("status");
    item.start = hundredths(record.value(QLatin1String("start")));
    item.end = hundredths(record.value(QLatin1String("end")));
    item.length = hundredths(record.value(QLatin1String("length")));
    item.note = text("note");
    item.output = text("output");
    item.logPath = text("log");
    item.facts.seconds = std::max(0.0, record.value(QLatin1String("seconds")).toDouble());
    item.facts.frameRate = std::max(0.0, record.value(QLatin1String("frameRate")).toDouble());
    item.pictureAspect = std::max(0.0, record.value(QLatin1String("aspect")).toDouble());
    item.soundless = record.value(QLatin1String("soundless")).toBool();
    item.streams = streamsFromRecord(record);
    item.tracks = tracksFromRecord(record);
    const QJsonObject score = record.value(QLatin1String("score")).toObject();
    const QJsonValue ssim = score.value(QLatin1String("ssim"));
    const QJsonValue psnr = score.value(QLatin1String("psnr"));
    if (ssim.isDouble() && ssim.toDouble() >= 0 && ssim.toDouble() <= 1 &&
        (psnr.isDouble() || psnr.isNull()))
        item.score =
            OutputScore{ssim.toDouble(),
                        psnr.isNull() ? std::numeric_limits<double>::infinity() : psnr.toDouble()};
    const QJsonObject estimate = record.value(QLatin1String("estimate")).toObject();
    const double bytes = estimate.value(QLatin1String("bytes")).toDouble(-1);
    const QString basis = estimate.value(QLatin1String("basis")).toString();
    const QStringList bases{QStringLiteral("rates"), QStringLiteral("target"),
                            QStringLiteral("samples")};
    if (bytes >= 0 && bytes < 9e15 && bases.contains(basis))
        item.estimate = SizeEstimate{static_cast<qint64>(bytes),
                                     static_cast<SizeEstimate::Basis>(bases.indexOf(basis))};
    const QJsonObject profile = record.value(QLatin1String("profile")).toObject();
    if (const QString caption = profile.value(QLatin1String("caption")).toString();
        !caption.isEmpty()) {
        RowProfile own;
        own.caption = caption;
        own.shown = caption;
        const QJsonObject options = profile.value(QLatin1String("options")).toObject();
        for (auto it = options.constBegin(); it != options.constEnd(); ++it) {
            if (it.value().isString())
                own.options.append({it.key(), it.value().toString()});
        }
        item.profile = own;
    }
    if (extra) {
        *extra = record;
        for (const QString& key : knownKeys())
            extra->remove(key);
    }
    return item;
}

bool writeOutcome(const QString& folder, const QString& queueId, const ItemOutcome& outcome) {
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return false;
    const QJsonObject o{{QStringLiteral("format"), QLatin1String(kOutcomeFormat)},
                        {QStringLiteral("version"), kQueueVersion},
                        {QStringLiteral("queue"), queueId},
                        {QStringLiteral("row"), static_cast<double>(outcome.row)},
                        {QStringLiteral("status"), outcome.status},
                        {QStringLiteral("note"), outcome.note},
                        {QStringLiteral("output"), outcome.output},
                        {QStringLiteral("log"), outcome.log}};
    return writeWhole(QStringLiteral("%1/%2-%3.json").arg(folder, queueId).arg(outcome.row),
                      QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QList<OutcomeFile> readOutcomes(const QString& folder) {
    QList<OutcomeFile> found;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QFileInfo& info : files) {
        OutcomeFile file;
        file.path = info.absoluteFilePath();
        QFile in(file.path);
        const QJsonObject o = in.open(QIODevice::ReadOnly)
                                  ? QJsonDocument::fromJson(in.read(1 << 20)).object()
                                  : QJsonObject();
        file.queueId = o.value(QLatin1String("queue")).toString();
        const double row = o.value(QLatin1String("row")).toDouble(0);
        const QString status = o.value(QLatin1String("status")).toString();
        if (o.value(QLatin1String("format")).toString() == QLatin1String(kOutcomeFormat) &&
            o.value(QLatin1String("version")).toInt() == kQueueVersion && row >= 1 &&
            (status == QLatin1String("OK") || status == QLatin1String("Fail") ||
             status == QLatin1String("Cancel"))) {
            ItemOutcome outcome;
            outcome.row = static_cast<SourceList::Id>(row);
            outcome.status = status;
            outcome.note = o.value(QLatin1String("note")).toString();
            outcome.output = o.value(QLatin1String("output")).toString();
            outcome.log = o.value(QLatin1String("log")).toString();
            file.outcome = outcome;
        }
        found.append(file);
    }
    return found;
}

QString setAside(const QString& path, const QString& what) {
    const QFileInfo info(path);
    const QString stem = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
                         QLatin1Char('-') + what + QLatin1Char('-') +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 1; n < 100; ++n) {
        const QString target =
            n == 1 ? stem + suffix : QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(suffix);
        // QFile::rename never replaces a file.
        if (!QFileInfo::exists(target) && QFile::rename(path, target))
            return target;
    }
    return QString();
}

} // namespace clipvane
