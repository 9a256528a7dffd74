// SPDX-License-Identifier: MIT
#include "settings/AtomicFile.h"

#include <QSaveFile>

namespace AtomicFile {

bool Write(const QString &APath, const QByteArray &ABytes, QString *AError)
{
    QSaveFile file(APath);
    // Never fall back to writing in place: that is what could leave half a file.
    file.setDirectWriteFallback(false);
    // Unbuffered: Qt 6.4's QSaveFile only notices a failed write inside
    // write() itself; a failure while its buffer is flushed at commit() went
    // unseen and a truncated file replaced the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
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
