#include "capture/capturecommand.h"

#include <algorithm>

namespace clipvane {
namespace {

QString seconds(double value) {
    return QString::number(value, 'f', 6);
}

// The times the synthetic device flashes and beeps, x being seconds since it started.
QString markerExpression(const QString& x) {
    QStringList windows;
    for (const double start : kSyntheticMarkers)
        windows << QStringLiteral("gte(mod(%1\\,%2)\\,%3)*lt(mod(%1\\,%2)\\,%4)")
                       .arg(x)
                       .arg(kSyntheticMarkerPeriod)
                       .arg(start)
                       .arg(start + kSyntheticMarkerLength);
    return windows.join(u'+');
}

// The test picture in real time with a square in its corner that flashes white. Recorded,
// every picture is stamped with the time it was made, measured from the origin, as a camera
// stamps them: a picture the recorder was too slow to take leaves a gap.
QString syntheticPicture(const RecorderPlan& plan, bool stamped) {
    const PictureInput& p = plan.picture;
    const QSize size = p.size.isEmpty() ? QSize(320, 240) : p.size;
    const FrameRate rate = p.rate.isValid() ? p.rate : FrameRate{25, 1};
    QString graph = QStringLiteral("testsrc=size=%1x%2:rate=%3")
                        .arg(size.width())
                        .arg(size.height())
                        .arg(rate.ffmpegText());
    if (plan.syntheticPictureEndsAfterS > 0)
        graph += QStringLiteral(":duration=%1").arg(plan.syntheticPictureEndsAfterS);
    graph += QStringLiteral(",realtime");
    QString since = QStringLiteral("t");
    if (stamped) {
        // In microseconds, so that no stamp is rounded to the picture rate before the encoder.
        graph += QStringLiteral(
                     ",settb=AVTB,setpts='%1/TB+(RTCTIME-if(eq(N\\,0)\\,st(0\\,RTCTIME)\\,ld(0)))/"
                     "(1000000*TB)'")
                     .arg(seconds(plan.origin));
        since = QStringLiteral("t-%1").arg(seconds(plan.origin));
    }
    const QString square = QStringLiteral("drawbox=x=0:y=0:w=iw/8:h=ih/8:t=fill:color=");
    graph += QStringLiteral(",%1black,%1white:enable='%2'").arg(square, markerExpression(since));
    return graph;
}

// A quiet hum, and a beep while the synthetic picture flashes; stamped from the origin.
QString syntheticSound(const RecorderPlan& plan) {
    const double start = plan.origin + plan.syntheticSoundLagMs / 1000.0;
    return QStringLiteral("aevalsrc='0.05*sin(2*PI*440*t)+0.5*sin(2*PI*1000*t)*(%1)'"
                          ":s=48000:c=stereo,arealtime,asetpts=PTS+%2/TB")
        .arg(markerExpression(QStringLiteral("t")), seconds(start));
}

// Pictures an input may queue while the recorder is busy: about two seconds, in memory that
// stays modest however large the pictures.
int pictureQueue(const PictureInput& p) {
    if (p.isMjpeg())
        return 64;
    if (p.size.isEmpty())
        return 8;
    const qint64 bytes = qint64(p.size.width()) * p.size.height() * 3;
    return int(std::clamp<qint64>(qint64(64) * 1024 * 1024 / std::max<qint64>(bytes, 1), 8, 64));
}

QStringList pictureInput(const RecorderPlan& plan, bool shifted) {
    const PictureInput& p = plan.picture;
    QStringList args;
    if (shifted)
        args << QStringLiteral("-itsoffset") << seconds(-plan.origin);
    switch (p.kind) {
    case PictureInput::Kind::Dv:
        args << QStringLiteral("-f") << QStringLiteral("iec61883");
        if (!p.guid.isEmpty())
            args << QStringLiteral("-dvguid") << p.guid;
        args << QStringLiteral("-i") << QStringLiteral("auto");
        break;
    case PictureInput::Kind::V4l2:
        args << QStringLiteral("-thread_queue_size") << QString::number(pictureQueue(p))
             << QStringLiteral("-f") << QStringLiteral("v4l2");
        if (!p.inputFormat.isEmpty())
            args << QStringLiteral("-input_format") << p.inputFormat;
        if (!p.size.isEmpty())
            args << QStringLiteral("-video_size")
                 << QStringLiteral("%1x%2").arg(p.size.width()).arg(p.size.height());
        if (p.rate.isValid())
            args << QStringLiteral("-framerate") << p.rate.ffmpegText();
        args << QStringLiteral("-i") << p.node;
        break;
    case PictureInput::Kind::Synthetic:
        args << QStringLiteral("-thread_queue_size") << QString::number(pictureQueue(p))
             << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << syntheticPicture(plan, !plan.file.isEmpty());
        break;
    }
    return args;
}

} // namespace

bool copiesPicture(const RecorderPlan& plan) {
    const PictureInput& picture = plan.picture;
    return !plan.file.isEmpty() && (picture.kind == PictureInput::Kind::Dv ||
                                    (picture.isMjpeg() && picture.rate.isValid()));
}

QStringList recorderArguments(const RecorderPlan& plan) {
    const PictureInput& picture = plan.picture;
    const bool records = !plan.file.isEmpty();
    // A separate sound source: two inputs, each on the clock of its device.
    const bool withSound = records && plan.sound.kind != SoundInput::Kind::None &&
                           picture.kind != PictureInput::Kind::Dv;
    const bool copies = copiesPicture(plan);
    // The rate the device was asked for, not one guessed from its timestamps.
    QStringList constantRate{QStringLiteral("-fps_mode"), QStringLiteral("cfr")};
    if (picture.rate.isValid() && picture.kind != PictureInput::Kind::Dv)
        constantRate << QStringLiteral("-r") << picture.rate.ffmpegText();

    QStringList args{QStringLiteral("-hide_banner"),  QStringLiteral("-nostats"),
                     QStringLiteral("-loglevel"),     QStringLiteral("error"),
                     QStringLiteral("-progress"),     QStringLiteral("pipe:2"),
                     QStringLiteral("-stats_period"), QStringLiteral("0.5")};
    QString pictureStream = QStringLiteral("0:v");
    if (withSound) {
        // Every input keeps its device's timestamps, shifted by the one origin; the sound
        // first, as it is opened first.
        args << QStringLiteral("-copyts") << QStringLiteral("-itsoffset") << seconds(-plan.origin)
             << QStringLiteral("-thread_queue_size") << QStringLiteral("1024");
        if (plan.sound.kind == SoundInput::Kind::Synthetic)
            args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
                 << syntheticSound(plan);
        else
            args << plan.sound.input;
        pictureStream = QStringLiteral("1:v");
    }
    args << pictureInput(plan, withSound);

    if (records) {
        args << QStringLiteral("-map") << pictureStream;
        if (picture.kind == PictureInput::Kind::Dv)
            args << QStringLiteral("-map") << QStringLiteral("0:a?") << QStringLiteral("-c")
                 << QStringLiteral("copy");
        else if (copies)
            args << QStringLiteral("-c:v") << QStringLiteral("copy") << QStringLiteral("-r")
                 << picture.rate.ffmpegText();
        else
            args << QStringLiteral("-c:v") << QStringLiteral("mjpeg") << QStringLiteral("-q:v")
                 << QStringLiteral("3") << QStringLiteral("-pix_fmt") << QStringLiteral("yuvj420p")
                 << constantRate;
        if (withSound)
            // PCM in AVI has no timestamps: what is missing at the start or on the way is
            // filled with silence, so the sound stays with the picture.
            args << QStringLiteral("-map") << QStringLiteral("0:a") << QStringLiteral("-af")
                 << QStringLiteral("aresample=async=1:min_hard_comp=0.02:first_pts=0")
                 << QStringLiteral("-c:a") << QStringLiteral("pcm_s16le")
                 << QStringLiteral("-shortest");
        args << QStringLiteral("-flush_packets") << QStringLiteral("1") << QStringLiteral("-f")
             << QStringLiteral("avi") << QStringLiteral("-n")
             << QStringLiteral("file:") + plan.file;
    }

    // The live picture. While the camera's stream is copied, it runs at the camera's rate
    // and at a constant one, so that a picture that did not come is counted as dropped.
    const QString fit =
        QStringLiteral("scale=w='trunc(min(%1\\,%2*dar)/2)*2':h='trunc(min(%2\\,%1/dar)/2)*2',"
                       "setsar=1,pad=%1:%2:(ow-iw)/2:(oh-ih)/2")
            .arg(kLivePictureWidth)
            .arg(kLivePictureHeight);
    args << QStringLiteral("-map") << pictureStream;
    if (copies)
        args << constantRate << QStringLiteral("-vf") << fit;
    else
        args << QStringLiteral("-vf") << QStringLiteral("fps=%1,").arg(kLivePictureRate) + fit;
    args << QStringLiteral("-pix_fmt") << QStringLiteral("rgb24") << QStringLiteral("-f")
         << QStringLiteral("rawvideo") << QStringLiteral("pipe:1");
    return args;
}

} // namespace clipvane
