#include "sources/mediareader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdarg>
#include <mutex>

extern "C" {
#include <libavcodec/codec_desc.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

namespace clipvane {
namespace {

// The complaints of the reading under way on this thread; libav logs through one callback
// for the whole process, so each thread collects its own.
thread_local QByteArray* t_complaints = nullptr;
thread_local int t_complaintLevel = AV_LOG_ERROR;

void collectComplaint(void* context, int level, const char* format, va_list args) {
    if (!t_complaints || level > t_complaintLevel)
        return;
    char line[1024];
    int printPrefix = 1;
    av_log_format_line2(context, level, format, args, line, sizeof line, &printPrefix);
    t_complaints->append(line);
}

void installLogCollector() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(collectComplaint); });
}

QByteArray errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

QJsonValue seconds(int64_t value, AVRational base) {
    if (value == AV_NOPTS_VALUE)
        return QStringLiteral("N/A");
    return static_cast<double>(value) * av_q2d(base);
}

QJsonObject tagsOf(const AVDictionary* dictionary) {
    QJsonObject tags;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX)))
        tags.insert(QString::fromUtf8(entry->key), QString::fromUtf8(entry->value));
    return tags;
}

struct Input {
    AVFormatContext* context = nullptr;
    ~Input() { avformat_close_input(&context); }
};

struct Packet {
    AVPacket* packet = av_packet_alloc();
    ~Packet() { av_packet_free(&packet); }
};

struct Dictionary {
    AVDictionary* entries = nullptr;
    ~Dictionary() { av_dict_free(&entries); }
};

// Collects this thread's complaints up to a level while it lives.
struct Complaints {
    Complaints(QByteArray* into, int level) {
        installLogCollector();
        t_complaints = into;
        t_complaintLevel = level;
    }
    ~Complaints() { t_complaints = nullptr; }
};

QString timeText(int64_t value, AVRational base) {
    return value == AV_NOPTS_VALUE
               ? QStringLiteral("N/A")
               : QString::number(static_cast<double>(value) * av_q2d(base), 'f', 6);
}

QString ratioText(AVRational r) {
    return QStringLiteral("%1:%2").arg(r.num).arg(r.den);
}

QJsonObject listedStream(AVFormatContext* file, AVStream* stream) {
    const AVCodecParameters* p = stream->codecpar;
    const char* kind = av_get_media_type_string(p->codec_type);
    const AVCodecDescriptor* codec = avcodec_descriptor_get(p->codec_id);
    QJsonObject s{{QStringLiteral("index"), stream->index},
                  {QStringLiteral("codec_type"),
                   kind ? QString::fromLatin1(kind) : QStringLiteral("unknown")},
                  {QStringLiteral("codec_name"),
                   codec ? QString::fromLatin1(codec->name) : QStringLiteral("unknown")}};
    if (p->codec_type == AVMEDIA_TYPE_VIDEO) {
        s.insert(QStringLiteral("width"), p->width);
        s.insert(QStringLiteral("height"), p->height);
        const AVRational sar = av_guess_sample_aspect_ratio(file, stream, nullptr);
        if (sar.num) {
            AVRational dar;
            av_reduce(&dar.num, &dar.den, static_cast<int64_t>(p->width) * sar.num,
                      static_cast<int64_t>(p->height) * sar.den, 1024 * 1024);
            s.insert(QStringLiteral("sample_aspect_ratio"), ratioText(sar));
            s.insert(QStringLiteral("display_aspect_ratio"), ratioText(dar));
        }
        const auto name = [](const char* text, bool unspecified) {
            return text && !unspecified ? QString::fromLatin1(text) : QStringLiteral("unknown");
        };
        s.insert(QStringLiteral("color_primaries"),
                 name(av_color_primaries_name(p->color_primaries),
                      p->color_primaries == AVCOL_PRI_UNSPECIFIED));
        s.insert(QStringLiteral("color_transfer"),
                 name(av_color_transfer_name(p->color_trc), p->color_trc == AVCOL_TRC_UNSPECIFIED));
        s.insert(QStringLiteral("color_space"), name(av_color_space_name(p->color_space),
                                                     p->color_space == AVCOL_SPC_UNSPECIFIED));
    } else if (p->codec_type == AVMEDIA_TYPE_AUDIO) {
        s.insert(QStringLiteral("channels"), p->ch_layout.nb_channels);
        char layout[128] = "unknown";
        if (p->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_describe(&p->ch_layout, layout, sizeof layout);
        s.insert(QStringLiteral("channel_layout"), QString::fromUtf8(layout));
    }
    QJsonObject tags;
    for (const char* key : {"language", "title", "handler_name"}) {
        if (const AVDictionaryEntry* e = av_dict_get(stream->metadata, key, nullptr, 0))
            tags.insert(QLatin1String(key), QString::fromUtf8(e->value));
    }
    if (!tags.isEmpty())
        s.insert(QStringLiteral("tags"), tags);
    s.insert(
        QStringLiteral("disposition"),
        QJsonObject{
            {QStringLiteral("default"), (stream->disposition & AV_DISPOSITION_DEFAULT) ? 1 : 0},
            {QStringLiteral("forced"), (stream->disposition & AV_DISPOSITION_FORCED) ? 1 : 0},
            {QStringLiteral("attached_pic"),
             (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) ? 1 : 0}});
    return s;
}

} // namespace

PacketListing readListing(const QString& path) {
    PacketListing listing;
    Complaints complaints(&listing.errors, AV_LOG_WARNING);
    const QByteArray name = path.toUtf8();
    Input input;
    int code = avformat_open_input(&input.context, ("file:" + name).constData(), nullptr, nullptr);
    if (code >= 0)
        code = avformat_find_stream_info(input.context, nullptr);
    if (code < 0) {
        listing.errors.append(name + ": " + errorText(code) + '\n');
        listing.exitCode = 1;
        return listing;
    }
    AVFormatContext* const file = input.context;
    QJsonArray streams;
    for (unsigned i = 0; i < file->nb_streams; ++i)
        streams.append(listedStream(file, file->streams[i]));
    QJsonArray chapters;
    for (unsigned i = 0; i < file->nb_chapters; ++i) {
        const AVChapter* c = file->chapters[i];
        QJsonObject chapter{{QStringLiteral("start_time"), timeText(c->start, c->time_base)},
                            {QStringLiteral("end_time"), timeText(c->end, c->time_base)}};
        if (const AVDictionaryEntry* e = av_dict_get(c->metadata, "title", nullptr, 0))
            chapter.insert(QStringLiteral("tags"),
                           QJsonObject{{QStringLiteral("title"), QString::fromUtf8(e->value)}});
        chapters.append(chapter);
    }
    const QJsonObject format{
        {QStringLiteral("duration"), timeText(file->duration, AV_TIME_BASE_Q)}};
    if (file->pb)
        listing.bytesRead = file->pb->bytes_read;
    listing.json = QJsonDocument(QJsonObject{{QStringLiteral("streams"), streams},
                                             {QStringLiteral("chapters"), chapters},
                                             {QStringLiteral("format"), format}})
                       .toJson(QJsonDocument::Compact);
    return listing;
}

std::optional<double> readPacketSpan(const QString& path, const std::atomic<bool>* stop) {
    QByteArray ignored;
    Complaints complaints(&ignored, AV_LOG_QUIET);
    Input input;
    if (avformat_open_input(&input.context, ("file:" + path.toUtf8()).constData(), nullptr,
                            nullptr) < 0 ||
        avformat_find_stream_info(input.context, nullptr) < 0)
        return std::nullopt;
    AVFormatContext* const file = input.context;
    std::optional<double> first;
    std::optional<double> last;
    Packet packet;
    while (packet.packet && !stop->load(std::memory_order_relaxed) &&
           av_read_frame(file, packet.packet) >= 0) {
        const AVPacket* p = packet.packet;
        // A raw stream's packets have only a decoding time.
        const int64_t at = p->pts != AV_NOPTS_VALUE ? p->pts : p->dts;
        if (at != AV_NOPTS_VALUE && p->stream_index >= 0 &&
            static_cast<unsigned>(p->stream_index) < file->nb_streams) {
            const double base = av_q2d(file->streams[p->stream_index]->time_base);
            const double time = static_cast<double>(at) * base;
            const double end = time + static_cast<double>(std::max<int64_t>(p->duration, 0)) * base;
            first = std::min(first.value_or(time), time);
            last = std::max(last.value_or(end), end);
        }
        av_packet_unref(packet.packet);
    }
    if (stop->load() || !first || !last)
        return std::nullopt;
    return *last - *first;
}

PacketListing readPackets(const PacketReading& reading) {
    PacketListing listing;
    Complaints complaints(&listing.errors, AV_LOG_ERROR);
    const QByteArray path = reading.path.toUtf8();
    const auto fail = [&](const QByteArray& what, int code) {
        listing.errors.append(what + ": " + errorText(code) + '\n');
        listing.exitCode = 1;
        return listing;
    };

    Dictionary options;
    if (reading.useToc)
        av_dict_set(&options.entries, "usetoc", "1", 0);
    if (reading.flvFullMetadata)
        av_dict_set(&options.entries, "flv_full_metadata", "1", 0);
    Input input;
    // "file:" so that a name is always a file, never another protocol.
    if (const int code = avformat_open_input(&input.context, ("file:" + path).constData(), nullptr,
                                             &options.entries);
        code < 0)
        return fail(path, code);
    if (const AVDictionaryEntry* left =
            av_dict_get(options.entries, "", nullptr, AV_DICT_IGNORE_SUFFIX)) {
        // The file is not what its name says (an FLV's option on another container).
        listing.errors.append(QByteArray("Option ") + left->key + " not found.\n");
        listing.exitCode = 1;
        return listing;
    }
    if (const int code = avformat_find_stream_info(input.context, nullptr); code < 0)
        return fail(path, code);
    AVFormatContext* const file = input.context;

    QJsonArray streams;
    int shownStream = -1;
    for (unsigned i = 0; i < file->nb_streams; ++i) {
        const AVStream* stream = file->streams[i];
        const AVMediaType kind = stream->codecpar->codec_type;
        const char* kindName = av_get_media_type_string(kind);
        QJsonObject s{{QStringLiteral("index"), stream->index},
                      {QStringLiteral("codec_type"),
                       kindName ? QString::fromLatin1(kindName) : QStringLiteral("unknown")}};
        if (const QJsonObject tags = tagsOf(stream->metadata); !tags.isEmpty())
            s.insert(QStringLiteral("tags"), tags);
        streams.append(s);
        if (shownStream < 0 &&
            ((reading.shown == PacketReading::Shown::FirstVideo && kind == AVMEDIA_TYPE_VIDEO) ||
             (reading.shown == PacketReading::Shown::FirstAudio && kind == AVMEDIA_TYPE_AUDIO)))
            shownStream = stream->index;
    }
    const auto isShown = [&](int index) {
        return reading.shown == PacketReading::Shown::All || index == shownStream;
    };

    if (reading.seekSeconds) {
        const auto target = static_cast<int64_t>(*reading.seekSeconds * AV_TIME_BASE);
        if (const int code = avformat_seek_file(file, -1, -INT64_MAX, target, INT64_MAX, 0);
            code < 0)
            return fail("Could not seek to position " + QByteArray::number(qint64(target)), code);
    }
    QJsonArray packets;
    Packet packet;
    int count = 0;
    while (packet.packet && av_read_frame(file, packet.packet) >= 0) {
        const AVPacket* p = packet.packet;
        if (p->stream_index >= 0 && static_cast<unsigned>(p->stream_index) < file->nb_streams &&
            isShown(p->stream_index)) {
            if (reading.maxPackets > 0 && count >= reading.maxPackets) {
                av_packet_unref(packet.packet);
                break;
            }
            ++count;
            const AVRational base = file->streams[p->stream_index]->time_base;
            QJsonObject o{{QStringLiteral("stream_index"), p->stream_index},
                          {QStringLiteral("pts_time"), seconds(p->pts, base)},
                          {QStringLiteral("duration_time"), seconds(p->duration, base)},
                          {QStringLiteral("size"), p->size}};
            o.insert(QStringLiteral("pos"), p->pos < 0 ? QJsonValue(QStringLiteral("N/A"))
                                                       : QJsonValue(static_cast<double>(p->pos)));
            packets.append(o);
        }
        av_packet_unref(packet.packet);
    }

    QJsonObject format{{QStringLiteral("format_name"), QString::fromLatin1(file->iformat->name)},
                       {QStringLiteral("start_time"), seconds(file->start_time, AV_TIME_BASE_Q)},
                       {QStringLiteral("duration"), seconds(file->duration, AV_TIME_BASE_Q)}};
    if (const QJsonObject tags = tagsOf(file->metadata); !tags.isEmpty())
        format.insert(QStringLiteral("tags"), tags);
    if (file->pb)
        listing.bytesRead = file->pb->bytes_read;
    listing.json = QJsonDocument(QJsonObject{{QStringLiteral("format"), format},
                                             {QStringLiteral("streams"), streams},
                                             {QStringLiteral("packets"), packets}})
                       .toJson(QJsonDocument::Compact);
    return listing;
}

} // namespace clipvane
