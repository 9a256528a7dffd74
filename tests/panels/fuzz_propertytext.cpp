// SPDX-License-Identifier: MIT
// Property texts come from the system (mount paths, labels): any bytes must
// split without a crash, a hang or an outsized result.
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
    return 0;
}
