// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QString>

// The kind of a file by its extension, for the treemap's colours: one colour
// for each family (pictures, video, sound, archives and disk images,
// documents, source code, programs and libraries), one for folders and one
// for everything else.
enum class TFileKind { Folder, Picture, Video, Sound, Archive, Document, Code, Program, Other };

// The family of a file name's extension (letter case ignored); Other for a
// name without one or with one of no family.
TFileKind FileKindOf(const QString &name);
QColor FileKindColor(TFileKind kind);
