// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

class QBuffer;
class QIODevice;

// Where a registered translation's text comes from.
enum class TVLang_LangResourceKind : quint8 {
    vlrkResName = 0, // a resource of a module, by name
    vlrkResID = 1,   // a resource of a module, by number
    vlrkFile = 2,    // a translation file on disk
    vlrkStream = 3,  // the entry's own in-memory copy of a translation file
};

// One registered translation. A module ("Instance") is a Qt resource folder
// such as ":/rcdata", the form the translation readers take.
struct TVLang_LangResource
{
    TVLang_LangResource();
    ~TVLang_LangResource();
    TVLang_LangResource(const TVLang_LangResource &) = delete;
    TVLang_LangResource &operator=(const TVLang_LangResource &) = delete;

    TVLang_LangResourceKind Kind = TVLang_LangResourceKind::vlrkStream;
    QString Instance;
    // vlrkStream only: the copy of the file's bytes, owned by the entry.
    std::unique_ptr<QBuffer> Stream;
    QString wsName;
    qint32 iResID = 0;
    quint32 wLangID = 0;
};

// The registered translations, in the order of first registration, at most
// one per LANGID. Registering a LANGID again replaces that entry's kind and
// source in place (it keeps its position; a stream copy it held is released).
class TVLang_LangResources
{
public:
    TVLang_LangResources();
    ~TVLang_LangResources();
    TVLang_LangResources(const TVLang_LangResources &) = delete;
    TVLang_LangResources &operator=(const TVLang_LangResources &) = delete;

    // vlrkStream: the whole content of stream, from its start, copied into a
    // buffer the entry owns. A device that cannot be read from its start
    // throws EReadError and registers nothing (the previous entry for the
    // LANGID, if any, stays as it was).
    int Add(QIODevice &stream, quint32 wLangID);
    // vlrkFile: a translation file by its name.
    int Add(const QString &wsFileName, quint32 wLangID);
    // vlrkResName: the resource wsResName of module Instance.
    int Add(const QString &Instance, const QString &wsResName, quint32 wLangID);
    // vlrkResID: the resource number iResID of module Instance.
    int Add(const QString &Instance, qint32 iResID, quint32 wLangID);

    int IndexOfLangID(quint32 wLangID) const;
    const TVLang_LangResource *FindLangID(quint32 wLangID) const;

    int Count() const { return int(FItems.size()); }
    // EListError "List index out of bounds (%d)..." outside 0..Count()-1.
    const TVLang_LangResource &Items(int index) const;

    void Clear() { FItems.clear(); }

    // The list index error of this list for index, with the index shown as
    // given.
    static QString ListIndexErrorText(int index, int count);

private:
    // The entry for wLangID, emptied of its previous source, or a new one
    // appended; its index in *index.
    TVLang_LangResource &Slot(quint32 wLangID, int *index);

    std::vector<std::unique_ptr<TVLang_LangResource>> FItems;
};
