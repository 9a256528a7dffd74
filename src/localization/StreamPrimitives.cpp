// SPDX-License-Identifier: MIT
#include "localization/StreamPrimitives.h"

#include "localization/SystemErrors.h"

#include <QByteArray>
#include <QIODevice>
#include <QtEndian>

namespace StreamPrimitives {
namespace {

void WriteBytes(QIODevice &stream, const char *data, qint64 size)
{
    if (size > 0 && stream.write(data, size) != size)
        throw EWriteError();
}

// Reads exactly size bytes into buffer or throws EReadError.
void ReadBytes(QIODevice &stream, char *buffer, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const qint64 got = stream.read(buffer + done, size - done);
        if (got <= 0)
            throw EReadError();
        done += got;
    }
}

// A length field is trusted only when the device can still deliver that many
// bytes; a sequential device is read in bounded steps instead (the 2-byte
// counts keep any string below 128 KiB).
QByteArray ReadBlock(QIODevice &stream, qint64 size)
{
    if (!stream.isSequential() && stream.bytesAvailable() < size)
        throw EReadError();
    QByteArray block(size, Qt::Uninitialized);
    ReadBytes(stream, block.data(), size);
    return block;
}

template <typename T>
T ReadLittleEndian(QIODevice &stream)
{
    uchar raw[sizeof(T)];
    ReadBytes(stream, reinterpret_cast<char *>(raw), sizeof(T));
    return qFromLittleEndian<T>(raw);
}

template <typename T>
void WriteLittleEndian(QIODevice &stream, T value)
{
    uchar raw[sizeof(T)];
    qToLittleEndian<T>(value, raw);
    WriteBytes(stream, reinterpret_cast<const char *>(raw), sizeof(T));
}

} // namespace

void PutByte(QIODevice &stream, quint8 value)
{
    WriteLittleEndian<quint8>(stream, value);
}
quint8 GetByte(QIODevice &stream)
{
    return ReadLittleEndian<quint8>(stream);
}

void PutWord(QIODevice &stream, quint16 value)
{
    WriteLittleEndian<quint16>(stream, value);
}
quint16 GetWord(QIODevice &stream)
{
    return ReadLittleEndian<quint16>(stream);
}

void PutInt32(QIODevice &stream, qint32 value)
{
    WriteLittleEndian<qint32>(stream, value);
}
qint32 GetInt32(QIODevice &stream)
{
    return ReadLittleEndian<qint32>(stream);
}

void PutBool(QIODevice &stream, bool value)
{
    PutByte(stream, value ? 1 : 0);
}
bool GetBool(QIODevice &stream)
{
    return GetByte(stream) != 0;
}

void PutUtf8String(QIODevice &stream, const QString &value)
{
    const QByteArray bytes = value.toUtf8();
    if (bytes.size() > MaxStringLength)
        throw EWriteError();
    PutWord(stream, quint16(bytes.size()));
    WriteBytes(stream, bytes.constData(), bytes.size());
}

QString GetUtf8String(QIODevice &stream)
{
    const quint16 count = GetWord(stream);
    return QString::fromUtf8(ReadBlock(stream, count));
}

void PutUtf16String(QIODevice &stream, const QString &value)
{
    if (value.size() > MaxStringLength)
        throw EWriteError();
    PutWord(stream, quint16(value.size()));
    QByteArray bytes(value.size() * 2, Qt::Uninitialized);
    qToLittleEndian<quint16>(value.utf16(), value.size(), bytes.data());
    WriteBytes(stream, bytes.constData(), bytes.size());
}

QString GetUtf16String(QIODevice &stream)
{
    const quint16 count = GetWord(stream);
    const QByteArray bytes = ReadBlock(stream, qint64(count) * 2);
    QString value(count, Qt::Uninitialized);
    qFromLittleEndian<quint16>(bytes.constData(), count, value.data());
    return value;
}

void PutFormatVersion(QIODevice &stream)
{
    PutByte(stream, CurrentFormatVersion);
}

} // namespace StreamPrimitives
