// SPDX-License-Identifier: MIT
// The LangData block: the main window's 745 bytes read and written back,
// small blocks written down byte by byte, re-sorting on reading, and blocks
// that are cut short or nest too deeply.
#include "EntriesFixture.h"

#include "localization/CompEntries.h"
#include "localization/MaskList.h"
#include "localization/SystemErrors.h"
#include "localization/VLangError.h"

#include <QBuffer>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray FormMainBlock()
{
    QFile f(QStringLiteral(VELMORA_SOURCE_DIR "/resources/forms/FormMain/vlLC.LangData"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

std::unique_ptr<TVLang_CompEntry> Load(const QByteArray &data)
{
    QBuffer b;
    b.setData(data);
    b.open(QIODevice::ReadOnly);
    auto root = std::make_unique<TVLang_CompEntry>();
    root->LoadLangData(b);
    EXPECT_EQ(b.pos(), data.size()) << "the block is the root entry, nothing after it";
    return root;
}

QByteArray Save(const TVLang_CompEntry &root)
{
    QBuffer b;
    b.open(QIODevice::WriteOnly);
    root.SaveLangData(b);
    return b.data();
}

QByteArray Str(const char *s)
{
    const QByteArray text(s);
    QByteArray out;
    out.append(char(text.size() & 0xff)).append(char(text.size() >> 8)).append(text);
    return out;
}

QByteArray Int(qint32 v)
{
    QByteArray out;
    for (int i = 0; i < 4; ++i)
        out.append(char((quint32(v) >> (8 * i)) & 0xff));
    return out;
}

const QByteArray F("\x00", 1);
const QByteArray T("\x01", 1);

TEST(LangData, MainWindowBlockStartsAsWrittenDown)
{
    const QByteArray block = FormMainBlock();
    ASSERT_EQ(block.size(), 745);
    const QByteArray head = Str("FormMain") + F + T + Int(35) + Str("lblIni") + T + Int(1) + Int(1)
        + Str("Caption") + F;
    EXPECT_EQ(block.left(head.size()).toHex(' '), head.toHex(' '));
}

TEST(LangData, MainWindowBlockReadsAndWritesBackTheSameBytes)
{
    const QByteArray block = FormMainBlock();
    ASSERT_EQ(block.size(), 745);
    auto root = Load(block);
    EXPECT_EQ(root->Name(), QStringLiteral("FormMain"));
    EXPECT_EQ(root->PropEntries(), nullptr);
    ASSERT_NE(root->OwnedCompEntries(), nullptr);
    const QStringList names{"lblIni",
                            "WMISQL",
                            "TimerDiscos",
                            "TrayIcon",
                            "pmTray",
                            "menuVersion",
                            "N4",
                            "Ejecutaralinicio1",
                            "Idioma1",
                            "Espaol1",
                            "Ingls1",
                            "N2",
                            "N3",
                            "NOpa0",
                            "NOpa20",
                            "NOpa40",
                            "NOpa60",
                            "NOpa80",
                            "NOpa100",
                            "Intervalodeactualizacin1",
                            "N5sg1",
                            "N10sg2",
                            "N15sg1",
                            "N30sg1",
                            "N1minuto1",
                            "N1",
                            "Verdiscosdered1",
                            "Refrescar1",
                            "N5",
                            "Cerrar1",
                            "alMain",
                            "actCerrar",
                            "actRefrescar",
                            "actEjecutarInicio",
                            "vlTS"};
    ASSERT_EQ(root->OwnedCompEntries()->Count(), names.size());
    QList<qint32> ids;
    for (int i = 0; i < names.size(); ++i) {
        const TVLang_CompEntry *e = root->OwnedCompEntries()->Items(i);
        EXPECT_EQ(e->Name(), names[i]);
        EXPECT_EQ(e->OwnedCompEntries(), nullptr);
        if (e->PropEntries())
            for (int j = 0; j < e->PropEntries()->Count(); ++j)
                ids << e->PropEntries()->Items(j).iID;
    }
    std::sort(ids.begin(), ids.end());
    QList<qint32> expected;
    for (qint32 id = 1; id <= 25; ++id)
        if (id != 2 && (id < 6 || id > 8))
            expected << id;
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(root->MaxPropEntryID(), 25);
    const TVLang_CompEntry *idioma = root->OwnedCompEntries()->Items(8);
    ASSERT_NE(idioma->PropEntries(), nullptr);
    EXPECT_EQ(idioma->PropEntries()->Items(0).wsPropName, QStringLiteral("Caption"));
    EXPECT_EQ(idioma->PropEntries()->Items(0).iID, 4);
    EXPECT_EQ(idioma->PropEntries()->Items(1).wsPropName, QStringLiteral("Hint"));
    EXPECT_EQ(idioma->PropEntries()->Items(1).iID, 5);

    EXPECT_EQ(Save(*root), block);
}

TEST(LangData, RecordsAreResortedAndARepeatedPathKeepsItsFirstId)
{
    // Child "b" with records (9 "Hint"), (4 "caption"), (7 "HINT"), and
    // no children; the root has an empty property list and a child count.
    const QByteArray block = Str("W") + T + Int(0) + T + Int(1) + Str("b") + T + Int(3) + Int(9) + Str("Hint")
        + Int(4) + Str("caption") + Int(7) + Str("HINT") + F;
    auto root = Load(block);
    const TVLang_PropEntries *props = root->OwnedCompEntries()->Items(0)->PropEntries();
    ASSERT_NE(props, nullptr);
    ASSERT_EQ(props->Count(), 2);
    EXPECT_EQ(props->Items(0).wsPropName, QStringLiteral("caption"));
    EXPECT_EQ(props->Items(1).iID, 9);
    EXPECT_EQ(props->IndexOfPropName(u"CAPTION"), 0);
    EXPECT_EQ(props->IndexOfID(9), 1);
    EXPECT_EQ(Save(*root).toHex(' '),
              (Str("W") + T + Int(0) + T + Int(1) + Str("b") + T + Int(2) + Int(4) + Str("caption") + Int(9)
               + Str("Hint") + F)
                  .toHex(' '));
}

TEST(LangData, NonPositiveCountsReadNothingAndAnyNonZeroByteIsTrue)
{
    const QByteArray block = Str("W") + QByteArray("\x7f", 1) + Int(-5) + QByteArray("\xff", 1) + Int(0);
    auto root = Load(block);
    ASSERT_NE(root->PropEntries(), nullptr);
    EXPECT_EQ(root->PropEntries()->Count(), 0);
    ASSERT_NE(root->OwnedCompEntries(), nullptr);
    EXPECT_EQ(Save(*root), Str("W") + T + Int(0) + T + Int(0));
}

TEST(LangData, NamesAreUtf8)
{
    const QByteArray block = Str("Ventana") + F + T + Int(1) + Str("Espa\xc3\xb1ol1") + T + Int(1) + Int(25)
        + Str("Caption") + F;
    auto root = Load(block);
    EXPECT_EQ(root->OwnedCompEntries()->Items(0)->Name(), QStringLiteral("Español1"));
    EXPECT_EQ(Save(*root), block);
}

TEST(LangData, EveryCutShortBlockFailsWithStreamReadErrorAndLeavesNothing)
{
    const QByteArray block = FormMainBlock();
    ASSERT_EQ(block.size(), 745);
    for (qsizetype n = 0; n < block.size(); ++n) {
        QBuffer b;
        b.setData(block.left(n));
        b.open(QIODevice::ReadOnly);
        TVLang_CompEntry root;
        try {
            root.LoadLangData(b);
            ADD_FAILURE() << "prefix of " << n << " bytes was accepted";
        } catch (const EReadError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Stream read error"));
        }
        EXPECT_EQ(root.OwnedCompEntries(), nullptr);
        EXPECT_EQ(root.PropEntries(), nullptr);
        EXPECT_EQ(root.Name(), QString());
    }
}

TEST(LangData, HugeCountsCostOnlyTheBytesThatAreThere)
{
    const QByteArray children = Str("W") + F + T + Int(0x7fffffff) + Str("a") + F + F;
    EXPECT_THROW(Load(children), EReadError);
    const QByteArray records = Str("W") + T + Int(0x7fffffff) + Int(1) + Str("Caption");
    EXPECT_THROW(Load(records), EReadError);
    const QByteArray string = Str("W") + T + Int(1) + Int(1) + QByteArray("\xff\xff", 2) + "abc";
    EXPECT_THROW(Load(string), EReadError);
}

TEST(LangData, BlockHoldingTheHighestIdGivesNoNewIdButKeepsWorking)
{
    // A damaged block whose window caption carries the highest possible ID:
    // updating keeps it; a new property cannot get one above it.
    TTestForm form(nullptr, QStringLiteral("W"));
    form.SetCaption(QStringLiteral("Ventana"));
    auto root = Load(Str("W") + T + Int(1) + Int(0x7fffffff) + Str("Caption") + F);
    root->BindToComponent(&form);
    const TVLang_MaskList none;
    EXPECT_NO_THROW(root->UpdateEntries(true, true, true, true, none, none));
    EXPECT_EQ(root->MaxPropEntryID(), 0x7fffffff);
    form.SetHint(QStringLiteral("Ayuda"));
    try {
        root->UpdateEntries(true, true, true, true, none, none);
        ADD_FAILURE() << "an ID above the highest was given";
    } catch (const EVLangError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("No property ID is left for W.Hint"));
    }
}

TEST(LangData, NestingBeyondAnyWindowIsRefused)
{
    // Each level: empty name, no properties, one child.
    const QByteArray level = Str("") + F + T + Int(1);
    QByteArray deep = level.repeated(10000) + Str("") + F + F;
    EXPECT_THROW(Load(deep), EVLangError);
    QByteArray fine = level.repeated(TVLang_CompEntry::MaxDepth) + Str("x") + F + F;
    auto root = Load(fine);
    EXPECT_EQ(Save(*root), fine);
}

} // namespace
