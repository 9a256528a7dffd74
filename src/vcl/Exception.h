// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <exception>
#include <string>

// The program's general exception class: a failure carrying a message text
// for the user. Handlers of the user interface let it reach a message box.
class Exception : public std::exception
{
public:
    explicit Exception(QString message) : FMessage(std::move(message)), FUtf8(FMessage.toStdString()) {}

    const QString &Message() const noexcept { return FMessage; }
    const char *what() const noexcept override { return FUtf8.c_str(); }

private:
    QString FMessage;
    std::string FUtf8;
};

// A text that does not convert to the number or value asked for
// ("'%s' is not a valid integer value").
class EConvertError : public Exception
{
public:
    using Exception::Exception;
};
