#include "capture/soundsources.h"

#include "capture/quicktool.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>

namespace clipvane {
namespace {

QByteArray readSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(256 * 1024);
}

} // namespace

QList<SoundSource> parsePulseSources(const QByteArray& listing) {
    QList<SoundSource> sources;
    const QList<QByteArray> lines = listing.split('\n');
    if (lines.isEmpty() || !lines.first().startsWith("Auto-detected sources for pulse:"))
        return sources;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        // "%c %s [%s] (%s)": PulseAudio's names have no blanks; a description may hold
        // brackets and parentheses, so it runs from the first " [" to the last "] (".
        const QString line = QString::fromUtf8(lines.at(i));
        if (line.size() < 3 || (line[0] != u' ' && line[0] != u'*') || line[1] != u' ')
            continue;
        const QString rest = line.mid(2);
        const qsizetype open = rest.indexOf(QLatin1String(" ["));
        const qsizetype close = rest.lastIndexOf(QLatin1String("] ("));
        if (open <= 0 || close < open || !rest.endsWith(u')'))
            continue;
        const QString id = rest.left(open);
        SoundSource source;
        source.name = rest.mid(open + 2, close - open - 2).trimmed();
        if (source.name.isEmpty())
            source.name = id;
        source.input = {QStringLiteral("-f"), QStringLiteral("pulse"), QStringLiteral("-i"), id};
        source.isDefault = line[0] == u'*';
        source.isMonitor = id.endsWith(QLatin1String(".monitor"));
        sources.append(source);
    }
    return sources;
}

QList<SoundSource> alsaCaptureSources(const QString& soundFolder) {
    // cards: "%2i [%-15s]: %s - %s" (number, id, driver, name), then the long name.
    static const QRegularExpression cardLine(
        QStringLiteral("^\\s*(\\d+) \\[([^\\]]{1,15}?)\\s*\\]: (\\S+) - (.*)$"));
    QHash<int, std::pair<QString, QString>> cards; // number → (id, name)
    for (const QByteArray& raw :
         readSmallFile(soundFolder + QStringLiteral("/cards")).split('\n')) {
        if (const auto m = cardLine.match(QString::fromUtf8(raw)); m.hasMatch())
            cards.insert(m.captured(1).toInt(), {m.captured(2).trimmed(), m.captured(4).trimmed()});
    }
    // pcm: "CC-DD: id : name : playback N : capture N", either of the last two missing.
    static const QRegularExpression pcmLine(QStringLiteral("^(\\d+)-(\\d+): (.*)$"));
    static const QRegularExpression safeId(QStringLiteral("^[A-Za-z0-9_-]+$"));
    QList<SoundSource> sources;
    for (const QByteArray& raw : readSmallFile(soundFolder + QStringLiteral("/pcm")).split('\n')) {
        const auto m = pcmLine.match(QString::fromUtf8(raw).trimmed());
        if (!m.hasMatch())
            continue;
        const QStringList fields = m.captured(3).split(QStringLiteral(" : "));
        const bool captures =
            std::any_of(fields.begin() + std::min<qsizetype>(2, fields.size()), fields.end(),
                        [](const QString& f) { return f.startsWith(QLatin1String("capture ")); });
        if (!captures)
            continue;
        const int card = m.captured(1).toInt();
        const int device = m.captured(2).toInt();
        const auto [id, cardName] = cards.value(card, {QString::number(card), QString()});
        SoundSource source;
        const QString deviceName = fields.value(1, fields.value(0)).trimmed();
        source.name = QStringLiteral("%1 - %2").arg(cardName.isEmpty() ? id : cardName, deviceName);
        // An id with other characters would change the device string's meaning: by number.
        const QString cardKey = safeId.match(id).hasMatch() ? id : QString::number(card);
        source.input = {QStringLiteral("-f"), QStringLiteral("alsa"), QStringLiteral("-i"),
                        QStringLiteral("plughw:CARD=%1,DEV=%2").arg(cardKey).arg(device)};
        sources.append(source);
    }
    return sources;
}

void listSoundSources(QObject* context, const QString& ffmpeg, const QString& soundFolder,
                      int timeoutMs, std::function<void(const QList<SoundSource>&)> done) {
    QuickTool::run(context,
                   {ffmpeg, QStringLiteral("-hide_banner"), QStringLiteral("-sources"),
                    QStringLiteral("pulse")},
                   timeoutMs, [soundFolder, done = std::move(done)](const QuickToolRun& run) {
                       QList<SoundSource> sources;
                       if (run.exit.started && !run.exit.timedOut)
                           sources = parsePulseSources(run.output);
                       // Monitors alone are no microphone: then ALSA's capture devices too.
                       const bool microphone =
                           std::any_of(sources.begin(), sources.end(),
                                       [](const SoundSource& s) { return !s.isMonitor; });
                       if (!microphone)
                           sources += alsaCaptureSources(soundFolder);
                       done(sources);
                   });
}

} // namespace clipvane
