// SPDX-License-Identifier: MIT
// The translation file reader on arbitrary bytes: it may fail, but only with
// the engine's own errors; what it reads completely is written in both
// encodings and must read back to the same file.
#include "localization/Translations.h"

#include "vcl/Exception.h"

#include <QBuffer>

#include <cstdlib>

namespace {

QByteArray Save(const TVLang_CompTranslations &t, bool bUnicode)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    t.Text_SaveToStream(buffer, bUnicode, false);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    TVLang_CompTranslations paramsOnly;
    try {
        paramsOnly.Text_LoadFromBytes(bytes, true);
    } catch (const Exception &) {
    }
    TVLang_CompTranslations t;
    try {
        t.Text_LoadFromBytes(bytes, false);
    } catch (const Exception &) {
        return 0;
    }
    for (bool unicode : {true, false}) {
        const QByteArray written = Save(t, unicode);
        TVLang_CompTranslations reread;
        reread.Text_LoadFromBytes(written, false);
        if (Save(reread, unicode) != written)
            std::abort();
    }
    return 0;
}
