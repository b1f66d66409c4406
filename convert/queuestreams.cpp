#include "convert/queuestreams.h"

#include <QDir>
#include <QJsonArray>

namespace clipvane {
namespace {

// A stream or track number as recorded: a whole number from -1 up, else -1 (none).
int number(const QJsonValue& value, int none = -1) {
    const double v = value.toDouble(none);
    return v >= -1 && v <= 1e6 && v == static_cast<int>(v) ? static_cast<int>(v) : none;
}

QString text(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString();
}

void putText(QJsonObject& o, const char* key, const QString& value) {
    if (!value.isEmpty())
        o.insert(QLatin1String(key), value);
}

void putFlag(QJsonObject& o, const char* key, bool value) {
    if (value)
        o.insert(QLatin1String(key), true);
}

QJsonArray numbers(const QList<int>& list) {
    QJsonArray a;
    for (const int n : list)
        a.append(n);
    return a;
}

std::optional<QList<int>> numbersFrom(const QJsonValue& value) {
    if (!value.isArray())
        return std::nullopt;
    QList<int> list;
    for (const QJsonValue& v : value.toArray()) {
        const int n = number(v);
        if (n >= 0 && !list.contains(n))
            list.append(n);
    }
    return list;
}

} // namespace

QJsonObject streamsRecord(const StreamFacts& facts) {
    if (!facts.listed)
        return {};
    QJsonObject o;
    o.insert(QStringLiteral("video"), facts.hasVideo ? facts.videoStream : -1);
    putText(o, "videoCodec", facts.videoCodec);
    if (!facts.colour.primaries.isEmpty() || !facts.colour.transfer.isEmpty() ||
        !facts.colour.space.isEmpty())
        o.insert(QStringLiteral("colour"),
                 QJsonArray{facts.colour.primaries, facts.colour.transfer, facts.colour.space});
    QJsonArray audio;
    for (const AudioTrack& t : facts.audio) {
        QJsonObject a{{QStringLiteral("stream"), t.stream}};
        putText(a, "codec", t.codec);
        if (t.channels > 0)
            a.insert(QStringLiteral("channels"), t.channels);
        putText(a, "layout", t.layout);
        putText(a, "language", t.language);
        putText(a, "title", t.title);
        putFlag(a, "default", t.isDefault);
        audio.append(a);
    }
    o.insert(QStringLiteral("audio"), audio);
    QJsonArray subtitles;
    for (const SubtitleTrack& t : facts.subtitles) {
        QJsonObject s{{QStringLiteral("stream"), t.stream}};
        putText(s, "codec", t.codec);
        putFlag(s, "bitmap", t.bitmap);
        putText(s, "language", t.language);
        putText(s, "title", t.title);
        putFlag(s, "default", t.isDefault);
        putFlag(s, "forced", t.forced);
        putText(s, "file", t.file);
        putText(s, "characterSet", t.characterSet);
        subtitles.append(s);
    }
    o.insert(QStringLiteral("subtitles"), subtitles);
    QJsonArray chapters;
    for (const Chapter& c : facts.chapters)
        chapters.append(QJsonObject{{QStringLiteral("start"), c.start},
                                    {QStringLiteral("end"), c.end},
                                    {QStringLiteral("title"), c.title}});
    if (!chapters.isEmpty())
        o.insert(QStringLiteral("chapters"), chapters);
    if (!facts.unreadableSubtitleFiles.isEmpty())
        o.insert(QStringLiteral("unreadable"),
                 QJsonArray::fromStringList(facts.unreadableSubtitleFiles));
    return o;
}

StreamFacts streamsFromRecord(const QJsonObject& record) {
    StreamFacts facts;
    const QJsonValue value = record.value(QLatin1String("streams"));
    if (!value.isObject())
        return facts; // not listed: the encoder's own pick, as for a file never listed
    const QJsonObject o = value.toObject();
    facts.listed = true;
    facts.videoStream = number(o.value(QLatin1String("video")));
    facts.hasVideo = facts.videoStream >= 0;
    facts.videoCodec = text(o, "videoCodec");
    const QJsonArray colour = o.value(QLatin1String("colour")).toArray();
    facts.colour = {colour.at(0).toString(), colour.at(1).toString(), colour.at(2).toString()};
    for (const QJsonValue& v : o.value(QLatin1String("audio")).toArray()) {
        const QJsonObject a = v.toObject();
        AudioTrack t;
        t.stream = number(a.value(QLatin1String("stream")));
        if (t.stream < 0)
            continue; // a track with no number cannot be mapped
        t.codec = text(a, "codec");
        t.channels = std::max(0, number(a.value(QLatin1String("channels")), 0));
        t.layout = text(a, "layout");
        t.language = text(a, "language");
        t.title = text(a, "title");
        t.isDefault = a.value(QLatin1String("default")).toBool();
        facts.audio.append(t);
    }
    for (const QJsonValue& v : o.value(QLatin1String("subtitles")).toArray()) {
        const QJsonObject s = v.toObject();
        SubtitleTrack t;
        t.stream = number(s.value(QLatin1String("stream")));
        t.file = text(s, "file");
        // A track is either inside the file (a number) or a file beside it (a full path);
        // anything else would reach the encoder's command line as something it is not.
        if (t.file.isEmpty() ? t.stream < 0 : (t.stream >= 0 || !QDir::isAbsolutePath(t.file)))
            continue;
        t.codec = text(s, "codec");
        t.bitmap = s.value(QLatin1String("bitmap")).toBool();
        t.language = text(s, "language");
        t.title = text(s, "title");
        t.isDefault = s.value(QLatin1String("default")).toBool();
        t.forced = s.value(QLatin1String("forced")).toBool();
        t.characterSet = text(s, "characterSet");
        facts.subtitles.append(t);
    }
    for (const QJsonValue& v : o.value(QLatin1String("chapters")).toArray()) {
        const QJsonObject c = v.toObject();
        const double start = c.value(QLatin1String("start")).toDouble(-1);
        const double end = c.value(QLatin1String("end")).toDouble(-1);
        if (start >= 0 && end >= start)
            facts.chapters.append({start, end, text(c, "title")});
    }
    for (const QJsonValue& v : o.value(QLatin1String("unreadable")).toArray()) {
        if (!v.toString().isEmpty())
            facts.unreadableSubtitleFiles.append(v.toString());
    }
    return facts;
}

QJsonObject tracksRecord(const TrackChoice& choice) {
    QJsonObject o;
    if (choice.audio)
        o.insert(QStringLiteral("audio"), numbers(*choice.audio));
    if (choice.subtitles)
        o.insert(QStringLiteral("subtitles"), numbers(*choice.subtitles));
    if (choice.burnIn >= 0)
        o.insert(QStringLiteral("burnIn"), choice.burnIn);
    return o;
}

TrackChoice tracksFromRecord(const QJsonObject& record) {
    const QJsonObject o = record.value(QLatin1String("tracks")).toObject();
    TrackChoice choice;
    choice.audio = numbersFrom(o.value(QLatin1String("audio")));
    choice.subtitles = numbersFrom(o.value(QLatin1String("subtitles")));
    choice.burnIn = std::max(-1, number(o.value(QLatin1String("burnIn"))));
    return choice;
}

} // namespace clipvane
