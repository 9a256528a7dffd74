// SPDX-License-Identifier: MIT
// The translation storage: its block layout, the program's stored English
// translation, compression, corrupt and truncated blocks, and registration
// with the language manager.
#include "localization/LangManager.h"
#include "localization/SystemErrors.h"
#include "localization/Translations.h"
#include "localization/VLangStorage.h"
#include "vcl/FormLoader.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

QByteArray Bytes(std::initializer_list<unsigned char> bytes)
{
    QByteArray out;
    for (unsigned char b : bytes)
        out.append(char(b));
    return out;
}

// One entry: file name "a", date "2026-02-04 11:12:59", description "x",
// file size 3, stored size 11, and the zlib stream of "abc".
const QByteArray kSmallBlock = Bytes({
    0x01, 0x00, 0x00, 0x00,                                           // count 1
    0x01, 0x00, 0x61, 0x00,                                           // "a"
    0x13, 0x00, 0x32, 0x00, 0x30, 0x00, 0x32, 0x00, 0x36, 0x00, 0x2d, // "2026-02-04 11:12:59"
    0x00, 0x30, 0x00, 0x32, 0x00, 0x2d, 0x00, 0x30, 0x00, 0x34, 0x00, 0x20, 0x00, 0x31, 0x00, 0x31, 0x00,
    0x3a, 0x00, 0x31, 0x00, 0x32, 0x00, 0x3a, 0x00, 0x35, 0x00, 0x39, 0x00, 0x01, 0x00, 0x78, 0x00, // "x"
    0x03, 0x00, 0x00, 0x00,                                                                         // file size 3
    0x0b, 0x00, 0x00, 0x00,                                           // stored size 11
    0x78, 0x9c, 0x4b, 0x4c, 0x4a, 0x06, 0x00, 0x02, 0x4d, 0x01, 0x27, // zlib("abc")
});

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// The English translation and the window's stored block as first written,
// before the program had texts of its own beyond its first four constants.
QByteArray EnglishLng()
{
    return ReadFile(QStringLiteral(VELMORA_SOURCE_DIR "/tests/fixtures/localization/English.first.lng"));
}

QByteArray ProgramBlock()
{
    return ReadFile(
        QStringLiteral(VELMORA_SOURCE_DIR "/tests/fixtures/localization/StoredTranslationFiles.first"));
}

// The program's own, which may carry more texts.
QByteArray CurrentEnglishLng()
{
    return ReadFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/English.lng"));
}

QByteArray CurrentProgramBlock()
{
    LangManager::Instance(); // makes the engine's resources available
    return ReadFile(QStringLiteral(":/forms/FormMain/vlTS.StoredTranslationFiles"));
}

void Read(TVLTranslationsStorage &storage, const QByteArray &block)
{
    QByteArray copy = block;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    storage.ReadStoredFiles(buffer);
}

QByteArray Write(const TVLTranslationsStorage &storage)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    storage.WriteStoredFiles(buffer);
    return buffer.data();
}

QByteArray Expand(const TStoredFile &file)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(file.ExpandTo(buffer));
    return buffer.data();
}

// A stored entry made from a translation file's bytes.
QByteArray BlockOf(const QByteArray &fileBytes)
{
    TVLTranslationsStorage storage;
    QByteArray copy = fileBytes;
    QBuffer in(&copy);
    in.open(QIODevice::ReadOnly);
    storage.Translations().Add().Import(in, "t.lng", "test", QDateTime(QDate(2026, 2, 4), QTime(11, 12, 59)));
    return Write(storage);
}

class Storage : public ::testing::Test
{
protected:
    // Every case starts with a fresh engine: default language 3082, nothing
    // registered.
    void SetUp() override { LangManager::Shutdown(); }
    void TearDown() override { LangManager::Shutdown(); }
};

TEST_F(Storage, SmallBlockReadsExpandsAndWritesBackByteForByte)
{
    TVLTranslationsStorage storage;
    Read(storage, kSmallBlock);
    ASSERT_EQ(storage.Count(), 1);
    const TStoredFile &file = storage.Translations().Items(0);
    EXPECT_EQ(file.FileName(), "a");
    EXPECT_EQ(file.ImportDate(), "2026-02-04 11:12:59");
    EXPECT_EQ(file.Description(), "x");
    EXPECT_EQ(file.FileSize(), 3);
    EXPECT_EQ(file.StoredSize(), 11);
    EXPECT_EQ(Expand(file), "abc");
    EXPECT_EQ(Write(storage), kSmallBlock);
    EXPECT_EQ(storage.StoredTranslationFiles(), kSmallBlock);
}

TEST_F(Storage, EnglishTranslationFileHoldsTheProgramsTexts)
{
    const QByteArray bytes = EnglishLng();
    ASSERT_EQ(bytes.size(), 1722);
    EXPECT_TRUE(bytes.startsWith("\xFF\xFE"));
    EXPECT_EQ(bytes.count(QByteArray("\r\0\n\0", 4)), 33);

    TVLang_CompTranslations t;
    t.Text_LoadFromBytes(bytes);
    EXPECT_EQ(t.Params(),
              QStringList({"SourceLANGID=3082", "LANGID=1033", "Generator=VLang Translation Editor v3.00",
                           "LastModified=2026-02-04 11:12:59"}));
    ASSERT_EQ(t.Count(), 1);
    const TVLang_CompTranslation &form = t.Items(0);
    EXPECT_EQ(form.ComponentName(), "FormMain");
    const std::pair<int, const char *> entries[] = {
        {1, "Initializing the widget...."},
        {3, "version"},
        {4, "Language"},
        {5, "Language for the application"},
        {9, "Level of &opacity"},
        {10, "&Refresh interval"},
        {11, "5 sec."},
        {12, "10 sec."},
        {13, "15 sec."},
        {14, "30 sec."},
        {15, "1 min."},
        {16, "Show &network drives"},
        {17, "If you want to view network drives"},
        {18, "&Close"},
        {19, "Close the widget"},
        {20, "&Refresh"},
        {21, "Refresh the data"},
        {22, "Run at &startup"},
        {23, "Run at system startup"},
        {24, "English"},
        {25, "Spanish"},
    };
    ASSERT_EQ(form.Count(), int(std::size(entries)));
    for (int i = 0; i < form.Count(); ++i) {
        EXPECT_EQ(form.Items(i).iID, entries[i].first);
        EXPECT_EQ(form.Items(i).wsValue, QString::fromUtf8(entries[i].second));
    }
    ASSERT_EQ(t.Constants().Count(), 4);
    const char *order[] = {"errIniciarComponente", "msgdisponibles", "msgIniciarAuto", "msgVersion"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(t.Constants().Items(i).wsName, order[i]);
    EXPECT_EQ(t.Constants().Values("msgdisponibles"), "available from");
    EXPECT_EQ(t.Constants().Values("errIniciarComponente"), "The query component could not be started.");
    EXPECT_EQ(t.Constants().Values("msgIniciarAuto"),
              "Do you want the application to run automatically when the system starts?");
    EXPECT_EQ(t.Constants().Values("msgVersion"), "Version");
}

// The window's block and resources/English.lng must stay in step:
// `velmora-lang pack FormMain resources/English.lng` makes the one from the other.
TEST_F(Storage, ProgramBlockExpandsToEnglishLngAndWritesBackByteForByte)
{
    const QByteArray block = ProgramBlock();
    ASSERT_FALSE(block.isEmpty()) << "the window's StoredTranslationFiles block is not among the resources";
    TVLTranslationsStorage storage;
    Read(storage, block);
    ASSERT_EQ(storage.Count(), 1);
    EXPECT_EQ(storage.FileSize(), 1722);
    EXPECT_EQ(storage.StoredSize(), 604);
    const TStoredFile &file = storage.Translations().Items(0);
    EXPECT_TRUE(file.FileName().endsWith("English.lng"));
    EXPECT_EQ(file.Description(), "1033 English");
    EXPECT_TRUE(file.Data().startsWith("\x78\x9C"));
    EXPECT_EQ(Expand(file), EnglishLng()) << "run: velmora-lang pack FormMain resources/English.lng";
    EXPECT_EQ(Write(storage), block);
}

// The program's English file is the first one with lines added at the end
// of its constants, and its stored block is in step with it.
TEST_F(Storage, ProgramsEnglishKeepsEveryFirstLineAndItsBlockExpandsToIt)
{
    const QByteArray first = EnglishLng();
    const QByteArray current = CurrentEnglishLng();
    ASSERT_EQ(first.size(), 1722);
    EXPECT_TRUE(current.startsWith(first)) << "lines of the first English file changed";

    TVLang_CompTranslations t;
    t.Text_LoadFromBytes(current);
    const std::pair<const char *, const char *> added[] = {
        {"msgAbrir", "Open"},
        {"msgExpulsar", "Eject"},
        {"msgOcultar", "Hide this drive"},
        {"msgUnidadesOcultas", "Hidden drives"},
        {"msgPocoEspacio", "%1 is running out of space: %2 free."},
        {"msgPocoEspacioMas", "%1 and %2 more are running out of space."},
        {"msgErrorExpulsar", "%1 could not be ejected: %2"},
    };
    for (const auto &[name, value] : added)
        EXPECT_EQ(t.Constants().Values(name), value) << name;
    EXPECT_EQ(t.Constants().Values("msgdisponibles"), "available from");

    TVLTranslationsStorage storage;
    Read(storage, CurrentProgramBlock());
    ASSERT_EQ(storage.Count(), 1);
    EXPECT_EQ(Expand(storage.Translations().Items(0)), current)
        << "run: velmora-lang pack FormMain resources/English.lng";
}

TEST_F(Storage, ImportCompressesAsZlibWithDefaultSettings)
{
    QByteArray bytes = EnglishLng();
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    TStoredFile file;
    EXPECT_TRUE(file.Import(in, "/x/English.lng", "1033 English", QDateTime(QDate(2026, 2, 4), QTime(11, 2, 9))));
    EXPECT_EQ(file.FileName(), "/x/English.lng");
    EXPECT_EQ(file.ImportDate(), "2026-02-04 11:02:09");
    EXPECT_EQ(file.FileSize(), 1722);
    // zlib header 78 9C: deflate, 32 KiB window, default level.
    EXPECT_TRUE(file.Data().startsWith("\x78\x9C"));
    EXPECT_EQ(file.StoredSize(), 604);
    EXPECT_EQ(Expand(file), bytes);

    QByteArray empty;
    QBuffer none(&empty);
    none.open(QIODevice::ReadOnly);
    TStoredFile emptyFile;
    emptyFile.Import(none, "e", "", QDateTime::currentDateTime());
    EXPECT_EQ(emptyFile.FileSize(), 0);
    EXPECT_EQ(Expand(emptyFile), QByteArray());
}

TEST_F(Storage, ImportFromAStreamThatCannotDeliverItsSizeFails)
{
    QByteArray bytes = EnglishLng();
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    in.seek(10);
    TStoredFile file;
    EXPECT_THROW(file.Import(in, "f", "d", QDateTime::currentDateTime()), EReadError);
    EXPECT_EQ(file.FileSize(), 0);
    EXPECT_EQ(file.StoredSize(), 0);
}

TEST_F(Storage, EmptyAndNonPositiveCounts)
{
    TVLTranslationsStorage storage;
    EXPECT_TRUE(storage.StoredTranslationFiles().isEmpty()) << "no entries: no block at all";
    for (const QByteArray &block :
         {Bytes({0, 0, 0, 0}), Bytes({0xff, 0xff, 0xff, 0xff}), Bytes({0, 0, 0, 0x80})}) {
        Read(storage, block);
        EXPECT_EQ(storage.Count(), 0);
    }
    // A second block appends to the entries already there.
    Read(storage, kSmallBlock);
    Read(storage, kSmallBlock);
    EXPECT_EQ(storage.Count(), 2);
    EXPECT_EQ(storage.FileSize(), 6);
    EXPECT_EQ(storage.StoredSize(), 22);
}

TEST_F(Storage, EveryTruncatedPrefixFailsCleanly)
{
    for (const QByteArray &block : {kSmallBlock, ProgramBlock()}) {
        ASSERT_FALSE(block.isEmpty());
        for (qsizetype n = 0; n < block.size(); ++n) {
            TVLTranslationsStorage storage;
            EXPECT_THROW(Read(storage, block.left(n)), EReadError) << "prefix of " << n << " bytes";
            EXPECT_EQ(storage.Count(), 0);
        }
    }
}

// Offsets in kSmallBlock: file size at 52, stored size at 56, data from 60.
TEST_F(Storage, ImpossibleSizesAreRefusedBeforeReading)
{
    struct Case
    {
        const char *what;
        qsizetype offset;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"negative file size", 52, Bytes({0xff, 0xff, 0xff, 0xff})},
        {"negative stored size", 56, Bytes({0xfe, 0xff, 0xff, 0xff})},
        {"stored size one past the end", 56, Bytes({0x0c, 0, 0, 0})},
        {"stored size of 2 GiB", 56, Bytes({0xff, 0xff, 0xff, 0x7f})},
    };
    for (const Case &c : cases) {
        QByteArray block = kSmallBlock;
        block.replace(c.offset, c.bytes.size(), c.bytes);
        TVLTranslationsStorage storage;
        EXPECT_THROW(Read(storage, block), EReadError) << c.what;
        EXPECT_EQ(storage.Count(), 0) << c.what;
    }
    // A count larger than the entries: those read stay.
    QByteArray block = kSmallBlock;
    block[0] = 3;
    TVLTranslationsStorage storage;
    EXPECT_THROW(Read(storage, block), EReadError);
    EXPECT_EQ(storage.Count(), 1);
}

TEST_F(Storage, CorruptDataNeverExpandsPastItsDeclaredSize)
{
    struct Case
    {
        const char *what;
        qsizetype offset; // in kSmallBlock
        QByteArray bytes;
    };
    const Case cases[] = {
        {"file size larger than the data", 52, Bytes({0x04, 0, 0, 0})},
        {"file size far larger than the data", 52, Bytes({0xff, 0xff, 0xff, 0x7f})},
        {"file size smaller than the data", 52, Bytes({0x02, 0, 0, 0})},
        {"bad zlib header", 60, Bytes({0x78, 0x9d})},
        {"preset dictionary flag", 60, Bytes({0x78, 0xbb})},
        {"damaged deflate data", 62, Bytes({0xff})},
        {"wrong Adler-32", 70, Bytes({0x28})},
    };
    for (const Case &c : cases) {
        QByteArray block = kSmallBlock;
        block.replace(c.offset, c.bytes.size(), c.bytes);
        TVLTranslationsStorage storage;
        Read(storage, block);
        ASSERT_EQ(storage.Count(), 1) << c.what;
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        EXPECT_THROW(storage.Translations().Items(0).ExpandTo(out), Exception) << c.what;
        EXPECT_LE(out.size(), qMax(storage.Translations().Items(0).FileSize(), 3)) << c.what;
    }
}

TEST_F(Storage, LoadedRegistersEveryEntryByItsOwnLangId)
{
    TVLTranslationsStorage storage;
    Read(storage, ProgramBlock());
    storage.Loaded();
    LangManager &manager = LangManager::Instance();
    EXPECT_EQ(manager.LanguageCount(), 2);
    EXPECT_EQ(manager.LanguageIdAt(1), 1033u);
    // The compressed copy stays with the default setting.
    EXPECT_EQ(storage.StoredSize(), 604);
}

TEST_F(Storage, ReleasedEntriesAreRegisteredAndHoldNoData)
{
    TVLTranslationsStorage storage;
    storage.SetReleaseMemoryOnTranslationRegistration(true);
    Read(storage, ProgramBlock());
    Read(storage,
         BlockOf(EnglishLng().replace(QByteArray("1\0000\0003\0003\0", 8), QByteArray("1\0000\0003\0001\0", 8))));
    storage.Loaded();
    EXPECT_EQ(LangManager::Instance().LanguageIdAt(1), 1033u);
    EXPECT_EQ(LangManager::Instance().LanguageIdAt(2), 1031u);
    EXPECT_EQ(storage.StoredSize(), 0);
    for (int i = 0; i < storage.Count(); ++i) {
        const TStoredFile &file = storage.Translations().Items(i);
        EXPECT_TRUE(file.IsReleased());
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        EXPECT_FALSE(file.ExpandTo(out));
        EXPECT_EQ(out.size(), 0);
    }
    EXPECT_EQ(storage.FileSize(), 2 * 1722);
}

TEST_F(Storage, EntriesWithoutAUsableLangIdAreSkippedSilently)
{
    const QByteArray spanish = BlockOf(QByteArray("LANGID=3082\r\n[$CONSTANTS]\r\nmsgVersion=Versi\xc3\xb3n\r\n"));
    const QByteArray none = BlockOf(QByteArray("Generator=x\r\n"));
    const QByteArray zero = BlockOf(QByteArray("LANGID=0\r\n"));
    const QByteArray text = BlockOf(QByteArray("LANGID=English\r\n"));
    TVLTranslationsStorage storage;
    for (const QByteArray &b : {spanish, none, zero, text})
        Read(storage, b);
    ASSERT_EQ(storage.Count(), 4);
    EXPECT_NO_THROW(storage.Loaded());
    EXPECT_EQ(LangManager::Instance().LanguageCount(), 1);
    EXPECT_EQ(LangManager::Instance().Resources().IndexOfLangID(3082), -1);
}

TEST_F(Storage, CorruptEntryStopsTheRegistrationOfTheLaterOnes)
{
    QByteArray bad = kSmallBlock;
    bad[62] = char(0xff);
    TVLTranslationsStorage storage;
    Read(storage, bad);
    Read(storage, ProgramBlock());
    EXPECT_THROW(storage.Loaded(), Exception);
    EXPECT_EQ(LangManager::Instance().LanguageCount(), 1);
}

// The block travels with the main window's definition: the window loader
// hands it to the component named vlTS, whose Loaded registers English.
TEST_F(Storage, WindowDefinitionRegistersTheStoredEnglishTranslation)
{
    LangManager::Instance();
    QObject window;
    window.setObjectName("FormMain");
    auto *vlTS = new TVLTranslationsStorage(&window);
    vlTS->setObjectName("vlTS");
    vcl::LoadWindowDefinition(&window, "FormMain");
    EXPECT_EQ(vlTS->Count(), 1);
    EXPECT_EQ(LangManager::Instance().LanguageIdAt(1), 1033u);
}

} // namespace
