// SPDX-License-Identifier: MIT
// The StoredTranslationFiles reader on arbitrary bytes: it may fail, but only
// with the engine's own errors; what it reads writes back to the very bytes
// it consumed, and no entry expands past its declared size.
#include "localization/VLangStorage.h"

#include "vcl/Exception.h"

#include <QBuffer>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TVLTranslationsStorage storage;
    try {
        storage.ReadStoredFiles(buffer);
    } catch (const Exception &) {
        return 0;
    }
    QBuffer written;
    written.open(QIODevice::WriteOnly);
    storage.WriteStoredFiles(written);
    // A count of zero or less is written back as 0.
    if (storage.Count() > 0 && written.data() != bytes.left(buffer.pos()))
        std::abort();
    for (int i = 0; i < storage.Count(); ++i) {
        const TStoredFile &file = storage.Translations().Items(i);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        try {
            file.ExpandTo(out);
        } catch (const Exception &) {}
        if (out.size() > file.FileSize())
            std::abort();
    }
    return 0;
}
