// SPDX-License-Identifier: MIT
// Property texts come from the system (mount paths, labels): any bytes must
// split without a crash, a hang or an outsized result, and read as integers
// consistently.
#include "panels/PropertyText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
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
    return 0;
}
