#include "convert/streammap.h"

#include "base/textvalues.h"
#include "convert/encodercommand.h"
#include "options/profiles.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>

namespace clipvane {
namespace {

QString formatName(const QString& muxer) {
    if (muxer == QLatin1String("matroska"))
        return QStringLiteral("Matroska");
    if (muxer == QLatin1String("webm"))
        return QStringLiteral("WebM");
    if (muxer == QLatin1String("ipod"))
        return QStringLiteral("M4A");
    return muxer.toUpper();
}

bool isMp4(const QString& muxer) {
    return muxer == QLatin1String("mp4") || muxer == QLatin1String("ipod");
}

// A track's stream as the encoder maps it ("0:3").
QString inSource(int stream) {
    return QStringLiteral("0:%1").arg(stream);
}

// The options of one output stream ("-disposition:a:1").
QString perStream(const char* option, char kind, int index) {
    return QStringLiteral("-%1:%2:%3").arg(QLatin1String(option)).arg(QLatin1Char(kind)).arg(index);
}

// Channel layouts the Opus encoder takes; others are mixed to the nearest of them.
const char* const kOpusLayouts = "aformat=channel_layouts=7.1|6.1|5.1|5.0|quad|3.0|stereo|mono";

void planAudio(StreamPlan& plan, const ProfileEntry& profile, const QString& muxer,
               const EncoderInputs& in) {
    const EncoderOptions& o = in.options;
    const StreamFacts& facts = in.streams;
    QStringList& args = plan.audioArguments;
    if (o.audioOff) {
        args << QStringLiteral("-an");
        return;
    }
    const QString encoder = todaysAudioEncoder(o.audioCodec);
    const QStringList codec{
        QStringLiteral("-c:a"), encoder,
        QStringLiteral("-b:a"), QString::number(roundHalfEven(o.audioKbits)) + 'k',
        QStringLiteral("-ar"),  QString::number(o.sampleRate)};
    if (!facts.listed) {
        // Nothing known of the tracks: the encoder's own pick of one.
        args << codec;
        if (o.audioChannels)
            args << QStringLiteral("-ac") << QString::number(roundHalfEven(*o.audioChannels));
        return;
    }
    QList<int> kept = keptTracks(in.tracks.audio, facts.audio.size());
    // A track the prober found no sound in (no codec, no channels) cannot be encoded.
    QStringList empty;
    for (const int track : QList<int>(kept)) {
        const AudioTrack& t = facts.audio.at(track);
        if (t.codec.isEmpty() || t.channels <= 0) {
            kept.removeOne(track);
            empty.append(audioTrackText(t));
        }
    }
    if (!empty.isEmpty())
        plan.notes.append(
            QCoreApplication::translate("StreamMap",
                                        "No sound could be read from these tracks; left out: %1.")
                .arg(empty.join(QStringLiteral(", "))));
    // The source's default track first.
    const int main = facts.defaultAudio();
    if (kept.removeOne(main))
        kept.prepend(main);
    if (profile.isSoundOnly() && kept.size() > 1) {
        QStringList left;
        for (qsizetype i = 1; i < kept.size(); ++i)
            left.append(audioTrackText(facts.audio.at(kept.at(i))));
        plan.notes.append(QCoreApplication::translate(
                              "StreamMap", "%1 files hold one sound track; kept %2, left out: %3.")
                              .arg(formatName(muxer), audioTrackText(facts.audio.at(kept.first())),
                                   left.join(QStringLiteral(", "))));
        kept = kept.mid(0, 1);
    }
    if (kept.isEmpty()) {
        args << QStringLiteral("-an");
        return;
    }
    for (const int track : kept)
        args << QStringLiteral("-map") << inSource(facts.audio.at(track).stream);
    args << codec;
    const bool mp3 = encoder == QLatin1String("libmp3lame");
    const bool opus = encoder == QLatin1String("libopus");
    if (o.audioChannels)
        args << QStringLiteral("-ac") << QString::number(roundHalfEven(*o.audioChannels));
    for (int k = 0; k < kept.size(); ++k) {
        const AudioTrack& track = facts.audio.at(kept.at(k));
        if (!o.audioChannels) {
            // Each track keeps its channels, up to what the format holds.
            const int most = mp3 ? 2 : 8;
            if (track.channels > most) {
                args << perStream("ac", 'a', k) << QString::number(most);
                plan.notes.append(
                    QCoreApplication::translate(
                        "StreamMap",
                        "%1 files hold %2 sound channels at most; %3 was mixed down to them.")
                        .arg(formatName(muxer))
                        .arg(most)
                        .arg(audioTrackText(track)));
            } else if (opus && track.channels > 2) {
                args << perStream("filter", 'a', k) << QLatin1String(kOpusLayouts);
            }
            // Opus carries at most 256 kbit/s in each channel.
            const int channels = std::clamp(track.channels, 1, most);
            if (opus && o.audioKbits > 256.0 * channels)
                args << perStream("b", 'a', k) << QStringLiteral("%1k").arg(256 * channels);
        }
        args << perStream("disposition", 'a', k)
             << (k == 0 ? QStringLiteral("default") : QStringLiteral("0"));
        // MP4 keeps a track's title as its handler's name.
        if (isMp4(muxer) && !track.title.isEmpty())
            args << QStringLiteral("-metadata:s:a:%1").arg(k)
                 << QStringLiteral("handler_name=") + track.title;
    }
}

// The subtitle to draw into the picture, or -1; says so when there is none to draw.
int burnTrack(StreamPlan& plan, const EncoderInputs& in) {
    const QList<SubtitleTrack>& subs = in.streams.subtitles;
    switch (in.options.burnIn) {
    case BurnIn::None:
        return -1;
    case BurnIn::ChosenTrack: {
        if (subs.isEmpty()) {
            plan.notes.append(
                QCoreApplication::translate("StreamMap", "This file has no subtitles to burn in."));
            return -1;
        }
        if (in.tracks.burnIn >= 0 && in.tracks.burnIn < subs.size())
            return in.tracks.burnIn;
        for (int i = 0; i < subs.size(); ++i) {
            if (subs.at(i).isDefault)
                return i;
        }
        return 0;
    }
    case BurnIn::ForcedOnly:
        for (int i = 0; i < subs.size(); ++i) {
            if (subs.at(i).forced)
                return i;
        }
        if (!subs.isEmpty())
            plan.notes.append(QCoreApplication::translate(
                "StreamMap", "No subtitle track is marked forced, so none was burnt in."));
        return -1;
    }
    return -1;
}

void planBurnIn(StreamPlan& plan, const EncoderInputs& in, int track, const QString& clipStart) {
    const QList<SubtitleTrack>& subs = in.streams.subtitles;
    const SubtitleTrack& sub = subs.at(track);
    if (sub.bitmap) {
        plan.overlayStream = inSource(sub.stream);
        return;
    }
    // The subtitles filter reads the file again from its start, by the pictures' times; the
    // clip starts those at 0, so they are moved back to the file's time while it draws.
    QString filter;
    if (sub.file.isEmpty()) {
        int among = 0; // which of the file's own subtitle streams
        for (int i = 0; i < track; ++i)
            among += subs.at(i).file.isEmpty() ? 1 : 0;
        filter = QStringLiteral("subtitles=filename=%1:si=%2")
                     .arg(filterPathValue(in.inputPath))
                     .arg(among);
    } else {
        filter = QStringLiteral("subtitles=filename=%1").arg(filterPathValue(sub.file));
        if (!sub.characterSet.isEmpty())
            filter += QStringLiteral(":charenc=") + sub.characterSet;
    }
    const bool shifted = clipStart != QLatin1String("0");
    if (shifted)
        plan.pictureFilters << QStringLiteral("setpts=PTS+%1/TB").arg(clipStart);
    plan.pictureFilters << filter;
    if (shifted)
        plan.pictureFilters << QStringLiteral("setpts=PTS-%1/TB").arg(clipStart);
}

void planSubtitles(StreamPlan& plan, const ProfileEntry& profile, const QString& muxer,
                   const EncoderInputs& in, const QString& clipStart) {
    const StreamFacts& facts = in.streams;
    QStringList& args = plan.subtitleArguments;
    for (const QString& file :
         profile.isSoundOnly() ? QStringList() : facts.unreadableSubtitleFiles)
        plan.notes.append(QCoreApplication::translate(
                              "StreamMap", "The subtitle file %1 cannot be read; it is left out.")
                              .arg(QFileInfo(file).fileName()));
    QList<int> kept = keptTracks(in.tracks.subtitles, facts.subtitles.size());
    const int burnt = profile.isSoundOnly() ? -1 : burnTrack(plan, in);
    if (burnt >= 0) {
        planBurnIn(plan, in, burnt, clipStart);
        kept.removeOne(burnt); // drawn in, not kept beside it as well
    }
    QStringList left;
    int k = 0;
    int nextInput = 1;
    for (const int i : kept) {
        const SubtitleTrack& track = facts.subtitles.at(i);
        const std::optional<QString> codec =
            profile.isSoundOnly() ? std::nullopt : subtitleCodecFor(muxer, track.codec);
        if (!codec) {
            left.append(subtitleTrackText(track));
            continue;
        }
        if (track.file.isEmpty()) {
            args << QStringLiteral("-map") << inSource(track.stream);
        } else {
            plan.inputs << QStringLiteral("-ss") << clipStart;
            if (!track.characterSet.isEmpty())
                plan.inputs << QStringLiteral("-sub_charenc") << track.characterSet;
            plan.inputs << QStringLiteral("-i") << track.file;
            args << QStringLiteral("-map") << QStringLiteral("%1:0").arg(nextInput++);
        }
        args << perStream("c", 's', k) << *codec;
        QStringList marks;
        if (track.isDefault)
            marks << QStringLiteral("default");
        if (track.forced)
            marks << QStringLiteral("forced");
        args << perStream("disposition", 's', k)
             << (marks.isEmpty() ? QStringLiteral("0") : marks.join(QLatin1Char('+')));
        if (!track.file.isEmpty() && !track.language.isEmpty())
            args << QStringLiteral("-metadata:s:s:%1").arg(k)
                 << QStringLiteral("language=") + track.language;
        if (isMp4(muxer) && !track.title.isEmpty())
            args << QStringLiteral("-metadata:s:s:%1").arg(k)
                 << QStringLiteral("handler_name=") + track.title;
        ++k;
    }
    if (k == 0)
        args << QStringLiteral("-sn");
    // Fonts and other attachments go with the subtitles that use them.
    if (muxer == QLatin1String("matroska") && k > 0)
        args << QStringLiteral("-map") << QStringLiteral("0:t?");
    if (left.isEmpty())
        return;
    const QString leftOut = left.join(QStringLiteral(", "));
    if (profile.isSoundOnly())
        plan.notes.append(
            QCoreApplication::translate("StreamMap", "%1 files hold no subtitles; left out: %2.")
                .arg(formatName(muxer), leftOut));
    else
        plan.notes.append(QCoreApplication::translate(
                              "StreamMap", "%1 files cannot hold these subtitles; left out: %2.")
                              .arg(formatName(muxer), leftOut));
}
} // namespace

QString todaysAudioEncoder(const QString& codec) {
    if (codec == QLatin1String("opus"))
        return QStringLiteral("libopus");
    if (codec == QLatin1String("mp3"))
        return QStringLiteral("libmp3lame");
    return codec; // "aac" is FFmpeg's own encoder's name
}

std::optional<QString> subtitleCodecFor(const QString& muxer, const QString& codec) {
    // Neither kind can be written by FFmpeg into any of these containers.
    if (codec == QLatin1String("dvb_teletext") || codec == QLatin1String("arib_caption") ||
        codec == QLatin1String("eia_608") || codec.isEmpty())
        return std::nullopt;
    const bool bitmap = isBitmapSubtitle(codec);
    if (muxer == QLatin1String("matroska")) {
        static const QStringList asTheyAre = {QStringLiteral("subrip"),
                                              QStringLiteral("ass"),
                                              QStringLiteral("ssa"),
                                              QStringLiteral("webvtt"),
                                              QStringLiteral("text"),
                                              QStringLiteral("dvd_subtitle"),
                                              QStringLiteral("hdmv_pgs_subtitle"),
                                              QStringLiteral("dvb_subtitle")};
        if (asTheyAre.contains(codec))
            return QStringLiteral("copy");
        return bitmap ? std::nullopt : std::optional<QString>(QStringLiteral("srt"));
    }
    if (bitmap)
        return std::nullopt;
    if (muxer == QLatin1String("mp4"))
        return QStringLiteral("mov_text");
    if (muxer == QLatin1String("webm"))
        return QStringLiteral("webvtt");
    return std::nullopt;
}

QString filterPathValue(const QString& path) {
    // First as an option's value, then as part of the graph's text.
    QString value;
    for (const QChar c : path) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('\'') || c == QLatin1Char(':'))
            value += QLatin1Char('\\');
        value += c;
    }
    QString graph;
    for (const QChar c : value) {
        if (QStringLiteral("\\'[],;").contains(c))
            graph += QLatin1Char('\\');
        graph += c;
    }
    return graph;
}

QString toneMapFilters() {
    return QStringLiteral("zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,"
                          "tonemap=hable:desat=0,zscale=t=bt709:m=bt709:r=tv,format=yuv420p");
}

QStringList StreamPlan::pictureArguments(const QString& sizeChain) const {
    const QString source = videoStream.isEmpty() ? QStringLiteral("0:v:0") : videoStream;
    QStringList filters = pictureFilters;
    if (overlayStream.isEmpty()) {
        filters << sizeChain;
        QStringList args;
        if (!videoStream.isEmpty())
            args << QStringLiteral("-map") << videoStream;
        return args << QStringLiteral("-vf") << filters.join(QLatin1Char(','));
    }
    // The subtitle's pictures go over the source's before its size changes; once they end,
    // the picture goes on without them.
    QString graph = QStringLiteral("[%1]").arg(source);
    if (!filters.isEmpty())
        graph += filters.join(QLatin1Char(',')) + QStringLiteral("[pic];[pic]");
    graph += QStringLiteral("[%1]overlay=eof_action=pass,%2[v]").arg(overlayStream, sizeChain);
    return {QStringLiteral("-filter_complex"), graph, QStringLiteral("-map"),
            QStringLiteral("[v]")};
}

StreamPlan planStreams(const ProfileEntry& profile, const QString& muxer, const EncoderInputs& in,
                       const QString& clipStart) {
    StreamPlan plan;
    const StreamFacts& facts = in.streams;
    if (!profile.isSoundOnly()) {
        if (facts.videoStream >= 0)
            plan.videoStream = inSource(facts.videoStream);
        // Every encoder here writes 8-bit BT.709 pictures.
        if (facts.colour.isHdr()) {
            plan.pictureFilters << toneMapFilters();
            plan.colourArguments << QStringLiteral("-color_primaries") << QStringLiteral("bt709")
                                 << QStringLiteral("-color_trc") << QStringLiteral("bt709")
                                 << QStringLiteral("-colorspace") << QStringLiteral("bt709");
            plan.notes.append(QCoreApplication::translate(
                                  "StreamMap",
                                  "The source is HDR (BT.2020 %1); its colours were tone-mapped "
                                  "to BT.709 for this 8-bit file.")
                                  .arg(facts.colour.transferName()));
        }
    }
    planAudio(plan, profile, muxer, in);
    if (facts.listed)
        planSubtitles(plan, profile, muxer, in, clipStart);
    else
        plan.subtitleArguments << QStringLiteral("-sn");
    return plan;
}

} // namespace clipvane
