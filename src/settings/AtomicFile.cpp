// SPDX-License-Identifier: MIT
#include "settings/AtomicFile.h"

#include <QSaveFile>

namespace AtomicFile {

bool Write(const QString &APath, const QByteArray &ABytes, QString *AError)
{
    QSaveFile file(APath);
    // Never fall back to writing in place: that is what could leave half a file.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        if (AError)
            *AError = file.errorString();
        return false;
    }
    if (file.write(ABytes) != ABytes.size()) {
        if (AError)
            *AError = file.errorString();
        file.cancelWriting();
        return false;
    }
    // commit() flushes, syncs and renames; any failure on the way removes the sibling.
    if (!file.commit()) {
        if (AError)
            *AError = file.errorString();
        return false;
    }
    return true;
}

} // namespace AtomicFile
