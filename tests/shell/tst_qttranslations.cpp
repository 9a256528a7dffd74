// SPDX-License-Identifier: MIT
// Qt's own texts (here the buttons of a question box) in the widget's
// language: Debian's catalogues of Qt found through Qt's translations path,
// one translator replaced at every switch, English where Qt has nothing.
#include "ShellTestSupport.h"

#include "localization/ConstantText.h"
#include "localization/LangManager.h"
#include "settings/RegistryApp.h"
#include "shell/FMain.h"
#include "shell/QtTranslations.h"
#include "vcl/Menus.h"

#include <QAbstractButton>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

// "Yes|No" as a question box made now shows its buttons, without the
// mnemonic marks.
QString YesNoNow()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("t"),
                    QMessageBox::Yes | QMessageBox::No);
    return box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')) + QLatin1Char('|')
        + box.button(QMessageBox::No)->text().remove(QLatin1Char('&'));
}

void RequireDebiansCatalogues()
{
    const QString spanish = QtTranslations::CatalogueFolder() + QStringLiteral("/qtbase_es.qm");
    ASSERT_TRUE(QFileInfo::exists(spanish))
        << spanish.toStdString() << " is missing: Qt's catalogues come from qt6-translations-l10n";
}

TEST(QtTranslations, EachSwitchReplacesTheCatalogueOfTheLanguageBefore)
{
    TestApp();
    RequireDebiansCatalogues();
    struct Case
    {
        quint32 langId;
        const char *catalogue; // "" when Qt has none for the language
        const char *buttons;
    };
    // In this order, so that each case starts from another language's
    // catalogue and shows that nothing of it stays.
    const Case cases[] = {
        {3082, "qtbase_es.qm", "Sí|No"},
        {1033, "qtbase_en.qm", "Yes|No"},
        {1031, "qtbase_de.qm", "Ja|Nein"},
        // A language Qt cannot name: Qt's built-in English, not German.
        {0x0439, "", "Yes|No"},
        {0x040C, "qtbase_fr.qm", "Oui|Non"},
        // Spanish of Mexico has no catalogue of its own: Spanish.
        {2058, "qtbase_es.qm", "Sí|No"},
        // The sublanguage picks the catalogue where Qt has one per country.
        {0x0416, "qtbase_pt_BR.qm", "Sim|Não"},
        {3082, "qtbase_es.qm", "Sí|No"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.langId);
        const QString installed = QtTranslations::Follow(c.langId);
        EXPECT_EQ(QFileInfo(installed).fileName().toStdString(), std::string(c.catalogue));
        EXPECT_EQ(YesNoNow().toStdString(), std::string(c.buttons));
    }
}

TEST(QtTranslations, FolderWithoutCataloguesLeavesQtInEnglish)
{
    TestApp();
    RequireDebiansCatalogues();
    ASSERT_FALSE(QtTranslations::Follow(3082).isEmpty());
    QTemporaryDir empty;
    EXPECT_TRUE(QtTranslations::Follow(3082, empty.path()).isEmpty());
    EXPECT_EQ(YesNoNow().toStdString(), "Yes|No");
    // A damaged catalogue is no catalogue.
    QFile bad(empty.filePath(QStringLiteral("qtbase_es.qm")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a catalogue");
    bad.close();
    EXPECT_TRUE(QtTranslations::Follow(3082, empty.path()).isEmpty());
    EXPECT_EQ(YesNoNow().toStdString(), "Yes|No");
}

// The first-run question of a Spanish start as the program shows it (the
// real box, read and answered from a timer while it waits), then the same
// question after English and Spanish are chosen in the menu.
TEST(QtTranslations, FirstRunQuestionSpeaksTheWidgetsLanguage)
{
    TestApp();
    RequireDebiansCatalogues();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("HOME", dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    FakeWbemFile fake(dir.filePath(QStringLiteral("wbem.txt")));
    fake.Drives({{"C:"}});
    qputenv("VELMORA_FAKE_WBEM", fake.Path().toUtf8());
    TRegistryApp::SetProgramFileName(QString());

    // What the program does before its window exists.
    LangManager::Start();
    QtTranslations::FollowActiveLanguage();

    QStringList seen;
    QTimer answerer;
    answerer.setInterval(20);
    QObject::connect(&answerer, &QTimer::timeout, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->button(QMessageBox::Yes) || !box->button(QMessageBox::No))
            return;
        seen << box->windowTitle() + QLatin1Char('|')
                + box->button(QMessageBox::Yes)->text().remove(QLatin1Char('&')) + QLatin1Char('|')
                + box->button(QMessageBox::No)->text().remove(QLatin1Char('&'));
        box->button(QMessageBox::No)->click();
    });
    answerer.start();
    const auto waitForAnswer = [&seen](qsizetype count) {
        const QDeadlineTimer deadline(10000);
        while (seen.size() < count && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    };
    const auto askAgain = [] {
        QMessageBox::question(nullptr, QStringLiteral("Ejecutar al inicio"),
                              ConstantText(QStringLiteral("msgIniciarAuto")), QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::Yes);
    };

    auto window = std::make_unique<TFormMain>();
    window->show();
    waitForAnswer(1);
    ASSERT_EQ(seen.size(), 1) << "no first-run question";
    EXPECT_EQ(seen.at(0).toStdString(), "Ejecutar al inicio|Sí|No");

    window->Ingls1->trigger();
    askAgain();
    waitForAnswer(2);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen.at(1).toStdString(), "Ejecutar al inicio|Yes|No");

    window->Espaol1->trigger();
    askAgain();
    waitForAnswer(3);
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(seen.at(2).toStdString(), "Ejecutar al inicio|Sí|No");

    window.reset();
    LangManager::Shutdown();
    qunsetenv("VELMORA_FAKE_WBEM");
}

} // namespace
