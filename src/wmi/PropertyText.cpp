// SPDX-License-Identifier: MIT
#include "wmi/PropertyText.h"

#include "vcl/Exception.h"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace {

bool IsBlank(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= 32;
}

bool IsLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

// The magnitude is gathered as unsigned so that the most negative value,
// whose magnitude is one more than the largest positive one, fits as well.
template <typename Int>
std::optional<Int> ParseDecimal(QStringView text)
{
    using UInt = std::make_unsigned_t<Int>;
    qsizetype p = 0;
    const bool negative = !text.isEmpty() && text.front() == u'-';
    if constexpr (std::is_unsigned_v<Int>) {
        if (negative)
            return std::nullopt;
    }
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+'))
        ++p;
    if (p == text.size())
        return std::nullopt;
    const UInt limit = negative ? UInt(std::numeric_limits<Int>::max()) + 1
                                : UInt(std::numeric_limits<Int>::max());
    UInt magnitude = 0;
    for (; p < text.size(); ++p) {
        const char16_t c = text[p].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const auto digit = UInt(c - u'0');
        if (magnitude > (limit - digit) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    // Two's complement: the negation of the magnitude's bit pattern.
    return negative ? Int(UInt(0) - magnitude) : Int(magnitude);
}

} // namespace

std::optional<qint64> PropertyInt64(QStringView value)
{
    return ParseDecimal<qint64>(value);
}

std::optional<quint64> PropertyUInt64(QStringView value)
{
    return ParseDecimal<quint64>(value);
}

std::optional<qint32> PropertyInt32(QStringView value)
{
    return ParseDecimal<qint32>(value);
}

qint64 StrToInt64(const QString &value)
{
    if (const auto number = PropertyInt64(value))
        return *number;
    throw EConvertError(QLatin1Char('\'') + value + QStringLiteral("' is not a valid integer value"));
}

QString PropertyTextEntry(QStringView entry)
{
    const bool quote = entry.isEmpty() || std::any_of(entry.begin(), entry.end(), [](QChar c) {
                           return c == u',' || c == u'"' || c.unicode() <= 32;
                       });
    if (!quote)
        return entry.toString();
    QString result;
    result.reserve(entry.size() + 2);
    result += u'"';
    for (const QChar c : entry) {
        if (c == u'\0')
            continue;
        if (c == u'"')
            result += u'"';
        result += c;
    }
    result += u'"';
    return result;
}

QString PropertyListText(const QStringList &list)
{
    QString text;
    for (const QString &entry : list) {
        text += PropertyTextEntry(entry);
        text += QLatin1String("\r\n");
    }
    return text;
}

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

quint64 StrToUInt64(const QString &value)
{
    if (const auto number = PropertyUInt64(value))
        return *number;
    throw EConvertError(QLatin1Char('\'') + value + QStringLiteral("' is not a valid integer value"));
}
