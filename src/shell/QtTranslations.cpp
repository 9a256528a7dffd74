// SPDX-License-Identifier: MIT
#include "shell/QtTranslations.h"

#include "localization/LangManager.h"
#include "shell/ShellLog.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

#include <memory>

namespace QtTranslations {

namespace {

// The installed translator; a child of the application object, so it goes
// with it (and a new application object starts without one).
QPointer<QTranslator> &Installed()
{
    static QPointer<QTranslator> translator;
    return translator;
}

// The language and folder the installed translator was loaded for.
struct TLoadedFor
{
    quint32 langId = 0;
    QString folder;
};
TLoadedFor &LoadedFor()
{
    static TLoadedFor loaded;
    return loaded;
}

} // namespace

QString CatalogueFolder()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

QString Follow(quint32 wLangID, const QString &folder)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return QString();
    // The window's after-event comes also when only its menu is refreshed:
    // the catalogue in place is kept.
    if (Installed() && LoadedFor().langId == wLangID && LoadedFor().folder == folder)
        return Installed()->filePath();
    const QLocale locale = LangManager::LanguageLocale(wLangID);
    auto next = std::make_unique<QTranslator>(app);
    // "qtbase" rather than the "qt" meta catalogue: the latter names the
    // catalogues of every Qt module and loads only when all of them are there.
    const bool found = locale.language() != QLocale::C
        && next->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder);
    if (QTranslator *old = Installed().data()) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    if (!found) {
        qCDebug(lcShell).noquote() << "no catalogue of Qt's texts for LANGID" << wLangID << "in" << folder;
        return QString();
    }
    QCoreApplication::installTranslator(next.get());
    Installed() = next.release();
    LoadedFor() = {wLangID, folder};
    qCDebug(lcShell).noquote() << "Qt's texts from" << Installed()->filePath();
    return Installed()->filePath();
}

QString FollowActiveLanguage()
{
    return Follow(LangManager::Instance().ActiveLanguageId());
}

} // namespace QtTranslations
