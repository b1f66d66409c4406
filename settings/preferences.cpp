#include "settings/preferences.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "settings/settingsfile.h"

#include <QDir>

namespace clipvane {

Preferences::Preferences() : m_filePath(settingsFilePath()) {}

QString Preferences::value(const char* key) const {
    return readSetting(m_filePath, QLatin1String(kSection), QLatin1String(key));
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
    const QString v = existedFile();
    return !(v.isEmpty() || v == QLatin1String("0"));
}

bool Preferences::autoShut() const {
    return value(kAutoShut) == QLatin1String("1");
}

double Preferences::threads() const {
    return leadingNumber(value(kThread));
}

RunSettings RunSettings::read(const Preferences& preferences) {
    RunSettings s;
    s.outputFolder = preferences.effectiveOutputFolder();
    s.existedFile = preferences.existedFile();
    s.threads = preferences.threads();
    return s;
}

} // namespace clipvane
