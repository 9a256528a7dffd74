// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>

class QIODevice;

// The binary stream primitives of the localization engine's formats (the
// constants block, LangData, the stored translation files). Everything is
// little-endian without padding; strings carry a 2-byte unsigned count and no
// terminator.
//
// Readers throw EReadError ("Stream read error") when the device ends before
// the value; nothing is allocated for a string before its bytes are known to
// be there. Writers throw EWriteError when the device refuses the bytes or a
// string does not fit its 2-byte count.
namespace StreamPrimitives {

// The current version of the binary constants format.
inline constexpr quint8 CurrentFormatVersion = 3;
// The longest string a 2-byte count can describe.
inline constexpr qsizetype MaxStringLength = 65535;

void PutByte(QIODevice &stream, quint8 value);
quint8 GetByte(QIODevice &stream);

void PutWord(QIODevice &stream, quint16 value);
quint16 GetWord(QIODevice &stream);

void PutInt32(QIODevice &stream, qint32 value);
qint32 GetInt32(QIODevice &stream);

// Written as 1 or 0; any non-zero byte reads as true.
void PutBool(QIODevice &stream, bool value);
bool GetBool(QIODevice &stream);

// Count of UTF-8 bytes, then the bytes. Invalid UTF-8 reads with U+FFFD in
// place of the broken sequences.
void PutUtf8String(QIODevice &stream, const QString &value);
QString GetUtf8String(QIODevice &stream);

// Count of UTF-16 code units, then 2 x count bytes. Unpaired surrogates are
// kept as they are, so every string reads back unit for unit.
void PutUtf16String(QIODevice &stream, const QString &value);
QString GetUtf16String(QIODevice &stream);

// The single byte CurrentFormatVersion; read back with GetByte.
void PutFormatVersion(QIODevice &stream);

} // namespace StreamPrimitives
