// SPDX-License-Identifier: MIT
// The parts of the component model that the entry tree stands on: string
// lists as one text, collections, the reflection of published properties and
// the removal notification.
#include "EntriesFixture.h"

#include "vcl/Classes.h"
#include "vcl/Reflection.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

TEST(Strings, WholeTextAndItsReplacement)
{
    TStrings s;
    s.SetText(QStringLiteral("a\r\nb\nc\rd"));
    EXPECT_EQ(s.Lines(), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(s.Text(), QStringLiteral("a\r\nb\r\nc\r\nd\r\n"));
    s.SetText(QStringLiteral("x\r\n\r\ny\n"));
    EXPECT_EQ(s.Lines(), (QStringList{"x", "", "y"}));
    s.SetTrailingLineBreak(false);
    EXPECT_EQ(s.Text(), QStringLiteral("x\r\n\r\ny"));
    s.SetLineBreak(QStringLiteral("\n"));
    EXPECT_EQ(s.Text(), QStringLiteral("x\n\ny"));
    s.SetText(QString());
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.Text(), QString());
}

TEST(Strings, SortedListDropsDuplicatesIgnoringCase)
{
    TStrings s;
    s.Add(QStringLiteral("b"));
    s.Add(QStringLiteral("A"));
    s.SetSorted(true);
    s.SetDuplicates(TDuplicates::dupIgnore);
    EXPECT_EQ(s.Lines(), (QStringList{"A", "b"}));
    EXPECT_EQ(s.Add(QStringLiteral("a")), -1);
    EXPECT_EQ(s.Add(QStringLiteral("*x")), 0);
    EXPECT_EQ(s.Lines(), (QStringList{"*x", "A", "b"}));
}

TEST(Collection, ItemsKnowTheirIndex)
{
    TTestLabel label;
    TTestColumn *a = label.AddColumn(QStringLiteral("a"));
    TTestColumn *b = label.AddColumn(QStringLiteral("b"));
    EXPECT_EQ(label.Columns()->Count(), 2);
    EXPECT_EQ(b->Index(), 1);
    EXPECT_EQ(a->Collection(), label.Columns());
    label.Columns()->Delete(0);
    EXPECT_EQ(b->Index(), 0);
    label.Columns()->Clear();
    EXPECT_EQ(label.Columns()->Count(), 0);
}

TEST(Reflection, KindsAccessorsAndStoredCondition)
{
    TTestLabel label(nullptr, QStringLiteral("lbl"));
    QStringList names;
    QHash<QString, vcl::TPropInfo> byName;
    for (const vcl::TPropInfo &p : vcl::GetPropList(&label)) {
        names << p.Name;
        byName.insert(p.Name, p);
    }
    // Declaration order, base class first; Qt's own objectName is not published.
    EXPECT_EQ(names,
              (QStringList{"Name", "Caption", "Hint", "Tag", "Font", "Lines", "Columns", "AnsiText",
                           "ReadOnlyText", "Computed", "Borrowed", "PopupMenu"}));
    EXPECT_EQ(byName["Caption"].Kind, vcl::TTypeKind::tkUString);
    EXPECT_EQ(byName["AnsiText"].Kind, vcl::TTypeKind::tkLString);
    EXPECT_EQ(byName["Tag"].Kind, vcl::TTypeKind::tkOther);
    EXPECT_EQ(byName["Font"].Kind, vcl::TTypeKind::tkClass);
    EXPECT_EQ(byName["PopupMenu"].Kind, vcl::TTypeKind::tkClass);
    EXPECT_FALSE(byName["ReadOnlyText"].HasSetter);
    EXPECT_TRUE(byName["ReadOnlyText"].HasGetter);
    EXPECT_FALSE(vcl::IsStoredProp(&label, byName["Computed"]));
    EXPECT_TRUE(vcl::IsStoredProp(&label, byName["Borrowed"]));
    label.BorrowedFromElsewhere = true;
    EXPECT_FALSE(vcl::IsStoredProp(&label, byName["Borrowed"]));

    // 8-bit text goes through Latin-1 both ways.
    EXPECT_TRUE(vcl::SetStrProp(&label, byName["AnsiText"], QStringLiteral("Año")));
    EXPECT_EQ(label.AnsiText(), QByteArray("A\xf1o"));
    EXPECT_EQ(vcl::GetStrProp(&label, byName["AnsiText"]), QStringLiteral("Año"));

    QObject *font = vcl::GetObjectProp(&label, byName["Font"]);
    EXPECT_EQ(vcl::ClassName(font), QStringLiteral("TFont"));
    EXPECT_EQ(vcl::ObjectKind(font), vcl::TObjectKind::okPersistent);
    EXPECT_EQ(vcl::ObjectKind(vcl::GetObjectProp(&label, byName["Lines"])), vcl::TObjectKind::okStrings);
    EXPECT_EQ(vcl::ObjectKind(vcl::GetObjectProp(&label, byName["Columns"])), vcl::TObjectKind::okCollection);
    EXPECT_EQ(vcl::GetObjectProp(&label, byName["PopupMenu"]), nullptr);
    label.SetPopupMenu(&label);
    EXPECT_EQ(vcl::ObjectKind(vcl::GetObjectProp(&label, byName["PopupMenu"])), vcl::TObjectKind::okComponent);
    QObject plain;
    EXPECT_EQ(vcl::ObjectKind(&plain), vcl::TObjectKind::okOther);
}

TEST(ComponentWatcher, ReportsEachDestructionOnceAlsoOfLaterAndNestedComponents)
{
    // Qt delivers the insertion of a child as an event, which needs the
    // application object.
    static int argc = 1;
    static char arg0[] = "tst_localization_entries";
    static char *argv[] = {arg0, nullptr};
    static QCoreApplication *app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
    QStringList removed;
    QList<const QObject *> seen;
    TTestForm form(nullptr, QStringLiteral("F"));
    auto *early = new TTestLabel(&form, QStringLiteral("early"));
    auto *frame = new TTestFrame(&form, QStringLiteral("frame"));
    auto *inner = new TTestLabel(frame, QStringLiteral("inner"));
    {
        vcl::TComponentWatcher watcher([&](QObject *c, vcl::TOperation op) {
            EXPECT_EQ(op, vcl::TOperation::opRemove);
            seen << c;
        });
        watcher.Watch(&form);
        watcher.Watch(&form);
        auto *late = new TTestLabel(&form, QStringLiteral("late"));
        auto *lateInner = new TTestLabel(frame, QStringLiteral("lateInner"));
        EXPECT_TRUE(watcher.IsWatched(late));
        const QObject *ids[] = {early, inner, late, lateInner};
        delete early;
        delete inner;
        delete late;
        delete lateInner;
        // Objects inserted later are reported whatever they turn out to be
        // (the label's font, lines and columns too); each one once, in order.
        qsizetype last = -1;
        for (const QObject *id : ids) {
            EXPECT_EQ(seen.count(id), 1);
            EXPECT_GT(seen.indexOf(id), last);
            last = seen.indexOf(id);
        }
    }
    // A watcher that is gone reports nothing.
    const qsizetype before = seen.size();
    delete frame;
    EXPECT_EQ(seen.size(), before);
}

} // namespace
