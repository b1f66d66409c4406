// Reads and writes a settings file made of arbitrary bytes. Input: the value to write (up to
// a lone backslash, "\\" standing for one backslash), then the file's bytes; the last byte
// picks the section and key. After the write, every other line must keep its bytes, the other
// keys must read as before, and a plain value must read back as written.
#include "settings/settingsfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

struct Name {
    const char* section;
    const char* key;
};
constexpr Name kNames[] = {{"set", "profile"},
                           {"set", "outputfolder"},
                           {"SET", "Thread"},
                           {"other", "profile"},
                           {"new section", "key"}};
constexpr size_t kNameCount = sizeof(kNames) / sizeof(kNames[0]);

void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail("cannot read the settings file back");
    return file.readAll();
}

QList<QByteArray> lines(const QByteArray& bytes) {
    QList<QByteArray> out = bytes.split('\n');
    if (bytes.isEmpty() || bytes.endsWith('\n'))
        out.removeLast();
    return out;
}

bool plainValue(const QString& v) {
    if (v.contains(QLatin1Char('\r')) || v.contains(QLatin1Char('\n')) ||
        v.contains(QLatin1Char('\0')))
        return false;
    if (v.isEmpty())
        return true;
    const QString ends = QString(v.front()) + v.back();
    for (const QChar c : ends) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('"') ||
            c == QLatin1Char('\''))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    if (!dir.isValid())
        fail("no temporary folder");
    const QString path = dir.filePath(QStringLiteral("settings.dat"));

    FuzzedDataProvider provider(data, size);
    const Name name = kNames[provider.ConsumeIntegral<uint8_t>() % kNameCount];
    const std::string valueBytes = provider.ConsumeRandomLengthString();
    const std::string fileBytes = provider.ConsumeRemainingBytesAsString();
    const QString value = QString::fromStdString(valueBytes);
    const QByteArray before(fileBytes.data(), static_cast<qsizetype>(fileBytes.size()));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(before) != before.size())
            fail("cannot write the settings file");
    }

    const QString section = QLatin1String(name.section);
    const QString key = QLatin1String(name.key);
    const auto isOther = [&](const Name& n) {
        return QString::compare(QLatin1String(n.section), section, Qt::CaseInsensitive) != 0 ||
               QString::compare(QLatin1String(n.key), key, Qt::CaseInsensitive) != 0;
    };
    QStringList others;
    for (const Name& n : kNames) {
        if (isOther(n))
            others.append(
                clipvane::readSetting(path, QLatin1String(n.section), QLatin1String(n.key)));
    }
    (void)clipvane::readSetting(path, section, key);

    if (!clipvane::writeSetting(path, section, key, value))
        fail("writeSetting failed on a small regular file");
    const QByteArray after = readAll(path);

    // Apart from the written key's line, lines are only added, one or two of them together.
    const QList<QByteArray> old = lines(before);
    const QList<QByteArray> now = lines(after);
    qsizetype head = 0;
    while (head < old.size() && head < now.size() && old.at(head) == now.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < old.size() - head && tail < now.size() - head &&
           old.at(old.size() - 1 - tail) == now.at(now.size() - 1 - tail))
        ++tail;
    const qsizetype removed = old.size() - head - tail;
    const qsizetype added = now.size() - head - tail;
    if (removed > 1 || added > 2 || (removed == 1 && added != 1))
        fail("writeSetting changed other lines");
    if (added == removed && !before.isEmpty() && before.endsWith('\n') != after.endsWith('\n'))
        fail("writeSetting changed the end of the last line");

    // A line holding a NUL reads as a line of no key, to the reader and the writer alike.
    qsizetype i = 0;
    for (const Name& n : kNames) {
        if (isOther(n) && clipvane::readSetting(path, QLatin1String(n.section),
                                                QLatin1String(n.key)) != others.at(i++))
            fail("writeSetting changed another key");
    }
    if (plainValue(value) && clipvane::readSetting(path, section, key) != value)
        fail("the written value does not read back");
    return 0;
}
