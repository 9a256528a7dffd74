// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The program's version information.
namespace VersionInfo {

// The file version of AFileName ("" means the program's own file) as
// "major.minor" when AShort, else "major.minor.release.build", in decimal.
// Empty when the file carries no version information (platform::
// ReadFileVersion). Outside Windows only the program itself carries one: the
// version it was built with.
QString FileVersionText(const QString &AFileName, bool AShort);

// The file version given as the two 32-bit halves of the Windows fixed file
// information, in the format of FileVersionText.
QString FormatFileVersion(quint32 AVersionMS, quint32 AVersionLS, bool AShort);

// The language and code page of the version information's one translation
// entry (3082 and 1252): where the language engine takes its default from.
quint32 TranslationLanguage();
quint32 TranslationCodePage();

} // namespace VersionInfo
