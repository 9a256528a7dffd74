// SPDX-License-Identifier: MIT
#include "panels/PropertyText.h"

namespace {

bool IsBlank(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= 32;
}

bool IsLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

QStringList SplitPropertyText(const QString &text)
{
    QStringList items;
    // A NUL ends the text, as it did for the C strings the lists came from.
    const qsizetype end = [&] {
        const qsizetype nul = text.indexOf(QChar(u'\0'));
        return nul < 0 ? text.size() : nul;
    }();
    qsizetype p = 0;
    const auto skipBlanks = [&] {
        while (p < end && IsBlank(text.at(p)))
            ++p;
    };

    skipBlanks();
    while (p < end) {
        if (text.at(p) == u'"') {
            QString item;
            ++p;
            while (p < end) {
                if (text.at(p) == u'"') {
                    if (p + 1 < end && text.at(p + 1) == u'"') {
                        item += u'"';
                        p += 2;
                        continue;
                    }
                    ++p; // past the closing quote
                    break;
                }
                item += text.at(p++);
            }
            items.append(item);
        } else {
            const qsizetype start = p;
            while (p < end && text.at(p) != u',' && !IsLineBreak(text.at(p)))
                ++p;
            qsizetype last = p;
            while (last > start && IsBlank(text.at(last - 1)))
                --last;
            items.append(text.mid(start, last - start));
        }

        skipBlanks();
        if (p < end && text.at(p) == u',') {
            if (p + 1 == end)
                items.append(QString());
            ++p;
            skipBlanks();
        }
    }
    return items;
}

QString PropertyValue(const QStringList &items, const QString &name)
{
    for (const QString &item : items) {
        const qsizetype eq = item.indexOf(u'=');
        if (eq < 0)
            continue;
        if (QStringView(item).left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return item.mid(eq + 1);
    }
    return {};
}
