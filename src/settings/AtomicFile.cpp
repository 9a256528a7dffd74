// SPDX-License-Identifier: MIT
#include "settings/AtomicFile.h"

#include "platform/BoundedFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace AtomicFile {

namespace {

// QSaveFile names its copy <name>.XXXXXX, each X one of A-Z and a-z.
bool IsCopyName(const QString &AName, const QString &AFileName)
{
    if (AName.size() != AFileName.size() + 7 || !AName.startsWith(AFileName) || AName[AFileName.size()] != u'.')
        return false;
    for (qsizetype i = AFileName.size() + 1; i < AName.size(); ++i) {
        const char16_t c = AName[i].unicode();
        if (!((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z')))
            return false;
    }
    return true;
}

} // namespace

int RemoveLeftovers(const QString &APath)
{
    const QFileInfo target(APath);
    const QString fileName = target.fileName();
    if (fileName.isEmpty())
        return 0;
    const QDir folder = target.absoluteDir();
    int removed = 0;
    const QStringList names = folder.entryList({fileName + QStringLiteral(".??????")},
                                               QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString &name : names) {
        if (!IsCopyName(name, fileName))
            continue;
        const QString path = folder.filePath(name);
        if (platform::IsOwnStaleRegularFile(QDir::toNativeSeparators(path).toStdString(), 60)
            && QFile::remove(path))
            ++removed;
    }
    return removed;
}

bool Write(const QString &APath, const QByteArray &ABytes, QString *AError)
{
    RemoveLeftovers(APath);
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
