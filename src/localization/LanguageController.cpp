// SPDX-License-Identifier: MIT
#include "localization/LanguageController.h"

#include "localization/ControllerManager.h"
#include "localization/MaskList.h"

#include <QBuffer>

// The LangData blocks of the program's windows travel with the engine that
// reads them (":/forms/<window>/<controller>.LangData").
static void InitLangDataResources()
{
    Q_INIT_RESOURCE(langdata);
}

namespace {

const QString LangDataBlock = QStringLiteral("LangData");

void MakeSortedList(TStrings &list)
{
    list.SetSorted(true);
    list.SetDuplicates(TDuplicates::dupIgnore);
}

} // namespace

TVLanguageController::TVLanguageController(QObject *AOwner)
    : TComponent(AOwner), FRootCompEntry(std::make_unique<TVLang_CompEntry>())
{
    static const bool resources = (InitLangDataResources(), true);
    (void)resources;
    MakeSortedList(FIgnoreList);
    MakeSortedList(FStoreList);
    // A controller read from a window definition is bound again in Loaded,
    // after its LangData; binding now costs nothing, as the tree is empty.
    FRootCompEntry->BindToComponent(AOwner);
    FWatcher = new vcl::TComponentWatcher(
        [this](QObject *component, vcl::TOperation operation) { Notification(component, operation); }, this);
    FWatcher->Watch(AOwner);
    VLang_ControllerManager().AttachController(this);
}

TVLanguageController::~TVLanguageController()
{
    VLang_ControllerManager().DetachController(this);
    // No notifications while the rest of the controller goes away.
    delete FWatcher;
    FWatcher = nullptr;
}

QString TVLanguageController::ActualSectionName() const
{
    if (!FSectionName.isEmpty())
        return FSectionName;
    return parent() ? parent()->objectName() : QString();
}

void TVLanguageController::DoLanguageChanging()
{
    if (FOnLanguageChanging)
        FOnLanguageChanging(this);
}

void TVLanguageController::DoLanguageChanged()
{
    if (FOnLanguageChanged)
        FOnLanguageChanged(this);
}

void TVLanguageController::RefreshEntries(bool bModifyList)
{
    const TVLang_MaskList IgnoreMasks(FIgnoreList.Lines());
    const TVLang_MaskList StoreMasks(FStoreList.Lines());
    FRootCompEntry->UpdateEntries(bModifyList, FOptions.testFlag(vlcoIgnoreEmptyProps),
                                  FOptions.testFlag(vlcoIgnoreNonAlphaProps),
                                  FOptions.testFlag(vlcoIgnoreFontProps), IgnoreMasks, StoreMasks);
    if (bModifyList && FWatcher)
        FWatcher->Watch(FRootCompEntry->Component());
}

bool TVLanguageController::ReadBlock(const QString &blockName, const QByteArray &data)
{
    if (blockName != LangDataBlock)
        return false;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    FRootCompEntry->LoadLangData(buffer);
    return true;
}

bool TVLanguageController::WriteLangData(QIODevice &Stream)
{
    const QObject *root = FRootCompEntry->Component();
    if (!root || root->objectName().isEmpty())
        return false;
    RefreshEntries(true);
    FRootCompEntry->SaveLangData(Stream);
    return true;
}

bool TVLanguageController::WriteBlock(const QString &blockName, QByteArray &data)
{
    if (blockName != LangDataBlock)
        return false;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!WriteLangData(buffer))
        return false;
    data = buffer.data();
    return true;
}

void TVLanguageController::Loaded()
{
    TComponent::Loaded();
    QObject *owner = parent();
    if (!owner)
        return;
    FRootCompEntry->BindToComponent(owner);
    RefreshEntries(false);
    FWatcher->Watch(owner);
    VLang_ControllerManager().TranslateLoadedController(this);
}

void TVLanguageController::Notification(QObject *AComponent, vcl::TOperation Operation)
{
    if (Operation == vcl::TOperation::opRemove && AComponent != this)
        FRootCompEntry->RemoveComponent(AComponent, true);
}

bool TVLanguageController::IsStored(const char *propertyName) const
{
    if (qstrcmp(propertyName, "Options") == 0)
        return FOptions != DefaultOptions;
    return true;
}

bool TVLanguageController::PrepareSourceExport()
{
    const QObject *owner = parent();
    if (!owner || owner->objectName().isEmpty())
        return false;
    RefreshEntries(true);
    return true;
}

void TVLanguageController::WriteSourceLines(QStringList &lines, TVLang_TranslationStates)
{
    FRootCompEntry->WriteSourceLines(lines);
}
