// SPDX-License-Identifier: MIT
#include "PackCommand.h"

#include "localization/LangManager.h"
#include "localization/Translations.h"
#include "localization/VLangStorage.h"
#include "platform/BoundedFile.h"
#include "vcl/Exception.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

namespace {

constexpr int ExitOutOfStep = 1;
constexpr int ExitUsage = 2;
constexpr int ExitError = 3;

QTextStream &Out(FILE *f)
{
    static QTextStream out(stdout), err(stderr);
    return f == stdout ? out : err;
}

int Usage()
{
    Out(stderr) << "usage: velmora-lang pack <window> <file.lng>... [--block FILE] "
                   "[--date \"yyyy-mm-dd hh:mm:ss\"] [--check]\n";
    Out(stderr).flush();
    return ExitUsage;
}

int Fail(const QString &message)
{
    Out(stderr) << "velmora-lang pack: " << message << "\n";
    Out(stderr).flush();
    return ExitError;
}

QByteArray ReadAll(const QString &path, QString *error)
{
    const platform::BoundedRead read = platform::ReadBoundedFile(path.toStdString(), MaxInputFileSize);
    if (!read.Ok()) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, QString::fromStdString(read.Reason));
        return {};
    }
    return QByteArray(read.Bytes.data(), qsizetype(read.Bytes.size()));
}

// The file's LANGID parameter, 0 when absent or not a number.
quint32 LangIdOf(const QByteArray &bytes)
{
    TVLang_CompTranslations header;
    header.Text_LoadFromBytes(bytes, true);
    bool ok = false;
    const int id = header.ParamValue(QStringLiteral("LANGID")).toInt(&ok, 10);
    return ok ? quint32(id) : 0;
}

} // namespace

int RunPackCommand(const QStringList &args)
{
    QStringList files;
    QString window, block, date;
    bool check = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--check"))
            check = true;
        else if (a == QLatin1String("--block") && i + 1 < args.size())
            block = args.at(++i);
        else if (a == QLatin1String("--date") && i + 1 < args.size())
            date = args.at(++i);
        else if (a.startsWith(QLatin1String("--")))
            return Usage();
        else if (window.isEmpty())
            window = a;
        else
            files << a;
    }
    if (window.isEmpty() || files.isEmpty())
        return Usage();
    if (block.isEmpty())
        block = QStringLiteral(VELMORA_SOURCE_DIR "/resources/forms/%1/vlTS.StoredTranslationFiles").arg(window);

    QDateTime stamp = QDateTime::currentDateTime();
    if (!date.isEmpty()) {
        stamp = QDateTime::fromString(date, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!stamp.isValid())
            return Fail(QStringLiteral("the date \"%1\" is not yyyy-mm-dd hh:mm:ss").arg(date));
    }

    try {
        if (check) {
            QString error;
            QByteArray bytes = ReadAll(block, &error);
            if (!error.isEmpty())
                return Fail(error);
            QBuffer in(&bytes);
            in.open(QIODevice::ReadOnly);
            TVLTranslationsStorage stored;
            stored.ReadStoredFiles(in);
            bool inStep = stored.Count() == files.size();
            for (int i = 0; inStep && i < stored.Count(); ++i) {
                const QByteArray file = ReadAll(files.at(i), &error);
                if (!error.isEmpty())
                    return Fail(error);
                QBuffer expanded;
                expanded.open(QIODevice::WriteOnly);
                inStep = stored.Translations().Items(i).ExpandTo(expanded) && expanded.data() == file;
            }
            Out(stdout) << block << (inStep ? ": in step\n" : ": out of step, run velmora-lang pack\n");
            Out(stdout).flush();
            return inStep ? 0 : ExitOutOfStep;
        }

        TVLTranslationsStorage storage;
        for (const QString &path : files) {
            QString error;
            QByteArray bytes = ReadAll(path, &error);
            if (!error.isEmpty())
                return Fail(error);
            const quint32 id = LangIdOf(bytes);
            if (id == 0)
                return Fail(QStringLiteral("%1 has no LANGID parameter").arg(path));
            QBuffer in(&bytes);
            in.open(QIODevice::ReadOnly);
            storage.Translations().Add().Import(
                in, path, QStringLiteral("%1 %2").arg(id).arg(LangManager::LanguageEnglishName(id)), stamp);
        }
        QSaveFile out(block);
        if (!out.open(QIODevice::WriteOnly))
            return Fail(QStringLiteral("cannot write %1: %2").arg(block, out.errorString()));
        storage.WriteStoredFiles(out);
        if (!out.commit())
            return Fail(QStringLiteral("cannot write %1: %2").arg(block, out.errorString()));
        Out(stdout) << block << ": " << storage.Count() << " file(s), " << storage.FileSize()
                    << " bytes stored as " << storage.StoredSize() << "\n";
        Out(stdout).flush();
        return 0;
    } catch (const Exception &e) {
        return Fail(e.Message());
    }
}
