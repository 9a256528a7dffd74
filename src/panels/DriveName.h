// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// A drive's name as its property list holds it keeps the object text's
// escapes (a quote as \x0022, a backslash as \\, a byte that is not UTF-8 as
// \xDCE9): that text tells every drive apart and keys its panel, its hidden
// entry and its commands. These give back the name itself, for people and
// for the system.

// The bytes the name stands for; empty when the text is no escaped name (a
// malformed escape), which is then taken as it stands.
std::optional<QByteArray> DriveNameBytes(const QString &listedName);

// The name to show: its characters as they are, a byte that is not UTF-8 as
// U+FFFD and a control character (a line break) as its visible picture
// (U+2400 to U+241F, U+2421), so that a title stays on one line.
QString DriveNameShown(const QString &listedName);

// The folder of a drive as a file URL for the desktop's folder handler: a
// path ("/media/stick") from its very bytes, each byte outside the URL's
// plain characters percent-encoded (a byte that is not UTF-8 as itself,
// %E9); a drive letter ("E:") as the root of that drive.
QUrl DriveFolderUrl(const QString &listedName);
