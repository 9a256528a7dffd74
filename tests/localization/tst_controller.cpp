// SPDX-License-Identifier: MIT
// The language controller on a window of test components: defaults, section
// names, the manager calls of its lifecycle, loading its LangData, the
// removal notification, a second controller, and source export.
#include "EntriesFixture.h"

#include "localization/ControllerManager.h"
#include "localization/LanguageController.h"
#include "localization/SystemErrors.h"
#include "localization/Translations.h"
#include "localization/VLangError.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

// Records what controllers ask of the manager.
class RecordingManager : public IVLang_ControllerManager
{
public:
    RecordingManager() { FPrevious = VLang_SetControllerManager(this); }
    ~RecordingManager() override { VLang_SetControllerManager(FPrevious); }

    void AttachController(TVLanguageController *c) override { Calls << QStringLiteral("attach %1").arg(Id(c)); }
    void DetachController(TVLanguageController *c) override { Calls << QStringLiteral("detach %1").arg(Id(c)); }
    void TranslateLoadedController(TVLanguageController *c) override
    {
        Calls << QStringLiteral("translate %1 %2").arg(Id(c)).arg(c->RootCompEntry().MaxPropEntryID());
        // The window is loaded: its source values are recorded by now.
        QStringList lines;
        c->WriteSourceLines(lines, {});
        Lines = lines;
    }

    QStringList Calls;
    QStringList Lines;

private:
    static QString Id(const TVLanguageController *c)
    {
        return c->objectName().isEmpty() ? QStringLiteral("?") : c->objectName();
    }
    IVLang_ControllerManager *FPrevious;
};

QByteArray Block(TVLanguageController &c)
{
    QByteArray data;
    EXPECT_TRUE(c.WriteBlock(QStringLiteral("LangData"), data));
    return data;
}

class Controller : public ::testing::Test
{
protected:
    Controller()
    {
        form.SetCaption(QStringLiteral("Ventana"));
        lbl->SetCaption(QStringLiteral("Inicializando..."));
        sql->SetCaption(QStringLiteral("SELECT * FROM Win32_LogicalDisk"));
        sep->SetCaption(QStringLiteral("-"));
        item->SetCaption(QStringLiteral("Español"));
        item->SetHint(QStringLiteral("Idioma"));
    }

    // A controller as a window definition creates it: constructed, its block
    // handed over, then Loaded.
    TVLanguageController *LoadController(const QByteArray &block, const QString &name = QStringLiteral("vlLC"))
    {
        auto *c = new TVLanguageController(&form);
        c->setObjectName(name);
        c->SetIgnoreList({QStringLiteral("*SQL*"), QStringLiteral(".SQL"), QStringLiteral("SQL")});
        c->BeginLoading();
        if (!block.isNull()) {
            EXPECT_TRUE(c->ReadBlock(QStringLiteral("LangData"), block));
        }
        c->Loaded();
        return c;
    }

    RecordingManager manager;
    TTestForm form{nullptr, QStringLiteral("FormTest")};
    TTestLabel *lbl = new TTestLabel(&form, QStringLiteral("lblIni"));
    TTestLabel *sql = new TTestLabel(&form, QStringLiteral("WMISQL"));
    TTestLabel *sep = new TTestLabel(&form, QStringLiteral("N4"));
    TTestLabel *item = new TTestLabel(&form, QStringLiteral("Espaol1"));
};

TEST_F(Controller, DefaultsAndSectionName)
{
    TVLanguageController c(&form);
    EXPECT_EQ(c.Options(),
              TVLanguageControllerOptions(vlcoAutoSaveLangSource | vlcoIgnoreEmptyProps | vlcoIgnoreNonAlphaProps
                                          | vlcoIgnoreFontProps));
    EXPECT_EQ(c.Options().toInt(), 15);
    EXPECT_FALSE(c.IsStored("Options"));
    c.SetOptions(c.Options() & ~TVLanguageControllerOptions(vlcoAutoSaveLangSource));
    EXPECT_TRUE(c.IsStored("Options"));
    EXPECT_EQ(c.property("Options").toInt(), 14);

    EXPECT_EQ(c.SectionName(), QString());
    EXPECT_EQ(c.ActualSectionName(), QStringLiteral("FormTest"));
    EXPECT_EQ(c.SourceSectionName(), QStringLiteral("FormTest"));
    c.SetSectionName(QStringLiteral("Otra_2"));
    EXPECT_EQ(c.ActualSectionName(), QStringLiteral("Otra_2"));

    // Sorted, duplicates dropped, a copy of the given lines.
    QStringList given{"SQL", "*SQL*", ".SQL", "sql"};
    c.SetIgnoreList(given);
    given.clear();
    EXPECT_EQ(c.IgnoreList(), (QStringList{"*SQL*", ".SQL", "SQL"}));
    c.SetStoreList({"b", "a", "b"});
    EXPECT_EQ(c.StoreList(), (QStringList{"a", "b"}));
    TVLanguageController orphan;
    EXPECT_EQ(orphan.ActualSectionName(), QString());
}

TEST_F(Controller, LifecycleAttachesTranslatesAfterRecordingAndDetaches)
{
    auto *c = LoadController(QByteArray());
    // Created without a block, it keeps no IDs; a design-time write gives them.
    EXPECT_EQ(manager.Calls, (QStringList{"attach ?", "translate vlLC 0"}));
    const QByteArray block = Block(*c);
    delete c;
    EXPECT_EQ(manager.Calls.last(), QStringLiteral("detach vlLC"));

    manager.Calls.clear();
    lbl->SetCaption(QStringLiteral("Cambiado antes de cargar"));
    c = LoadController(block);
    EXPECT_EQ(manager.Calls, (QStringList{"attach ?", "translate vlLC 4"}));
    EXPECT_EQ(manager.Lines,
              (QStringList{"Caption=00000001,Ventana", "lblIni.Caption=00000002,Cambiado antes de cargar",
                           "Espaol1.Caption=00000003,Español", "Espaol1.Hint=00000004,Idioma"}));
    delete c;
}

TEST_F(Controller, LoadingBindsTheBlockAndRecordsSourceValuesWithoutNewIds)
{
    auto *designer = LoadController(QByteArray());
    const QByteArray block = Block(*designer);
    delete designer;
    // A component added since the block was written gets no entry at run time.
    auto *added = new TTestLabel(&form, QStringLiteral("nuevo"));
    added->SetCaption(QStringLiteral("Nuevo"));
    auto *c = LoadController(block);
    QByteArray after;
    {
        QBuffer b;
        b.open(QIODevice::WriteOnly);
        c->RootCompEntry().SaveLangData(b);
        after = b.data();
    }
    EXPECT_EQ(after, block);
    // Writing the definition (design time) gives it the next ID.
    QStringList lines;
    ASSERT_TRUE(c->PrepareSourceExport());
    c->WriteSourceLines(lines, {});
    EXPECT_TRUE(lines.contains("nuevo.Caption=00000005,Nuevo"));
    delete c;
}

TEST_F(Controller, ApplyingThroughTheTreeAndTheEvents)
{
    auto *designer = LoadController(QByteArray());
    const QByteArray block = Block(*designer);
    delete designer;
    auto *c = LoadController(block);
    QStringList events;
    c->SetOnLanguageChanging([&](QObject *sender) { events << QStringLiteral("changing %1").arg(sender == c); });
    c->SetOnLanguageChanged([&](QObject *sender) { events << QStringLiteral("changed %1").arg(sender == c); });
    TVLang_CompTranslation section(c->ActualSectionName());
    section.Add(3, QStringLiteral("Spanish"));
    c->DoLanguageChanging();
    c->RootCompEntry().ApplyTranslation(&section);
    c->DoLanguageChanged();
    EXPECT_EQ(events, (QStringList{"changing 1", "changed 1"}));
    EXPECT_EQ(item->Caption(), QStringLiteral("Spanish"));
    EXPECT_EQ(sql->Caption(), QStringLiteral("SELECT * FROM Win32_LogicalDisk"));
    c->RootCompEntry().ApplyTranslation(nullptr);
    EXPECT_EQ(item->Caption(), QStringLiteral("Español"));
    delete c;
}

TEST_F(Controller, DestroyedComponentIsDroppedAndNeverTouchedAgain)
{
    auto *designer = LoadController(QByteArray());
    const QByteArray block = Block(*designer);
    delete designer;
    auto *c = LoadController(block);
    ASSERT_NE(c->RootCompEntry().OwnedCompEntries()->FindComponent(item), nullptr);
    delete item;
    item = nullptr;
    EXPECT_EQ(c->RootCompEntry().OwnedCompEntries()->IndexOfCompName(QStringLiteral("Espaol1")), -1);
    // Another component allocated afterwards, maybe at the same address, is
    // not mistaken for it.
    auto *other = new TTestLabel(&form, QStringLiteral("Ingls1"));
    other->SetCaption(QStringLiteral("Inglés"));
    TVLang_CompTranslation section(c->ActualSectionName());
    section.Add(3, QStringLiteral("Spanish"));
    c->RootCompEntry().ApplyTranslation(&section);
    EXPECT_EQ(other->Caption(), QStringLiteral("Inglés"));
    c->RootCompEntry().ApplyTranslation(nullptr);
    // A component of a frame goes the same way.
    auto *frame = new TTestFrame(&form, QStringLiteral("frame"));
    auto *inner = new TTestLabel(frame, QStringLiteral("inner"));
    inner->SetCaption(QStringLiteral("Dentro"));
    c->RefreshEntries(true);
    ASSERT_NE(c->RootCompEntry().OwnedCompEntries()->FindComponent(frame)->OwnedCompEntries(), nullptr);
    delete inner;
    EXPECT_EQ(c->RootCompEntry().OwnedCompEntries()->FindComponent(frame)->OwnedCompEntries(), nullptr);
    // The controller's own removal does not touch the tree.
    const int before = c->RootCompEntry().OwnedCompEntries()->Count();
    c->Notification(c, vcl::TOperation::opRemove);
    EXPECT_EQ(c->RootCompEntry().OwnedCompEntries()->Count(), before);
    delete c;
}

TEST_F(Controller, SecondControllerOnTheWindowIsInNeitherTree)
{
    auto *first = LoadController(QByteArray(), QStringLiteral("vlLC"));
    auto *second = LoadController(QByteArray(), QStringLiteral("vlLC2"));
    first->RefreshEntries(true);
    second->RefreshEntries(true);
    for (TVLanguageController *c : {first, second}) {
        EXPECT_EQ(c->RootCompEntry().OwnedCompEntries()->FindComponent(first), nullptr);
        EXPECT_EQ(c->RootCompEntry().OwnedCompEntries()->FindComponent(second), nullptr);
    }
    delete second;
    delete first;
}

TEST_F(Controller, InvalidMaskFailsTheLoadAndCutShortBlockTooThenNothingIsLeft)
{
    auto *c = new TVLanguageController(&form);
    c->SetIgnoreList({QStringLiteral("lbl[")});
    c->BeginLoading();
    try {
        c->Loaded();
        ADD_FAILURE() << "invalid mask accepted";
    } catch (const EVLangError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'lbl[' is an invalid mask at (5)"));
    }
    delete c;

    c = LoadController(QByteArray());
    const QByteArray block = Block(*c);
    delete c;
    c = new TVLanguageController(&form);
    EXPECT_THROW(c->ReadBlock(QStringLiteral("LangData"), block.left(block.size() - 1)), EReadError);
    EXPECT_FALSE(c->ReadBlock(QStringLiteral("StoredTranslationFiles"), block));
    delete c;
}

TEST_F(Controller, OptionsDecideTheEntriesExceptAutoSave)
{
    const auto linesWith = [&](TVLanguageControllerOptions options) {
        auto *c = LoadController(QByteArray());
        c->SetOptions(options);
        QStringList lines;
        c->PrepareSourceExport();
        c->WriteSourceLines(lines, {});
        delete c;
        return lines;
    };
    const QStringList all = linesWith(TVLanguageController::DefaultOptions);
    EXPECT_EQ(
        linesWith(TVLanguageController::DefaultOptions & ~TVLanguageControllerOptions(vlcoAutoSaveLangSource)),
        all);
    const auto has = [](const QStringList &lines, const QString &path, const QString &value) {
        for (const QString &l : lines)
            if (l.startsWith(path + QLatin1Char('=')) && l.endsWith(QLatin1Char(',') + value))
                return true;
        return false;
    };
    EXPECT_TRUE(has(linesWith({}), "N4.Caption", "-"));
    EXPECT_FALSE(has(all, "N4.Caption", "-"));
    const QStringList withFonts = linesWith(TVLanguageController::DefaultOptions
                                            & ~TVLanguageControllerOptions(vlcoIgnoreFontProps));
    EXPECT_TRUE(has(withFonts, "Font.Name", "Segoe UI"));
    EXPECT_TRUE(has(withFonts, "lblIni.Font.Name", "Segoe UI"));
    EXPECT_FALSE(has(withFonts, "N4.Caption", "-"));
    // The masks still apply: nothing of WMISQL.
    EXPECT_FALSE(linesWith({}).join(' ').contains("WMISQL"));
}

TEST_F(Controller, UnnamedWindowWritesNoBlockAndExportsNothing)
{
    TTestForm unnamed;
    TVLanguageController c(&unnamed);
    QByteArray data;
    EXPECT_FALSE(c.WriteBlock(QStringLiteral("LangData"), data));
    EXPECT_TRUE(data.isEmpty());
    EXPECT_FALSE(c.PrepareSourceExport());
    TVLanguageController orphan;
    EXPECT_FALSE(orphan.PrepareSourceExport());
    orphan.BeginLoading();
    EXPECT_NO_THROW(orphan.Loaded());
}

} // namespace
