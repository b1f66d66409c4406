#include "sources/mediareader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdarg>
#include <mutex>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace clipvane {
namespace {

// The complaints of the reading under way on this thread; libav logs through one callback
// for the whole process, so each thread collects its own.
thread_local QByteArray* t_complaints = nullptr;

void collectComplaint(void* context, int level, const char* format, va_list args) {
    if (!t_complaints || level > AV_LOG_ERROR)
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

} // namespace

PacketListing readPackets(const PacketReading& reading) {
    installLogCollector();
    PacketListing listing;
    t_complaints = &listing.errors;
    struct Stop {
        ~Stop() { t_complaints = nullptr; }
    } stop;
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
