// SPDX-License-Identifier: MIT
#include "localization/LangManager.h"

#include "localization/FeatureConstants.h"
#include "localization/LanguageController.h"
#include "localization/LocalizationLog.h"
#include "localization/ProgramConstants.h"
#include "localization/SystemErrors.h"
#include "localization/Translations.h"
#include "localization/VLangError.h"
#include "platform/Folders.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QLocale>
#include <QStandardPaths>

#include <atomic>
#include <mutex>

// The resource object of a static library is linked only when something
// refers to it; the engine's start does, outside any namespace as the macro
// requires.
static void InitLocalizationResources()
{
    Q_INIT_RESOURCE(localization);
}

namespace {

std::atomic_bool DesignerFlag{false};

// User translation files are a few kilobytes; anything far larger is not one.
constexpr qint64 MaxUserTranslationSize = 4 * 1024 * 1024;

struct TProgramManager
{
    std::mutex mutex;
    std::atomic<LangManager *> running{nullptr};
    std::unique_ptr<LangManager> manager;
    ~TProgramManager()
    {
        if (manager)
            VLang_SetControllerManager(nullptr);
    }
};

TProgramManager &ProgramManager()
{
    static TProgramManager holder;
    return holder;
}

// Windows primary language identifiers (the low 10 bits of a LANGID) of the
// languages Qt can name, with the territory where the sublanguage matters.
QLocale LocaleOfLangId(quint32 wLangID)
{
    switch (wLangID & 0xFFFF) {
    case 0x0416:
        return QLocale(QLocale::Portuguese, QLocale::Brazil);
    case 0x0816:
        return QLocale(QLocale::Portuguese, QLocale::Portugal);
    case 0x0804:
        return QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
    case 0x0404:
        return QLocale(QLocale::Chinese, QLocale::TraditionalHanScript, QLocale::Taiwan);
    default:
        break;
    }
    struct Primary
    {
        quint16 id;
        QLocale::Language language;
    };
    static constexpr Primary table[] = {
        {0x01, QLocale::Arabic},     {0x02, QLocale::Bulgarian},       {0x03, QLocale::Catalan},
        {0x04, QLocale::Chinese},    {0x05, QLocale::Czech},           {0x06, QLocale::Danish},
        {0x07, QLocale::German},     {0x08, QLocale::Greek},           {0x09, QLocale::English},
        {0x0A, QLocale::Spanish},    {0x0B, QLocale::Finnish},         {0x0C, QLocale::French},
        {0x0D, QLocale::Hebrew},     {0x0E, QLocale::Hungarian},       {0x0F, QLocale::Icelandic},
        {0x10, QLocale::Italian},    {0x11, QLocale::Japanese},        {0x12, QLocale::Korean},
        {0x13, QLocale::Dutch},      {0x14, QLocale::NorwegianBokmal}, {0x15, QLocale::Polish},
        {0x16, QLocale::Portuguese}, {0x18, QLocale::Romanian},        {0x19, QLocale::Russian},
        {0x1A, QLocale::Croatian},   {0x1B, QLocale::Slovak},          {0x1D, QLocale::Swedish},
        {0x1F, QLocale::Turkish},    {0x21, QLocale::Indonesian},      {0x22, QLocale::Ukrainian},
        {0x24, QLocale::Slovenian},  {0x25, QLocale::Estonian},        {0x26, QLocale::Latvian},
        {0x27, QLocale::Lithuanian}, {0x2A, QLocale::Vietnamese},      {0x2D, QLocale::Basque},
        {0x56, QLocale::Galician},
    };
    const quint16 primary = quint16(wLangID & 0x3FF);
    for (const Primary &p : table)
        if (p.id == primary)
            return QLocale(p.language);
    return QLocale::c();
}

} // namespace

LangManager &LangManager::Instance()
{
    if (LangManager *running = ProgramManager().running.load(std::memory_order_acquire))
        return *running;
    Start();
    return *ProgramManager().manager;
}

void LangManager::Start()
{
    TProgramManager &holder = ProgramManager();
    std::lock_guard guard(holder.mutex);
    if (holder.manager)
        return;
    holder.manager = std::make_unique<LangManager>();
    VLang_SetControllerManager(holder.manager.get());
    holder.running.store(holder.manager.get(), std::memory_order_release);
}

void LangManager::Shutdown()
{
    TProgramManager &holder = ProgramManager();
    std::lock_guard guard(holder.mutex);
    if (!holder.manager)
        return;
    holder.running.store(nullptr, std::memory_order_release);
    VLang_SetControllerManager(nullptr);
    holder.manager.reset();
}

QLocale LangManager::LanguageLocale(quint32 wLangID)
{
    return LocaleOfLangId(wLangID);
}

bool LangManager::RunningInDesigner()
{
    return DesignerFlag;
}
void LangManager::SetRunningInDesigner(bool value)
{
    DesignerFlag = value;
}

std::optional<quint32> LangManager::ProgramVersionLangId()
{
#ifdef VELMORA_VERSION_LANGID
    return quint32(VELMORA_VERSION_LANGID);
#else
    return std::nullopt;
#endif
}

LangManager::LangManager(std::optional<quint32> versionLangId, const QString &constantsModule)
{
    if (RunningInDesigner())
        throw EVLangError::CreateFmt(VLangMessages::RuntimeOnly, {});
    FResources = std::make_unique<TVLang_LangResources>();
    FConstants = std::make_unique<TVLang_Constants>();
    FDefaultLanguage = 1033;
    // The version information's translation entry: language in the low
    // 16 bits, code page in the high ones (unused).
    if (versionLangId)
        FDefaultLanguage = *versionLangId & 0xFFFF;
    FActiveLanguage = FDefaultLanguage;
    InitLocalizationResources();
    const QString module = constantsModule.isEmpty() ? ProgramResourceModule() : constantsModule;
    if (!FConstants->LoadFromResource(module, QStringLiteral("VLANG_CONSTS")))
        qCWarning(lcLocalization) << "no constants block in" << module;
    if (constantsModule.isEmpty())
        AddFeatureConstants(*FConstants);
    ApplyToAllControllers(nullptr);
}

LangManager::~LangManager()
{
    FConstants.reset();
    FControllers.clear();
    FResources.reset();
}

QString LangManager::ConstantText(const QString &wsName) const
{
    TReadLocker lock(FLock);
    return FConstants->Values(wsName);
}

quint32 LangManager::DefaultLanguageId() const
{
    TReadLocker lock(FLock);
    return FDefaultLanguage;
}

quint32 LangManager::ActiveLanguageId() const
{
    TReadLocker lock(FLock);
    return FActiveLanguage;
}

quint32 LangManager::LanguageIdAt(int index) const
{
    TReadLocker lock(FLock);
    if (index == 0)
        return FDefaultLanguage;
    // The list's own index error, for the list position index - 1.
    return FResources->Items(index - 1).wLangID;
}

int LangManager::LanguageCount() const
{
    TReadLocker lock(FLock);
    return 1 + FResources->Count();
}

QList<LangManager::TLanguageInfo> LangManager::Languages() const
{
    TReadLocker lock(FLock);
    QList<TLanguageInfo> out;
    out.append({FDefaultLanguage, LanguageNativeName(FDefaultLanguage)});
    for (int i = 0; i < FResources->Count(); ++i) {
        const quint32 id = FResources->Items(i).wLangID;
        out.append({id, LanguageNativeName(id)});
    }
    return out;
}

QString LangManager::LanguageNativeName(quint32 wLangID)
{
    const QLocale locale = LocaleOfLangId(wLangID);
    if (locale.language() == QLocale::C)
        return QStringLiteral("LANGID %1").arg(wLangID);
    return locale.nativeLanguageName();
}

QString LangManager::LanguageEnglishName(quint32 wLangID)
{
    const QLocale locale = LocaleOfLangId(wLangID);
    if (locale.language() == QLocale::C)
        return QStringLiteral("LANGID %1").arg(wLangID);
    return QLocale::languageToString(locale.language());
}

void LangManager::SwitchLanguage(quint32 wLangID)
{
    std::unique_ptr<TVLang_CompTranslations> translation;
    bool changed = false;
    {
        TWriteLocker lock(FLock);
        translation = LoadTranslationsFor(wLangID);
        if (!translation)
            wLangID = DefaultLanguageId();
        changed = wLangID != FActiveLanguage;
        if (changed)
            FActiveLanguage = wLangID;
    }
    if (changed)
        ApplyToAllControllers(translation.get());
}

quint32 LangManager::LangIdOfTranslation(const TVLang_CompTranslations &Translation) const
{
    bool ok = false;
    const int value = Translation.ParamValue(QStringLiteral("LANGID")).toInt(&ok, 10);
    return ok ? quint32(value) : 0;
}

bool LangManager::AddLanguageStream(QIODevice &Stream)
{
    TWriteLocker lock(FLock);
    quint32 id = 0;
    {
        TVLang_CompTranslations header;
        header.Text_LoadFromStream(Stream, true);
        id = LangIdOfTranslation(header);
    }
    if (id == 0)
        return false;
    if (!Stream.isSequential())
        Stream.seek(0);
    if (id != DefaultLanguageId())
        FResources->Add(Stream, id);
    return true;
}

bool LangManager::AddLanguageFile(const QString &wsFileName)
{
    const QFileInfo info(wsFileName);
    if (info.isFile() && info.size() > MaxUserTranslationSize)
        throw EVLangError(QStringLiteral("\"%1\" is too large for a translation file (%2 bytes)")
                              .arg(QDir::toNativeSeparators(wsFileName))
                              .arg(info.size()));
    TVLang_CompTranslations translation;
    translation.Text_LoadFromFile(wsFileName, false);
    const quint32 id = LangIdOfTranslation(translation);
    if (id == 0)
        return false;
    TWriteLocker lock(FLock);
    if (id != DefaultLanguageId())
        FResources->Add(info.absoluteFilePath(), id);
    return true;
}

int LangManager::RegisterUserTranslations(const QString &folder)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return 0;
    int registered = 0;
    const QStringList names = dir.entryList({QStringLiteral("*.lng")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        try {
            if (AddLanguageFile(path))
                ++registered;
            else
                qCWarning(lcLocalization).noquote()
                    << "skipping translation" << QDir::toNativeSeparators(path) << ": no LANGID parameter";
        } catch (const std::exception &e) {
            qCWarning(lcLocalization).noquote()
                << "skipping translation" << QDir::toNativeSeparators(path) << ":" << QString::fromUtf8(e.what());
        }
    }
    return registered;
}

QString LangManager::UserTranslationsFolder()
{
    // Linux: $XDG_DATA_HOME/Velmora (~/.local/share when the variable is
    // unset or relative); Windows: %APPDATA%\Brindlewick\Velmora.
    const QString data = QString::fromStdString(platform::ProgramDataFolder());
    if (data.isEmpty())
        return QString();
    return QDir(data).filePath(QStringLiteral("translations"));
}

void LangManager::AttachController(TVLanguageController *Controller)
{
    TWriteLocker lock(FLock);
    FControllers.append(Controller);
}

void LangManager::DetachController(TVLanguageController *Controller)
{
    TWriteLocker lock(FLock);
    FControllers.removeOne(Controller);
}

int LangManager::ControllerCount() const
{
    TReadLocker lock(FLock);
    return int(FControllers.size());
}

void LangManager::TranslateLoadedController(TVLanguageController *Controller)
{
    TReadLocker lock(FLock);
    if (FActiveLanguage == DefaultLanguageId())
        return;
    const std::unique_ptr<TVLang_CompTranslations> translation = LoadTranslationsFor(FActiveLanguage);
    if (translation)
        ApplyToController(translation.get(), Controller);
}

std::unique_ptr<TVLang_CompTranslations> LangManager::LoadTranslationsFor(quint32 wLangID) const
{
    if (wLangID == DefaultLanguageId())
        return nullptr;
    const TVLang_LangResource *resource = FResources->FindLangID(wLangID);
    if (!resource)
        return nullptr;
    auto translation = std::make_unique<TVLang_CompTranslations>();
    switch (resource->Kind) {
    case TVLang_LangResourceKind::vlrkResName:
        translation->Text_LoadFromResource(resource->Instance, resource->wsName, false);
        break;
    case TVLang_LangResourceKind::vlrkResID:
        translation->Text_LoadFromResource(resource->Instance, resource->iResID, false);
        break;
    case TVLang_LangResourceKind::vlrkFile:
        translation->Text_LoadFromFile(resource->wsName, false);
        break;
    case TVLang_LangResourceKind::vlrkStream:
        // Registration refuses a stream it cannot copy, so an entry always
        // holds one. Its bytes are read without moving the buffer's position,
        // so that readers sharing the lock never change the entry.
        if (!resource->Stream)
            throw EReadError();
        translation->Text_LoadFromBytes(resource->Stream->data(), false);
        break;
    }
    return translation;
}

void LangManager::ApplyToAllControllers(const TVLang_CompTranslations *Translation)
{
    // The constants change in place, so they are translated under the write
    // lock (readers of ConstantText on other threads never see a text being
    // replaced); the lock is then kept for reading only while the windows are
    // translated, so that event handlers can read constants.
    FLock.BeginWrite();
    try {
        FConstants->TranslateFrom(Translation ? &Translation->Constants() : nullptr);
        FLock.BeginRead();
    } catch (...) {
        FLock.EndWrite();
        throw;
    }
    FLock.EndWrite();
    struct TReadRelease
    {
        TReentrantRWLock &lock;
        ~TReadRelease() { lock.EndRead(); }
    } release{FLock};
    // Event handlers may create or destroy windows (attaching or detaching
    // controllers) while the list is walked: walk a snapshot and skip the
    // controllers that have gone in the meantime.
    QList<QPointer<TVLanguageController>> snapshot;
    snapshot.reserve(FControllers.size());
    for (TVLanguageController *c : std::as_const(FControllers))
        snapshot.append(c);
    for (const QPointer<TVLanguageController> &c : std::as_const(snapshot))
        if (c && FControllers.contains(c.data()))
            ApplyToController(Translation, c.data());
}

void LangManager::ApplyToController(const TVLang_CompTranslations *Translation, TVLanguageController *Controller)
{
    Controller->DoLanguageChanging();
    try {
        const TVLang_CompTranslation *section = nullptr;
        if (Translation) {
            QString name = Controller->ActualSectionName();
            section = Translation->FindComponentName(name);
            while (!section && name.contains(QLatin1Char('_'))) {
                name.truncate(name.lastIndexOf(QLatin1Char('_')));
                section = Translation->FindComponentName(name);
            }
        }
        Controller->RootCompEntry().ApplyTranslation(section);
    } catch (...) {
        Controller->DoLanguageChanged();
        throw;
    }
    Controller->DoLanguageChanged();
}
