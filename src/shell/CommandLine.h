// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The widget's answers to --help and --version. It takes no other arguments:
// Qt's own (-platform, -display ...) are Qt's, anything else is ignored.
namespace CommandLine {

// What the program prints for args (args[0] is the program): the help or
// version text, or empty when the widget should start.
QString AnswerFor(const QStringList &args);

// Prints the answer for the program's arguments on standard output before
// any window system is needed and returns the exit code 0, or -1 when the
// widget should start.
int Answer(int argc, char *argv[]);

} // namespace CommandLine
