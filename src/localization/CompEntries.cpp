// SPDX-License-Identifier: MIT
#include "localization/CompEntries.h"

#include "localization/MaskList.h"
#include "localization/StreamPrimitives.h"
#include "localization/Translations.h"
#include "localization/VLangError.h"
#include "localization/ValueEscaping.h"
#include "vcl/Classes.h"
#include "vcl/Persistent.h"
#include "vcl/Reflection.h"

#include <QHash>
#include <QIODevice>

#include <limits>

namespace {

// Nested persistent objects (a font inside a sub-object ...) are followed at
// most this deep, so that two objects referring to each other cannot make the
// walk endless.
constexpr int MaxObjectDepth = 16;

const QString NameProperty = QStringLiteral("Name");

bool HasLetter(const QString &value)
{
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = value.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && value.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(value.at(i), value.at(i + 1));
            ++i;
        }
        if (QChar::isLetter(c))
            return true;
    }
    return false;
}

QString JoinPath(const QString &prefix, const QString &name)
{
    return prefix.isEmpty() ? name : prefix + QLatin1Char('.') + name;
}

// The properties that both walks consider: a setter, not a component's own
// "Name", a string kind or an object reference that can be read and exists.
// For object references sub is the referenced object and kind what it is.
bool Considered(const QObject *obj, bool isComponent, const vcl::TPropInfo &prop, QObject *&sub,
                vcl::TObjectKind &kind)
{
    sub = nullptr;
    if (!prop.HasSetter)
        return false;
    if (isComponent && prop.Name == NameProperty)
        return false;
    if (vcl::IsStringKind(prop.Kind))
        return true;
    if (prop.Kind != vcl::TTypeKind::tkClass || !prop.HasGetter)
        return false;
    sub = vcl::GetObjectProp(obj, prop);
    if (!sub)
        return false;
    kind = vcl::ObjectKind(sub);
    // Components reached through a property have entries of their own.
    return kind == vcl::TObjectKind::okStrings || kind == vcl::TObjectKind::okCollection
        || kind == vcl::TObjectKind::okPersistent;
}

} // namespace

bool VLang_IsLanguageController(const QObject *obj)
{
    return obj && obj->inherits("TVLanguageController");
}

TVLang_CompEntries::~TVLang_CompEntries() = default;

TVLang_CompEntry *TVLang_CompEntries::Add()
{
    FItems.push_back(std::make_unique<TVLang_CompEntry>(FOwner));
    return FItems.back().get();
}

void TVLang_CompEntries::Delete(int index)
{
    FItems.erase(FItems.begin() + index);
}

void TVLang_CompEntries::Clear()
{
    FItems.clear();
}

int TVLang_CompEntries::IndexOfComponent(const QObject *CompReference) const
{
    if (!CompReference)
        return -1;
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i]->FComponent == CompReference)
            return int(i);
    return -1;
}

TVLang_CompEntry *TVLang_CompEntries::FindComponent(const QObject *CompReference) const
{
    const int i = IndexOfComponent(CompReference);
    return i < 0 ? nullptr : Items(i);
}

int TVLang_CompEntries::IndexOfCompName(const QString &wsCompName) const
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i]->Name().compare(wsCompName, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void TVLang_CompEntries::LoadLangData(QIODevice &Stream, int depth)
{
    Clear();
    const qint32 count = StreamPrimitives::GetInt32(Stream);
    // Nothing is reserved from the count: every entry takes bytes of its own.
    for (qint32 i = 0; i < count; ++i)
        Add()->LoadLangData(Stream, depth + 1);
}

void TVLang_CompEntries::SaveLangData(QIODevice &Stream) const
{
    StreamPrimitives::PutInt32(Stream, qint32(FItems.size()));
    for (const auto &e : FItems)
        e->SaveLangData(Stream);
}

TVLang_CompEntry::TVLang_CompEntry(TVLang_CompEntry *AOwner) : FOwner(AOwner) {}

TVLang_CompEntry::~TVLang_CompEntry() = default;

QString TVLang_CompEntry::Name() const
{
    if (FComponent)
        return FGuard ? FGuard->objectName() : QString();
    return FName;
}

QString TVLang_CompEntry::GetComponentNamePath(bool bIncludeRoot) const
{
    if (!FOwner)
        return bIncludeRoot ? Name() : QString();
    return JoinPath(FOwner->GetComponentNamePath(bIncludeRoot), Name());
}

void TVLang_CompEntry::SetComponent(QObject *AComponent)
{
    FComponent = AComponent;
    FGuard = AComponent;
}

struct TVLang_CompEntry::TUpdateContext
{
    bool bModifyList;
    bool bIgnoreEmptyProps;
    bool bIgnoreNonAlphaProps;
    bool bIgnoreFontProps;
    const TVLang_MaskList &IgnoreMasks;
    const TVLang_MaskList &StoreMasks;
    // Kept wider than an ID, so that a tree already holding the highest ID
    // (a damaged block) reports it instead of overflowing.
    qint64 NextID = 1;
};

void TVLang_CompEntry::UpdateEntries(bool bModifyList, bool bIgnoreEmptyProps, bool bIgnoreNonAlphaProps,
                                     bool bIgnoreFontProps, const TVLang_MaskList &IgnoreMasks,
                                     const TVLang_MaskList &StoreMasks)
{
    TUpdateContext ctx{bModifyList,      bIgnoreEmptyProps, bIgnoreNonAlphaProps,
                       bIgnoreFontProps, IgnoreMasks,       StoreMasks};
    if (bModifyList) {
        ResetValidatedTree();
        ctx.NextID = qint64(MaxPropEntryID()) + 1;
    }
    Update(ctx);
}

namespace {

template <typename Yield>
void CollectValues(const QObject *obj, bool isComponent, const QString &prefix, const QString &compPath,
                   const TVLang_MaskList &ignoreMasks, const TVLang_MaskList &storeMasks, bool ignoreFonts,
                   int depth, Yield &&yield)
{
    for (const vcl::TPropInfo &prop : vcl::GetPropList(obj)) {
        QObject *sub = nullptr;
        vcl::TObjectKind kind = vcl::TObjectKind::okOther;
        if (!Considered(obj, isComponent, prop, sub, kind))
            continue;
        const QString path = JoinPath(prefix, prop.Name);
        const QString maskPath = compPath + QLatin1Char('.') + path;
        if (ignoreMasks.Matches(maskPath))
            continue;
        if (!vcl::IsStoredProp(obj, prop) && !storeMasks.Matches(maskPath))
            continue;
        if (!sub) {
            yield(path, vcl::GetStrProp(obj, prop));
        } else if (kind == vcl::TObjectKind::okStrings) {
            yield(path, static_cast<const TStrings *>(sub)->Text());
        } else if (depth < MaxObjectDepth) {
            if (kind == vcl::TObjectKind::okCollection) {
                const auto *collection = static_cast<const TCollection *>(sub);
                for (int i = 0; i < collection->Count(); ++i)
                    CollectValues(collection->Items(i), false, path + QStringLiteral("[%1]").arg(i), compPath,
                                  ignoreMasks, storeMasks, ignoreFonts, depth + 1, yield);
            } else if (!(ignoreFonts && vcl::ClassName(sub) == QLatin1String("TFont"))) {
                CollectValues(sub, false, path, compPath, ignoreMasks, storeMasks, ignoreFonts, depth + 1, yield);
            }
        }
    }
}

} // namespace

void TVLang_CompEntry::Update(TUpdateContext &ctx)
{
    QObject *component = Component();
    if (component) {
        const QString compPath = GetComponentNamePath(false);
        CollectValues(component, vcl::AsComponent(component) != nullptr, QString(), compPath, ctx.IgnoreMasks,
                      ctx.StoreMasks, ctx.bIgnoreFontProps, 0, [&](const QString &path, const QString &value) {
                          if (ctx.bIgnoreNonAlphaProps) {
                              if (!HasLetter(value))
                                  return;
                          } else if (ctx.bIgnoreEmptyProps && value.isEmpty()) {
                              return;
                          }
                          if (ctx.bModifyList) {
                              if (!FPropEntries)
                                  FPropEntries = std::make_unique<TVLang_PropEntries>();
                              if (FPropEntries->FindPropByName(path)) {
                                  FPropEntries->Add(0, path, value);
                                  return;
                              }
                              if (ctx.NextID > std::numeric_limits<qint32>::max())
                                  throw EVLangError(QStringLiteral("No property ID is left for %1.%2")
                                                        .arg(GetComponentNamePath(true), path));
                              FPropEntries->Add(qint32(ctx.NextID++), path, value);
                          } else if (FPropEntries) {
                              if (TVLang_PropEntry *e = FPropEntries->FindPropByName(path))
                                  e->wsDefLangValue = value;
                          }
                      });
    }
    if (ctx.bModifyList && FPropEntries) {
        FPropEntries->DeleteUnvalidated();
        if (FPropEntries->Count() == 0)
            FPropEntries.reset();
    }
    if (!component)
        return;
    // Child entries by live component, so that a window with many
    // components is walked in linear time. Only a live entry stands for its
    // component: one whose component went away unnoticed may carry the
    // address of a new one.
    QHash<const QObject *, TVLang_CompEntry *> byComponent;
    if (FOwnedCompEntries)
        for (int i = 0; i < FOwnedCompEntries->Count(); ++i) {
            TVLang_CompEntry *e = FOwnedCompEntries->Items(i);
            if (e->FGuard)
                byComponent.insert(e->FComponent, e);
        }
    for (QObject *child : vcl::Components(component)) {
        if (child->objectName().isEmpty() || VLang_IsLanguageController(child))
            continue;
        TVLang_CompEntry *entry = byComponent.value(child);
        if (!entry && ctx.bModifyList) {
            if (!FOwnedCompEntries)
                FOwnedCompEntries = std::make_unique<TVLang_CompEntries>(this);
            entry = FOwnedCompEntries->Add();
            entry->SetComponent(child);
        }
        if (entry)
            entry->Update(ctx);
    }
}

namespace {

void ApplyValues(QObject *obj, bool isComponent, const QString &prefix, const TVLang_PropEntries &entries,
                 const TVLang_CompTranslation *translation, int depth)
{
    const auto valueFor = [&](const TVLang_PropEntry &e) {
        if (translation)
            if (const TVLang_PropValueTranslation *t = translation->FindPropByID(e.iID))
                return t->wsValue;
        return e.wsDefLangValue;
    };
    for (const vcl::TPropInfo &prop : vcl::GetPropList(obj)) {
        QObject *sub = nullptr;
        vcl::TObjectKind kind = vcl::TObjectKind::okOther;
        if (!Considered(obj, isComponent, prop, sub, kind))
            continue;
        const QString path = JoinPath(prefix, prop.Name);
        if (!sub) {
            if (const TVLang_PropEntry *e = entries.FindPropByName(path))
                vcl::SetStrProp(obj, prop, valueFor(*e));
        } else if (kind == vcl::TObjectKind::okStrings) {
            if (const TVLang_PropEntry *e = entries.FindPropByName(path))
                static_cast<TStrings *>(sub)->SetText(valueFor(*e));
        } else if (depth < MaxObjectDepth) {
            if (kind == vcl::TObjectKind::okCollection) {
                auto *collection = static_cast<TCollection *>(sub);
                for (int i = 0; i < collection->Count(); ++i)
                    ApplyValues(collection->Items(i), false, path + QStringLiteral("[%1]").arg(i), entries,
                                translation, depth + 1);
            } else {
                ApplyValues(sub, false, path, entries, translation, depth + 1);
            }
        }
    }
}

} // namespace

void TVLang_CompEntry::ApplyTranslation(const TVLang_CompTranslation *Translation)
{
    if (FPropEntries)
        if (QObject *component = Component())
            ApplyValues(component, vcl::AsComponent(component) != nullptr, QString(), *FPropEntries, Translation,
                        0);
    if (FOwnedCompEntries)
        for (int i = 0; i < FOwnedCompEntries->Count(); ++i)
            FOwnedCompEntries->Items(i)->ApplyTranslation(Translation);
}

void TVLang_CompEntry::BindToComponent(QObject *AComponent)
{
    SetComponent(AComponent);
    if (!AComponent)
        return;
    FName.clear();
    if (!FOwnedCompEntries)
        return;
    // The owned components by name (ignoring case; the first of equal names
    // wins), looked up once instead of a scan per entry.
    QHash<QString, QObject *> byName;
    for (QObject *c : vcl::Components(AComponent))
        if (!c->objectName().isEmpty()) {
            const QString key = c->objectName().toCaseFolded();
            if (!byName.contains(key))
                byName.insert(key, c);
        }
    for (int i = FOwnedCompEntries->Count() - 1; i >= 0; --i) {
        TVLang_CompEntry *child = FOwnedCompEntries->Items(i);
        if (child->FName.isEmpty())
            continue;
        QObject *found = byName.value(child->FName.toCaseFolded());
        if (found && !VLang_IsLanguageController(found))
            child->BindToComponent(found);
        else
            FOwnedCompEntries->Delete(i);
    }
    if (FOwnedCompEntries->Count() == 0)
        FOwnedCompEntries.reset();
}

void TVLang_CompEntry::RemoveComponent(const QObject *AComponent, bool bRecursive)
{
    if (!FOwnedCompEntries)
        return;
    const int i = FOwnedCompEntries->IndexOfComponent(AComponent);
    if (i >= 0) {
        FOwnedCompEntries->Delete(i);
        if (FOwnedCompEntries->Count() == 0) {
            FOwnedCompEntries.reset();
            return;
        }
    }
    if (bRecursive)
        for (int j = 0; j < FOwnedCompEntries->Count(); ++j)
            FOwnedCompEntries->Items(j)->RemoveComponent(AComponent, true);
}

qint32 TVLang_CompEntry::MaxPropEntryID() const
{
    qint32 result = FPropEntries ? FPropEntries->MaxID() : 0;
    if (FOwnedCompEntries)
        for (int i = 0; i < FOwnedCompEntries->Count(); ++i)
            result = std::max(result, FOwnedCompEntries->Items(i)->MaxPropEntryID());
    return result;
}

void TVLang_CompEntry::ResetValidatedTree()
{
    if (FPropEntries)
        FPropEntries->ResetValidated();
    if (FOwnedCompEntries)
        for (int i = 0; i < FOwnedCompEntries->Count(); ++i)
            FOwnedCompEntries->Items(i)->ResetValidatedTree();
}

void TVLang_CompEntry::LoadLangData(QIODevice &Stream)
{
    LoadLangData(Stream, 0);
}

void TVLang_CompEntry::LoadLangData(QIODevice &Stream, int depth)
{
    using namespace StreamPrimitives;
    try {
        if (depth > MaxDepth)
            throw EVLangError(QStringLiteral("LangData nests components deeper than %1 levels").arg(MaxDepth));
        FName = GetUtf8String(Stream);
        if (GetBool(Stream)) {
            if (!FPropEntries)
                FPropEntries = std::make_unique<TVLang_PropEntries>();
            FPropEntries->LoadLangData(Stream);
        }
        if (GetBool(Stream)) {
            if (!FOwnedCompEntries)
                FOwnedCompEntries = std::make_unique<TVLang_CompEntries>(this);
            FOwnedCompEntries->LoadLangData(Stream, depth);
        }
    } catch (...) {
        FName.clear();
        FPropEntries.reset();
        FOwnedCompEntries.reset();
        throw;
    }
}

void TVLang_CompEntry::SaveLangData(QIODevice &Stream) const
{
    using namespace StreamPrimitives;
    PutUtf8String(Stream, Name());
    PutBool(Stream, FPropEntries != nullptr);
    if (FPropEntries)
        FPropEntries->SaveLangData(Stream);
    PutBool(Stream, FOwnedCompEntries != nullptr);
    if (FOwnedCompEntries)
        FOwnedCompEntries->SaveLangData(Stream);
}

void TVLang_CompEntry::WriteSourceLines(QStringList &lines) const
{
    if (FPropEntries) {
        const QString compPath = GetComponentNamePath(false);
        const QString prefix = compPath.isEmpty() ? QString() : compPath + QLatin1Char('.');
        for (int i = 0; i < FPropEntries->Count(); ++i) {
            const TVLang_PropEntry &e = FPropEntries->Items(i);
            lines.append(
                QStringLiteral("%1%2=%3,%4")
                    .arg(prefix, e.wsPropName, QString::asprintf("%.8d", e.iID), EscapeValue(e.wsDefLangValue)));
        }
    }
    if (FOwnedCompEntries)
        for (int i = 0; i < FOwnedCompEntries->Count(); ++i)
            FOwnedCompEntries->Items(i)->WriteSourceLines(lines);
}
