// SPDX-License-Identifier: MIT
// Property texts come from the system (mount paths, labels): any bytes must
// split without a crash, a hang or an outsized result, and read as integers
// consistently. And any list of entries, written as the query component
// writes it, must read back as the very same entries: no value may end its
// entry early or add another.
#include "wmi/PropertyText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void CheckSplit(const QString &text)
{
    const QStringList items = SplitPropertyText(text);

    // Every item is made of characters of the text, and at most one item
    // more than the text has characters can come out.
    qsizetype total = 0;
    for (const QString &item : items)
        total += item.size();
    if (total > text.size() || items.size() > text.size() + 1)
        std::abort();

    for (const char *name : {"Name", "Size", "FreeSpace", "DriveType", ""})
        (void)PropertyValue(items, QLatin1String(name));

    // The integer readers agree: a 32-bit value is the same 64-bit value,
    // and an accepted value prints back as the text less its sign and
    // leading zeros.
    for (const QString &value : items + QStringList{text}) {
        const auto wide = PropertyInt64(value);
        const auto narrow = PropertyInt32(value);
        if (narrow && (!wide || *wide != *narrow))
            std::abort();
        if (wide) {
            QString digits = value;
            const bool negative = digits.startsWith(u'-');
            if (negative || digits.startsWith(u'+'))
                digits.remove(0, 1);
            while (digits.size() > 1 && digits.startsWith(u'0'))
                digits.remove(0, 1);
            const QString expected = (negative && digits != QLatin1String("0") ? QStringLiteral("-") : QString())
                + digits;
            if (QString::number(*wide) != expected)
                std::abort();
        }
    }
}

// The input cut at each 0xFF byte (never part of UTF-8) into entries, each
// read as UTF-8 the way the query component reads the object text.
void CheckRoundTrip(const std::uint8_t *data, std::size_t size)
{
    QStringList entries;
    QStringList expected;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != 0xFF)
            continue;
        QString entry = QString::fromUtf8(reinterpret_cast<const char *>(data + start), qsizetype(i - start));
        entries.append(entry);
        // A NUL cannot travel in the text: the writer drops it.
        entry.remove(QChar(u'\0'));
        expected.append(entry);
        start = i + 1;
    }
    const QString text = PropertyListText(entries);
    if (SplitPropertyText(text) != expected)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    CheckSplit(QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    CheckRoundTrip(data, size);
    return 0;
}
