// SPDX-License-Identifier: MIT
#include "localization/VLangError.h"

QString FormatMessage(const char *fmt, std::initializer_list<QString> args)
{
    const QString text = QString::fromUtf8(fmt);
    QString out;
    out.reserve(text.size() + 32);
    auto next = args.begin();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'%' && i + 1 < text.size()) {
            const QChar conversion = text.at(i + 1);
            if (conversion == u'%') {
                out += u'%';
                ++i;
                continue;
            }
            if (conversion == u's' || conversion == u'd') {
                if (next != args.end())
                    out += *next++;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

EVLangError EVLangError::CreateFmt(const char *fmt, std::initializer_list<QString> args)
{
    return EVLangError(FormatMessage(fmt, args));
}
