// SPDX-License-Identifier: MIT
#pragma once

#include "vcl/Component.h"
#include "vcl/Exception.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>
#include <vector>

class QIODevice;

// zlib's failures, with zlib's own message text.
class EZCompressionError : public Exception
{
public:
    using Exception::Exception;
};

class EZDecompressionError : public Exception
{
public:
    using Exception::Exception;
};

// One translation file kept compressed as a single zlib stream (RFC 1950).
//
// An entry is empty (new), holds data (Import, ReadEntry) or is released
// (ReleaseData). A released entry holds no data: StoredSize is 0, ExpandTo
// writes nothing and answers false, and WriteEntry writes a stored size of 0.
class TStoredFile
{
public:
    // Buffer size of every copy into and out of the compressor.
    static constexpr qint64 CopyBufferSize = 1048576;

    QString FileName() const { return fFileName; }
    QString ImportDate() const { return fFileDate; }
    QString Description() const { return fFileDescription; }
    qint32 FileSize() const { return fFileSize; }
    qint32 StoredSize() const { return GetStoredSize(); }
    qint32 GetStoredSize() const { return qint32(fData.size()); }
    bool IsReleased() const { return fReleased; }
    // The compressed bytes (empty when released).
    const QByteArray &Data() const { return fData; }

    // Compresses the bytes from the stream's current position up to its total
    // size (deflate, default level, window bits 15, memory level 8, default
    // strategy). The date is written "yyyy-mm-dd hh:nn:ss". A stream that
    // cannot deliver its total size from its position throws EReadError;
    // FileSize then stays 0 and the entry holds no data. Answers true.
    bool Import(QIODevice &stream, const QString &aFileName, const QString &aDescription,
                const QDateTime &aDateStamp);

    // One entry of the StoredTranslationFiles block at the stream's position.
    // EReadError when the block ends early, or when a size is negative or
    // larger than what the block still holds (checked before anything is
    // allocated). The entry is changed only when the whole entry was read.
    void ReadEntry(QIODevice &stream);
    void WriteEntry(QIODevice &stream) const;

    // Writes exactly FileSize expanded bytes into stream and answers true.
    // Corrupt data throws EZDecompressionError; data that ends before
    // FileSize bytes throws EReadError. A released entry writes nothing and
    // answers false. Output never exceeds FileSize bytes.
    bool ExpandTo(QIODevice &stream) const;

    void ReleaseData();

    // The date stamp as Import writes it.
    static QString FormatDateStamp(const QDateTime &aDateStamp);

private:
    QString fFileName;
    QString fFileDate;
    QString fFileDescription;
    qint32 fFileSize = 0;
    QByteArray fData;
    bool fReleased = false;
};

// The stored files in the order in which they were stored; owns them.
class TTranslationFiles
{
public:
    int Count() const { return int(FItems.size()); }
    TStoredFile &Items(int index) { return *FItems.at(std::size_t(index)); }
    const TStoredFile &Items(int index) const { return *FItems.at(std::size_t(index)); }
    TStoredFile &Add();
    void Append(std::unique_ptr<TStoredFile> file) { FItems.push_back(std::move(file)); }
    void Delete(int index);
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TStoredFile>> FItems;
};

// The component that carries the program's translations inside its window
// definition (the block "StoredTranslationFiles") and registers each of them
// with the language manager once the window has been loaded.
//
// Block layout, little-endian, strings as a 2-byte count of UTF-16 code units
// and the units: count (int32); per entry the file name, the date, the
// description, the file size (int32), the stored size m (int32) and m bytes
// of zlib data.
class TVLTranslationsStorage : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(bool ReleaseMemoryOnTranslationRegistration READ ReleaseMemoryOnTranslationRegistration WRITE
                   SetReleaseMemoryOnTranslationRegistration)

public:
    explicit TVLTranslationsStorage(QObject *AOwner = nullptr);
    ~TVLTranslationsStorage() override;

    TTranslationFiles &Translations() { return FTranslations; }
    const TTranslationFiles &Translations() const { return FTranslations; }

    bool ReleaseMemoryOnTranslationRegistration() const { return FReleaseMemory; }
    void SetReleaseMemoryOnTranslationRegistration(bool value) { FReleaseMemory = value; }

    int Count() const { return FTranslations.Count(); }
    // Sums over the entries (64-bit, so that many large entries cannot overflow).
    qint64 FileSize() const;
    qint64 StoredSize() const;

    // Appends the entries of a block. A count of 0 or less adds nothing. A
    // block that ends early or holds an impossible size throws EReadError;
    // the entries read before stay in the list.
    void ReadStoredFiles(QIODevice &stream);
    void WriteStoredFiles(QIODevice &stream) const;
    // The block as the window definition stores it; empty (no block at all)
    // when there are no entries.
    QByteArray StoredTranslationFiles() const;

    bool ReadBlock(const QString &blockName, const QByteArray &data) override;
    // Registers every entry with the language manager (AddLanguageStream), in
    // list order; an expansion failure propagates and leaves the later
    // entries unregistered.
    void Loaded() override;

private:
    TTranslationFiles FTranslations;
    bool FReleaseMemory = false;
};
