// SPDX-License-Identifier: MIT
#include "settings/HiddenDrives.h"

#include "settings/Config.h"
#include "vcl/Conversions.h"

QStringList THiddenDrives::Read(const QString &AIniFilePath)
{
    QStringList names;
    for (const auto &[name, value] : TConfig::ReadSection(AIniFilePath, SectionName())) {
        if (names.size() >= MaxNames)
            break;
        if (vcl::StrToBoolDef(value, false) && !names.contains(name, Qt::CaseInsensitive))
            names << name;
    }
    return names;
}

bool THiddenDrives::Storable(const QString &AName)
{
    if (AName.isEmpty() || AName.contains(u'=') || AName.contains(u'\n') || AName.contains(u'\r')
        || AName.contains(QChar(u'\0')))
        return false;
    const QChar first = AName.front();
    const QChar last = AName.back();
    return first != u'[' && first != u';' && first != u'#' && first != u' ' && first != u'\t' && last != u' '
        && last != u'\t';
}

void THiddenDrives::Write(const QString &AIniFilePath, const QStringList &ANames, QStringList *ALeftOut)
{
    QStringList names;
    QStringList values;
    for (const QString &name : ANames) {
        if (!Storable(name)) {
            if (ALeftOut)
                *ALeftOut << name;
            continue;
        }
        if (names.contains(name, Qt::CaseInsensitive))
            continue;
        names << name;
        values << TConfig::BoolToStr(true);
    }
    TConfig::ReplaceSection(AIniFilePath, SectionName(), names, values);
}
