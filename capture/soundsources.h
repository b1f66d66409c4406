#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace clipvane {

// A sound source the machine can record from, as FFmpeg reads it.
struct SoundSource {
    QString name;      // shown to the user
    QStringList input; // FFmpeg's input arguments: {"-f", "pulse", "-i", "alsa_input.usb-…"}
    bool isDefault = false;
    bool isMonitor = false; // what the machine plays (a PulseAudio monitor), not a microphone
};

// FFmpeg's "-sources pulse" listing (its standard output): one line per source,
// "* name [description] (none)", the star marking the server's default. A server that cannot
// be reached gives "Cannot list sources: …" (with exit code 0): no sources.
QList<SoundSource> parsePulseSources(const QByteArray& listing);

// The capture devices of ALSA's cards from /proc/asound ("cards" and "pcm" in soundFolder),
// recorded through plughw by card id, which stays when USB devices come and go.
QList<SoundSource> alsaCaptureSources(const QString& soundFolder);

// Lists the machine's sound sources in the background: PulseAudio's (PipeWire answers as
// PulseAudio too) through FFmpeg, and ALSA's capture devices when PulseAudio offers no
// microphone. done gets them from the event loop, at most timeoutMs later, unless context
// has gone by then.
void listSoundSources(QObject* context, const QString& ffmpeg, const QString& soundFolder,
                      int timeoutMs, std::function<void(const QList<SoundSource>&)> done);

} // namespace clipvane
