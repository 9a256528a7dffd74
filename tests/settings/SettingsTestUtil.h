// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

// Sets an environment variable for the lifetime of the object and puts the
// old value back afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char *AName, const std::optional<QByteArray> &AValue) : FName(AName)
    {
        if (qEnvironmentVariableIsSet(AName))
            FOld = qgetenv(AName);
        if (AValue)
            qputenv(AName, *AValue);
        else
            qunsetenv(AName);
    }
    ~ScopedEnv()
    {
        if (FOld)
            qputenv(FName, *FOld);
        else
            qunsetenv(FName);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *FName;
    std::optional<QByteArray> FOld;
};

inline QByteArray ReadAll(const QString &APath)
{
    QFile file(APath);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

inline void WriteAll(const QString &APath, const QByteArray &ABytes)
{
    QFile file(APath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << APath.toStdString();
    ASSERT_EQ(file.write(ABytes), ABytes.size());
}

inline std::string Std(const QString &AText)
{
    return AText.toStdString();
}
