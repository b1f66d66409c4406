#pragma once

#include <QList>
#include <QString>
#include <QStringList>

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

// The machine's sound sources: PulseAudio's (PipeWire answers as PulseAudio too) through
// FFmpeg, and ALSA's capture devices when PulseAudio offers no microphone. The listing takes
// at most timeoutMs.
QList<SoundSource> listSoundSources(const QString& ffmpeg, const QString& soundFolder,
                                    int timeoutMs = 3000);

} // namespace clipvane
