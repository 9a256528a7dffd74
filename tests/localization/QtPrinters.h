// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

// Readable GoogleTest output for Qt's strings (found by argument lookup).
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray &b, std::ostream *os)
{
    *os << '"' << b.toStdString() << '"';
}
