// SPDX-License-Identifier: MIT
#pragma once

// Small helpers for the Linux platform suites: a scratch folder and an
// environment variable set for one scope.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace linuxtest {

// A fresh folder under /tmp, removed with everything in it when the object
// goes.
class TempFolder
{
public:
    TempFolder()
    {
        char pattern[] = "/tmp/velmora-platform-XXXXXX";
        if (const char *made = ::mkdtemp(pattern))
            m_path = made;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &Path() const { return m_path; }
    std::string File(const std::string &name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Sets (or, with nullptr, unsets) a variable and puts the old value back.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const char *value) : m_name(name)
    {
        if (const char *old = std::getenv(name))
            m_old = old;
        Set(value);
    }
    ~ScopedEnv() { Set(m_old ? m_old->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

    void Set(const char *value)
    {
        if (value)
            ::setenv(m_name.c_str(), value, 1);
        else
            ::unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

} // namespace linuxtest
