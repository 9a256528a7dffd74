// SPDX-License-Identifier: MIT
// Where the drives come from: Host, User and Consulta after the seven options,
// absent by default, never a password; writing the options keeps them.
#include "settings/Config.h"
#include "settings/RemoteSource.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString writeIni(const QTemporaryDir &dir, const QByteArray &text)
{
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    return path;
}

} // namespace

TEST(RemoteSource, KeysAfterTheSevenOptions)
{
    QTemporaryDir dir;
    const struct
    {
        const char *ini;
        const char *host, *user, *consulta;
        bool remote;
    } cases[] = {
        {"[CONFIG]\r\nTop=1\r\nLeft=2\r\nIntervalo=5\r\nOpacidad=0\r\nEjecutarInicio=False\r\nVerDiscosRed="
         "True\r\nIdioma=0\r\n",
         "", "", "", false},
        {"[CONFIG]\r\nTop=1\r\nIdioma=0\r\nHost=http://mon:9090\r\nUser=ann\r\nPassword=never\r\n"
         "Consulta=SELECT * FROM Win32_LogicalDisk WHERE DriveType = 3\r\n",
         "http://mon:9090", "ann", "SELECT * FROM Win32_LogicalDisk WHERE DriveType = 3", true},
        {"[config]\nhost = \" https://mon.example.org/prometheus \"\n", "https://mon.example.org/prometheus", "",
         "", true},
        {"[CONFIG]\nHost=.\n", ".", "", "", false},
        {"[OTHER]\nHost=http://mon:9090\n", "", "", "", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.ini);
        const TRemoteSource s = TRemoteSource::Read(writeIni(dir, c.ini));
        EXPECT_EQ(s.Host, QString::fromUtf8(c.host));
        EXPECT_EQ(s.User, QString::fromUtf8(c.user));
        EXPECT_EQ(s.Consulta, QString::fromUtf8(c.consulta));
        EXPECT_EQ(s.IsRemote(), c.remote);
    }
}

TEST(RemoteSource, WritingTheOptionsKeepsTheSourceAfterThem)
{
    QTemporaryDir dir;
    const QString path = writeIni(
        dir,
        "[CONFIG]\r\nTop=1\r\nLeft=2\r\nIntervalo=5\r\nOpacidad=0\r\nEjecutarInicio=False\r\n"
        "VerDiscosRed=True\r\nIdioma=0\r\nHost=http://mon:9090\r\nUser=ann\r\n"
        "Consulta=SELECT * FROM Win32_LogicalDisk\r\n");
    TConfig::SaveOptionValues(
        path, TConfig::SectionName(),
        {QStringLiteral("Top"), QStringLiteral("Left"), QStringLiteral("Intervalo"), QStringLiteral("Opacidad"),
         QStringLiteral("EjecutarInicio"), QStringLiteral("VerDiscosRed"), QStringLiteral("Idioma")},
        {QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("15"), QStringLiteral("153"),
         QStringLiteral("True"), QStringLiteral("False"), QStringLiteral("1")});
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    const qsizetype idioma = text.indexOf("Idioma=1");
    const qsizetype host = text.indexOf("Host=http://mon:9090");
    ASSERT_GE(idioma, 0) << text.constData();
    EXPECT_GT(host, idioma) << text.constData();
    EXPECT_GT(text.indexOf("User=ann"), host);
    EXPECT_GT(text.indexOf("Consulta=SELECT * FROM Win32_LogicalDisk"), host);
    const TRemoteSource s = TRemoteSource::Read(path);
    EXPECT_EQ(s.Host, QStringLiteral("http://mon:9090"));
}
