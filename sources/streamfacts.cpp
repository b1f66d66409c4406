#include "sources/streamfacts.h"

#include "sources/probeparse.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringDecoder>
#include <cmath>

namespace clipvane {

bool PictureColour::isHdr() const {
    return primaries == QLatin1String("bt2020") && !transferName().isEmpty();
}

QString PictureColour::transferName() const {
    if (transfer == QLatin1String("smpte2084"))
        return QStringLiteral("PQ");
    if (transfer == QLatin1String("arib-std-b67"))
        return QStringLiteral("HLG");
    return {};
}

int StreamFacts::defaultAudio() const {
    for (int i = 0; i < audio.size(); ++i) {
        if (audio.at(i).isDefault)
            return i;
    }
    return audio.isEmpty() ? -1 : 0;
}

namespace {
// The prober writes numbers as JSON numbers and times as texts.
double number(const QJsonValue& value) {
    if (value.isDouble())
        return value.toDouble();
    bool ok = false;
    const double n = value.toString().toDouble(&ok);
    return ok && std::isfinite(n) ? n : 0;
}

QString tag(const QJsonObject& stream, const char* name) {
    const QJsonObject tags = stream.value(QLatin1String("tags")).toObject();
    // Matroska tags may come upper-cased ("LANGUAGE").
    for (auto it = tags.constBegin(); it != tags.constEnd(); ++it) {
        if (it.key().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return it.value().toString().trimmed();
    }
    return {};
}

QString language(const QJsonObject& stream) {
    const QString lang = tag(stream, "language");
    return lang == QLatin1String("und") ? QString() : lang;
}

// A track's title. MP4 keeps it as the track's handler name, which tools that have no title
// fill with a word of their own ("SoundHandler", "Core Media Audio").
QString title(const QJsonObject& stream) {
    const QString own = tag(stream, "title");
    if (!own.isEmpty())
        return own;
    const QString handler = tag(stream, "handler_name");
    static const QRegularExpression generic(
        QStringLiteral("handler|^core media|^gpac|^l-smash|^mainconcept|^apple|^iso media"),
        QRegularExpression::CaseInsensitiveOption);
    return generic.match(handler).hasMatch() ? QString() : handler;
}

bool disposition(const QJsonObject& stream, const char* name) {
    return stream.value(QLatin1String("disposition"))
               .toObject()
               .value(QLatin1String(name))
               .toInt() != 0;
}
} // namespace

namespace {
// "64:45" as a number; 1 for square, unknown ("0:1", "N/A") or absent.
double sampleAspectOf(const QString& ratio) {
    const qsizetype colon = ratio.indexOf(QLatin1Char(':'));
    const double num = ratio.left(colon).toDouble();
    const double den = ratio.mid(colon + 1).toDouble();
    return colon > 0 && num > 0 && den > 0 ? num / den : 1.0;
}
} // namespace

ProberListing parseProberListing(const QByteArray& json) {
    ProberListing out;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return out;
    const QJsonObject root = doc.object();
    if (!root.contains(QLatin1String("streams")) && !root.contains(QLatin1String("format")))
        return out;
    StreamFacts& facts = out.facts;
    facts.listed = true;
    for (const QJsonValue& value : root.value(QLatin1String("streams")).toArray()) {
        const QJsonObject s = value.toObject();
        const QString type = s.value(QLatin1String("codec_type")).toString();
        const int index = s.value(QLatin1String("index")).toInt(-1);
        const QString codec = s.value(QLatin1String("codec_name")).toString();
        if (type == QLatin1String("video")) {
            // Cover art is a picture that does not move.
            if (disposition(s, "attached_pic") || facts.hasVideo)
                continue;
            facts.hasVideo = true;
            facts.videoStream = index;
            facts.videoCodec = codec;
            facts.colour.primaries = s.value(QLatin1String("color_primaries")).toString();
            facts.colour.transfer = s.value(QLatin1String("color_transfer")).toString();
            facts.colour.space = s.value(QLatin1String("color_space")).toString();
            facts.picture.width = s.value(QLatin1String("width")).toInt();
            facts.picture.height = s.value(QLatin1String("height")).toInt();
            facts.picture.sampleAspect =
                sampleAspectOf(s.value(QLatin1String("sample_aspect_ratio")).toString());
            out.pictureAspect =
                displayAspect(s.value(QLatin1String("width")).toInteger(),
                              s.value(QLatin1String("height")).toInteger(),
                              s.value(QLatin1String("sample_aspect_ratio")).toString(),
                              s.value(QLatin1String("display_aspect_ratio")).toString());
        } else if (type == QLatin1String("audio")) {
            AudioTrack track;
            track.stream = index;
            track.codec = codec;
            track.channels = s.value(QLatin1String("channels")).toInt();
            track.layout = s.value(QLatin1String("channel_layout")).toString();
            if (track.layout == QLatin1String("unknown"))
                track.layout.clear();
            track.language = language(s);
            track.title = title(s);
            track.isDefault = disposition(s, "default");
            facts.audio.append(track);
        } else if (type == QLatin1String("subtitle")) {
            SubtitleTrack track;
            track.stream = index;
            track.codec = codec;
            track.bitmap = isBitmapSubtitle(codec);
            track.language = language(s);
            track.title = title(s);
            track.isDefault = disposition(s, "default");
            track.forced = disposition(s, "forced");
            facts.subtitles.append(track);
        }
    }
    for (const QJsonValue& value : root.value(QLatin1String("chapters")).toArray()) {
        const QJsonObject c = value.toObject();
        facts.chapters.append(Chapter{number(c.value(QLatin1String("start_time"))),
                                      number(c.value(QLatin1String("end_time"))), tag(c, "title")});
    }
    const QJsonValue duration =
        root.value(QLatin1String("format")).toObject().value(QLatin1String("duration"));
    bool ok = false;
    const double seconds = duration.toString().toDouble(&ok);
    if (ok && std::isfinite(seconds))
        out.seconds = seconds;
    return out;
}

bool isBitmapSubtitle(const QString& codec) {
    static const QStringList bitmaps = {
        QStringLiteral("dvd_subtitle"), QStringLiteral("hdmv_pgs_subtitle"),
        QStringLiteral("dvb_subtitle"), QStringLiteral("xsub"),
        QStringLiteral("dvb_teletext"), QStringLiteral("arib_caption")};
    return bitmaps.contains(codec);
}

QString codecShownName(const QString& codec) {
    static const QHash<QString, QString> names = {
        {QStringLiteral("aac"), QStringLiteral("AAC")},
        {QStringLiteral("ac3"), QStringLiteral("AC-3")},
        {QStringLiteral("eac3"), QStringLiteral("E-AC-3")},
        {QStringLiteral("dts"), QStringLiteral("DTS")},
        {QStringLiteral("truehd"), QStringLiteral("TrueHD")},
        {QStringLiteral("mp3"), QStringLiteral("MP3")},
        {QStringLiteral("mp2"), QStringLiteral("MP2")},
        {QStringLiteral("opus"), QStringLiteral("Opus")},
        {QStringLiteral("vorbis"), QStringLiteral("Vorbis")},
        {QStringLiteral("flac"), QStringLiteral("FLAC")},
        {QStringLiteral("alac"), QStringLiteral("ALAC")},
        {QStringLiteral("wmav2"), QStringLiteral("WMA")},
        {QStringLiteral("wmapro"), QStringLiteral("WMA Pro")},
        {QStringLiteral("subrip"), QStringLiteral("SRT")},
        {QStringLiteral("ass"), QStringLiteral("ASS")},
        {QStringLiteral("ssa"), QStringLiteral("SSA")},
        {QStringLiteral("mov_text"), QStringLiteral("MP4 text")},
        {QStringLiteral("webvtt"), QStringLiteral("WebVTT")},
        {QStringLiteral("dvd_subtitle"), QStringLiteral("DVD")},
        {QStringLiteral("hdmv_pgs_subtitle"), QStringLiteral("PGS")},
        {QStringLiteral("dvb_subtitle"), QStringLiteral("DVB")},
        {QStringLiteral("dvb_teletext"), QStringLiteral("Teletext")},
        {QStringLiteral("mpeg1video"), QStringLiteral("MPEG-1")},
        {QStringLiteral("mpeg2video"), QStringLiteral("MPEG-2")},
        {QStringLiteral("mpeg4"), QStringLiteral("MPEG-4")},
        {QStringLiteral("h264"), QStringLiteral("H.264")},
        {QStringLiteral("hevc"), QStringLiteral("HEVC")},
        {QStringLiteral("vp8"), QStringLiteral("VP8")},
        {QStringLiteral("vp9"), QStringLiteral("VP9")},
        {QStringLiteral("av1"), QStringLiteral("AV1")},
        {QStringLiteral("vc1"), QStringLiteral("VC-1")},
    };
    if (codec.startsWith(QLatin1String("pcm_")))
        return QStringLiteral("PCM");
    return names.value(codec, codec.toUpper());
}

QString channelsShown(int channels, const QString& layout) {
    static const QHash<QString, QString> layouts = {
        {QStringLiteral("mono"), QStringLiteral("1.0")},
        {QStringLiteral("stereo"), QStringLiteral("2.0")},
        {QStringLiteral("2.1"), QStringLiteral("2.1")},
        {QStringLiteral("5.1"), QStringLiteral("5.1")},
        {QStringLiteral("5.1(side)"), QStringLiteral("5.1")},
        {QStringLiteral("7.1"), QStringLiteral("7.1")},
        {QStringLiteral("7.1(wide)"), QStringLiteral("7.1")},
        {QStringLiteral("7.1(wide-side)"), QStringLiteral("7.1")},
        {QStringLiteral("6.1"), QStringLiteral("6.1")},
        {QStringLiteral("5.0"), QStringLiteral("5.0")},
        {QStringLiteral("5.0(side)"), QStringLiteral("5.0")},
    };
    if (const auto found = layouts.constFind(layout); found != layouts.constEnd())
        return *found;
    switch (channels) {
    case 1:
        return QStringLiteral("1.0");
    case 2:
        return QStringLiteral("2.0");
    case 6:
        return QStringLiteral("5.1");
    case 8:
        return QStringLiteral("7.1");
    case 0:
        return {};
    default:
        return QStringLiteral("%1 ch").arg(channels);
    }
}

namespace {
QString quotedTitle(const QString& title) {
    return title.isEmpty() ? QString() : QStringLiteral(" \u201C%1\u201D").arg(title);
}
QString joined(const QStringList& words) {
    QStringList kept;
    for (const QString& w : words)
        if (!w.isEmpty())
            kept.append(w);
    return kept.join(QLatin1Char(' '));
}
} // namespace

QString audioTrackText(const AudioTrack& track) {
    return joined({track.language, codecShownName(track.codec),
                   channelsShown(track.channels, track.layout)}) +
           quotedTitle(track.title);
}

QString subtitleTrackText(const SubtitleTrack& track) {
    QString text = joined({track.language, codecShownName(track.codec)}) + quotedTitle(track.title);
    if (track.forced)
        text += QCoreApplication::translate("StreamFacts", " (forced)");
    if (!track.file.isEmpty())
        text += QCoreApplication::translate("StreamFacts", " (file %1)")
                    .arg(QFileInfo(track.file).fileName());
    return text;
}

QString streamSummary(const StreamFacts& facts) {
    if (!facts.listed)
        return {};
    QStringList parts;
    const QString tracks = keptTracksSummary(facts, TrackChoice());
    if (!tracks.isEmpty())
        parts.append(tracks);
    if (!facts.chapters.isEmpty())
        parts.append(
            QCoreApplication::translate("StreamFacts", "Chapters: %1").arg(facts.chapters.size()));
    if (facts.colour.isHdr())
        parts.append(QCoreApplication::translate("StreamFacts", "HDR (%1)")
                         .arg(facts.colour.transferName()));
    for (const QString& file : facts.unreadableSubtitleFiles)
        parts.append(
            QCoreApplication::translate("StreamFacts", "The subtitle file %1 cannot be read")
                .arg(QFileInfo(file).fileName()));
    return parts.join(QStringLiteral("; "));
}

namespace {
// A two-letter language code as the three letters containers keep (ISO 639-2, as Matroska
// asks; MP4 keeps nothing else); others stay as they are.
QString threeLetterLanguage(const QString& code) {
    static const QHash<QString, QString> codes = [] {
        QHash<QString, QString> h;
        const char* pairs[][2] = {
            {"en", "eng"}, {"de", "ger"}, {"fr", "fre"}, {"es", "spa"}, {"it", "ita"},
            {"pt", "por"}, {"nl", "dut"}, {"sv", "swe"}, {"da", "dan"}, {"no", "nor"},
            {"nb", "nob"}, {"fi", "fin"}, {"pl", "pol"}, {"cs", "cze"}, {"sk", "slo"},
            {"hu", "hun"}, {"ro", "rum"}, {"el", "gre"}, {"tr", "tur"}, {"ru", "rus"},
            {"uk", "ukr"}, {"ja", "jpn"}, {"zh", "chi"}, {"ko", "kor"}, {"ar", "ara"},
            {"he", "heb"}, {"hi", "hin"}, {"th", "tha"}, {"vi", "vie"}, {"id", "ind"},
            {"hr", "hrv"}, {"sr", "srp"}, {"bg", "bul"}, {"sl", "slv"}, {"et", "est"},
            {"lv", "lav"}, {"lt", "lit"}, {"ca", "cat"}, {"eu", "baq"}, {"gl", "glg"},
            {"fa", "per"}, {"ms", "may"}, {"is", "ice"}, {"ga", "gle"}, {"cy", "wel"}};
        for (const auto& p : pairs)
            h.insert(QLatin1String(p[0]), QLatin1String(p[1]));
        return h;
    }();
    return codes.value(code, code);
}
} // namespace

QList<SubtitleTrack> subtitleFilesBeside(const QString& sourcePath, QStringList* unreadable) {
    QList<SubtitleTrack> found;
    const QFileInfo source(sourcePath);
    const QString stem = source.completeBaseName();
    if (stem.isEmpty())
        return found;
    const QDir folder = source.absoluteDir();
    // NAME.srt, NAME.en.srt, NAME.deu.srt: matched by hand, since the name may hold wildcard
    // characters of its own.
    static const QRegularExpression lang(QStringLiteral("^[A-Za-z]{2,3}$"));
    // Unreadable ones too: they are named in the row's note. (Any case of ".srt": the name
    // filters ignore case.)
    const QFileInfoList all = folder.entryInfoList(
        {QStringLiteral("*.srt")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : all) {
        const QString name = entry.fileName();
        if (!name.endsWith(QLatin1String(".srt"), Qt::CaseInsensitive) ||
            !name.startsWith(stem + QLatin1Char('.')))
            continue;
        // NAME.srt has nothing between; NAME.LANG.srt its language.
        const qsizetype between = name.size() - stem.size() - 5;
        const QString middle = between > 0 ? name.mid(stem.size() + 1, between) : QString();
        if (!middle.isEmpty() && !lang.match(middle).hasMatch())
            continue;
        SubtitleTrack track;
        track.codec = QStringLiteral("subrip");
        track.language = threeLetterLanguage(middle.toLower());
        track.file = entry.absoluteFilePath();
        QFile file(track.file);
        QByteArray start;
        if (file.open(QIODevice::ReadOnly))
            start = file.read(256 * 1024);
        // A subtitle file says when each line shows: without one "-->" it is none.
        if (!start.contains("-->")) {
            if (unreadable)
                unreadable->append(track.file);
            continue;
        }
        // Stateful: a character cut at the end of what was read is no error.
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(start);
        if (utf8.hasError())
            track.characterSet = QStringLiteral("CP1252"); // what such files mostly are
        found.append(track);
    }
    return found;
}

QList<int> keptTracks(const std::optional<QList<int>>& chosen, qsizetype count) {
    QList<int> out;
    for (int i = 0; i < count; ++i) {
        if (!chosen || chosen->contains(i))
            out.append(i);
    }
    return out;
}

std::optional<QList<int>> choiceOf(const QList<int>& ticked, qsizetype count) {
    const QList<int> kept = keptTracks(ticked, count);
    if (kept.size() == count)
        return std::nullopt;
    return kept;
}

QString keptTracksSummary(const StreamFacts& facts, const TrackChoice& choice) {
    QStringList audio, subtitles;
    for (const AudioTrack& t : facts.audio)
        audio.append(audioTrackText(t));
    for (const SubtitleTrack& t : facts.subtitles)
        subtitles.append(subtitleTrackText(t));
    const auto part = [](const char* kind, const QStringList& all, const QList<int>& kept) {
        const QString shownKind = QCoreApplication::translate("StreamFacts", kind);
        QStringList named;
        for (const int i : kept)
            named.append(all.at(i));
        if (named.isEmpty())
            return QCoreApplication::translate("StreamFacts", "%1: none of %2")
                .arg(shownKind)
                .arg(all.size());
        if (named.size() < all.size())
            return QCoreApplication::translate("StreamFacts", "%1: %2 of %3 \u2014 %4")
                .arg(shownKind)
                .arg(named.size())
                .arg(all.size())
                .arg(named.join(QStringLiteral(", ")));
        if (named.size() == 1)
            return QStringLiteral("%1: %2").arg(shownKind, named.first());
        return QCoreApplication::translate("StreamFacts", "%1: %2 tracks \u2014 %3")
            .arg(shownKind)
            .arg(named.size())
            .arg(named.join(QStringLiteral(", ")));
    };
    QStringList parts;
    if (!audio.isEmpty())
        parts.append(part(QT_TRANSLATE_NOOP("StreamFacts", "Audio"), audio,
                          keptTracks(choice.audio, audio.size())));
    if (!subtitles.isEmpty())
        parts.append(part(QT_TRANSLATE_NOOP("StreamFacts", "Subtitles"), subtitles,
                          keptTracks(choice.subtitles, subtitles.size())));
    return parts.join(QStringLiteral("; "));
}

QString readableFormat(const QString& playerFormat, const QString& proberCodec) {
    static const QHash<QString, QString> codes = {
        {QStringLiteral("0x10000001"), QStringLiteral("MPEG-1")},
        {QStringLiteral("0x10000002"), QStringLiteral("MPEG-2")},
        {QStringLiteral("0x10000004"), QStringLiteral("MPEG-4")},
        {QStringLiteral("0x10000005"), QStringLiteral("H.264")},
    };
    const QString code = playerFormat.trimmed().toLower();
    if (!code.startsWith(QLatin1String("0x")))
        return playerFormat;
    if (const auto found = codes.constFind(code); found != codes.constEnd())
        return *found;
    return proberCodec.isEmpty() ? playerFormat : codecShownName(proberCodec);
}

} // namespace clipvane
