// SPDX-License-Identifier: MIT
// The widget's options and their persistence: the settings file read when the
// window is shown (order, defaults, values the menu does not list), written
// when it is destroyed with what the menu chose, the first-run question and
// the start-up entry, and the problems with the file that the user must hear
// about on the way in and on the way out.
#include "ShellTestSupport.h"

#include "localization/ConstantText.h"
#include "localization/LangManager.h"
#include "panels/frDisco.h"
#include "settings/Config.h"
#include "settings/RegistryApp.h"
#include "shell/DriveActions.h"
#include "shell/FMain.h"
#include "shell/Opacidad.h"
#include "vcl/ActnList.h"
#include "vcl/Menus.h"
#include "vcl/StdCtrls.h"
#include "vcl/Timer.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace {

class Options : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApp();
        ASSERT_TRUE(dir.isValid());
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", ConfigHome().toUtf8());
        qputenv("VELMORA_FAKE_WBEM", fake.Path().toUtf8());
        qputenv("LC_ALL", "es_ES.UTF-8");
        fake.Drives({{"C:"}, {"Z:", 4}});
        TRegistryApp::SetProgramFileName(QString());
    }
    void TearDown() override
    {
        window.reset();
        // A fresh engine for the next case: no language left active, no
        // user translation left registered.
        LangManager::Shutdown();
        CloseBoxes();
        qunsetenv("VELMORA_FAKE_WBEM");
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("LC_ALL");
    }

    QString ConfigHome() const { return dir.filePath(QStringLiteral("config")); }
    QString IniPath() const { return ConfigHome() + QStringLiteral("/Brindlewick/Velmora/config.ini"); }
    // The start-up entry of this test program.
    QString EntryPath() const
    {
        return ConfigHome() + QStringLiteral("/autostart/")
            + QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + QStringLiteral(".desktop");
    }

    void WriteIni(const QByteArray &contents)
    {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(IniPath()).absolutePath()));
        QFile f(IniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(contents);
    }
    // The settings file as written, with its line ends as LF whichever the
    // platform writes.
    QByteArray ReadIni() const
    {
        QFile f(IniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll().replace("\r\n", "\n") : QByteArray();
    }

    // Creates and shows the window, then lets the event loop run once, which
    // is when the first-run question comes.
    TFormMain &Start()
    {
        window = std::make_unique<TFormMain>();
        window->SetFatalExit([](const QString &message) { ADD_FAILURE() << message.toStdString(); });
        window->SetAskQuestion([this](const QString &caption, const QString &text) {
            asked << caption + QLatin1Char('|') + text;
            askedAfterPanels = !window->Frames().isEmpty() && window->TimerDiscos->Enabled();
            if (onQuestion)
                onQuestion();
            return answer;
        });
        window->SetShutdownReport([this](const QString &message) { reported << message; });
        window->show();
        QCoreApplication::processEvents();
        return *window;
    }

    // The error boxes shown so far (their texts), closed.
    QStringList CloseBoxes()
    {
        QStringList texts;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(top); box && box->isVisible()) {
                texts << box->text();
                box->close();
            }
        return texts;
    }

    QTemporaryDir dir;
    FakeWbemFile fake{dir.filePath(QStringLiteral("wbem.txt"))};
    std::unique_ptr<TFormMain> window;
    QStringList asked;
    bool askedAfterPanels = false;
    bool answer = false;
    std::function<void()> onQuestion;
    QStringList reported;
};

TEST_F(Options, FileValuesAreAppliedAtShowAndWrittenBackAtDestruction)
{
    WriteIni("[CONFIG]\r\nTop=120\r\nLeft=210\r\nIntervalo=7\r\nOpacidad=100\r\nEjecutarInicio=False\r\n"
             "VerDiscosRed=True\r\nIdioma=1\r\n");
    TFormMain &w = Start();
    EXPECT_TRUE(asked.isEmpty()) << "a settings file exists: no question";
    EXPECT_EQ(w.pos(), QPoint(210, 120));

    // An interval the menu does not list runs as the nearest one it does.
    EXPECT_EQ(w.Intervalo(), 5);
    EXPECT_EQ(w.TimerDiscos->Interval(), 5000);
    EXPECT_TRUE(w.N5sg1->Checked());

    // Any level takes effect; no item matches 100, so "60%" keeps its mark.
    EXPECT_EQ(w.Opacidad()->Nivel(), 100);
    EXPECT_NEAR(w.windowOpacity(), 155 / 255.0, 0.5 / 255);
    EXPECT_TRUE(w.NOpa60->Checked());

    EXPECT_TRUE(w.VerDiscosRed());
    EXPECT_TRUE(w.Verdiscosdered1->Checked());
    EXPECT_EQ(w.Frames().size(), 2);
    EXPECT_FALSE(w.Frames()[1]->isHidden()) << "the network drive is shown";

    EXPECT_FALSE(w.Ejecutaralinicio1->Checked());
    EXPECT_FALSE(QFileInfo::exists(EntryPath())) << "loading never touches the start-up entry";

    EXPECT_EQ(w.ActiveLanguage(), 1);
    EXPECT_TRUE(w.Ingls1->Checked());
    EXPECT_FALSE(w.Espaol1->Checked());

    // The mark shown is the one a click toggles: the entry is created.
    w.Ejecutaralinicio1->trigger();
    EXPECT_TRUE(w.Ejecutaralinicio1->Checked());
    EXPECT_TRUE(QFileInfo::exists(EntryPath()));

    const QByteArray before = ReadIni();
    w.move(333, 44);
    w.N30sg1->trigger();
    EXPECT_EQ(ReadIni(), before) << "options are written only when the window is destroyed";
    window.reset();
    EXPECT_TRUE(reported.isEmpty()) << reported.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(ReadIni(),
              QByteArray("[CONFIG]\nTop=44\nLeft=333\nIntervalo=30\nOpacidad=100\n"
                         "EjecutarInicio=True\nVerDiscosRed=True\nIdioma=1\n"));
}

// An interval written by hand that the menu does not offer: the nearest one
// it offers runs, the menu marks it, the log says so, and the file says it
// after the widget ends.
TEST_F(Options, IntervalOutsideTheMenuRunsAsTheNearestOneAndIsWrittenBack)
{
    struct Case
    {
        const char *text;
        int used;
    };
    const Case cases[] = {
        {"1", 5},           {"0", 5},          {"-30", 5}, {"7", 5},   {"8", 10},  {"12", 10},
        {"13", 15},         {"22", 15},        {"23", 30}, {"45", 30}, {"46", 60}, {"3600", 60},
        {"2147483647", 60}, {"$7FFFFFFF", 60}, {"5", 5},   {"30", 30}, {"60", 60},
    };
    static QStringList logged;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &, const QString &message) {
            if (type == QtWarningMsg)
                logged << message;
        });
    const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        logged.clear();
        WriteIni(QByteArray("[CONFIG]\nIntervalo=") + c.text + "\n");
        TFormMain &w = Start();
        EXPECT_EQ(w.Intervalo(), c.used);
        EXPECT_EQ(w.TimerDiscos->Interval(), c.used * 1000);
        for (TMenuItem *item : {w.N5sg1, w.N10sg2, w.N15sg1, w.N30sg1, w.N1minuto1})
            EXPECT_EQ(item->Checked(), item->Tag() == c.used) << item->objectName().toStdString();
        const QString said = logged.filter(QStringLiteral("Refresh interval")).join(QLatin1Char('|'));
        if (QByteArray::number(c.used) == c.text)
            EXPECT_TRUE(said.isEmpty()) << said.toStdString();
        else
            EXPECT_TRUE(said.contains(QStringLiteral("; %1 s is used").arg(c.used))) << said.toStdString();
        window.reset();
        EXPECT_TRUE(ReadIni().contains("\nIntervalo=" + QByteArray::number(c.used) + "\n"))
            << ReadIni().toStdString();
    }
}

// Hiding a drive and showing it again before the settings file exists (the
// first start) leaves no file behind that would make the next start skip its
// question and run with default options; the hidden drives are written with
// the options when the widget ends.
TEST_F(Options, HidingDrivesBeforeTheFileExistsLeavesTheNextStartAsItWas)
{
    TFormMain &w = Start();
    ASSERT_EQ(asked.size(), 1);
    w.DriveActions()->HideDrive(QStringLiteral("C:"));
    EXPECT_FALSE(QFileInfo::exists(IniPath()));
    w.DriveActions()->ShowDrive(QStringLiteral("C:"));
    EXPECT_FALSE(QFileInfo::exists(IniPath())) << "an empty file: " << ReadIni().size() << " bytes";
    EXPECT_FALSE(w.Configurado());
    w.DriveActions()->HideDrive(QStringLiteral("Z:"));
    window.reset();
    const QByteArray written = ReadIni();
    EXPECT_TRUE(written.startsWith("[CONFIG]\nTop=")) << written.toStdString();
    EXPECT_TRUE(written.contains("\nIdioma=0\n")) << written.toStdString();
    EXPECT_TRUE(written.endsWith("\n[OCULTAS]\nZ:=True\n")) << written.toStdString();

    // With the file there, each change is written at once and the options
    // stay.
    TFormMain &again = Start();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(again.DriveActions()->Hidden(), QStringList({QStringLiteral("Z:")}));
    again.DriveActions()->ShowDrive(QStringLiteral("Z:"));
    EXPECT_EQ(ReadIni().trimmed().toStdString(),
              written.left(written.indexOf("[OCULTAS]")).trimmed().toStdString());
}

// A translation the user put into the data folder gets its own radio item,
// captioned with the language's own name, at the next language index.
TEST_F(Options, UserTranslationGetsItsOwnLanguageItem)
{
    const QString folder = dir.filePath(QStringLiteral("data/Velmora/translations"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile f(folder + QStringLiteral("/1031 Deutsch.lng"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("LANGID=1031\r\n[FormMain]\r\n00000004=Sprache\r\n[$CONSTANTS]\r\nmsgVersion=Fassung\r\n");
    f.close();
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    WriteIni("[CONFIG]\r\nIdioma=2\r\n");
    TFormMain &w = Start();
    TMenuItem *deutsch = nullptr;
    for (TMenuItem *item : w.findChildren<TMenuItem *>())
        if (item->Caption() == QStringLiteral("Deutsch"))
            deutsch = item;
    ASSERT_NE(deutsch, nullptr);
    EXPECT_EQ(w.ActiveLanguage(), 2);
    EXPECT_TRUE(deutsch->Checked());
    EXPECT_EQ(w.Idioma1->Caption(), QStringLiteral("Sprache"));
    EXPECT_TRUE(w.menuVersion->Caption().startsWith(QStringLiteral("Fassung ")));
    w.Ingls1->trigger();
    EXPECT_EQ(w.Idioma1->Caption(), QStringLiteral("Language"));
    EXPECT_FALSE(deutsch->Checked());
}

TEST_F(Options, EnglishFromTheFileReachesThePanelsAndTheFatalBox)
{
    WriteIni("[CONFIG]\r\nIdioma=1\r\n");
    TFormMain &w = Start();
    QStringList fatal;
    w.SetFatalExit([&fatal](const QString &message) { fatal << message; });
    const auto tick = [&w] { w.TimerDiscosTimer(w.TimerDiscos); };
    tick();
    ASSERT_FALSE(w.Frames().isEmpty());
    const QString line = w.Frames()[0]->lblEspacio()->text();
    EXPECT_TRUE(line.contains(QStringLiteral(" GB available from "))) << line.toStdString();

    fake.ConnectError("boom");
    for (int i = 0; i < 4; ++i)
        tick();
    ASSERT_EQ(fatal.size(), 1);
    EXPECT_EQ(fatal[0], QStringLiteral("The query component could not be started.\r\nError:boom"));
}

// A language chosen in the menu reaches every panel's line at once, in
// either unit, hidden panels too; a panel without figures stays empty.
TEST_F(Options, LanguageChosenInTheMenuReachesThePanelsAtOnce)
{
    WriteIni("[CONFIG]\r\nIdioma=0\r\n");
    fake.Drives({{"C:"}, {"/small", 3, 100LL << 20, "62914560"}, {"Z:", 4}, {"/reader", 5, 0, nullptr}});
    TFormMain &w = Start();
    const auto tick = [&w] { w.TimerDiscosTimer(w.TimerDiscos); };
    tick();
    tick(); // the same figures again
    ASSERT_EQ(w.Frames().size(), 4);
    const auto lines = [&w] {
        QStringList texts;
        for (TFrameDrive *frame : w.Frames())
            texts << frame->Espacio();
        return texts;
    };
    struct Step
    {
        TMenuItem *item;
        QStringList expected;
    };
    const Step steps[] = {
        {w.Ingls1,
         {"50 GB available from 100 GB", "60 MB available from 100 MB", "50 GB available from 100 GB", ""}},
        {w.Espaol1,
         {"50 GB disponibles de 100 GB", "60 MB disponibles de 100 MB", "50 GB disponibles de 100 GB", ""}},
        {w.Ingls1,
         {"50 GB available from 100 GB", "60 MB available from 100 MB", "50 GB available from 100 GB", ""}},
    };
    EXPECT_EQ(lines(), steps[1].expected);
    for (const Step &step : steps) {
        SCOPED_TRACE(step.item->objectName().toStdString());
        step.item->trigger();
        EXPECT_EQ(lines(), step.expected) << "without waiting for a refresh";
        EXPECT_EQ(w.Frames()[0]->lblEspacio()->text(), step.expected[0]) << "the label shows it";
        tick();
        EXPECT_EQ(lines(), step.expected);
    }
}

TEST_F(Options, LanguageIndexFromFileOrLocale)
{
    struct Case
    {
        const char *idiomaLine; // nullptr: no Idioma key
        const char *locale;
        int expected;
    };
    const Case cases[] = {
        {nullptr, "es_ES.UTF-8", 0},
        {nullptr, "es_MX.UTF-8", 1},
        {nullptr, "en_GB.UTF-8", 1},
        {"Idioma=-1", "es_ES.UTF-8", 0},
        {"Idioma=-1", "de_DE.UTF-8", 1},
        {"Idioma=0", "en_US.UTF-8", 0},
        {"Idioma=1", "es_ES.UTF-8", 1},
        // Not a language of the menu: the locale decides, and the start goes on.
        {"Idioma=5", "es_ES.UTF-8", 0},
        {"Idioma=5", "fr_FR.UTF-8", 1},
        {"Idioma=-7", "es_ES.UTF-8", 0},
        {"Idioma=abc", "en_US.UTF-8", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.idiomaLine ? c.idiomaLine : "(none)") + " " + c.locale);
        qputenv("LC_ALL", c.locale);
        QByteArray ini = "[CONFIG]\r\nIntervalo=15\r\n";
        if (c.idiomaLine)
            ini += QByteArray(c.idiomaLine) + "\r\n";
        WriteIni(ini);
        TFormMain &w = Start();
        EXPECT_EQ(w.ActiveLanguage(), c.expected);
        EXPECT_EQ(w.Espaol1->Checked(), c.expected == 0);
        EXPECT_EQ(w.Ingls1->Checked(), c.expected == 1);
        EXPECT_TRUE(w.TimerDiscos->Enabled()) << "the start ran to its end";
        window.reset();
        EXPECT_TRUE(ReadIni().contains("Idioma=" + QByteArray::number(c.expected) + "\n"))
            << ReadIni().constData();
    }
}

// The start-up line is a translated text: markup in it is shown as written.
TEST_F(Options, WindowLabelShowsMarkupAsWritten)
{
    TFormMain &w = Start();
    const QString markup = QStringLiteral("<b>Inicializando</b><img src=\"/etc/hostname\">");
    w.lblIni->SetCaption(markup);
    EXPECT_EQ(w.lblIni->textFormat(), Qt::PlainText);
    EXPECT_GE(w.lblIni->sizeHint().width(), w.lblIni->fontMetrics().horizontalAdvance(markup));
}

TEST_F(Options, LevelOutsideTheByteRangeReadsAsTheDefault)
{
    struct Case
    {
        const char *line;
        int nivel;
    };
    const Case cases[] = {{"Opacidad=-1", 153},          {"Opacidad=300", 153}, {"Opacidad=256", 153},
                          {"Opacidad=-2147483648", 153}, {"Opacidad=0", 0},     {"Opacidad=255", 255}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        WriteIni(QByteArray("[CONFIG]\r\n") + c.line + "\r\n");
        TFormMain &w = Start();
        EXPECT_EQ(w.Opacidad()->Nivel(), c.nivel);
        EXPECT_NEAR(w.windowOpacity(), (255 - c.nivel) / 255.0, 0.5 / 255)
            << "what the menu shows is what is applied";
        if (c.nivel == 153) {
            EXPECT_TRUE(w.NOpa60->Checked());
        }
        window.reset();
        EXPECT_TRUE(ReadIni().contains("Opacidad=" + QByteArray::number(c.nivel) + "\n")) << ReadIni().constData();
    }
}

TEST_F(Options, DefaultsOfAFileWithoutValues)
{
    // Only the section: every value takes the default passed when reading.
    WriteIni("[CONFIG]\n");
    TFormMain &w = Start();
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(w.Intervalo(), 15);
    EXPECT_EQ(w.Opacidad()->Nivel(), 153);
    EXPECT_TRUE(w.VerDiscosRed());
    EXPECT_TRUE(w.Verdiscosdered1->Checked());
    EXPECT_TRUE(w.Ejecutaralinicio1->Checked());
    EXPECT_EQ(w.ActiveLanguage(), 0) << "es_ES";
}

TEST_F(Options, FirstStartAsksAfterThePanelsAndYesCreatesTheEntry)
{
    answer = true;
    TFormMain &w = Start();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], QStringLiteral("Ejecutar al inicio|") + ConstantText(QStringLiteral("msgIniciarAuto")));
    EXPECT_EQ(ConstantText(QStringLiteral("msgIniciarAuto")),
              QStringLiteral("¿Desea que la aplicación se ejecute automáticamente al iniciar el sistema?"));
    EXPECT_TRUE(askedAfterPanels);
    // The construction values: no locale looked at, network drives hidden.
    EXPECT_EQ(w.ActiveLanguage(), 0);
    EXPECT_FALSE(w.VerDiscosRed());
    EXPECT_TRUE(w.Frames()[1]->isHidden());
    EXPECT_EQ(w.Opacidad()->Nivel(), 153);
    EXPECT_NEAR(w.windowOpacity(), 102 / 255.0, 0.5 / 255);

    EXPECT_TRUE(QFileInfo::exists(EntryPath()));
    EXPECT_TRUE(w.Ejecutaralinicio1->Checked()) << "the mark follows the answer";
    EXPECT_FALSE(QFileInfo::exists(IniPath()));
    window.reset();
    EXPECT_TRUE(ReadIni().contains("EjecutarInicio=True\n"));

    // The file exists now: no more questions.
    Start();
    EXPECT_EQ(asked.size(), 1);
}

TEST_F(Options, FirstStartAnsweredNoRemovesTheEntry)
{
    answer = true;
    Start();
    window.reset();
    ASSERT_TRUE(QFileInfo::exists(EntryPath()));
    ASSERT_TRUE(QFile::remove(IniPath()));

    // Until the widget has once been closed normally the question comes back.
    answer = false;
    TFormMain &w = Start();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_FALSE(QFileInfo::exists(EntryPath()));
    EXPECT_FALSE(w.Ejecutaralinicio1->Checked());
    // The next click toggles from the mark shown.
    w.Ejecutaralinicio1->trigger();
    EXPECT_TRUE(QFileInfo::exists(EntryPath()));
    w.Ejecutaralinicio1->trigger();
    EXPECT_FALSE(QFileInfo::exists(EntryPath()));
    window.reset();
    EXPECT_TRUE(ReadIni().contains("EjecutarInicio=False\n"));
}

TEST_F(Options, ClosedWhileTheQuestionWaitsIsNoAnswer)
{
    answer = true;
    onQuestion = [this] { window->EndSession(SIGTERM); };
    TFormMain &w = Start();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(EntryPath()));
    EXPECT_FALSE(w.Ejecutaralinicio1->Checked());
    window.reset();
    EXPECT_TRUE(ReadIni().contains("EjecutarInicio=False\n")) << "the settings are still written";
}

TEST_F(Options, EntryThatCannotBeWrittenIsReportedAndTheWidgetGoesOn)
{
    // A file where the autostart folder must go.
    ASSERT_TRUE(QDir().mkpath(ConfigHome()));
    QFile blocker(ConfigHome() + QStringLiteral("/autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString expected = QStringLiteral("Failed to set data for '%1'")
                                 .arg(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    answer = true;
    TFormMain &w = Start();
    EXPECT_EQ(CloseBoxes(), QStringList{expected}) << "from the first-run question";
    EXPECT_TRUE(w.TimerDiscos->Enabled());

    w.Ejecutaralinicio1->trigger(); // off: removing a missing entry is no error
    EXPECT_TRUE(CloseBoxes().isEmpty());
    w.Ejecutaralinicio1->trigger();
    EXPECT_EQ(CloseBoxes(), QStringList{expected}) << "from the menu";
    window.reset();
    EXPECT_TRUE(ReadIni().contains("EjecutarInicio=True\n")) << "the choice is kept all the same";
}

TEST_F(Options, MenuChoicesReachTheirOptions)
{
    TFormMain &w = Start();
    struct Radio
    {
        TMenuItem *item;
        int timerMs; // 0: not an interval item
        int nivel;   // -1: not an opacity item
    };
    const Radio radios[] = {
        {w.N5sg1, 5000, -1},   {w.N10sg2, 10000, -1}, {w.N30sg1, 30000, -1}, {w.N1minuto1, 60000, -1},
        {w.N15sg1, 15000, -1}, {w.NOpa0, 0, 0},       {w.NOpa20, 0, 51},     {w.NOpa40, 0, 102},
        {w.NOpa80, 0, 204},    {w.NOpa100, 0, 255},   {w.NOpa60, 0, 153},
    };
    for (const Radio &r : radios) {
        SCOPED_TRACE(r.item->objectName().toStdString());
        r.item->trigger();
        EXPECT_TRUE(r.item->Checked());
        for (int i = 0; i < r.item->Parent()->Count(); ++i) {
            if (r.item->Parent()->Items(i) != r.item) {
                EXPECT_FALSE(r.item->Parent()->Items(i)->Checked());
            }
        }
        if (r.timerMs) {
            EXPECT_EQ(w.TimerDiscos->Interval(), r.timerMs);
            EXPECT_EQ(w.Intervalo(), r.timerMs / 1000);
        } else {
            EXPECT_EQ(w.Opacidad()->Nivel(), r.nivel);
            EXPECT_NEAR(w.windowOpacity(), (255 - r.nivel) / 255.0, 0.5 / 255);
        }
    }

    // The language: the choice is kept and marked, the menu is translated and
    // the version line composed again; Spanish brings the source texts back.
    w.Ingls1->trigger();
    EXPECT_EQ(w.ActiveLanguage(), 1);
    EXPECT_FALSE(w.Espaol1->Checked());
    EXPECT_EQ(w.Idioma1->Caption(), QStringLiteral("Language"));
    EXPECT_EQ(w.Idioma1->Hint(), QStringLiteral("Language for the application"));
    EXPECT_EQ(w.N5sg1->Caption(), QStringLiteral("5 sec."));
    EXPECT_TRUE(w.menuVersion->Caption().startsWith(QStringLiteral("Version ")));
    w.Espaol1->trigger();
    EXPECT_EQ(w.ActiveLanguage(), 0);
    EXPECT_EQ(w.Idioma1->Caption(), QStringLiteral("Idioma"));
    EXPECT_EQ(w.N5sg1->Caption(), QStringLiteral("5 sg."));

    // Refrescar runs a refresh at once.
    fake.Drives({{"C:"}, {"Z:", 4}, {"E:", 2}});
    w.Refrescar1->trigger();
    EXPECT_EQ(w.ListaDiscos(), (QStringList{"C:", "Z:", "E:"}));

    // Cerrar closes the widget; the settings follow at destruction.
    w.Cerrar1->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.TimerDiscos->Enabled());
    window.reset();
    EXPECT_TRUE(ReadIni().contains("Intervalo=15\nOpacidad=153\n"));
}

TEST_F(Options, FailedWriteIsReportedAtDestruction)
{
    // A file where the folder chain must go: nothing can be written.
    ASSERT_TRUE(QDir().mkpath(ConfigHome()));
    QFile blocker(ConfigHome() + QStringLiteral("/Brindlewick"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Start();
    window.reset();
    ASSERT_EQ(reported.size(), 1);
    EXPECT_EQ(reported[0], QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(IniPath())));
}

TEST_F(Options, FailedWriteAfterAnEndSignalGoesToStderrWithoutABox)
{
    ASSERT_TRUE(QDir().mkpath(ConfigHome()));
    QFile blocker(ConfigHome() + QStringLiteral("/Brindlewick"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Start();
    // The default report: a box here would wait for a click that never comes.
    window->SetShutdownReport(nullptr);
    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &, const QString &message) {
            if (type == QtCriticalMsg)
                logged << message;
        });
    window->EndSession(SIGTERM);
    window.reset();
    qInstallMessageHandler(previous);
    ASSERT_EQ(logged.size(), 1);
    EXPECT_TRUE(logged[0].startsWith(QStringLiteral("Unable to write to "))) << logged[0].toStdString();
}

TEST_F(Options, DamagedFileIsReportedAtStartAndSetAsideAtDestruction)
{
    QByteArray damaged("[CONFIG]\r\nIntervalo=30\r\n");
    damaged.append('\0').append('\0').append("garbage");
    WriteIni(damaged);
    TFormMain &w = Start();
    EXPECT_TRUE(asked.isEmpty()) << "the file exists";
    const QStringList boxes = CloseBoxes();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("The default settings are used"))) << boxes[0].toStdString();
    EXPECT_EQ(w.Intervalo(), 15);
    window.reset();
    ASSERT_EQ(reported.size(), 1);
    EXPECT_TRUE(reported[0].contains(QStringLiteral("config.ini.bad"))) << reported[0].toStdString();
    EXPECT_TRUE(QFileInfo::exists(IniPath() + QStringLiteral(".bad")));
    EXPECT_TRUE(ReadIni().startsWith("[CONFIG]\nTop="));
}

} // namespace
