// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

#include <cstddef>

// velmora-lang pack <window> <file.lng>... [--block FILE] [--date "yyyy-mm-dd hh:mm:ss"] [--check]
//
// Makes the window's StoredTranslationFiles block from translation files, one
// entry per file in the order given: the file name as given, the import date
// (now, or --date), the description "<LANGID> <language>" from the file's
// LANGID parameter, and the file compressed with zlib. The block defaults to
// resources/forms/<window>/vlTS.StoredTranslationFiles in the source tree.
// --check writes nothing: it tells whether the block holds exactly these
// files (exit code 1 when it does not).
//
// args are the arguments after "pack". Exit codes: 0 done, 1 block out of
// step (--check), 2 usage, 3 error.
int RunPackCommand(const QStringList &args);

// The most bytes velmora-lang reads from any one input file (a translation
// file or a block); a file with more to read, or one that is no regular file,
// is refused with a message.
inline constexpr std::size_t MaxInputFileSize = 16 * 1024 * 1024;
