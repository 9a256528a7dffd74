// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>

// Qt's own texts (the buttons of message boxes, the entries of the standard
// context menus) in the widget's language: one translator over Qt's
// catalogues, replaced at every language switch so that they never stay in
// the language before.
namespace QtTranslations {

// Where Qt's catalogues live (Qt's translations path; on Debian
// /usr/share/qt6/translations, filled by qt6-translations-l10n).
QString CatalogueFolder();

// Installs the catalogue of Qt's texts ("qtbase_<language>.qm" in folder) for
// the language wLangID, replacing the one an earlier call installed. A
// language Qt has no catalogue for removes it, so that Qt speaks its
// built-in English rather than the previous language. Answers the catalogue
// file installed, empty when none. Needs the application object.
QString Follow(quint32 wLangID, const QString &folder = CatalogueFolder());

// Follow for the language manager's active language.
QString FollowActiveLanguage();

} // namespace QtTranslations
