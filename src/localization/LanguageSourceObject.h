// SPDX-License-Identifier: MIT
#pragma once

#include "localization/TranslationStates.h"

#include <QString>
#include <QStringList>

// The face of a translatable object towards translation tools that export
// the source-language texts: a section name and the lines of that section.
// The program itself never calls it.
class IVLang_LanguageSourceObject
{
public:
    virtual ~IVLang_LanguageSourceObject() = default;

    // Gets the object ready for the export; false when it has nothing to export.
    virtual bool PrepareSourceExport() = 0;
    // Appends the object's source lines; entries whose states share a member
    // with skipStates are left out (objects without states ignore the set).
    virtual void WriteSourceLines(QStringList &lines, TVLang_TranslationStates skipStates) = 0;
    virtual QString SourceSectionName() const = 0;
};
