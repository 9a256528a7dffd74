// SPDX-License-Identifier: MIT
// The machines shown beside this one: a section of their own after the seven
// options, written as the user's bytes say, read safely whatever it holds,
// never holding a password.
#include "settings/Config.h"
#include "settings/HiddenDrives.h"
#include "settings/OtherMachines.h"

#include "SettingsTestUtil.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class OtherMachinesTest : public ::testing::Test
{
protected:
    QTemporaryDir FHome;
    QString Path() const { return FHome.path() + QStringLiteral("/Brindlewick/Velmora/config.ini"); }
    void Put(const QByteArray &bytes)
    {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(Path()).absolutePath()));
        WriteAll(Path(), bytes);
    }
};

const QByteArray kConfig = "[CONFIG]\n"
                           "Top=40\n"
                           "Left=40\n"
                           "Intervalo=15\n"
                           "Opacidad=255\n"
                           "EjecutarInicio=False\n"
                           "VerDiscosRed=False\n"
                           "Idioma=0\n";

TOtherMachines TwoServers()
{
    TOtherMachines machines;
    machines.ThisMachine = false;
    machines.Servers = {{QStringLiteral("http://nas.example.org:9090"), QStringLiteral("ann")},
                        {QStringLiteral("https://mon.example.org/prometheus"), QString()}};
    return machines;
}

} // namespace

TEST_F(OtherMachinesTest, TwoServersAreTheseBytesAfterTheOptions)
{
    Put(kConfig);
    ASSERT_TRUE(TOtherMachines::Write(Path(), TwoServers()));
    const QByteArray written = ReadAll(Path());
    EXPECT_TRUE(written.startsWith(kConfig)) << written.toStdString();
    EXPECT_EQ(written.mid(kConfig.size()).toStdString(),
              "\n\n[MAQUINAS]\n"
              "EstaMaquina=False\n"
              "Servidor1=http://nas.example.org:9090\n"
              "Usuario1=ann\n"
              "Servidor2=https://mon.example.org/prometheus\n");
    EXPECT_EQ(TOtherMachines::Read(Path()), TwoServers());
    // The seven options read as before, and writing them keeps the section.
    const TConfigValues values = TConfig::ReadValues(Path(), TConfigValues{});
    EXPECT_EQ(values.Top, 40);
    EXPECT_FALSE(values.VerDiscosRed);
    TConfig::WriteValues(Path(), values);
    THiddenDrives::Write(Path(), {QStringLiteral("/media/stick")});
    EXPECT_EQ(TOtherMachines::Read(Path()), TwoServers());

    // Back to this machine alone: the section goes, the others stay.
    ASSERT_TRUE(TOtherMachines::Write(Path(), TOtherMachines{}));
    EXPECT_FALSE(ReadAll(Path()).contains("MAQUINAS"));
    EXPECT_EQ(THiddenDrives::Read(Path()), QStringList({QStringLiteral("/media/stick")}));
}

TEST_F(OtherMachinesTest, HandWrittenSectionReadsAsTheseServers)
{
    Put(kConfig
        + "[MAQUINAS]\n"
          "Servidor2=https://mon.example.org/prometheus\n"
          "usuario1 = ann \n"
          "SERVIDOR1= http://nas.example.org:9090 \n"
          "EstaMaquina=0\n");
    EXPECT_EQ(TOtherMachines::Read(Path()), TwoServers());
}

TEST_F(OtherMachinesTest, DamagedOrHostileSectionsReadSafely)
{
    const TOtherServer nas{QStringLiteral("http://nas:9090"), QString()};
    struct Case
    {
        const char *what;
        QByteArray file;
        bool thisMachine;
        QList<TOtherServer> servers;
        int problems;
    };
    const Case cases[] = {
        {"no file", {}, true, {}, 0},
        {"no section", kConfig, true, {}, 0},
        {"junk for the switch keeps this machine",
         "[MAQUINAS]\nEstaMaquina=perhaps\nServidor1=http://nas:9090\n",
         true,
         {nas},
         0},
        {"not http",
         "[MAQUINAS]\nServidor1=file:///etc/passwd\nServidor2=ftp://nas\nServidor3=http://nas:9090\n",
         true,
         {nas},
         2},
        {"no host",
         "[MAQUINAS]\nServidor1=http://\nServidor2=https:///x\nServidor3=http://nas:9090\n",
         true,
         {nas},
         2},
        {"numbers out of range or not numbers",
         "[MAQUINAS]\nServidor0=http://a:1\nServidor65=http://b:1\nServidor01=http://c:1\nServidorX=http://d:1\n"
         "Servidor-1=http://e:1\nServidor999=http://f:1\nServidor1=http://nas:9090\n",
         true,
         {nas},
         0},
        {"the same server and user twice",
         "[MAQUINAS]\nServidor1=http://nas:9090\nServidor2=http://nas:9090\n",
         true,
         {nas},
         1},
        {"control characters",
         QByteArray("[MAQUINAS]\nServidor1=http://a\x1b[2J:1\nServidor2=http://nas:9090\n"),
         true,
         {nas},
         1},
        {"a direction mark in the user",
         "[MAQUINAS]\nServidor1=http://a:1\nUsuario1=ann\xe2\x80\xae\nServidor2=http://nas:9090\n",
         true,
         {nas},
         1},
        {"a password key is no part of a server",
         "[MAQUINAS]\nServidor1=http://nas:9090\nPassword1=secret\n"
         "Contrasena1=secret\n",
         true,
         {nas},
         0},
        {"not text", QByteArray("[MAQUINAS]\nServidor1=http://nas:9090\n\0\xff\xfe\n", 41), true, {}, 0},
        {"a user without a server", "[MAQUINAS]\nUsuario4=ann\nServidor1=http://nas:9090\n", true, {nas}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(Path());
        if (!c.file.isNull())
            Put(c.file);
        QStringList problems;
        const TOtherMachines machines = TOtherMachines::Read(Path(), &problems);
        EXPECT_EQ(machines.ThisMachine, c.thisMachine);
        EXPECT_EQ(machines.Servers, c.servers);
        EXPECT_EQ(problems.size(), c.problems) << problems.join(u'|').toStdString();
    }
}

TEST_F(OtherMachinesTest, AThousandServersReadAsTheFirstSixtyFour)
{
    QByteArray file = "[MAQUINAS]\n";
    for (int i = 1; i <= 1000; ++i)
        file += "Servidor" + QByteArray::number(i) + "=http://host" + QByteArray::number(i) + ":9090\n";
    Put(file);
    const TOtherMachines machines = TOtherMachines::Read(Path());
    ASSERT_EQ(machines.Servers.size(), TOtherMachines::MaxServers);
    EXPECT_EQ(machines.Servers.back().Url, QStringLiteral("http://host64:9090"));
}

TEST_F(OtherMachinesTest, OnlyAFileThatExistsIsWritten)
{
    // Writing the list must not create the file: its existence tells the
    // next start that the first-run question was answered.
    EXPECT_FALSE(TOtherMachines::Write(Path(), TwoServers()));
    EXPECT_FALSE(QFileInfo::exists(Path()));
}

TEST_F(OtherMachinesTest, ServersTheReaderWouldRefuseAreNotWritten)
{
    Put(kConfig);
    TOtherMachines machines;
    machines.Servers = {{QStringLiteral("http://a:1\nServidor9=http://evil:1"), QString()},
                        {QStringLiteral("http://nas:9090"), QStringLiteral("ann\r\nEstaMaquina=False")},
                        {QStringLiteral("http://nas:9090"), QString()},
                        {QStringLiteral("http://nas:9090"), QString()}};
    ASSERT_TRUE(TOtherMachines::Write(Path(), machines));
    EXPECT_EQ(ReadAll(Path()).mid(kConfig.size()).toStdString(),
              "\n\n[MAQUINAS]\nEstaMaquina=True\nServidor1=http://nas:9090\n");
}
