// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace vcl {

// A tool tip that Qt shows exactly as written. Qt guesses whether a tool tip
// is rich text (a tag such as "<b>" at the start of its first line, or
// "&lt;"), and a hint from a translation, a drive name or a file may look
// like one. A text that Qt would take for markup gets a zero-width space
// after every "<" and after the "&" of every "&lt;", so that nothing in it
// reads as a tag or an entity while it looks the same; any other text comes
// back unchanged. The result stays plain text for readers that never take
// markup (the tray icon's tool tip on a StatusNotifierItem host), where the
// added spaces are invisible too.
QString PlainToolTip(const QString &text);

} // namespace vcl
