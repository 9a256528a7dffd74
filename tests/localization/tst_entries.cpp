// SPDX-License-Identifier: MIT
// The entry tree over a window of test components: which properties become
// entries, how IDs are given and kept, masks and value filters, binding by
// name, removal, applying a translation and the language-source lines.
#include "EntriesFixture.h"

#include "localization/CompEntries.h"
#include "localization/MaskList.h"
#include "localization/Translations.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Options
{
    bool modify = true;
    bool ignoreEmpty = true;
    bool ignoreNonAlpha = true;
    bool ignoreFonts = true;
    QStringList ignore;
    QStringList store;

    Options &Modify(bool v)
    {
        modify = v;
        return *this;
    }
    Options &Filters(bool empty, bool nonAlpha)
    {
        ignoreEmpty = empty;
        ignoreNonAlpha = nonAlpha;
        return *this;
    }
    Options &Fonts(bool v)
    {
        ignoreFonts = v;
        return *this;
    }
    Options &Ignore(const QStringList &v)
    {
        ignore = v;
        return *this;
    }
    Options &Store(const QStringList &v)
    {
        store = v;
        return *this;
    }
};

void Update(TVLang_CompEntry &root, const Options &o = Options())
{
    const TVLang_MaskList ignore(o.ignore);
    const TVLang_MaskList store(o.store);
    root.UpdateEntries(o.modify, o.ignoreEmpty, o.ignoreNonAlpha, o.ignoreFonts, ignore, store);
}

QStringList SourceLines(const TVLang_CompEntry &root)
{
    QStringList lines;
    root.WriteSourceLines(lines);
    return lines;
}

QByteArray Save(const TVLang_CompEntry &root)
{
    QBuffer b;
    b.open(QIODevice::WriteOnly);
    root.SaveLangData(b);
    return b.data();
}

std::unique_ptr<TVLang_CompEntry> Load(const QByteArray &data)
{
    QBuffer b;
    b.setData(data);
    b.open(QIODevice::ReadOnly);
    auto root = std::make_unique<TVLang_CompEntry>();
    root->LoadLangData(b);
    return root;
}

// The ID of the property path "component.path" ("" component for the window).
qint32 IdOf(const TVLang_CompEntry &root, const QString &line)
{
    for (const QString &l : SourceLines(root))
        if (l.startsWith(line + QLatin1Char('=')))
            return l.mid(line.size() + 1, 8).toInt();
    return 0;
}

class Entries : public ::testing::Test
{
protected:
    Entries()
    {
        form.SetCaption(QStringLiteral("Ventana principal"));
        lbl1->SetCaption(QStringLiteral("Etiqueta"));
        lbl1->SetHint(QStringLiteral("Ayuda"));
        lbl1->Lines()->SetText(QStringLiteral("uno\r\ndos\r\n"));
        lbl1->AddColumn(QStringLiteral("Nombre"));
        lbl1->AddColumn(QStringLiteral("Tamaño"));
        lbl1->SetAnsiText("Texto");
        lbl1->SetBorrowed(QStringLiteral("Prestado"));
        lbl1->SetPopupMenu(pm1);
        frame1->SetCaption(QStringLiteral("Marco"));
        btnA->SetCaption(QStringLiteral("Aceptar"));
        btnB->SetCaption(QStringLiteral("Cancelar"));
        pm1->SetCaption(QStringLiteral("Menú"));
        unnamed->SetCaption(QStringLiteral("Sin nombre"));
        root.BindToComponent(&form);
    }

    TTestForm form{nullptr, QStringLiteral("Form1")};
    TTestLabel *lbl1 = new TTestLabel(&form, QStringLiteral("lbl1"));
    TTestFrame *frame1 = new TTestFrame(&form, QStringLiteral("frame1"));
    TTestLabel *btnA = new TTestLabel(frame1, QStringLiteral("btnA"));
    TTestLabel *btnB = new TTestLabel(frame1, QStringLiteral("btnB"));
    TTestLabel *pm1 = new TTestLabel(&form, QStringLiteral("pm1"));
    TTestLabel *unnamed = new TTestLabel(&form);
    TVLang_CompEntry root;
};

TEST_F(Entries, FirstUpdateListsTranslatablePropertiesInWalkOrder)
{
    Update(root);
    // IDs follow the walk (components in order, properties in declaration
    // order); lines are sorted by property path within each component. The
    // component's Name, the read-only and unstored texts, the font (fonts
    // excluded), the referenced component pm1, the empty Hint of the window
    // and the unnamed label give nothing.
    EXPECT_EQ(SourceLines(root),
              (QStringList{
                  "Caption=00000001,Ventana principal",
                  "lbl1.AnsiText=00000007,Texto",
                  "lbl1.Borrowed=00000008,Prestado",
                  "lbl1.Caption=00000002,Etiqueta",
                  "lbl1.Columns[0].Caption=00000005,Nombre",
                  "lbl1.Columns[1].Caption=00000006,Tamaño",
                  "lbl1.Hint=00000003,Ayuda",
                  "lbl1.Lines=00000004,uno\\ndos\\n",
                  "frame1.Caption=00000009,Marco",
                  "frame1.btnA.Caption=00000010,Aceptar",
                  "frame1.btnB.Caption=00000011,Cancelar",
                  "pm1.Caption=00000012,Menú",
              }));
    EXPECT_EQ(root.MaxPropEntryID(), 12);
    ASSERT_NE(root.OwnedCompEntries(), nullptr);
    EXPECT_EQ(root.OwnedCompEntries()->Count(), 3);
    EXPECT_EQ(root.OwnedCompEntries()->Items(1)->GetComponentNamePath(true), QStringLiteral("Form1.frame1"));
    EXPECT_EQ(root.OwnedCompEntries()->Items(1)->OwnedCompEntries()->Items(0)->GetComponentNamePath(false),
              QStringLiteral("frame1.btnA"));
    EXPECT_EQ(root.GetComponentNamePath(false), QString());
    EXPECT_EQ(root.GetComponentNamePath(true), QStringLiteral("Form1"));
}

TEST_F(Entries, SecondUpdateChangesNothing)
{
    Update(root);
    const QByteArray first = Save(root);
    const QStringList lines = SourceLines(root);
    Update(root);
    EXPECT_EQ(Save(root), first);
    EXPECT_EQ(SourceLines(root), lines);
}

TEST_F(Entries, NewPropertyGetsOneAboveTheHighestAndFreedIdsAreNotReused)
{
    Update(root);
    // lbl1.Hint (3) goes away: its ID is free for good.
    lbl1->SetHint(QString());
    Update(root);
    EXPECT_EQ(IdOf(root, "lbl1.Hint"), 0);
    btnA->SetHint(QStringLiteral("Pulsar para aceptar"));
    Update(root);
    EXPECT_EQ(IdOf(root, "frame1.btnA.Hint"), 13);
    lbl1->SetHint(QStringLiteral("Ayuda"));
    Update(root);
    EXPECT_EQ(IdOf(root, "lbl1.Hint"), 14);

    // The highest ID is the one exception: removed and added again, the next
    // property gets it back.
    lbl1->SetHint(QString());
    Update(root);
    pm1->SetHint(QStringLiteral("Menú emergente"));
    Update(root);
    EXPECT_EQ(IdOf(root, "pm1.Hint"), 14);
    EXPECT_EQ(IdOf(root, "lbl1.Caption"), 2);
}

TEST_F(Entries, ReorderingComponentsOrAddingEarlierPropertiesChangesNoId)
{
    Update(root);
    const QStringList before = SourceLines(root);
    // lbl1 moves behind pm1 and btnB in front of btnA.
    lbl1->setParent(nullptr);
    lbl1->setParent(&form);
    btnA->setParent(nullptr);
    btnA->setParent(frame1);
    Update(root);
    QStringList after = SourceLines(root);
    after.sort();
    QStringList sorted = before;
    sorted.sort();
    EXPECT_EQ(after, sorted);

    // A property that sorts before every other one of its component.
    btnB->SetAnsiText("Atajo");
    Update(root);
    EXPECT_EQ(IdOf(root, "frame1.btnB.AnsiText"), 13);
    EXPECT_EQ(IdOf(root, "frame1.btnB.Caption"), 11);
    // Entries of a component still exist when nothing of it is translatable.
    pm1->SetCaption(QStringLiteral("-"));
    Update(root);
    EXPECT_NE(root.OwnedCompEntries()->IndexOfComponent(pm1), -1);
    EXPECT_EQ(root.OwnedCompEntries()->FindComponent(pm1)->PropEntries(), nullptr);
}

TEST_F(Entries, RenamedComponentLosesItsIdsAtBinding)
{
    Update(root);
    const QByteArray block = Save(root);
    btnA->setObjectName(QStringLiteral("btnAceptar"));
    auto loaded = Load(block);
    loaded->BindToComponent(&form);
    EXPECT_EQ(loaded->OwnedCompEntries()->FindComponent(frame1)->OwnedCompEntries()->Count(), 1);
    EXPECT_EQ(loaded->OwnedCompEntries()->FindComponent(frame1)->OwnedCompEntries()->IndexOfCompName("BTNB"), 0);
    Update(*loaded);
    EXPECT_EQ(IdOf(*loaded, "frame1.btnAceptar.Caption"), 13);
    EXPECT_EQ(IdOf(*loaded, "frame1.btnB.Caption"), 11);
    EXPECT_EQ(IdOf(*loaded, "lbl1.Caption"), 2);
}

TEST_F(Entries, BindingDropsEntriesOfMissingComponentsAndEmptyChildLists)
{
    Update(root);
    const QByteArray block = Save(root);
    delete btnA;
    delete btnB;
    auto loaded = Load(block);
    loaded->BindToComponent(&form);
    EXPECT_EQ(loaded->Component(), &form);
    const TVLang_CompEntry *frame = loaded->OwnedCompEntries()->FindComponent(frame1);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->OwnedCompEntries(), nullptr);
    // Without a component, binding stops at the entry itself.
    auto unbound = Load(block);
    unbound->BindToComponent(nullptr);
    EXPECT_EQ(unbound->OwnedCompEntries()->Count(), 3);
    EXPECT_EQ(unbound->OwnedCompEntries()->Items(0)->Name(), QStringLiteral("lbl1"));
}

TEST_F(Entries, MasksMatchAgainstComponentPathDotPropertyPath)
{
    struct Case
    {
        QStringList ignore;
        QStringList gone;
        QStringList kept;
    };
    const Case cases[] = {
        {{".Caption"}, {"Caption"}, {"lbl1.Caption", "pm1.Caption"}},
        {{"Caption"}, {}, {"Caption", "lbl1.Caption"}},
        {{"*.Caption"},
         {"Caption", "lbl1.Caption", "frame1.btnA.Caption", "lbl1.Columns[0].Caption"},
         {"lbl1.Hint"}},
        // An object-kind property masked away takes everything beneath it.
        {{"lbl1.Columns"}, {"lbl1.Columns[0].Caption", "lbl1.Columns[1].Caption"}, {"lbl1.Caption"}},
        {{"frame1.*"}, {"frame1.Caption", "frame1.btnA.Caption"}, {"lbl1.Caption"}},
        {{"*1.[!c]*"}, {"lbl1.Hint", "lbl1.Lines", "lbl1.AnsiText"}, {"lbl1.Caption", "Caption"}},
    };
    for (const Case &c : cases) {
        TVLang_CompEntry r;
        r.BindToComponent(&form);
        Update(r, Options().Ignore(c.ignore));
        for (const QString &p : c.gone)
            EXPECT_EQ(IdOf(r, p), 0) << c.ignore.join(',').toStdString() << " keeps " << p.toStdString();
        for (const QString &p : c.kept)
            EXPECT_NE(IdOf(r, p), 0) << c.ignore.join(',').toStdString() << " drops " << p.toStdString();
    }
}

TEST_F(Entries, StoreMasksTakeUnstoredProperties)
{
    lbl1->BorrowedFromElsewhere = true;
    Update(root);
    EXPECT_EQ(IdOf(root, "lbl1.Borrowed"), 0);
    EXPECT_EQ(IdOf(root, "lbl1.Computed"), 0);
    Update(root, Options().Store({"lbl1.Computed", "*.Borrowed"}));
    // Walk order: Computed is declared before Borrowed.
    EXPECT_EQ(IdOf(root, "lbl1.Computed"), 12);
    EXPECT_EQ(IdOf(root, "lbl1.Borrowed"), 13);
}

TEST_F(Entries, ValueFilters)
{
    const QString values[] = {"-", "0%", "", "Español", "5 sg."};
    struct Case
    {
        bool ignoreEmpty;
        bool ignoreNonAlpha;
        QList<bool> listed;
    };
    const Case cases[] = {
        {true, true, {false, false, false, true, true}},
        {false, true, {false, false, false, true, true}},
        {true, false, {true, true, false, true, true}},
        {false, false, {true, true, true, true, true}},
    };
    TTestForm w(nullptr, QStringLiteral("W"));
    QList<TTestLabel *> items;
    for (int i = 0; i < 5; ++i) {
        items << new TTestLabel(&w, QStringLiteral("item%1").arg(i));
        items.last()->SetCaption(values[i]);
    }
    for (const Case &c : cases) {
        TVLang_CompEntry r;
        r.BindToComponent(&w);
        Update(r, Options().Filters(c.ignoreEmpty, c.ignoreNonAlpha));
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(IdOf(r, QStringLiteral("item%1.Caption").arg(i)) != 0, c.listed[i])
                << "value '" << values[i].toStdString() << "' empty=" << c.ignoreEmpty
                << " nonalpha=" << c.ignoreNonAlpha;
    }
    // Letters of any script count, also outside the basic plane.
    items[0]->SetCaption(QStringLiteral("1 \U0001D400"));
    items[1]->SetCaption(QStringLiteral("2 \u0416"));
    TVLang_CompEntry r;
    r.BindToComponent(&w);
    Update(r);
    EXPECT_NE(IdOf(r, "item0.Caption"), 0);
    EXPECT_NE(IdOf(r, "item1.Caption"), 0);
}

TEST_F(Entries, FontNameIsWalkedOnlyWhenFontsAreNotIgnoredAndComponentNameNever)
{
    Update(root, Options().Fonts(false));
    EXPECT_EQ(IdOf(root, "Caption"), 1);
    EXPECT_EQ(IdOf(root, "Font.Name"), 2);
    EXPECT_NE(IdOf(root, "lbl1.Font.Name"), 0);
    EXPECT_EQ(IdOf(root, "Name"), 0);
    EXPECT_EQ(IdOf(root, "lbl1.Name"), 0);
    // Switching fonts off again drops those entries.
    Update(root);
    EXPECT_EQ(IdOf(root, "lbl1.Font.Name"), 0);
    EXPECT_NE(IdOf(root, "lbl1.Caption"), 0);
}

TEST_F(Entries, UpdateWithoutModifyOnlyRecordsListedValues)
{
    Update(root);
    const QByteArray block = Save(root);
    lbl1->SetCaption(QStringLiteral("Otra etiqueta"));
    btnB->SetHint(QStringLiteral("No listado"));
    Update(root, Options().Modify(false));
    EXPECT_EQ(Save(root), block);
    EXPECT_TRUE(SourceLines(root).contains("lbl1.Caption=00000002,Otra etiqueta"));
    EXPECT_EQ(IdOf(root, "frame1.btnB.Hint"), 0);

    // An unbound tree freshly read from a block records nothing and keeps its IDs.
    auto loaded = Load(block);
    loaded->BindToComponent(&form);
    Update(*loaded, Options().Modify(false));
    EXPECT_EQ(Save(*loaded), block);
    EXPECT_TRUE(SourceLines(*loaded).contains("lbl1.Lines=00000004,uno\\ndos\\n"));
}

TEST_F(Entries, ApplyTranslationWithSectionAndBackWithNone)
{
    Update(root);
    TVLang_CompTranslation section(QStringLiteral("Form1"));
    section.Add(1, QStringLiteral("Main window"));
    section.Add(2, QStringLiteral("Label"));
    section.Add(4, QStringLiteral("one\r\ntwo\r\nthree"));
    section.Add(6, QStringLiteral("Size"));
    section.Add(7, QStringLiteral("Text"));
    section.Add(10, QStringLiteral("OK"));
    section.Add(99, QStringLiteral("no such property"));
    root.ApplyTranslation(&section);
    EXPECT_EQ(form.Caption(), QStringLiteral("Main window"));
    EXPECT_EQ(lbl1->Caption(), QStringLiteral("Label"));
    EXPECT_EQ(lbl1->Hint(), QStringLiteral("Ayuda")); // not in the section: source value
    EXPECT_EQ(lbl1->Lines()->Lines(), (QStringList{"one", "two", "three"}));
    EXPECT_EQ(static_cast<TTestColumn *>(lbl1->Columns()->Items(1))->Caption(), QStringLiteral("Size"));
    EXPECT_EQ(lbl1->AnsiText(), QByteArray("Text"));
    EXPECT_EQ(btnA->Caption(), QStringLiteral("OK"));
    EXPECT_EQ(lbl1->Computed(), QStringLiteral("Calculado")); // no entry: untouched

    // A value changed in code after loading is replaced as well.
    btnB->SetCaption(QStringLiteral("cambiado en código"));
    root.ApplyTranslation(nullptr);
    EXPECT_EQ(form.Caption(), QStringLiteral("Ventana principal"));
    EXPECT_EQ(lbl1->Caption(), QStringLiteral("Etiqueta"));
    EXPECT_EQ(lbl1->Lines()->Text(), QStringLiteral("uno\r\ndos\r\n"));
    EXPECT_EQ(static_cast<TTestColumn *>(lbl1->Columns()->Items(1))->Caption(), QStringLiteral("Tamaño"));
    EXPECT_EQ(lbl1->AnsiText(), QByteArray("Texto"));
    EXPECT_EQ(btnA->Caption(), QStringLiteral("Aceptar"));
    EXPECT_EQ(btnB->Caption(), QStringLiteral("Cancelar"));
}

TEST_F(Entries, ApplyTranslationWritesFontNamesOnlyWhenListed)
{
    Update(root, Options().Fonts(false));
    TVLang_CompTranslation section(QStringLiteral("Form1"));
    section.Add(IdOf(root, "lbl1.Font.Name"), QStringLiteral("DejaVu Sans"));
    root.ApplyTranslation(&section);
    EXPECT_EQ(lbl1->Font()->Name(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(btnA->Font()->Name(), QStringLiteral("Segoe UI"));
}

TEST_F(Entries, RemoveComponentDropsTheSubtreeAndLaterPassesSkipIt)
{
    Update(root);
    root.RemoveComponent(btnA, false); // not a direct child: nothing
    EXPECT_NE(IdOf(root, "frame1.btnA.Caption"), 0);
    root.RemoveComponent(btnA, true);
    EXPECT_EQ(IdOf(root, "frame1.btnA.Caption"), 0);
    EXPECT_NE(IdOf(root, "frame1.btnB.Caption"), 0);
    root.RemoveComponent(frame1, true);
    EXPECT_EQ(root.OwnedCompEntries()->IndexOfComponent(frame1), -1);
    EXPECT_EQ(root.OwnedCompEntries()->Count(), 2);
    root.RemoveComponent(lbl1, true);
    root.RemoveComponent(pm1, true);
    EXPECT_EQ(root.OwnedCompEntries(), nullptr);
    root.ApplyTranslation(nullptr);
    EXPECT_EQ(form.Caption(), QStringLiteral("Ventana principal"));
}

TEST_F(Entries, ComponentDestroyedWithoutNoticeIsNeverReached)
{
    Update(root);
    delete lbl1;
    lbl1 = nullptr;
    root.ApplyTranslation(nullptr); // must not touch the dead label
    Update(root, Options().Modify(false));
    Update(root);
    EXPECT_EQ(IdOf(root, "lbl1.Caption"), 0);
    EXPECT_EQ(IdOf(root, "pm1.Caption"), 12);
}

} // namespace
