// SPDX-License-Identifier: MIT
#include "localization/VLangStorage.h"

#include "localization/LangManager.h"
#include "localization/StreamPrimitives.h"
#include "localization/SystemErrors.h"

#include <QBuffer>
#include <QIODevice>

#include <zlib.h>

#include <algorithm>
#include <limits>

using namespace StreamPrimitives;

namespace {

QString ZlibMessage(const z_stream &z, int code)
{
    return QString::fromLatin1(z.msg ? z.msg : zError(code));
}

// Reads exactly size bytes from the device or throws EReadError. The caller
// has checked size against what a random-access device still holds; a
// sequential device is read in bounded steps, so a false size costs at most
// what the device really delivers.
QByteArray ReadExactly(QIODevice &stream, qint64 size)
{
    QByteArray out;
    if (!stream.isSequential())
        out.reserve(size);
    while (out.size() < size) {
        const qint64 step = std::min<qint64>(size - out.size(), TStoredFile::CopyBufferSize);
        const QByteArray chunk = stream.read(step);
        if (chunk.isEmpty())
            throw EReadError();
        out += chunk;
    }
    return out;
}

void WriteExactly(QIODevice &stream, const char *data, qint64 size)
{
    if (size > 0 && stream.write(data, size) != size)
        throw EWriteError();
}

// A size field is trusted only when the block can still hold that many bytes.
void CheckStoredSize(QIODevice &stream, qint32 size)
{
    if (size < 0 || (!stream.isSequential() && stream.bytesAvailable() < size))
        throw EReadError();
}

} // namespace

QString TStoredFile::FormatDateStamp(const QDateTime &aDateStamp)
{
    // The pattern's ":" is the time separator, which is ":" in the locales
    // this program supports.
    return aDateStamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

bool TStoredFile::Import(QIODevice &stream, const QString &aFileName, const QString &aDescription,
                         const QDateTime &aDateStamp)
{
    fFileDate = FormatDateStamp(aDateStamp);
    fFileName = aFileName;
    fFileDescription = aDescription;
    fFileSize = 0;
    fData.clear();
    fReleased = false;

    const qint64 n = stream.size();
    if (n > std::numeric_limits<qint32>::max())
        throw EReadError();

    z_stream z{};
    if (const int rc = deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY); rc != Z_OK)
        throw EZCompressionError(ZlibMessage(z, rc));
    struct Closer
    {
        z_stream &z;
        ~Closer() { deflateEnd(&z); }
    } closer{z};

    QByteArray compressed;
    QByteArray out(64 * 1024, Qt::Uninitialized);
    auto pump = [&](int flush) {
        do {
            z.next_out = reinterpret_cast<Bytef *>(out.data());
            z.avail_out = uInt(out.size());
            const int rc = deflate(&z, flush);
            if (rc == Z_STREAM_ERROR)
                throw EZCompressionError(ZlibMessage(z, rc));
            compressed.append(out.constData(), out.size() - qsizetype(z.avail_out));
        } while (z.avail_out == 0);
    };

    qint64 remaining = n;
    while (remaining > 0) {
        const qint64 step = std::min(remaining, CopyBufferSize);
        const QByteArray chunk = stream.read(step);
        if (chunk.size() != step)
            throw EReadError();
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(chunk.constData()));
        z.avail_in = uInt(chunk.size());
        pump(Z_NO_FLUSH);
        remaining -= step;
    }
    pump(Z_FINISH);
    fFileSize = qint32(n);
    fData = compressed;
    return true;
}

void TStoredFile::ReadEntry(QIODevice &stream)
{
    QString name = GetUtf16String(stream);
    QString date = GetUtf16String(stream);
    QString description = GetUtf16String(stream);
    const qint32 fileSize = GetInt32(stream);
    if (fileSize < 0)
        throw EReadError();
    const qint32 storedSize = GetInt32(stream);
    CheckStoredSize(stream, storedSize);
    QByteArray data = ReadExactly(stream, storedSize);

    fFileName = std::move(name);
    fFileDate = std::move(date);
    fFileDescription = std::move(description);
    fFileSize = fileSize;
    fData = std::move(data);
    fReleased = false;
}

void TStoredFile::WriteEntry(QIODevice &stream) const
{
    PutUtf16String(stream, fFileName);
    PutUtf16String(stream, fFileDate);
    PutUtf16String(stream, fFileDescription);
    PutInt32(stream, fFileSize);
    PutInt32(stream, GetStoredSize());
    for (qint64 done = 0; done < fData.size();) {
        const qint64 step = std::min<qint64>(fData.size() - done, CopyBufferSize);
        WriteExactly(stream, fData.constData() + done, step);
        done += step;
    }
}

bool TStoredFile::ExpandTo(QIODevice &stream) const
{
    if (fReleased)
        return false;
    if (fFileSize <= 0 && fData.isEmpty())
        return true;

    z_stream z{};
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(fData.constData()));
    z.avail_in = uInt(fData.size());
    if (const int rc = inflateInit2(&z, 15); rc != Z_OK)
        throw EZDecompressionError(ZlibMessage(z, rc));
    struct Closer
    {
        z_stream &z;
        ~Closer() { inflateEnd(&z); }
    } closer{z};

    // The output is bounded by the declared size: never more than FileSize
    // bytes are asked from zlib.
    QByteArray out(int(std::min<qint64>(std::max<qint32>(fFileSize, 1), CopyBufferSize)), Qt::Uninitialized);
    qint64 remaining = fFileSize;
    int rc = Z_OK;
    while (remaining > 0) {
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = uInt(std::min<qint64>(remaining, out.size()));
        const uInt asked = z.avail_out;
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_NEED_DICT || rc == Z_DATA_ERROR || rc == Z_MEM_ERROR || rc == Z_STREAM_ERROR)
            throw EZDecompressionError(ZlibMessage(z, rc == Z_NEED_DICT ? Z_DATA_ERROR : rc));
        const uInt produced = asked - z.avail_out;
        WriteExactly(stream, out.constData(), produced);
        remaining -= produced;
        if (remaining > 0 && (rc == Z_STREAM_END || (rc == Z_BUF_ERROR && z.avail_in == 0)))
            throw EReadError(); // the data ends before FileSize bytes
        if (remaining > 0 && produced == 0 && rc == Z_BUF_ERROR)
            throw EReadError();
    }
    // The stream must end here: its Adler-32 check is what tells a corrupt
    // entry from a sound one, and data that would expand further is not the
    // file that was stored.
    if (rc != Z_STREAM_END) {
        char extra;
        z.next_out = reinterpret_cast<Bytef *>(&extra);
        z.avail_out = 1;
        rc = inflate(&z, Z_FINISH);
        if (rc == Z_STREAM_END && z.avail_out == 1)
            return true;
        if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_MEM_ERROR || rc == Z_STREAM_ERROR)
            throw EZDecompressionError(ZlibMessage(z, rc == Z_NEED_DICT ? Z_DATA_ERROR : rc));
        if (z.avail_out == 0)
            throw EZDecompressionError(QStringLiteral("data expands past its declared size"));
        throw EReadError();
    }
    return true;
}

void TStoredFile::ReleaseData()
{
    fData = QByteArray();
    fReleased = true;
}

TStoredFile &TTranslationFiles::Add()
{
    FItems.push_back(std::make_unique<TStoredFile>());
    return *FItems.back();
}

void TTranslationFiles::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    FItems.erase(FItems.begin() + index);
}

TVLTranslationsStorage::TVLTranslationsStorage(QObject *AOwner) : TComponent(AOwner) {}

TVLTranslationsStorage::~TVLTranslationsStorage() = default;

qint64 TVLTranslationsStorage::FileSize() const
{
    qint64 sum = 0;
    for (int i = 0; i < FTranslations.Count(); ++i)
        sum += FTranslations.Items(i).FileSize();
    return sum;
}

qint64 TVLTranslationsStorage::StoredSize() const
{
    qint64 sum = 0;
    for (int i = 0; i < FTranslations.Count(); ++i)
        sum += FTranslations.Items(i).StoredSize();
    return sum;
}

void TVLTranslationsStorage::ReadStoredFiles(QIODevice &stream)
{
    const qint32 count = GetInt32(stream);
    for (qint32 i = 0; i < count; ++i) {
        auto file = std::make_unique<TStoredFile>();
        file->ReadEntry(stream);
        FTranslations.Append(std::move(file));
    }
}

void TVLTranslationsStorage::WriteStoredFiles(QIODevice &stream) const
{
    PutInt32(stream, Count());
    for (int i = 0; i < FTranslations.Count(); ++i)
        FTranslations.Items(i).WriteEntry(stream);
}

QByteArray TVLTranslationsStorage::StoredTranslationFiles() const
{
    if (Count() == 0)
        return {};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteStoredFiles(buffer);
    return buffer.data();
}

bool TVLTranslationsStorage::ReadBlock(const QString &blockName, const QByteArray &data)
{
    if (blockName != QLatin1String("StoredTranslationFiles"))
        return false;
    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ReadStoredFiles(buffer);
    return true;
}

void TVLTranslationsStorage::Loaded()
{
    TComponent::Loaded();
    if (LangManager::RunningInDesigner())
        return;
    for (int i = 0; i < FTranslations.Count(); ++i) {
        TStoredFile &file = FTranslations.Items(i);
        QBuffer expanded;
        expanded.open(QIODevice::ReadWrite);
        // A released entry has nothing left to register.
        if (!file.ExpandTo(expanded))
            continue;
        expanded.seek(0);
        LangManager::Instance().AddLanguageStream(expanded);
        if (FReleaseMemory)
            file.ReleaseData();
    }
}
