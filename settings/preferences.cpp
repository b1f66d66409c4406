#include "settings/preferences.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "settings/settingsfile.h"

#include <QDir>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace clipvane {

Preferences::Preferences() : m_filePath(settingsFilePath()) {}

const QList<const char*>& Preferences::pathKeys() {
    static const QList<const char*> keys{kOutputFolder};
    return keys;
}

namespace {
bool isPathKey(const char* key) {
    return std::any_of(Preferences::pathKeys().cbegin(), Preferences::pathKeys().cend(),
                       [key](const char* k) { return qstricmp(k, key) == 0; });
}
} // namespace

QString Preferences::value(const char* key) const {
    const SettingsSnapshot file(m_filePath);
    const QString section = QLatin1String(kSection);
    if (isPathKey(key)) {
        if (std::optional<QString> old = file.eightBitValue(section, QLatin1String(key)))
            return *old;
    }
    return file.value(section, QLatin1String(key));
}

QStringList Preferences::convertedPathKeys() const {
    const SettingsSnapshot file(m_filePath);
    QStringList converted;
    for (const char* key : pathKeys()) {
        if (file.eightBitValue(QLatin1String(kSection), QLatin1String(key)))
            converted.append(QLatin1String(key));
    }
    return converted;
}

bool Preferences::setValue(const char* key, const QString& value) const {
    return writeSetting(m_filePath, QLatin1String(kSection), QLatin1String(key), value);
}

void Preferences::setProfile(int entry) const {
    setValue(kProfile, QString::number(entry));
}

QString Preferences::effectiveOutputFolder() const {
    const QString stored = outputFolder();
    if (stored.isEmpty())
        return defaultOutputFolder();
    // A relative folder is taken from the program folder, for the encoder and the checks alike.
    if (QDir::isRelativePath(stored))
        return QDir::cleanPath(programFolder() + QLatin1Char('/') + stored);
    return stored;
}

bool Preferences::overwriteExisting() const {
    const QString v = value(kExistedFile);
    return !(v.isEmpty() || v == QLatin1String("0"));
}

bool Preferences::autoShut() const {
    return value(kAutoShut) == QLatin1String("1");
}

bool Preferences::nextToSource() const {
    return value(kNextToSource) == QLatin1String("1");
}

bool Preferences::scoreQuality() const {
    return value(kQualityScore).trimmed() != QLatin1String("0");
}

int Preferences::maxParallel() {
    return std::max(1, QThread::idealThreadCount());
}

int Preferences::parallel() const {
    const std::optional<double> n = strictNumber(value(kParallel));
    if (!n || *n < 1 || *n > maxParallel() || *n != std::floor(*n))
        return 1;
    return static_cast<int>(*n);
}

double Preferences::threads() const {
    return leadingNumber(value(kThread));
}

BatchChoices Preferences::batchChoices() const {
    BatchChoices c;
    c.outputFolder = outputFolder();
    if (c.outputFolder.isEmpty())
        c.outputFolder = defaultOutputFolder();
    // The batch's own reading, so that the dialog never shows a policy a run would not follow.
    c.overwrite = overwriteExisting();
    c.autoShut = autoShut();
    c.threads = value(kThread);
    c.parallel = parallel();
    c.nextToSource = nextToSource();
    c.scoreQuality = scoreQuality();
    return c;
}

Preferences::SaveResult Preferences::saveBatchChoices(const BatchChoices& choices) const {
    const double threads = leadingNumber(choices.threads);
    // FFmpeg refuses a negative count as it refuses too many.
    if (threads < 0 || threads > kMaxThreads)
        return SaveResult::ThreadRefused;
    bool ok = setValue(kOutputFolder, trimSpaces(choices.outputFolder));
    ok = setValue(kExistedFile, QLatin1String(choices.overwrite ? "1" : "0")) && ok;
    ok = setValue(kAutoShut, QLatin1String(choices.autoShut ? "1" : "0")) && ok;
    // "-0" is stored as "0"; 2.5 stays 2.5.
    ok = setValue(kThread, QString::number(threads + 0.0, 'g', 15)) && ok;
    ok = setValue(kParallel, QString::number(std::clamp(choices.parallel, 1, maxParallel()))) && ok;
    ok = setValue(kNextToSource, QLatin1String(choices.nextToSource ? "1" : "0")) && ok;
    ok = setValue(kQualityScore, QLatin1String(choices.scoreQuality ? "1" : "0")) && ok;
    return ok ? SaveResult::Saved : SaveResult::WriteFailed;
}

RunSettings RunSettings::read(const Preferences& preferences) {
    RunSettings s;
    s.outputFolder = preferences.effectiveOutputFolder();
    s.overwrite = preferences.overwriteExisting();
    s.threads = preferences.threads();
    s.parallel = preferences.parallel();
    s.autoShut = preferences.autoShut();
    s.nextToSource = preferences.nextToSource();
    s.scoreQuality = preferences.scoreQuality();
    return s;
}

} // namespace clipvane
