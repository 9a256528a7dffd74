// SPDX-License-Identifier: MIT
#pragma once

// The drive query's view of the management-instrumentation service: connect to
// a host and namespace, run a WQL query, walk the result objects and render
// each one as its MOF object text. Windows implements it over the WMI COM
// objects; Linux serves Win32_LogicalDisk from the mount table.
//
// All text is UTF-8. Every operation reports failure by throwing WbemError.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace platform {

class WbemError : public std::runtime_error
{
public:
    // code: the service's result code (an HRESULT on Windows, a WBEM_E_* value
    // elsewhere); 0 when there is none.
    explicit WbemError(const std::string &message, std::int32_t code = 0)
        : std::runtime_error(message), m_code(code)
    {}
    std::int32_t code() const noexcept { return m_code; }

private:
    std::int32_t m_code;
};

// One result object.
class WbemObject
{
public:
    virtual ~WbemObject() = default;
    // The object in MOF syntax: "instance of <class>", "{", one line per
    // property that has a value (TAB, name, " = ", value, ";"), "};".
    virtual std::string GetObjectText() const = 0;
};

// The result of a query, walked once from the start.
class WbemObjectSet
{
public:
    virtual ~WbemObjectSet() = default;
    // The next result object, or nullptr at the end of the result (a failing
    // step of the walk also ends it).
    virtual std::unique_ptr<WbemObject> Next() = 0;
};

// A connection to one namespace of one host.
class WbemServices
{
public:
    virtual ~WbemServices() = default;
    // Runs a WQL query; returns once the whole result is ready.
    virtual std::unique_ptr<WbemObjectSet> ExecQuery(const std::string &wql) = 0;
};

class WbemLocator
{
public:
    virtual ~WbemLocator() = default;
    virtual std::unique_ptr<WbemServices> ConnectServer(const std::string &host, const std::string &nameSpace) = 0;
};

// Credentials for a host that asks for them. Empty values leave the choice to
// the service: a Prometheus server then takes them from ~/.netrc.
struct WbemCredentials
{
    std::string user;
    std::string password;
};

} // namespace platform
