// SPDX-License-Identifier: MIT
// The translation file reader on arbitrary bytes: it may fail, but only with
// the engine's own errors; what it reads completely is written in both
// encodings and must read back to the same translation. The same bytes read
// from a file, through the bounded reader the program uses, give the same
// translation.
#include "localization/Translations.h"
#include "localization/ValueEscaping.h"

#include "vcl/Exception.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

QByteArray Save(const TVLang_CompTranslations &t, bool bUnicode)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    t.Text_SaveToStream(buffer, bUnicode, false);
    return bytes;
}

// What a value becomes on its way through a file: escaped (every line break
// turns into CR LF), trimmed with its line (a value cannot keep spaces at its
// ends) and unescaped. Everything else must survive.
QString Value(const QString &value)
{
    const QString escaped = EscapeValue(value);
    qsizetype begin = 0;
    qsizetype end = escaped.size();
    while (begin < end && escaped.at(begin) == u' ')
        ++begin;
    while (end > begin && escaped.at(end - 1) == u' ')
        --end;
    return UnescapeValue(escaped.sliced(begin, end - begin));
}

QStringList Dump(const TVLang_CompTranslations &t)
{
    QStringList out = t.Params();
    for (int i = 0; i < t.Count(); ++i) {
        out << u'[' + t.Items(i).ComponentName() + u']';
        for (int k = 0; k < t.Items(i).Count(); ++k)
            out << QString::number(t.Items(i).Items(k).iID) + u'=' + Value(t.Items(i).Items(k).wsValue);
    }
    for (int i = 0; i < t.Constants().Count(); ++i)
        out << t.Constants().Items(i).wsName + u'=' + Value(t.Constants().Items(i).wsValue);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    TVLang_CompTranslations paramsOnly;
    try {
        paramsOnly.Text_LoadFromBytes(bytes, true);
    } catch (const Exception &) {}
    TVLang_CompTranslations t;
    try {
        t.Text_LoadFromBytes(bytes, false);
    } catch (const Exception &) {
        return 0;
    }
    if (bytes.size() > TVLang_CompTranslations::MaxFileSize)
        return 0;
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("input.lng"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(bytes.data(), bytes.size()) != bytes.size())
            std::abort();
    }
    TVLang_CompTranslations fromFile;
    fromFile.Text_LoadFromFile(path, false);
    if (Dump(fromFile) != Dump(t))
        std::abort();
    for (bool unicode : {true, false}) {
        TVLang_CompTranslations reread;
        reread.Text_LoadFromBytes(Save(t, unicode), false);
        if (Dump(reread) != Dump(t))
            std::abort();
    }
    return 0;
}
