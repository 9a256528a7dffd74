// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <initializer_list>

// A drive as the query service renders it.
struct FakeDrive
{
    const char *name;
    int driveType = 3;
    qint64 size = 100LL << 30;
    const char *freeSpace = "53687091200";
    const char *fileSystem = "ext4";
};

inline QString ObjectText(const FakeDrive &d)
{
    QString text = QStringLiteral("instance of Win32_LogicalDisk\n{\n");
    text += QStringLiteral("\tCaption = \"%1\";\n").arg(QString::fromUtf8(d.name));
    text += QStringLiteral("\tDriveType = %1;\n").arg(d.driveType);
    text += QStringLiteral("\tFileSystem = \"%1\";\n").arg(QString::fromUtf8(d.fileSystem));
    if (d.freeSpace)
        text += QStringLiteral("\tFreeSpace = \"%1\";\n").arg(QString::fromUtf8(d.freeSpace));
    text += QStringLiteral("\tName = \"%1\";\n").arg(QString::fromUtf8(d.name));
    text += QStringLiteral("\tSize = \"%1\";\n").arg(d.size);
    text += QStringLiteral("};\n");
    return text;
}

// The file that VELMORA_FAKE_WBEM names: rewritten between refreshes.
class FakeWbemFile
{
public:
    explicit FakeWbemFile(const QString &path) : FPath(path) {}

    void Drives(std::initializer_list<FakeDrive> drives)
    {
        QStringList blocks;
        for (const FakeDrive &d : drives)
            blocks << ObjectText(d);
        Write(blocks.join(QStringLiteral("----\n")));
    }
    void ConnectError(const char *message)
    {
        Write(QStringLiteral("!connect-error %1\n").arg(QLatin1String(message)));
    }
    void Write(const QString &text)
    {
        QFile f(FPath);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(FPath));
        f.write(text.toUtf8());
    }
    QString Path() const { return FPath; }

private:
    QString FPath;
};

inline QApplication &TestApp()
{
    static int argc = 1;
    static char name[] = "velmora-tests";
    static char *argv[] = {name, nullptr};
    static QApplication *app = qApp ? static_cast<QApplication *>(qApp) : new QApplication(argc, argv);
    return *app;
}
