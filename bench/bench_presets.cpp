// How long the program takes to read its settings at start when settings.dat holds many
// presets: a file of 4,000 and one of 10,000 presets (each a full sheet of values, as saving
// a preset writes it), read the way the window reads at start. Prints the median (spread) of
// the rounds, the file's size and how many times each figure read the file (goal: under a
// second for 10,000 presets).
//
//   bench_presets [--rounds N] [--presets N]
#include "bench/benchsupport.h"
#include "options/optionmemory.h"
#include "options/optionsheet.h"
#include "options/presets.h"
#include "options/profiles.h"
#include "settings/preferences.h"
#include "settings/windowstate.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

using namespace clipvane;

namespace {

// The sections a preset is saved as, for every usable catalogue entry in turn.
QByteArray presetSections(int count) {
    QList<std::pair<QString, QByteArray>> sheets; // caption, its rows
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    for (qsizetype i = 0; i < catalogue.size(); ++i) {
        if (catalogue.at(i).isHeading)
            continue;
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, int(i) + 1);
        QByteArray rows;
        for (const auto& [key, value] : editableOptions(sheet))
            rows += (key + QLatin1Char('=') + quotedWhereNeeded(value)).toUtf8() + '\n';
        sheets.append({catalogue.at(i).caption, rows});
    }
    QByteArray out;
    for (int n = 1; n <= count; ++n) {
        const auto& [caption, rows] = sheets.at(n % sheets.size());
        out += "[preset." + QByteArray::number(n) + "]\nname=Preset " + QByteArray::number(n) +
               "\nprofile=" + caption.toUtf8() + '\n' + rows;
    }
    return out;
}

// Writes the file anew, its first line telling the round: the bytes differ from the last
// round's, so every round reads and parses the file as a fresh start does.
void writeFile(const QString& path, const QByteArray& presets, int round) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write("; round " + QByteArray::number(round) +
               "\n[set]\nprofile=2\n[presets]\npicked=7\n" + "[window]\ncolumns=200,80,80\n" +
               presets);
}

struct Reads {
    quint64 before = settingsFileReads();
    quint64 count() const { return settingsFileReads() - before; }
};

// What the window reads at start, widgets aside: the catalogue's presets, the stored pick,
// the sheet's remembered values, its place on screen and whether the file is usable at all.
qsizetype startReads(const QString& path) {
    const PresetStore store(path);
    const QList<Preset> presets = store.load();
    const int profile = profileIndexFromSetting(Preferences(path).profile());
    const int picked = store.picked();
    OptionSheet sheet;
    fillOptionSheet(sheet);
    applyProfilePick(sheet, profile);
    if (const Preset* preset = PresetStore::findByName(presets, QStringLiteral("Preset 7")))
        applyPreset(sheet, *preset);
    OptionMemory(path).recall(profile, sheet);
    const WindowState window = WindowState::read(path);
    const QString problem = settingsFileProblem(path);
    return presets.size() + picked + window.columnWidths.size() + problem.size();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rounds = bench::roundsAsked(args);
    QList<int> counts{4000, 10000};
    if (const qsizetype at = args.indexOf(QStringLiteral("--presets"));
        at >= 0 && at + 1 < args.size())
        counts = {std::max(1, args.at(at + 1).toInt())};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.dat"));

    std::printf("reading settings.dat with many presets, %d round(s), ms, median (spread); "
                "goal < 1000 ms for 10,000\n",
                rounds);
    for (const int count : counts) {
        const QByteArray presets = presetSections(count);
        bench::Figure load, again, start;
        quint64 loadReads = 0, againReads = 0, startReads_ = 0;
        qsizetype loaded = 0;
        for (int round = 0; round < rounds; ++round) {
            writeFile(path, presets, 2 * round);
            QElapsedTimer clock;
            Reads reads;
            clock.start();
            loaded = PresetStore(path).load().size();
            load.add(clock.nsecsElapsed() / 1e6);
            loadReads = reads.count();

            reads = Reads();
            clock.restart();
            PresetStore(path).load();
            again.add(clock.nsecsElapsed() / 1e6);
            againReads = reads.count();

            writeFile(path, presets, 2 * round + 1);
            reads = Reads();
            clock.restart();
            startReads(path);
            start.add(clock.nsecsElapsed() / 1e6);
            startReads_ = reads.count();
        }
        std::printf("%6d presets, %.1f MB, %lld loaded\n", count,
                    QFileInfo(path).size() / 1048576.0, static_cast<long long>(loaded));
        std::printf("  PresetStore::load, file just written   %s  (%llu read(s) of the file)\n",
                    qPrintable(load.text(1)), static_cast<unsigned long long>(loadReads));
        std::printf("  PresetStore::load again, unchanged     %s  (%llu read(s))\n",
                    qPrintable(again.text(1)), static_cast<unsigned long long>(againReads));
        std::printf("  the window's reads at start            %s  (%llu read(s))\n",
                    qPrintable(start.text(1)), static_cast<unsigned long long>(startReads_));
    }
    return 0;
}
