// SPDX-License-Identifier: MIT
#pragma once

#include "localization/Constants.h"
#include "localization/ControllerManager.h"
#include "localization/LangResources.h"
#include "localization/ReentrantRWLock.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>

class QIODevice;
class QLocale;
class TVLang_CompTranslations;
class TVLanguageController;

// The engine-wide language manager: the default language (the one the
// windows and constants are written in), the registered translations, the
// active language, the program's named constants and the attached language
// controllers (one per translatable window, referenced, not owned).
//
// The program's manager is started before the first window exists
// (LangManager::Instance(), or Start) and ended after the last window is gone
// (Shutdown). While it runs it is the manager the language controllers talk
// to. Other instances can be built for tests; they serve controllers only
// when installed with VLang_SetControllerManager.
//
// Every operation takes the manager's reader/writer lock; the lock lets its
// holder take it again for reading, so event handlers may read constants
// while windows are being translated.
class LangManager final : public IVLang_ControllerManager
{
public:
    // A registered language as the language menu lists it.
    struct TLanguageInfo
    {
        quint32 wLangID = 0;
        // The language's own name ("español", "English", "Deutsch"), or
        // "LANGID <n>" for an identifier this program does not know.
        QString NativeName;
    };

    // The program's manager, started on first use.
    static LangManager &Instance();
    // Starts the program's manager if it is not running (Instance does so too).
    static void Start();
    // Ends the program's manager: it stops serving controllers and releases
    // its constants, controller list, resources and lock. Instance() starts a
    // new one afterwards.
    static void Shutdown();

    // Set only by a design environment; the program never sets it. A manager
    // started while it is set fails with EVLangError "Call to LangManager()
    // is allowed at runtime only", and the storage does not register its
    // files.
    static bool RunningInDesigner();
    static void SetRunningInDesigner(bool value);

    // The LANGID of the program's version information (language 0x0C0A with
    // code page 1252: 3082), or nothing when the build carries none.
    static std::optional<quint32> ProgramVersionLangId();

    // An engine with the default language from versionLangId (its low 16
    // bits; 1033 when there is none) and the constants of the block
    // "VLANG_CONSTS" in constantsModule (a Qt resource folder; a missing block
    // leaves no constants). Active language = default language.
    explicit LangManager(std::optional<quint32> versionLangId = ProgramVersionLangId(),
                         const QString &constantsModule = QString());
    ~LangManager() override;
    LangManager(const LangManager &) = delete;
    LangManager &operator=(const LangManager &) = delete;

    // The current text of a constant; EVLangError "Constant "%s" not found".
    QString ConstantText(const QString &wsName) const;
    quint32 DefaultLanguageId() const;
    quint32 ActiveLanguageId() const;
    // Index 0: the default language; i >= 1: the i-th registered translation
    // in registration order. Other indexes throw EListError "List index out
    // of bounds (%d).  TVLang_LangResources range is 0..%d" (or ".  ... is
    // empty") with index - 1 and the highest list position.
    quint32 LanguageIdAt(int index) const;
    // The number of valid language indexes: 1 + the registered translations.
    int LanguageCount() const;
    // The languages by index, with their own names.
    QList<TLanguageInfo> Languages() const;
    // The language's own name, e.g. 1031 -> "Deutsch"; "LANGID <n>" when unknown.
    static QString LanguageNativeName(quint32 wLangID);
    // The language's English name ("English", "German"); "LANGID <n>" when unknown.
    static QString LanguageEnglishName(quint32 wLangID);
    // The locale of a LANGID's language (with its territory where the
    // sublanguage matters, e.g. 0x0416 Portuguese of Brazil); QLocale::c()
    // for a language Qt cannot name.
    static QLocale LanguageLocale(quint32 wLangID);

    // Makes wLangID the active language: loads its translation and, when the
    // language changes, translates the constants and every attached window.
    // An unregistered LANGID selects the default language; the active
    // language again does nothing at all. A translation that does not load
    // throws and changes nothing.
    void SwitchLanguage(quint32 wLangID);

    // Registers a copy of the translation file in stream under the file's
    // LANGID parameter. False (nothing registered) when the LANGID is absent,
    // not a number or 0; true otherwise, also when it is the default language
    // (then nothing is registered). A header that does not read throws.
    bool AddLanguageStream(QIODevice &Stream);
    // Registers the translation file wsFileName (kept on disk, read at every
    // switch) under its LANGID parameter, with the answers of
    // AddLanguageStream. The whole file is read once here, so a file that
    // does not load throws now rather than at a switch.
    bool AddLanguageFile(const QString &wsFileName);

    // Registers every "*.lng" file of folder (in name order) with
    // AddLanguageFile. A file that does not read is skipped with a warning on
    // stderr. Answers the number of files registered. Call it after the main
    // window's stored translations are registered, so that index 1 stays the
    // stored English translation.
    int RegisterUserTranslations(const QString &folder);
    // Where the user's own translations live: $XDG_DATA_HOME/Velmora/translations
    // (default ~/.local/share/...) on Linux, %APPDATA%\Brindlewick\Velmora\translations
    // on Windows.
    static QString UserTranslationsFolder();

    // IVLang_ControllerManager.
    void AttachController(TVLanguageController *Controller) override;
    void DetachController(TVLanguageController *Controller) override;
    // Brings a freshly loaded window into the active language when that is
    // not the default one; the constants are not touched.
    void TranslateLoadedController(TVLanguageController *Controller) override;

    // The translation for wLangID, or nullptr for the default language and
    // for a LANGID without a resource. Loading errors propagate. The caller
    // holds the lock.
    std::unique_ptr<TVLang_CompTranslations> LoadTranslationsFor(quint32 wLangID) const;
    // Translates the constants (back to their defaults for nullptr), then
    // every attached controller in attachment order.
    void ApplyToAllControllers(const TVLang_CompTranslations *Translation);
    // OnLanguageChanging; the controller's section (its ActualSectionName,
    // stripped of "_..." suffixes one at a time from the end until a section
    // is found) applied to its entry tree, or the source texts when there is
    // none; OnLanguageChanged, also when applying failed (the failure then
    // propagates after the event).
    void ApplyToController(const TVLang_CompTranslations *Translation, TVLanguageController *Controller);

    int ControllerCount() const;
    const TVLang_LangResources &Resources() const { return *FResources; }

private:
    quint32 LangIdOfTranslation(const TVLang_CompTranslations &Translation) const;

    // Released in the reverse order of declaration: constants, controllers,
    // resources, lock.
    mutable TReentrantRWLock FLock;
    std::unique_ptr<TVLang_LangResources> FResources;
    QList<TVLanguageController *> FControllers;
    std::unique_ptr<TVLang_Constants> FConstants;
    quint32 FDefaultLanguage = 1033;
    quint32 FActiveLanguage = 1033;
};
