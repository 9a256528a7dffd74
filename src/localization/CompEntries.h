// SPDX-License-Identifier: MIT
#pragma once

#include "localization/PropEntries.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QIODevice;
class TVLang_CompEntry;
class TVLang_CompTranslation;
class TVLang_MaskList;

// The entries of the components owned by one component, in insertion order.
// Owns its entries.
class TVLang_CompEntries
{
public:
    explicit TVLang_CompEntries(TVLang_CompEntry *AOwner) : FOwner(AOwner) {}
    ~TVLang_CompEntries();
    TVLang_CompEntries(const TVLang_CompEntries &) = delete;
    TVLang_CompEntries &operator=(const TVLang_CompEntries &) = delete;

    TVLang_CompEntry *Owner() const { return FOwner; }
    int Count() const { return int(FItems.size()); }
    TVLang_CompEntry *Items(int index) const { return FItems.at(std::size_t(index)).get(); }

    // Appends a new entry whose parent is Owner and returns it.
    TVLang_CompEntry *Add();
    // Destroys the entry with its subtree.
    void Delete(int index);
    void Clear();

    // By identity; a component that is being destroyed still matches.
    int IndexOfComponent(const QObject *CompReference) const;
    TVLang_CompEntry *FindComponent(const QObject *CompReference) const;
    // Linear, comparing each entry's Name without case.
    int IndexOfCompName(const QString &wsCompName) const;

    // Clears the list, then reads a count and that many entries.
    void LoadLangData(QIODevice &Stream, int depth = 0);
    void SaveLangData(QIODevice &Stream) const;

private:
    TVLang_CompEntry *FOwner;
    std::vector<std::unique_ptr<TVLang_CompEntry>> FItems;
};

// One node of a controller's entry tree: the translatable properties of one
// component and the entries of the components it owns. IDs are unique across
// the tree; they are the keys of a window's section in a translation file.
class TVLang_CompEntry
{
public:
    // An empty entry; AOwner is the parent entry (nullptr for the root).
    explicit TVLang_CompEntry(TVLang_CompEntry *AOwner = nullptr);
    ~TVLang_CompEntry();
    TVLang_CompEntry(const TVLang_CompEntry &) = delete;
    TVLang_CompEntry &operator=(const TVLang_CompEntry &) = delete;

    // The live component, or nullptr when unbound or when it has gone away.
    QObject *Component() const { return FGuard.data(); }
    // The component's current name when bound, else the name read from LangData.
    QString Name() const;
    TVLang_CompEntry *Owner() const { return FOwner; }
    // Names from the root down to this entry joined with "."; the root's own
    // name only with bIncludeRoot (so the root alone gives "" without it).
    QString GetComponentNamePath(bool bIncludeRoot) const;
    QString ComponentNamePath(bool bIncludeRoot) const { return GetComponentNamePath(bIncludeRoot); }

    TVLang_PropEntries *PropEntries() const { return FPropEntries.get(); }
    TVLang_CompEntries *OwnedCompEntries() const { return FOwnedCompEntries.get(); }

    // Walks the bound components. With bModifyList it adds, keeps and removes
    // property entries and gives every new property the ID above the highest
    // one in the tree; without, it only records the source-language value of
    // the properties already listed.
    void UpdateEntries(bool bModifyList, bool bIgnoreEmptyProps, bool bIgnoreNonAlphaProps, bool bIgnoreFontProps,
                       const TVLang_MaskList &IgnoreMasks, const TVLang_MaskList &StoreMasks);
    // Writes every listed property: its translation when Translation holds
    // the ID, its source-language value otherwise (all of them for nullptr).
    void ApplyTranslation(const TVLang_CompTranslation *Translation);
    // Binds this entry to AComponent and its children to AComponent's
    // components by stored name; children whose component is gone are deleted.
    void BindToComponent(QObject *AComponent);
    // Drops the child entry of AComponent (in the whole subtree with bRecursive).
    void RemoveComponent(const QObject *AComponent, bool bRecursive);

    // The greatest ID in the subtree, 0 if none.
    qint32 MaxPropEntryID() const;
    void ResetValidatedTree();

    // Reads this entry and its subtree. Throws EReadError "Stream read error"
    // when the block ends early and EVLangError when it nests deeper than
    // MaxDepth; the entry is then left without name, properties or children.
    void LoadLangData(QIODevice &Stream);
    void SaveLangData(QIODevice &Stream) const;

    // Appends "<component path>.<property path>=<ID, 8 digits>,<escaped value>"
    // for every property entry of the subtree, in pre-order.
    void WriteSourceLines(QStringList &lines) const;

    // Component trees are shallow (a frame in a frame); a block that nests
    // deeper is not a window's.
    static constexpr int MaxDepth = 64;

private:
    friend class TVLang_CompEntries;
    struct TUpdateContext;
    void Update(TUpdateContext &ctx);
    void LoadLangData(QIODevice &Stream, int depth);
    void SetComponent(QObject *AComponent);

    std::unique_ptr<TVLang_PropEntries> FPropEntries;
    std::unique_ptr<TVLang_CompEntries> FOwnedCompEntries;
    QString FName;
    // The identity of the bound component (compared, never dereferenced) and
    // a guard that is cleared when the component is destroyed.
    const QObject *FComponent = nullptr;
    QPointer<QObject> FGuard;
    TVLang_CompEntry *FOwner;
};

// Whether obj is a language controller (such components never get entries).
bool VLang_IsLanguageController(const QObject *obj);
