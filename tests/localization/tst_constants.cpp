// SPDX-License-Identifier: MIT
#include "localization/ConstantText.h"
#include "localization/Constants.h"
#include "localization/FeatureConstants.h"
#include "localization/ProgramConstants.h"
#include "localization/SystemErrors.h"
#include "localization/VLangError.h"

#include <QBuffer>

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

// The program's constants block, byte for byte: version 3, the flag, a count
// of 4 and the four name/value pairs as UTF-16LE strings.
// clang-format off
const unsigned char kProgramBlock[] = {
    // version 3, AutoSaveLangSource, count 4
    0x03, 0x01, 0x04, 0x00, 0x00, 0x00,
    // 14 units: msgdisponibles
    0x0E, 0x00, 0x6D, 0x00, 0x73, 0x00, 0x67, 0x00, 0x64, 0x00, 0x69, 0x00, 0x73, 0x00, 0x70, 0x00,
    0x6F, 0x00, 0x6E, 0x00, 0x69, 0x00, 0x62, 0x00, 0x6C, 0x00, 0x65, 0x00, 0x73, 0x00,
    // 14 units: disponibles de
    0x0E, 0x00, 0x64, 0x00, 0x69, 0x00, 0x73, 0x00, 0x70, 0x00, 0x6F, 0x00, 0x6E, 0x00, 0x69, 0x00,
    0x62, 0x00, 0x6C, 0x00, 0x65, 0x00, 0x73, 0x00, 0x20, 0x00, 0x64, 0x00, 0x65, 0x00,
    // 10 units: msgVersion
    0x0A, 0x00, 0x6D, 0x00, 0x73, 0x00, 0x67, 0x00, 0x56, 0x00, 0x65, 0x00, 0x72, 0x00, 0x73, 0x00,
    0x69, 0x00, 0x6F, 0x00, 0x6E, 0x00,
    // 7 units: Version
    0x07, 0x00, 0x56, 0x00, 0x65, 0x00, 0x72, 0x00, 0x73, 0x00, 0x69, 0x00, 0x6F, 0x00, 0x6E, 0x00,
    // 20 units: errIniciarComponente
    0x14, 0x00, 0x65, 0x00, 0x72, 0x00, 0x72, 0x00, 0x49, 0x00, 0x6E, 0x00, 0x69, 0x00, 0x63, 0x00,
    0x69, 0x00, 0x61, 0x00, 0x72, 0x00, 0x43, 0x00, 0x6F, 0x00, 0x6D, 0x00, 0x70, 0x00, 0x6F, 0x00,
    0x6E, 0x00, 0x65, 0x00, 0x6E, 0x00, 0x74, 0x00, 0x65, 0x00,
    // 50 units: No se ha podido iniciar el componente de consulta.
    0x32, 0x00, 0x4E, 0x00, 0x6F, 0x00, 0x20, 0x00, 0x73, 0x00, 0x65, 0x00, 0x20, 0x00, 0x68, 0x00,
    0x61, 0x00, 0x20, 0x00, 0x70, 0x00, 0x6F, 0x00, 0x64, 0x00, 0x69, 0x00, 0x64, 0x00, 0x6F, 0x00,
    0x20, 0x00, 0x69, 0x00, 0x6E, 0x00, 0x69, 0x00, 0x63, 0x00, 0x69, 0x00, 0x61, 0x00, 0x72, 0x00,
    0x20, 0x00, 0x65, 0x00, 0x6C, 0x00, 0x20, 0x00, 0x63, 0x00, 0x6F, 0x00, 0x6D, 0x00, 0x70, 0x00,
    0x6F, 0x00, 0x6E, 0x00, 0x65, 0x00, 0x6E, 0x00, 0x74, 0x00, 0x65, 0x00, 0x20, 0x00, 0x64, 0x00,
    0x65, 0x00, 0x20, 0x00, 0x63, 0x00, 0x6F, 0x00, 0x6E, 0x00, 0x73, 0x00, 0x75, 0x00, 0x6C, 0x00,
    0x74, 0x00, 0x61, 0x00, 0x2E, 0x00,
    // 14 units: msgIniciarAuto
    0x0E, 0x00, 0x6D, 0x00, 0x73, 0x00, 0x67, 0x00, 0x49, 0x00, 0x6E, 0x00, 0x69, 0x00, 0x63, 0x00,
    0x69, 0x00, 0x61, 0x00, 0x72, 0x00, 0x41, 0x00, 0x75, 0x00, 0x74, 0x00, 0x6F, 0x00,
    // 74 units: ?Desea que la aplicaci?n se ejecute autom?ticamente al iniciar el sistema?
    0x4A, 0x00, 0xBF, 0x00, 0x44, 0x00, 0x65, 0x00, 0x73, 0x00, 0x65, 0x00, 0x61, 0x00, 0x20, 0x00,
    0x71, 0x00, 0x75, 0x00, 0x65, 0x00, 0x20, 0x00, 0x6C, 0x00, 0x61, 0x00, 0x20, 0x00, 0x61, 0x00,
    0x70, 0x00, 0x6C, 0x00, 0x69, 0x00, 0x63, 0x00, 0x61, 0x00, 0x63, 0x00, 0x69, 0x00, 0xF3, 0x00,
    0x6E, 0x00, 0x20, 0x00, 0x73, 0x00, 0x65, 0x00, 0x20, 0x00, 0x65, 0x00, 0x6A, 0x00, 0x65, 0x00,
    0x63, 0x00, 0x75, 0x00, 0x74, 0x00, 0x65, 0x00, 0x20, 0x00, 0x61, 0x00, 0x75, 0x00, 0x74, 0x00,
    0x6F, 0x00, 0x6D, 0x00, 0xE1, 0x00, 0x74, 0x00, 0x69, 0x00, 0x63, 0x00, 0x61, 0x00, 0x6D, 0x00,
    0x65, 0x00, 0x6E, 0x00, 0x74, 0x00, 0x65, 0x00, 0x20, 0x00, 0x61, 0x00, 0x6C, 0x00, 0x20, 0x00,
    0x69, 0x00, 0x6E, 0x00, 0x69, 0x00, 0x63, 0x00, 0x69, 0x00, 0x61, 0x00, 0x72, 0x00, 0x20, 0x00,
    0x65, 0x00, 0x6C, 0x00, 0x20, 0x00, 0x73, 0x00, 0x69, 0x00, 0x73, 0x00, 0x74, 0x00, 0x65, 0x00,
    0x6D, 0x00, 0x61, 0x00, 0x3F, 0x00,
};
// clang-format on

QByteArray ProgramBlock()
{
    return QByteArray(reinterpret_cast<const char *>(kProgramBlock), sizeof kProgramBlock);
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

void Load(TVLang_Constants &constants, QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    constants.LoadFromStream(buffer);
}

template <typename E, typename F>
QString MessageOf(F &&f)
{
    try {
        f();
    } catch (const E &e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

const QString kIniciarAuto = QStringLiteral(
    "\u00BFDesea que la aplicaci\u00F3n se ejecute autom\u00E1ticamente al "
    "iniciar el sistema?");

} // namespace

TEST(Constants, TheProgramBlockReadsToItsFourConstantsAndWritesBackTheSameBytes)
{
    ASSERT_EQ(sizeof kProgramBlock, 428u);
    TVLang_Constants constants;
    constants.SetAutoSaveLangSource(false);
    Load(constants, ProgramBlock());

    EXPECT_TRUE(constants.AutoSaveLangSource());
    ASSERT_EQ(constants.Count(), 4);
    EXPECT_EQ(constants.Values("msgdisponibles"), "disponibles de");
    EXPECT_EQ(constants.Values("msgVersion"), "Version");
    EXPECT_EQ(constants.Values("errIniciarComponente"), "No se ha podido iniciar el componente de consulta.");
    EXPECT_EQ(constants.Values("msgIniciarAuto"), kIniciarAuto);
    const TVLang_Constant *c = constants.FindConstName("msgIniciarAuto");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->wsDefValue, kIniciarAuto);
    EXPECT_TRUE(c->TranStates.IsEmpty());

    EXPECT_EQ(constants.AsRawString().toHex(' '), ProgramBlock().toHex(' '));
}

TEST(Constants, TheBuiltInBlockIsTheProgramBlock)
{
    TVLang_Constants constants;
    ASSERT_TRUE(constants.LoadFromResource(ProgramResourceModule(), "VLANG_CONSTS"));
    EXPECT_EQ(constants.AsRawString().toHex(' '), ProgramBlock().toHex(' '));

    EXPECT_EQ(ConstantText("MSGDISPONIBLES"), "disponibles de");
    EXPECT_EQ(ConstantText("msgIniciarAuto"), kIniciarAuto);
    EXPECT_EQ(&ProgramConstants(), &ProgramConstants());
    EXPECT_EQ(MessageOf<EVLangError>([] { ConstantText("msgNada"); }), "Constant \"msgNada\" not found");
}

// Whatever prefix of a valid block is read, the reader stops with the
// stream's error and keeps only whole constants.
TEST(Constants, EveryTruncatedPrefixFailsWithStreamReadError)
{
    const QByteArray block = ProgramBlock();
    for (qsizetype n = 0; n < block.size(); ++n) {
        TVLang_Constants constants;
        EXPECT_EQ(MessageOf<EReadError>([&] { Load(constants, block.left(n)); }), "Stream read error") << n;
        EXPECT_LT(constants.Count(), 4) << n;
    }
}

struct OldStream
{
    const char *what;
    QByteArray bytes;
    bool autoSave;
};

TEST(Constants, OlderVersionsAreRead)
{
    const std::vector<OldStream> streams = {
        // No version byte: the flag, a count, then UTF-8 names and values.
        {"version 1",
         Bytes({0x01, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 'a', 'B', 0x03, 0x00, 'c', 0xC3, 0xA9, 0x01, 0x00, '_',
                0x00, 0x00}),
         true},
        {"version 0",
         Bytes({0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 'a', 'B', 0x03, 0x00, 'c', 0xC3, 0xA9, 0x01, 0x00, '_',
                0x00, 0x00}),
         false},
        // Version byte, flag, count, UTF-8 names, UTF-16 values.
        {"version 2", Bytes({0x02, 0x01, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 'a',  'B', 0x02,
                             0x00, 'c',  0x00, 0xE9, 0x00, 0x01, 0x00, '_',  0x00, 0x00}),
         true},
        {"version 2, flag 0x7F", Bytes({0x02, 0x7F, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 'a',  'B', 0x02,
                                        0x00, 'c',  0x00, 0xE9, 0x00, 0x01, 0x00, '_',  0x00, 0x00}),
         true},
    };
    for (const OldStream &s : streams) {
        SCOPED_TRACE(s.what);
        TVLang_Constants constants;
        constants.SetAutoSaveLangSource(!s.autoSave);
        Load(constants, s.bytes);
        EXPECT_EQ(constants.AutoSaveLangSource(), s.autoSave);
        ASSERT_EQ(constants.Count(), 2);
        EXPECT_EQ(constants.Values("AB"), QStringLiteral("c\u00E9"));
        EXPECT_EQ(constants.Values("_"), QString());
    }
}

TEST(Constants, ACountOfZeroOrBelowReadsNothing)
{
    for (const QByteArray &bytes :
         {Bytes({0x03, 0x01, 0x00, 0x00, 0x00, 0x00}), Bytes({0x03, 0x01, 0xFF, 0xFF, 0xFF, 0xFF})}) {
        TVLang_Constants constants;
        constants.Add("old", "x");
        Load(constants, bytes);
        EXPECT_EQ(constants.Count(), 0);
    }
}

TEST(Constants, NewerVersionsAreRefusedAfterClearing)
{
    for (int version : {4, 200, 255}) {
        TVLang_Constants constants;
        constants.Add("old", "x");
        EXPECT_EQ(MessageOf<EVLangError>([&] {
                      Load(constants, Bytes({version, 0x01, 0x00, 0x00, 0x00, 0x00}));
                  }),
                  QStringLiteral("Stream version (%1) is greater than the current one (3)").arg(version));
        EXPECT_EQ(constants.Count(), 0);
    }
}

// A forged count is no promise: the reader fails at the end of the bytes
// without reserving room for two billion constants.
TEST(Constants, AHugeCountEndsInAReadError)
{
    TVLang_Constants constants;
    EXPECT_THROW(Load(constants, Bytes({0x03, 0x01, 0xFF, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 'a', 0x00})), EReadError);
}

TEST(Constants, BadNamesInAStreamFailWithTheAddErrorKeepingWhatCameBefore)
{
    // "a" = "", then "1x" = "".
    TVLang_Constants constants;
    EXPECT_EQ(MessageOf<EVLangError>([&] {
                  Load(constants,
                       Bytes({0x01, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 'a', 0x00, 0x00, 0x02, 0x00, '1', 'x',
                              0x00, 0x00}));
              }),
              "Invalid constant name (\"1x\")");
    EXPECT_EQ(constants.Count(), 1);
    // "a" twice, the second time as "A".
    EXPECT_EQ(
        MessageOf<EVLangError>([&] {
            Load(constants,
                 Bytes({0x01, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 'a', 0x00, 0x00, 0x01, 0x00, 'A', 0x00, 0x00}));
        }),
        "Duplicate constant name (\"A\")");
}

TEST(Constants, NameRule)
{
    const std::vector<std::pair<QString, bool>> names = {
        {"msgVersion", true},
        {"_a1", true},
        {"_", true},
        {QStringLiteral("\u00C1rbol_\u0663"), true}, // a letter and an Arabic-Indic digit
        {QString::fromUcs4(U"\U00010400x"), true},   // a letter outside the BMP
        {"", false},
        {"1abc", false},
        {"msg-Version", false},
        {"msg Version", false},
        {"msg.Version", false},
        {QString(QChar(0xD801)) + u'a', false}, // unpaired surrogate
    };
    for (const auto &[spelled, valid] : names) {
        const QString name = spelled;
        EXPECT_EQ(TVLang_Constants::IsValidName(name), valid) << name.toStdString();
        TVLang_Constants constants;
        if (valid) {
            EXPECT_NO_THROW(constants.Add(name, "v"));
        } else {
            EXPECT_EQ(MessageOf<EVLangError>([&] { constants.Add(name, "v"); }),
                      QStringLiteral("Invalid constant name (\"%1\")").arg(name));
        }
    }
}

TEST(Constants, NamesFoldOnlyAsciiLetters)
{
    TVLang_Constants constants;
    constants.Add("msgVersion", "Version");
    constants.Add(QStringLiteral("\u00E9xito"), "e");
    for (const char *spelling : {"MSGVERSION", "msgversion", "msgVersion"}) {
        const TVLang_Constant *c = constants.FindConstName(spelling);
        ASSERT_NE(c, nullptr) << spelling;
        EXPECT_EQ(c->wsName, "msgVersion");
    }
    EXPECT_EQ(constants.FindConstName(QStringLiteral("\u00C9XITO")), nullptr);
    EXPECT_NE(constants.FindConstName(QStringLiteral("\u00E9XITO")), nullptr);
    EXPECT_EQ(MessageOf<EVLangError>([&] { constants.Add("MsgVersion", "x"); }),
              "Duplicate constant name (\"MsgVersion\")");
    EXPECT_NO_THROW(constants.Add(QStringLiteral("\u00C9XITO"), "E"));
    EXPECT_EQ(constants.Count(), 3);

    // Names of any length, however the index keeps them.
    const QString longName = QStringLiteral("msg") + QString(200, u'x') + QStringLiteral("End");
    constants.Add(longName, "long");
    ASSERT_NE(constants.FindConstName(longName.toUpper()), nullptr);
    EXPECT_EQ(constants.FindConstName(longName.toUpper())->wsName, longName);
    EXPECT_EQ(constants.FindConstName(longName.chopped(1)), nullptr);
    EXPECT_EQ(MessageOf<EVLangError>([&] { constants.Add(longName.toLower(), "x"); }).left(24),
              "Duplicate constant name ");
    EXPECT_EQ(constants.Count(), 4);
}

TEST(Constants, ValuesReadAndWriteTheCurrentText)
{
    TVLang_Constants constants;
    constants.Add("msgVersion", "Version");
    constants.SetValues("MSGVERSION", "Versi\u00F3n");
    EXPECT_EQ(constants.Values("msgversion"), QStringLiteral("Versi\u00F3n"));
    EXPECT_EQ(constants.FindConstName("msgVersion")->wsDefValue, "Version");
    EXPECT_EQ(MessageOf<EListError>([&] { constants.SetValues("nada", "x"); }), "Item not found");
    EXPECT_EQ(MessageOf<EVLangError>([&] { constants.Values("nada"); }), "Constant \"nada\" not found");
}

TEST(Constants, TranslateFromAndBackToTheDefaults)
{
    TVLang_Constants program;
    Load(program, ProgramBlock());

    TVLang_Constants english;
    english.Add("MSGDISPONIBLES", "available from");
    english.Add("msgVersion", "Version EN");
    english.Add("onlyInTheTranslation", "ignored");
    program.TranslateFrom(&english);
    EXPECT_EQ(program.Values("msgdisponibles"), "available from");
    EXPECT_EQ(program.Values("msgVersion"), "Version EN");
    EXPECT_EQ(program.Values("errIniciarComponente"), "No se ha podido iniciar el componente de consulta.");
    EXPECT_EQ(program.FindConstName("onlyInTheTranslation"), nullptr);

    // A translation without "msgVersion" leaves it as it was, not at its default.
    TVLang_Constants partial;
    partial.Add("msgdisponibles", "de");
    program.TranslateFrom(&partial);
    EXPECT_EQ(program.Values("msgVersion"), "Version EN");
    EXPECT_EQ(program.Values("msgdisponibles"), "de");

    program.TranslateFrom(nullptr);
    for (int i = 0; i < program.Count(); ++i)
        EXPECT_EQ(program.Items(i).wsValue, program.Items(i).wsDefValue);
    EXPECT_EQ(program.Values("msgdisponibles"), "disponibles de");

    // The defaults never change, and what is written is the current text.
    program.TranslateFrom(&english);
    TVLang_Constants reread;
    reread.SetAsRawString(program.AsRawString());
    EXPECT_EQ(reread.Values("msgdisponibles"), "available from");
    EXPECT_EQ(program.FindConstName("msgdisponibles")->wsDefValue, "disponibles de");
}

TEST(Constants, AsRawStringAndMissingResourcesChangeNothing)
{
    TVLang_Constants constants;
    constants.Add("keep", "me");
    constants.SetAsRawString({});
    EXPECT_EQ(constants.Values("keep"), "me");
    EXPECT_FALSE(constants.LoadFromResource(ProgramResourceModule(), "NO_SUCH_BLOCK"));
    EXPECT_EQ(constants.Count(), 1);

    constants.SetAsRawString(ProgramBlock());
    const QByteArray raw = constants.AsRawString();
    constants.SetAsRawString(raw);
    EXPECT_EQ(constants.Count(), 4);
    EXPECT_EQ(constants.AsRawString(), raw);
}

TEST(Constants, ClearKeepsTheFlag)
{
    TVLang_Constants constants;
    constants.SetAutoSaveLangSource(false);
    constants.Add("a", "1");
    constants.Clear();
    EXPECT_EQ(constants.Count(), 0);
    EXPECT_EQ(constants.FindConstName("a"), nullptr);
    EXPECT_FALSE(constants.AutoSaveLangSource());
    EXPECT_EQ(constants.AsRawString().toHex(' '), Bytes({0x03, 0x00, 0x00, 0x00, 0x00, 0x00}).toHex(' '));
}

TEST(Constants, LanguageSourceExport)
{
    TVLang_Constants constants;
    constants.Add("msgA", "line 1\r\nline 2");
    constants.Add("msgB", "untranslated", TVLang_TranslationState::vltsUntranslated);
    constants.Add("msgC", "auto", TVLang_TranslationState::vltsAutotranslated);
    IVLang_LanguageSourceObject &source = constants;
    EXPECT_TRUE(source.PrepareSourceExport());
    EXPECT_EQ(source.SourceSectionName(), "$CONSTANTS");

    QStringList lines{"before"};
    source.WriteSourceLines(lines, TVLang_TranslationState::vltsUntranslated);
    EXPECT_EQ(lines, QStringList({"before", "msgA=line 1\\nline 2", "msgC=auto"}));
    lines.clear();
    source.WriteSourceLines(lines, {});
    EXPECT_EQ(lines.size(), 3);
}

// The texts that came after the first block: there with their Spanish
// defaults, translated like the first four, never replacing what a block
// already holds.
TEST(Constants, LaterTextsJoinTheProgramsConstantsWithoutTouchingItsBlock)
{
    EXPECT_EQ(ConstantText("msgOcultar"), "Ocultar esta unidad");
    EXPECT_EQ(ConstantText("msgUnidadesOcultas"), "Unidades ocultas");
    EXPECT_EQ(ConstantText("msgAbrir"), "Abrir");
    EXPECT_EQ(ConstantText("msgExpulsar"), "Expulsar");
    EXPECT_EQ(ConstantText("msgPocoEspacio").arg("/media/x", "1,2 GB"),
              "Queda poco espacio en /media/x: 1,2 GB libres.");

    TVLang_Constants constants;
    constants.Add("msgAbrir", "Abre");
    AddFeatureConstants(constants);
    EXPECT_EQ(constants.Values("msgAbrir"), "Abre");
    EXPECT_EQ(constants.Values("msgOcultar"), "Ocultar esta unidad");
    const int count = constants.Count();
    AddFeatureConstants(constants);
    EXPECT_EQ(constants.Count(), count) << "a second call adds nothing";
}
