#include "app/translations.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

// The compiled translations live in a static library: the linker keeps them only when asked.
static void initTranslationResources() {
    static const bool once = [] {
        Q_INIT_RESOURCE(clipvane_translations);
        return true;
    }();
    (void)once;
}

namespace clipvane {
namespace {

struct Installed {
    std::unique_ptr<QTranslator> own;
    std::unique_ptr<QTranslator> qt;
};

Installed& installed() {
    static Installed translators;
    return translators;
}

// Loads one translation into a fresh translator, or nothing.
std::unique_ptr<QTranslator> loaded(const QLocale& locale, const QString& name,
                                    const QString& folder) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, name, QStringLiteral("_"), folder))
        return nullptr;
    return translator;
}

} // namespace

QStringList installTranslations(const QLocale& locale) {
    initTranslationResources();
    Installed& now = installed();
    for (std::unique_ptr<QTranslator>* t : {&now.own, &now.qt}) {
        if (*t)
            QCoreApplication::removeTranslator(t->get());
        t->reset();
    }
    QStringList names;
    now.own = loaded(locale, QStringLiteral("clipvane"), QStringLiteral(":/i18n"));
    if (!now.own)
        return names; // a language Clipvane does not speak keeps Qt's own words in English too
    QCoreApplication::installTranslator(now.own.get());
    names << QFileInfo(now.own->filePath()).completeBaseName();
    now.qt = loaded(locale, QStringLiteral("qtbase"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (now.qt) {
        QCoreApplication::installTranslator(now.qt.get());
        names << QFileInfo(now.qt->filePath()).completeBaseName();
    }
    return names;
}

} // namespace clipvane
