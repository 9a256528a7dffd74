// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace AtomicFile {

// Replaces the file at APath with ABytes through a sibling file that is
// renamed over it once everything is on disk, so a crash or a full disk
// leaves either the old file or the new one, never a mix. Returns false and
// fills AError (when given) on failure; the old file is then untouched and
// no sibling is left behind.
bool Write(const QString &APath, const QByteArray &ABytes, QString *AError = nullptr);

} // namespace AtomicFile
