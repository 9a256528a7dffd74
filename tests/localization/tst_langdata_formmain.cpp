// SPDX-License-Identifier: MIT
// The main window's LangData against the live window: the checked-in block is
// what the window loads, binding it and giving IDs changes nothing (so this
// fails the day a translatable text is added without running
// "velmora-lang update FormMain"), the recorded Spanish texts, translating
// and restoring, a destroyed menu item, and the design-time tool itself.
#include "localization/LanguageController.h"
#include "localization/Translations.h"
#include "shell/FMain.h"
#include "vcl/ActnList.h"
#include "vcl/Menus.h"
#include "vcl/Persistent.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray CheckedInBlock()
{
    QFile f(QStringLiteral(VELMORA_SOURCE_DIR "/resources/forms/FormMain/vlLC.LangData"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Save(const TVLang_CompEntry &root)
{
    QBuffer b;
    b.open(QIODevice::WriteOnly);
    root.SaveLangData(b);
    return b.data();
}

class FormMainLangData : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char arg0[] = "tst_localization_formmain";
        static char *argv[] = {arg0, nullptr};
        if (!qApp)
            new QApplication(argc, argv);
    }
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
        qputenv("VELMORA_FAKE_WBEM", dir.filePath(QStringLiteral("none.txt")).toUtf8());
        form = std::make_unique<TFormMain>();
        for (QObject *c : vcl::Components(form.get()))
            if (auto *lc = qobject_cast<TVLanguageController *>(c))
                controller = lc;
        ASSERT_NE(controller, nullptr) << "FormMain has no language controller";
    }
    void TearDown() override
    {
        form.reset();
        qunsetenv("VELMORA_FAKE_WBEM");
    }

    QTemporaryDir dir;
    std::unique_ptr<TFormMain> form;
    TVLanguageController *controller = nullptr;
};

TEST_F(FormMainLangData, WindowLoadsTheCheckedInBlock)
{
    const QByteArray block = CheckedInBlock();
    ASSERT_EQ(block.size(), 745);
    QFile resource(QStringLiteral(":/forms/FormMain/vlLC.LangData"));
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    EXPECT_EQ(resource.readAll(), block);
    EXPECT_EQ(controller->objectName(), QStringLiteral("vlLC"));
    EXPECT_EQ(controller->ActualSectionName(), QStringLiteral("FormMain"));
    EXPECT_EQ(controller->Options().toInt(), 15);
    EXPECT_EQ(controller->IgnoreList(), (QStringList{"*SQL*", ".SQL", "SQL"}));
    EXPECT_EQ(controller->RootCompEntry().Component(), form.get());
    EXPECT_EQ(Save(controller->RootCompEntry()), block);
}

TEST_F(FormMainLangData, UpdatingAgainstTheLiveWindowChangesNothing)
{
    const QByteArray block = CheckedInBlock();
    QByteArray written;
    ASSERT_TRUE(controller->WriteBlock(QStringLiteral("LangData"), written));
    EXPECT_EQ(written.toHex(' '), block.toHex(' '))
        << "FormMain's translatable texts differ from its LangData: run velmora-lang update FormMain";
}

TEST_F(FormMainLangData, SourceTextsRecordedAtLoad)
{
    QStringList lines;
    controller->WriteSourceLines(lines, {});
    EXPECT_EQ(lines,
              (QStringList{
                  "lblIni.Caption=00000001,Inicializando el widget....",
                  "menuVersion.Caption=00000003,version",
                  "Idioma1.Caption=00000004,Idioma",
                  "Idioma1.Hint=00000005,Idioma para la aplicación",
                  "Espaol1.Caption=00000025,Español",
                  "Ingls1.Caption=00000024,Inglés",
                  "N3.Caption=00000009,Nivel de &opacidad",
                  "Intervalodeactualizacin1.Caption=00000010,&Intervalo de actualización",
                  "N5sg1.Caption=00000011,5 sg.",
                  "N10sg2.Caption=00000012,10 sg.",
                  "N15sg1.Caption=00000013,15 sg.",
                  "N30sg1.Caption=00000014,30 sg.",
                  "N1minuto1.Caption=00000015,1 min.",
                  "Verdiscosdered1.Caption=00000016,Ver discos de &red",
                  "Verdiscosdered1.Hint=00000017,Si deseo ver los discos de red",
                  "actCerrar.Caption=00000018,&Cerrar",
                  "actCerrar.Hint=00000019,Cerrar el widget",
                  "actRefrescar.Caption=00000020,&Refrescar",
                  "actRefrescar.Hint=00000021,Refrecar los datos",
                  "actEjecutarInicio.Caption=00000022,&Ejecutar al inicio",
                  "actEjecutarInicio.Hint=00000023,Ejecutar al inicio del sistema",
              }));
}

TEST_F(FormMainLangData, TranslateRestoreAndADestroyedMenuItem)
{
    TVLang_CompTranslation english(QStringLiteral("FormMain"));
    english.Add(1, QStringLiteral("Initializing the widget...."));
    english.Add(11, QStringLiteral("5 sec."));
    english.Add(18, QStringLiteral("&Close"));
    english.Add(25, QStringLiteral("Spanish"));
    controller->RootCompEntry().ApplyTranslation(&english);
    EXPECT_EQ(form->N5sg1->Caption(), QStringLiteral("5 sec."));
    EXPECT_EQ(form->actCerrar->Caption(), QStringLiteral("&Close"));
    // The action drives its menu item.
    EXPECT_EQ(form->Cerrar1->Caption(), QStringLiteral("&Close"));
    EXPECT_EQ(form->Espaol1->Caption(), QStringLiteral("Spanish"));
    EXPECT_EQ(form->N10sg2->Caption(), QStringLiteral("10 sg."));

    delete form->N5sg1;
    form->N5sg1 = nullptr;
    EXPECT_EQ(controller->RootCompEntry().OwnedCompEntries()->IndexOfCompName(QStringLiteral("N5sg1")), -1);
    controller->RootCompEntry().ApplyTranslation(nullptr);
    controller->RootCompEntry().ApplyTranslation(&english);
    controller->RootCompEntry().ApplyTranslation(nullptr);
    EXPECT_EQ(form->Cerrar1->Caption(), QStringLiteral("&Cerrar"));
    EXPECT_EQ(form->Espaol1->Caption(), QStringLiteral("Español"));
}

TEST_F(FormMainLangData, NewMenuItemGetsTheNextIdAndOldOnesKeepTheirs)
{
    auto *item = new TMenuItem(form.get());
    item->setObjectName(QStringLiteral("Aleman1"));
    item->SetCaption(QStringLiteral("Alemán"));
    controller->RefreshEntries(true);
    QStringList lines;
    controller->WriteSourceLines(lines, {});
    EXPECT_TRUE(lines.contains(QStringLiteral("Aleman1.Caption=00000026,Alemán")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Espaol1.Caption=00000025,Español")));
    EXPECT_TRUE(lines.contains(QStringLiteral("lblIni.Caption=00000001,Inicializando el widget....")));
}

#ifdef VELMORA_LANG_EXE
TEST_F(FormMainLangData, DesignTimeTool)
{
    QProcess tool;
    tool.start(QStringLiteral(VELMORA_LANG_EXE), {"source", "FormMain"});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QStringList out = QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(out.size(), 22);
    EXPECT_EQ(out[0], QStringLiteral("[FormMain]"));
    EXPECT_EQ(out[1], QStringLiteral("lblIni.Caption=00000001,Inicializando el widget...."));

    tool.start(QStringLiteral(VELMORA_LANG_EXE), {"update", "FormMain", "--check"});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardOutput().toStdString();

    // A block from before Ingls1 existed: the update gives it ID 26 (one
    // above Espaol1's 25) and leaves every other record as it was.
    QBuffer in;
    in.setData(CheckedInBlock());
    in.open(QIODevice::ReadOnly);
    TVLang_CompEntry old;
    old.LoadLangData(in);
    old.OwnedCompEntries()->Delete(old.OwnedCompEntries()->IndexOfCompName(QStringLiteral("Ingls1")));
    const QString path = dir.filePath(QStringLiteral("vlLC.LangData"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Save(old));
    }
    tool.start(QStringLiteral(VELMORA_LANG_EXE), {"update", "FormMain", "--block", path, "--check"});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 1);
    tool.start(QStringLiteral(VELMORA_LANG_EXE), {"update", "FormMain", "--block", path});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray updated = f.readAll();
    // Ingls1 comes at the end of the list with its caption as 26.
    QBuffer b2;
    b2.setData(updated);
    b2.open(QIODevice::ReadOnly);
    TVLang_CompEntry fresh;
    fresh.LoadLangData(b2);
    const TVLang_CompEntries *children = fresh.OwnedCompEntries();
    ASSERT_EQ(children->Count(), 35);
    EXPECT_EQ(children->Items(34)->Name(), QStringLiteral("Ingls1"));
    EXPECT_EQ(children->Items(34)->PropEntries()->Items(0).iID, 26);
    EXPECT_EQ(fresh.MaxPropEntryID(), 26);
    const int espaol = children->IndexOfCompName(QStringLiteral("Espaol1"));
    EXPECT_EQ(espaol, 9);
    EXPECT_EQ(children->Items(espaol)->PropEntries()->Items(0).iID, 25);
}
#endif

} // namespace
