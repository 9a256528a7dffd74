// SPDX-License-Identifier: MIT
#include "vcl/Conversions.h"

#include <QLocale>
#include <QtNumeric>

namespace vcl {

bool StrToBoolDef(const QString &AText, bool ADefault)
{
    const QString text = AText.trimmed();
    if (text.isEmpty())
        return ADefault;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double number = c.toDouble(text, &ok);
    if (ok && qIsFinite(number))
        return number != 0.0;
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return ADefault;
}

} // namespace vcl
