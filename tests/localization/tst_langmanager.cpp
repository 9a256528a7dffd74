// SPDX-License-Identifier: MIT
// The language manager with the program's own data (default language 3082,
// the constants block, the stored English translation) and a window made of
// the main window's translatable components: switching, restoring, events,
// registration, section lookup and failures.
#include "localization/ConstantText.h"
#include "localization/LangManager.h"
#include "localization/LanguageController.h"
#include "localization/StreamPrimitives.h"
#include "localization/SystemErrors.h"
#include "localization/VLangError.h"
#include "localization/VLangStorage.h"
#include "vcl/Component.h"
#include "vcl/FormLoader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <tuple>

#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <vector>

// A menu item, action or label as far as translation sees it.
class TFixtureItem : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)

public:
    explicit TFixtureItem(QObject *owner, const QString &name, const QString &caption, const QString &hint = {})
        : TComponent(owner), FCaption(caption), FHint(hint)
    {
        setObjectName(name);
    }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString &v)
    {
        if (v == QLatin1String("refused"))
            throw Exception(QStringLiteral("caption refused"));
        FCaption = v;
    }
    QString Hint() const { return FHint; }
    void SetHint(const QString &v) { FHint = v; }

private:
    QString FCaption;
    QString FHint;
};

namespace {

using namespace StreamPrimitives;

struct Item
{
    const char *name;
    const char *caption; // Spanish, the window's own text
    const char *hint;
    int captionId; // 0: not translatable
    int hintId;
    const char *english;
    const char *englishHint;
};

// The main window's translatable components with the IDs of its entry tree.
const Item kMainItems[] = {
    {"lblIni", "Inicializando el widget....", "", 1, 0, "Initializing the widget....", ""},
    {"menuVersion", "version", "", 3, 0, "version", ""},
    {"Idioma1", "Idioma", "Idioma para la aplicación", 4, 5, "Language", "Language for the application"},
    {"Espaol1", "Español", "", 25, 0, "Spanish", ""},
    {"Ingls1", "Inglés", "", 24, 0, "English", ""},
    {"N3", "Nivel de &opacidad", "", 9, 0, "Level of &opacity", ""},
    {"Intervalodeactualizacin1", "&Intervalo de actualización", "", 10, 0, "&Refresh interval", ""},
    {"N5sg1", "5 sg.", "", 11, 0, "5 sec.", ""},
    {"N10sg2", "10 sg.", "", 12, 0, "10 sec.", ""},
    {"N15sg1", "15 sg.", "", 13, 0, "15 sec.", ""},
    {"N30sg1", "30 sg.", "", 14, 0, "30 sec.", ""},
    {"N1minuto1", "1 min.", "", 15, 0, "1 min.", ""},
    {"Verdiscosdered1", "Ver discos de &red", "Si deseo ver los discos de red", 16, 17, "Show &network drives",
     "If you want to view network drives"},
    {"actCerrar", "&Cerrar", "Cerrar el widget", 18, 19, "&Close", "Close the widget"},
    {"actRefrescar", "&Refrescar", "Refrecar los datos", 20, 21, "&Refresh", "Refresh the data"},
    {"actEjecutarInicio", "&Ejecutar al inicio", "Ejecutar al inicio del sistema", 22, 23, "Run at &startup",
     "Run at system startup"},
};

const std::pair<const char *, const char *> kConstants[] = {
    {"msgdisponibles", "disponibles de"},
    {"msgVersion", "Version"},
    {"errIniciarComponente", "No se ha podido iniciar el componente de consulta."},
    {"msgIniciarAuto", "¿Desea que la aplicación se ejecute automáticamente al iniciar el sistema?"},
};
const std::pair<const char *, const char *> kEnglishConstants[] = {
    {"msgdisponibles", "available from"},
    {"msgVersion", "Version"},
    {"errIniciarComponente", "The query component could not be started."},
    {"msgIniciarAuto", "Do you want the application to run automatically when the system starts?"},
};

QString U(const char *s)
{
    return QString::fromUtf8(s);
}

// A LangData block: the root with one child entry per component and its
// (ID, property) records.
QByteArray LangDataOf(const QString &root, const std::vector<std::pair<QString, std::map<QString, int>>> &children)
{
    QBuffer b;
    b.open(QIODevice::WriteOnly);
    PutUtf8String(b, root);
    PutBool(b, false);
    PutBool(b, true);
    PutInt32(b, qint32(children.size()));
    for (const auto &[name, props] : children) {
        PutUtf8String(b, name);
        PutBool(b, !props.empty());
        if (!props.empty()) {
            PutInt32(b, qint32(props.size()));
            for (const auto &[path, id] : props) {
                PutInt32(b, id);
                PutUtf8String(b, path);
            }
        }
        PutBool(b, false);
    }
    return b.data();
}

QByteArray MainLangData()
{
    std::vector<std::pair<QString, std::map<QString, int>>> children;
    for (const Item &i : kMainItems) {
        std::map<QString, int> props;
        if (i.captionId)
            props["Caption"] = i.captionId;
        if (i.hintId)
            props["Hint"] = i.hintId;
        children.emplace_back(i.name, props);
    }
    return LangDataOf("FormMain", children);
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A window as the window loader leaves it: components created, blocks handed
// over, Loaded called on every component in definition order.
struct TWindow
{
    std::unique_ptr<QObject> form;
    TVLanguageController *vlLC = nullptr;
    TVLTranslationsStorage *vlTS = nullptr;
    int changing = 0;
    int changed = 0;
    QStringList log;

    TFixtureItem *Find(const QString &name) const { return form->findChild<TFixtureItem *>(name); }
};

std::unique_ptr<TWindow> MakeWindow(const QString &formName, const QByteArray &langData, bool withStorage,
                                    const std::vector<Item> &items, const QString &sectionName = {})
{
    auto w = std::make_unique<TWindow>();
    w->form = std::make_unique<QObject>();
    w->form->setObjectName(formName);
    for (const Item &i : items)
        new TFixtureItem(w->form.get(), i.name, U(i.caption), U(i.hint));
    w->vlLC = new TVLanguageController(w->form.get());
    w->vlLC->setObjectName("vlLC");
    w->vlLC->SetSectionName(sectionName);
    TWindow *raw = w.get();
    w->vlLC->SetOnLanguageChanging([raw](QObject *) { ++raw->changing; });
    w->vlLC->SetOnLanguageChanged([raw](QObject *) {
        ++raw->changed;
        // The window's own handler composes its version line from a constant
        // while the manager holds its read lock.
        raw->log << ConstantText("msgVersion") + " 1.2.0.0";
    });
    if (withStorage) {
        w->vlTS = new TVLTranslationsStorage(w->form.get());
        w->vlTS->setObjectName("vlTS");
    }
    w->vlLC->BeginLoading();
    w->vlLC->ReadBlock("LangData", langData);
    if (w->vlTS) {
        w->vlTS->BeginLoading();
        w->vlTS->ReadBlock("StoredTranslationFiles", ReadFile(":/forms/FormMain/vlTS.StoredTranslationFiles"));
    }
    w->vlLC->Loaded();
    if (w->vlTS)
        w->vlTS->Loaded();
    return w;
}

std::unique_ptr<TWindow> MakeMainWindow(bool withStorage = true)
{
    return MakeWindow("FormMain", MainLangData(), withStorage, {std::begin(kMainItems), std::end(kMainItems)});
}

void ExpectTexts(const TWindow &w, bool english)
{
    for (const Item &i : kMainItems) {
        TFixtureItem *item = w.Find(i.name);
        ASSERT_NE(item, nullptr) << i.name;
        EXPECT_EQ(item->Caption(), U(english ? i.english : i.caption)) << i.name;
        EXPECT_EQ(item->Hint(), U(english && i.hintId ? i.englishHint : i.hint)) << i.name;
    }
    for (const auto &[name, text] : english ? kEnglishConstants : kConstants)
        EXPECT_EQ(LangManager::Instance().ConstantText(name), U(text)) << name;
}

bool AddStream(LangManager &m, QByteArray bytes)
{
    QBuffer b(&bytes);
    b.open(QIODevice::ReadOnly);
    return m.AddLanguageStream(b);
}

class Manager : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LangManager::Shutdown();
        LangManager::Start();
    }
    void TearDown() override { LangManager::Shutdown(); }
};

template <typename E, typename F>
QString MessageOf(F f)
{
    try {
        f();
    } catch (const E &e) {
        return e.Message();
    }
    return QStringLiteral("(nothing thrown)");
}

TEST_F(Manager, LanguageIndexesWithTheProgramsData)
{
    LangManager &m = LangManager::Instance();
    EXPECT_EQ(m.DefaultLanguageId(), 3082u);
    EXPECT_EQ(m.ActiveLanguageId(), 3082u);
    EXPECT_EQ(MessageOf<EListError>([&] { m.LanguageIdAt(1); }),
              "List index out of bounds (0).  TVLang_LangResources is empty");

    auto w = MakeMainWindow();
    EXPECT_EQ(m.LanguageCount(), 2);
    EXPECT_EQ(m.LanguageIdAt(0), 3082u);
    EXPECT_EQ(m.LanguageIdAt(1), 1033u);
    EXPECT_EQ(MessageOf<EListError>([&] { m.LanguageIdAt(2); }),
              "List index out of bounds (1).  TVLang_LangResources range is 0..0");
    EXPECT_EQ(MessageOf<EListError>([&] { m.LanguageIdAt(-1); }),
              "List index out of bounds (-2).  TVLang_LangResources range is 0..0");
}

TEST_F(Manager, SwitchingTranslatesTheWindowAndTheConstantsAndSwitchingBackRestoresThem)
{
    auto w = MakeMainWindow();
    ExpectTexts(*w, false);
    LangManager &m = LangManager::Instance();

    m.SwitchLanguage(m.LanguageIdAt(1));
    EXPECT_EQ(m.ActiveLanguageId(), 1033u);
    ExpectTexts(*w, true);
    EXPECT_EQ(ConstantText("MSGDISPONIBLES"), "available from");

    m.SwitchLanguage(3082);
    ExpectTexts(*w, false);

    // A language nobody registered selects the default language.
    m.SwitchLanguage(1033);
    m.SwitchLanguage(1031);
    EXPECT_EQ(m.ActiveLanguageId(), 3082u);
    ExpectTexts(*w, false);
}

// The texts that came after the first four switch with them.
TEST_F(Manager, TheDriveCommandsTextsSwitchLanguageWithTheRest)
{
    auto w = MakeMainWindow();
    LangManager &m = LangManager::Instance();
    const std::tuple<const char *, const char *, const char *> texts[] = {
        {"msgAbrir", "Abrir", "Open"},
        {"msgOcultar", "Ocultar esta unidad", "Hide this drive"},
        {"msgUnidadesOcultas", "Unidades ocultas", "Hidden drives"},
        {"msgUnidadOcupada", "la unidad está en uso; cierre los programas y ventanas que la usan.",
         "the drive is in use; close the programs and windows that use it."},
    };
    m.SwitchLanguage(m.LanguageIdAt(1));
    for (const auto &[name, spanish, english] : texts)
        EXPECT_EQ(ConstantText(name), U(english)) << name;
    m.SwitchLanguage(3082);
    for (const auto &[name, spanish, english] : texts)
        EXPECT_EQ(ConstantText(name), U(spanish)) << name;
}

TEST_F(Manager, SameLanguageAgainRaisesNoEvents)
{
    auto w = MakeMainWindow();
    LangManager &m = LangManager::Instance();
    struct Step
    {
        quint32 langId;
        int events; // changing and changed events so far
    };
    const Step steps[] = {{3082, 0}, {1031, 0}, {1033, 1}, {1033, 1}, {1031, 2}, {3082, 2}, {1033, 3}};
    for (const Step &s : steps) {
        m.SwitchLanguage(s.langId);
        EXPECT_EQ(w->changing, s.events) << "after " << s.langId;
        EXPECT_EQ(w->changed, s.events) << "after " << s.langId;
    }
    // The after-event read the constant in the new language.
    EXPECT_EQ(w->log.last(), "Version 1.2.0.0");
}

TEST_F(Manager, WindowCreatedWhileEnglishIsActiveComesUpInEnglish)
{
    auto first = MakeMainWindow();
    LangManager &m = LangManager::Instance();
    m.SwitchLanguage(1033);
    auto second = MakeMainWindow(false);
    ExpectTexts(*second, true);
    EXPECT_EQ(second->changing, 1);
    EXPECT_EQ(second->changed, 1);
    EXPECT_EQ(m.ControllerCount(), 2);

    // Both follow the next switch; a destroyed window is no longer touched.
    second.reset();
    EXPECT_EQ(m.ControllerCount(), 1);
    m.SwitchLanguage(3082);
    ExpectTexts(*first, false);
}

TEST_F(Manager, WindowLoadedInTheDefaultLanguageIsLeftAlone)
{
    auto w = MakeMainWindow();
    EXPECT_EQ(w->changing, 0);
    EXPECT_EQ(w->changed, 0);
    ExpectTexts(*w, false);
}

TEST_F(Manager, AddLanguageStreamRegistersByTheFilesLangId)
{
    LangManager &m = LangManager::Instance();
    struct Case
    {
        QByteArray file;
        bool result;
        int languages; // LanguageCount afterwards
    };
    const Case cases[] = {
        {"LANGID=0\r\n[$CONSTANTS]\r\nmsgVersion=x\r\n", false, 1},
        {"Generator=x\r\n", false, 1},
        {"LANGID=German\r\n", false, 1},
        {"", false, 1},
        {"SourceLANGID=1033\r\nLANGID=3082\r\n", true, 1}, // the default language
        {"LANGID=1031\r\n[$CONSTANTS]\r\nmsgVersion=Version A\r\n", true, 2},
        {"LANGID=1036\r\n[$CONSTANTS]\r\nmsgVersion=Version B\r\n", true, 3},
        // Same LANGID again: replaces the first one in place.
        {"LANGID=1031\r\n[$CONSTANTS]\r\nmsgVersion=Version A2\r\n", true, 3},
        // Only the header is read at registration.
        {"LANGID=1040\r\n[FormMain]\r\n1=a\r\n1=b\r\n", true, 4},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(AddStream(m, c.file), c.result) << c.file.constData();
        EXPECT_EQ(m.LanguageCount(), c.languages) << c.file.constData();
    }
    EXPECT_EQ(m.LanguageIdAt(1), 1031u);
    EXPECT_EQ(m.LanguageIdAt(2), 1036u);
    EXPECT_EQ(m.LanguageIdAt(3), 1040u);
    EXPECT_EQ(m.Resources().Items(0).Kind, TVLang_LangResourceKind::vlrkStream);

    m.SwitchLanguage(1031);
    EXPECT_EQ(m.ConstantText("msgVersion"), "Version A2");
    m.SwitchLanguage(1036);
    EXPECT_EQ(m.ConstantText("msgVersion"), "Version B");

    // The broken translation fails at the switch and changes nothing.
    EXPECT_THROW(m.SwitchLanguage(1040), EVLangError);
    EXPECT_EQ(m.ActiveLanguageId(), 1036u);
    EXPECT_EQ(m.ConstantText("msgVersion"), "Version B");
}

TEST_F(Manager, DefaultLanguageFromTheVersionInformation)
{
    EXPECT_EQ(LangManager::ProgramVersionLangId(), std::optional<quint32>(3082));
    struct Case
    {
        std::optional<quint32> version;
        quint32 expected;
    };
    const Case cases[] = {{std::nullopt, 1033}, {0x04E40C0Au, 3082}, {0x04B00407u, 1031}, {3082, 3082}};
    for (const Case &c : cases) {
        LangManager m(c.version);
        EXPECT_EQ(m.DefaultLanguageId(), c.expected);
        EXPECT_EQ(m.ActiveLanguageId(), c.expected);
        EXPECT_EQ(m.LanguageIdAt(0), c.expected);
        EXPECT_EQ(m.ConstantText("msgVersion"), "Version");
    }
    // A translation for the default language is not registered.
    LangManager english(std::nullopt);
    EXPECT_TRUE(AddStream(english, "LANGID=1033\r\n"));
    EXPECT_EQ(english.LanguageCount(), 1);
}

TEST_F(Manager, MissingSectionGivesTheSourceTextsNotThePreviousTranslation)
{
    const std::vector<Item> items = {{"lbl", "Hola", "", 1, 0, "", ""}};
    auto w = MakeWindow("FormX", LangDataOf("FormX", {{"lbl", {{"Caption", 1}}}}), false, items);
    LangManager &m = LangManager::Instance();
    ASSERT_TRUE(AddStream(m, "LANGID=1031\r\n[FormX]\r\n00000001=Hallo\r\n"));
    ASSERT_TRUE(AddStream(m, "LANGID=1036\r\n[FormY]\r\n00000001=Salut\r\n"));
    m.SwitchLanguage(1031);
    EXPECT_EQ(w->Find("lbl")->Caption(), "Hallo");
    m.SwitchLanguage(1036);
    EXPECT_EQ(w->Find("lbl")->Caption(), "Hola");
    EXPECT_EQ(w->changed, 2);
}

TEST_F(Manager, SectionFoundByStrippingSuffixesFromTheEnd)
{
    struct Case
    {
        const char *sectionName; // the controller's
        QByteArray sections;     // of the translation
        const char *expected;
    };
    const Case cases[] = {
        {"FormX_a_b", "[FormX]\r\n1=plain\r\n[FormX_a]\r\n1=suffix a\r\n", "suffix a"},
        {"FormX_a_b", "[FormX]\r\n1=plain\r\n", "plain"},
        {"FormX_2", "[FormX]\r\n1=plain\r\n", "plain"},
        {"FormX_ab", "[FormX_]\r\n1=underscore\r\n", "source"},
        {"FormX", "[FormX_a]\r\n1=suffix a\r\n", "source"},
        {"formx_A", "[FORMX]\r\n1=any case\r\n", "any case"},
    };
    quint32 langId = 2000;
    for (const Case &c : cases) {
        const std::vector<Item> items = {{"lbl", "source", "", 1, 0, "", ""}};
        auto w = MakeWindow("FormW", LangDataOf("FormW", {{"lbl", {{"Caption", 1}}}}), false, items,
                            c.sectionName);
        LangManager &m = LangManager::Instance();
        ASSERT_TRUE(AddStream(m, "LANGID=" + QByteArray::number(++langId) + "\r\n" + c.sections));
        m.SwitchLanguage(langId);
        EXPECT_EQ(w->Find("lbl")->Caption(), c.expected) << c.sectionName;
        m.SwitchLanguage(3082);
    }
}

TEST_F(Manager, FailureWhileApplyingStillRaisesTheAfterEvent)
{
    const std::vector<Item> items = {{"a", "uno", "", 1, 0, "", ""}, {"b", "dos", "", 2, 0, "", ""}};
    auto w = MakeWindow("FormX", LangDataOf("FormX", {{"a", {{"Caption", 1}}}, {"b", {{"Caption", 2}}}}), false,
                        items);
    auto later = MakeWindow("FormZ", LangDataOf("FormZ", {{"a", {{"Caption", 1}}}}), false, {items[0]});
    LangManager &m = LangManager::Instance();
    ASSERT_TRUE(AddStream(m,
                          "LANGID=1031\r\n[FormX]\r\n1=refused\r\n2=zwei\r\n[FormZ]\r\n1=eins\r\n"
                          "[$CONSTANTS]\r\nmsgVersion=Fassung\r\n"));
    EXPECT_EQ(MessageOf<Exception>([&] { m.SwitchLanguage(1031); }), "caption refused");
    EXPECT_EQ(w->changing, 1);
    EXPECT_EQ(w->changed, 1);
    // The language and the constants had changed; the windows after the
    // failing one keep their texts until the next switch.
    EXPECT_EQ(m.ActiveLanguageId(), 1031u);
    EXPECT_EQ(m.ConstantText("msgVersion"), "Fassung");
    EXPECT_EQ(later->Find("a")->Caption(), "uno");
    EXPECT_EQ(later->changing, 0);

    // A failing before-event stops that window before anything changes.
    w->vlLC->SetOnLanguageChanging([](QObject *) { throw Exception("not now"); });
    EXPECT_EQ(MessageOf<Exception>([&] { m.SwitchLanguage(3082); }), "not now");
    EXPECT_EQ(w->changed, 1);
    EXPECT_EQ(m.ActiveLanguageId(), 3082u);
    EXPECT_EQ(m.ConstantText("msgVersion"), "Version");
}

TEST_F(Manager, TranslationThatDoesNotLoadChangesNothing)
{
    auto w = MakeMainWindow();
    LangManager &m = LangManager::Instance();
    QTemporaryDir dir;
    const QString path = dir.filePath("1031 Deutsch.lng");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("LANGID=1031\r\n[FormMain]\r\n00000001=Widget wird gestartet\r\n");
    }
    ASSERT_TRUE(m.AddLanguageFile(path));
    EXPECT_EQ(m.Resources().Items(1).Kind, TVLang_LangResourceKind::vlrkFile);
    m.SwitchLanguage(1031);
    EXPECT_EQ(w->Find("lblIni")->Caption(), "Widget wird gestartet");
    m.SwitchLanguage(1033);
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_THROW(m.SwitchLanguage(1031), EFOpenError);
    EXPECT_EQ(m.ActiveLanguageId(), 1033u);
    EXPECT_EQ(w->changed, 2);
    ExpectTexts(*w, true);
}

TEST_F(Manager, UserTranslationsFromTheDataFolder)
{
    QTemporaryDir dir;
    auto write = [&](const char *name, const QByteArray &bytes) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write("1031 Deutsch.lng", "LANGID=1031\r\n[FormMain]\r\n00000004=Sprache\r\n");
    write("1036 Français.lng", "\xEF\xBB\xBFLANGID=1036\r\n[FormMain]\r\n00000004=Langue\r\n");
    write("broken.lng", "LANGID=1040\r\n[FormMain]\r\n00000004=a\r\n00000004=b\r\n");
    write("noid.lng", "[FormMain]\r\n00000004=x\r\n");
    write("spanish.lng", "LANGID=3082\r\n");
    write("readme.txt", "LANGID=1049\r\n");

    auto w = MakeMainWindow();
    LangManager &m = LangManager::Instance();
    EXPECT_EQ(m.RegisterUserTranslations(dir.path()), 3); // German, French and the Spanish no-op
    EXPECT_EQ(m.RegisterUserTranslations(dir.filePath("missing")), 0);
    const QList<LangManager::TLanguageInfo> languages = m.Languages();
    ASSERT_EQ(languages.size(), 4);
    EXPECT_EQ(languages[0].wLangID, 3082u);
    EXPECT_EQ(languages[1].wLangID, 1033u);
    EXPECT_EQ(languages[2].wLangID, 1031u);
    EXPECT_EQ(languages[2].NativeName, "Deutsch");
    EXPECT_EQ(languages[3].wLangID, 1036u);
    EXPECT_EQ(languages[3].NativeName, "français");
    m.SwitchLanguage(m.LanguageIdAt(3));
    EXPECT_EQ(w->Find("Idioma1")->Caption(), "Langue");
    EXPECT_EQ(LangManager::LanguageNativeName(0x7F), "LANGID 127");
    EXPECT_EQ(LangManager::LanguageEnglishName(1033), "English");
    EXPECT_EQ(LangManager::LanguageEnglishName(3082), "Spanish");
    EXPECT_EQ(LangManager::LanguageEnglishName(0x0416), "Portuguese");
}

TEST_F(Manager, UserTranslationsFolderFollowsXdgDataHome)
{
#ifndef Q_OS_WIN
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/tmp/xdg-data");
    EXPECT_EQ(LangManager::UserTranslationsFolder(), "/tmp/xdg-data/Velmora/translations");
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(LangManager::UserTranslationsFolder(), QDir::homePath() + "/.local/share/Velmora/translations");
    if (!saved.isEmpty())
        qputenv("XDG_DATA_HOME", saved);
#else
    GTEST_SKIP() << "Linux data folder";
#endif
}

// Constants are read from other threads while the user interface switches
// languages: every read sees one whole text of one language.
TEST_F(Manager, ConstantsReadFromOtherThreadsDuringSwitches)
{
    auto w = MakeMainWindow();
    LangManager &m = LangManager::Instance();
    std::atomic_bool stop{false}, torn{false};
    std::atomic_int reads{0}, running{0};
    auto reader = [&] {
        ++running;
        while (!stop) {
            const QString text = ConstantText("msgdisponibles");
            if (text != "disponibles de" && text != "available from")
                torn = true;
            ++reads;
        }
    };
    std::thread r1(reader), r2(reader);
    // The switches only prove something while both readers are at work: on a
    // busy machine a thread can start after a short loop has already ended.
    while (running < 2)
        std::this_thread::yield();
    for (int i = 0; i < 200 || reads == 0; ++i)
        m.SwitchLanguage(i % 2 ? 3082 : 1033);
    stop = true;
    r1.join();
    r2.join();
    EXPECT_FALSE(torn);
    EXPECT_GT(reads, 0);
    ExpectTexts(*w, false);
}

TEST_F(Manager, StartInADesignEnvironmentIsRefused)
{
    LangManager::SetRunningInDesigner(true);
    EXPECT_EQ(MessageOf<EVLangError>([] { LangManager m; }), "Call to LangManager() is allowed at runtime only");
    LangManager::SetRunningInDesigner(false);
}

// The window definition as the program loads it: its LangData and its stored
// translation come from the resources.
TEST_F(Manager, ProgramWindowDefinitionSwitchesToEnglish)
{
    if (!QFile::exists(":/forms/FormMain/vlLC.LangData"))
        GTEST_SKIP() << "the main window's LangData block is not among the resources of this build";
    QObject form;
    form.setObjectName("FormMain");
    for (const Item &i : kMainItems)
        new TFixtureItem(&form, i.name, U(i.caption), U(i.hint));
    auto *vlLC = new TVLanguageController(&form);
    vlLC->setObjectName("vlLC");
    auto *vlTS = new TVLTranslationsStorage(&form);
    vlTS->setObjectName("vlTS");
    vcl::LoadWindowDefinition(&form, "FormMain");
    LangManager &m = LangManager::Instance();
    ASSERT_EQ(m.LanguageIdAt(1), 1033u);
    m.SwitchLanguage(1033);
    for (const Item &i : kMainItems)
        EXPECT_EQ(form.findChild<TFixtureItem *>(i.name)->Caption(), U(i.english)) << i.name;
    m.SwitchLanguage(3082);
    for (const Item &i : kMainItems)
        EXPECT_EQ(form.findChild<TFixtureItem *>(i.name)->Caption(), U(i.caption)) << i.name;
}

} // namespace

#include "tst_langmanager.moc"
