// SPDX-License-Identifier: MIT
#pragma once

#include "vcl/Exception.h"

// The failures of streams, files, resources and lists that the localization
// engine lets through unchanged. Their texts are the run-time library's own.

// A stream that ends before the value being read ("Stream read error").
class EReadError : public Exception
{
public:
    EReadError() : Exception(QStringLiteral("Stream read error")) {}
};

// A value that cannot be put on a stream: the device refused the bytes, or a
// string is too long for its 2-byte count ("Stream write error").
class EWriteError : public Exception
{
public:
    EWriteError() : Exception(QStringLiteral("Stream write error")) {}
};

// A file that cannot be opened ("Cannot open file "%s". %s") or created
// ("Cannot create file "%s". %s"): the full file name and the system's reason.
class EFOpenError : public Exception
{
public:
    using Exception::Exception;
};

class EFCreateError : public Exception
{
public:
    using Exception::Exception;
};

// A resource missing from its module ("Resource %s not found").
class EResNotFound : public Exception
{
public:
    using Exception::Exception;
};

// A map or list asked for an item it does not hold ("Item not found").
class EListError : public Exception
{
public:
    using Exception::Exception;
};
