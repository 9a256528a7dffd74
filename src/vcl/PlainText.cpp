// SPDX-License-Identifier: MIT
#include "vcl/PlainText.h"

#include <QTextDocument>

namespace vcl {

QString PlainToolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    constexpr QChar kZeroWidthSpace(0x200B);
    QString plain;
    plain.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        plain += c;
        if (c == u'<' || (c == u'&' && QStringView(text).sliced(i + 1).startsWith(u"lt;", Qt::CaseInsensitive)))
            plain += kZeroWidthSpace;
    }
    return plain;
}

} // namespace vcl
