// SPDX-License-Identifier: MIT
// The constants block reader on arbitrary bytes: it may fail, but only with
// the engine's own errors, and what it reads writes and reads back alike.
#include "localization/Constants.h"

#include "vcl/Exception.h"

#include <QBuffer>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TVLang_Constants constants;
    try {
        constants.LoadFromStream(buffer);
    } catch (const Exception &) {
        return 0;
    }
    const QByteArray written = constants.AsRawString();
    TVLang_Constants reread;
    reread.SetAsRawString(written);
    if (reread.AsRawString() != written || reread.Count() != constants.Count())
        std::abort();
    return 0;
}
