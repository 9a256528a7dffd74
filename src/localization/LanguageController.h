// SPDX-License-Identifier: MIT
#pragma once

#include "localization/CompEntries.h"
#include "localization/LanguageSourceObject.h"
#include "vcl/Classes.h"
#include "vcl/Component.h"

#include <QByteArray>
#include <QFlags>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QIODevice;

enum TVLanguageControllerOption : unsigned {
    // Each option's bit is 1 shifted by its ordinal (0 to 3).
    vlcoAutoSaveLangSource = 1u << 0, // kept and saved only
    vlcoIgnoreEmptyProps = 1u << 1,
    vlcoIgnoreNonAlphaProps = 1u << 2,
    vlcoIgnoreFontProps = 1u << 3,
};
Q_DECLARE_FLAGS(TVLanguageControllerOptions, TVLanguageControllerOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TVLanguageControllerOptions)

// A handler of a component's notification event; the sender is the component.
// Handlers are plain callables rather than Qt signals because an exception
// from a handler is part of the contract (it stops a language change) and
// must travel back through the caller.
using TNotifyEvent = std::function<void(QObject *Sender)>;

// Makes its window translatable: owns the window's entry tree (kept in the
// window definition as the block "LangData"), records the source-language
// texts once the window is loaded, and is translated by the language manager
// between its OnLanguageChanging and OnLanguageChanged events.
//
// There is no design environment: a controller always attaches to the
// manager and translates its loaded window. The design-time work (giving new
// properties their IDs before the block is written) is asked for explicitly,
// by WriteBlock or PrepareSourceExport, as velmora-lang does.
class TVLanguageController : public TComponent, public IVLang_LanguageSourceObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList IgnoreList READ IgnoreList WRITE SetIgnoreList)
    Q_PROPERTY(QStringList StoreList READ StoreList WRITE SetStoreList)
    Q_PROPERTY(int Options READ OptionsValue WRITE SetOptionsValue)
    Q_PROPERTY(QString SectionName READ SectionName WRITE SetSectionName)

public:
    static constexpr TVLanguageControllerOptions DefaultOptions = TVLanguageControllerOptions(
        vlcoAutoSaveLangSource | vlcoIgnoreEmptyProps | vlcoIgnoreNonAlphaProps | vlcoIgnoreFontProps);

    // Binds the root entry to AOwner and attaches to the language manager.
    explicit TVLanguageController(QObject *AOwner = nullptr);
    // Detaches from the manager before the entry tree is released.
    ~TVLanguageController() override;

    // Masks of properties never to translate / to translate even when not
    // stored. Assigning copies the lines into the controller's own sorted
    // list, which drops duplicates.
    QStringList IgnoreList() const { return FIgnoreList.Lines(); }
    void SetIgnoreList(const QStringList &value) { FIgnoreList.Assign(value); }
    QStringList StoreList() const { return FStoreList.Lines(); }
    void SetStoreList(const QStringList &value) { FStoreList.Assign(value); }

    TVLanguageControllerOptions Options() const { return FOptions; }
    void SetOptions(TVLanguageControllerOptions value) { FOptions = value; }

    QString SectionName() const { return FSectionName; }
    void SetSectionName(const QString &value) { FSectionName = value; }
    // SectionName, or the owner window's name when it is empty.
    QString ActualSectionName() const;

    TVLang_CompEntry &RootCompEntry() const { return *FRootCompEntry; }

    const TNotifyEvent &OnLanguageChanging() const { return FOnLanguageChanging; }
    void SetOnLanguageChanging(TNotifyEvent handler) { FOnLanguageChanging = std::move(handler); }
    const TNotifyEvent &OnLanguageChanged() const { return FOnLanguageChanged; }
    void SetOnLanguageChanged(TNotifyEvent handler) { FOnLanguageChanged = std::move(handler); }
    // Raise the events (the manager calls them around ApplyTranslation).
    void DoLanguageChanging();
    void DoLanguageChanged();

    // Compiles IgnoreList and StoreList afresh and updates the entry tree with
    // the options: false records source values, true also gives IDs. Throws
    // EVLangError for an invalid mask.
    void RefreshEntries(bool bModifyList);

    // The block "LangData": read into the entry tree (errors of the data are
    // raised), written after RefreshEntries(true). WriteBlock returns false
    // and writes nothing while the root is not bound to a named window.
    bool ReadBlock(const QString &blockName, const QByteArray &data) override;
    bool WriteBlock(const QString &blockName, QByteArray &data);
    bool WriteLangData(QIODevice &Stream);

    // Binds the tree to the window, records the source values and asks the
    // manager to bring the window into the active language.
    void Loaded() override;
    // A component of the window is going away: its entry goes with it.
    void Notification(QObject *AComponent, vcl::TOperation Operation);

    // Options is saved only when it differs from the default.
    bool IsStored(const char *propertyName) const override;

    bool PrepareSourceExport() override;
    void WriteSourceLines(QStringList &lines, TVLang_TranslationStates skipStates = {}) override;
    QString SourceSectionName() const override { return ActualSectionName(); }

private:
    int OptionsValue() const { return int(FOptions.toInt()); }
    void SetOptionsValue(int value) { FOptions = TVLanguageControllerOptions::fromInt(unsigned(value) & 15u); }

    TStrings FIgnoreList;
    TStrings FStoreList;
    TVLanguageControllerOptions FOptions = DefaultOptions;
    std::unique_ptr<TVLang_CompEntry> FRootCompEntry;
    QString FSectionName;
    TNotifyEvent FOnLanguageChanging;
    TNotifyEvent FOnLanguageChanged;
    vcl::TComponentWatcher *FWatcher = nullptr;
};
