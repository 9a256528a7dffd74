// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The property list of one drive reaches the panels and the widget window as
// one text: "Name=value" items separated by CR LF (or by commas). The query
// component writes it and both read it through these routines, writer and
// reader side by side, so that they always agree on a drive's name and
// figures.

// One entry of a property list as it stands in the list's text, where
// entries are separated by commas and by characters of code 0 to 32. An
// empty entry, or one holding a comma, a double quote or such a character,
// is written in double quotes with every inner double quote doubled; any
// other entry is written as it is. A NUL, which would end the whole text for
// its reader, is dropped. Read back by SplitPropertyText, the written entry
// gives exactly the entry again (without its NULs), so no value (a mount
// path, a volume label) can end its entry early or add another.
//   "Name=C:"               -> "Name=C:"
//   "Name=/tmp/a,FreeSpace=x" -> "\"Name=/tmp/a,FreeSpace=x\""
//   "VolumeName=say \"hi\""  -> "\"VolumeName=say \"\"hi\"\"\""
QString PropertyTextEntry(QStringView entry);

// The text of a whole property list: each entry written by
// PropertyTextEntry and followed by CR LF.
QString PropertyListText(const QStringList &list);

// Splits a property text into its items.
// - Items are separated by commas and by line breaks (CR, LF). Blanks and TABs
//   inside an item belong to it: "Description=Local Fixed Disk" and
//   "Name=/media/ana/My Disk" are one item each.
// - Characters with codes 1 to 32 before an item and after a separator are
//   skipped (so empty lines give no item and "a, b" reads as "a" and "b"), and
//   those at the end of an unquoted item are dropped.
// - An item that begins with a double quote runs to the closing quote, two
//   double quotes in a row standing for one; an unclosed quote takes the rest
//   of the text. Text after the closing quote up to the next separator starts
//   another item.
// - Two commas in a row give an empty item between them; a comma that is the
//   very last character of the text gives an empty item after it.
// - A NUL character ends the text.
// Never fails; the work and the result grow linearly with the text.
QStringList SplitPropertyText(const QString &text);

// The value of the first item whose part before its first "=" equals name,
// compared without regard to letter case: everything after that "=". Items
// without "=" have no name. Empty text when no item matches.
QString PropertyValue(const QStringList &items, const QString &name);

// A property value as a signed decimal integer, the way the drive query
// renders Size, FreeSpace and DriveType: an optional "+" or "-", then one or
// more of the digits 0 to 9, and nothing else. Blanks around it, other bases,
// other digit characters and values that do not fit make it no integer:
// empty. " 12 " is no integer, so a padded figure fails alike wherever it is
// read.
std::optional<qint64> PropertyInt64(QStringView value);
std::optional<qint32> PropertyInt32(QStringView value);
// The same for a figure of bytes (Size, FreeSpace), which the system gives as
// an unsigned 64-bit number: 0 to 18446744073709551615, no "-".
std::optional<quint64> PropertyUInt64(QStringView value);

// PropertyInt64, raising EConvertError("'<value>' is not a valid integer
// value") for a value that is no integer.
qint64 StrToInt64(const QString &value);

// PropertyUInt64, raising the same EConvertError for a value that is no
// unsigned 64-bit integer.
quint64 StrToUInt64(const QString &value);
