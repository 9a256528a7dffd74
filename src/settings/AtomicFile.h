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
//
// Before writing, it removes the complete copies that a kill between Qt's
// link and rename left beside the file (see RemoveLeftovers).
bool Write(const QString &APath, const QByteArray &ABytes, QString *AError = nullptr);

// Removes the siblings of APath that can only be QSaveFile's own copies: the
// file's name, a dot and six ASCII letters, a regular file (not a link) of the
// user running the program, unchanged for at least a minute (a younger one may
// belong to a write in progress). APath itself is never touched. Returns how
// many were removed.
int RemoveLeftovers(const QString &APath);

} // namespace AtomicFile
