// SPDX-License-Identifier: MIT
#include "localization/ProgramConstants.h"
#include "localization/SystemErrors.h"
#include "localization/TextDecoding.h"
#include "localization/Translations.h"
#include "localization/VLangError.h"

#include <QBuffer>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

// One short translation in several encodings and line-end conventions:
//   LANGID=1033
//   [FormMain]
//   00000001=Versión €\n2
//   [$CONSTANTS]
//   msgVersion=Versión
// UTF-16LE with its mark, CR LF line ends
// clang-format off
const unsigned char kUtf16LE[] = {
    0xFF, 0xFE, 0x4C, 0x00, 0x41, 0x00, 0x4E, 0x00, 0x47, 0x00, 0x49, 0x00, 0x44, 0x00, 0x3D, 0x00,
    0x31, 0x00, 0x30, 0x00, 0x33, 0x00, 0x33, 0x00, 0x0D, 0x00, 0x0A, 0x00, 0x5B, 0x00, 0x46, 0x00,
    0x6F, 0x00, 0x72, 0x00, 0x6D, 0x00, 0x4D, 0x00, 0x61, 0x00, 0x69, 0x00, 0x6E, 0x00, 0x5D, 0x00,
    0x0D, 0x00, 0x0A, 0x00, 0x30, 0x00, 0x30, 0x00, 0x30, 0x00, 0x30, 0x00, 0x30, 0x00, 0x30, 0x00,
    0x30, 0x00, 0x31, 0x00, 0x3D, 0x00, 0x56, 0x00, 0x65, 0x00, 0x72, 0x00, 0x73, 0x00, 0x69, 0x00,
    0xF3, 0x00, 0x6E, 0x00, 0x20, 0x00, 0xAC, 0x20, 0x5C, 0x00, 0x6E, 0x00, 0x32, 0x00, 0x0D, 0x00,
    0x0A, 0x00, 0x5B, 0x00, 0x24, 0x00, 0x43, 0x00, 0x4F, 0x00, 0x4E, 0x00, 0x53, 0x00, 0x54, 0x00,
    0x41, 0x00, 0x4E, 0x00, 0x54, 0x00, 0x53, 0x00, 0x5D, 0x00, 0x0D, 0x00, 0x0A, 0x00, 0x6D, 0x00,
    0x73, 0x00, 0x67, 0x00, 0x56, 0x00, 0x65, 0x00, 0x72, 0x00, 0x73, 0x00, 0x69, 0x00, 0x6F, 0x00,
    0x6E, 0x00, 0x3D, 0x00, 0x56, 0x00, 0x65, 0x00, 0x72, 0x00, 0x73, 0x00, 0x69, 0x00, 0xF3, 0x00,
    0x6E, 0x00, 0x0D, 0x00, 0x0A, 0x00,
};
// clang-format on
// UTF-8 with its mark, lone CR line ends, no break at the end
// clang-format off
const unsigned char kUtf8Bom[] = {
    0xEF, 0xBB, 0xBF, 0x4C, 0x41, 0x4E, 0x47, 0x49, 0x44, 0x3D, 0x31, 0x30, 0x33, 0x33, 0x0D, 0x5B,
    0x46, 0x6F, 0x72, 0x6D, 0x4D, 0x61, 0x69, 0x6E, 0x5D, 0x0D, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30,
    0x30, 0x31, 0x3D, 0x56, 0x65, 0x72, 0x73, 0x69, 0xC3, 0xB3, 0x6E, 0x20, 0xE2, 0x82, 0xAC, 0x5C,
    0x6E, 0x32, 0x0D, 0x5B, 0x24, 0x43, 0x4F, 0x4E, 0x53, 0x54, 0x41, 0x4E, 0x54, 0x53, 0x5D, 0x0D,
    0x6D, 0x73, 0x67, 0x56, 0x65, 0x72, 0x73, 0x69, 0x6F, 0x6E, 0x3D, 0x56, 0x65, 0x72, 0x73, 0x69,
    0xC3, 0xB3, 0x6E,
};
// clang-format on
// UTF-8 without a mark, LF line ends
// clang-format off
const unsigned char kUtf8[] = {
    0x4C, 0x41, 0x4E, 0x47, 0x49, 0x44, 0x3D, 0x31, 0x30, 0x33, 0x33, 0x0A, 0x5B, 0x46, 0x6F, 0x72,
    0x6D, 0x4D, 0x61, 0x69, 0x6E, 0x5D, 0x0A, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x31, 0x3D,
    0x56, 0x65, 0x72, 0x73, 0x69, 0xC3, 0xB3, 0x6E, 0x20, 0xE2, 0x82, 0xAC, 0x5C, 0x6E, 0x32, 0x0A,
    0x5B, 0x24, 0x43, 0x4F, 0x4E, 0x53, 0x54, 0x41, 0x4E, 0x54, 0x53, 0x5D, 0x0A, 0x6D, 0x73, 0x67,
    0x56, 0x65, 0x72, 0x73, 0x69, 0x6F, 0x6E, 0x3D, 0x56, 0x65, 0x72, 0x73, 0x69, 0xC3, 0xB3, 0x6E,
    0x0A,
};
// clang-format on
// Windows-1252 without a mark (e9 for o acute, 80 for the euro sign), mixed line ends
// clang-format off
const unsigned char kWin1252[] = {
    0x4C, 0x41, 0x4E, 0x47, 0x49, 0x44, 0x3D, 0x31, 0x30, 0x33, 0x33, 0x0D, 0x0A, 0x5B, 0x46, 0x6F,
    0x72, 0x6D, 0x4D, 0x61, 0x69, 0x6E, 0x5D, 0x0A, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x31,
    0x3D, 0x56, 0x65, 0x72, 0x73, 0x69, 0xF3, 0x6E, 0x20, 0x80, 0x5C, 0x6E, 0x32, 0x0D, 0x5B, 0x24,
    0x43, 0x4F, 0x4E, 0x53, 0x54, 0x41, 0x4E, 0x54, 0x53, 0x5D, 0x0D, 0x6D, 0x73, 0x67, 0x56, 0x65,
    0x72, 0x73, 0x69, 0x6F, 0x6E, 0x3D, 0x56, 0x65, 0x72, 0x73, 0x69, 0xF3, 0x6E, 0x0D, 0x0A,
};
// clang-format on
// UTF-16BE with its mark, LF line ends
// clang-format off
const unsigned char kUtf16BE[] = {
    0xFE, 0xFF, 0x00, 0x4C, 0x00, 0x41, 0x00, 0x4E, 0x00, 0x47, 0x00, 0x49, 0x00, 0x44, 0x00, 0x3D,
    0x00, 0x31, 0x00, 0x30, 0x00, 0x33, 0x00, 0x33, 0x00, 0x0A, 0x00, 0x5B, 0x00, 0x46, 0x00, 0x6F,
    0x00, 0x72, 0x00, 0x6D, 0x00, 0x4D, 0x00, 0x61, 0x00, 0x69, 0x00, 0x6E, 0x00, 0x5D, 0x00, 0x0A,
    0x00, 0x30, 0x00, 0x30, 0x00, 0x30, 0x00, 0x30, 0x00, 0x30, 0x00, 0x30, 0x00, 0x30, 0x00, 0x31,
    0x00, 0x3D, 0x00, 0x56, 0x00, 0x65, 0x00, 0x72, 0x00, 0x73, 0x00, 0x69, 0x00, 0xF3, 0x00, 0x6E,
    0x00, 0x20, 0x20, 0xAC, 0x00, 0x5C, 0x00, 0x6E, 0x00, 0x32, 0x00, 0x0A, 0x00, 0x5B, 0x00, 0x24,
    0x00, 0x43, 0x00, 0x4F, 0x00, 0x4E, 0x00, 0x53, 0x00, 0x54, 0x00, 0x41, 0x00, 0x4E, 0x00, 0x54,
    0x00, 0x53, 0x00, 0x5D, 0x00, 0x0A, 0x00, 0x6D, 0x00, 0x73, 0x00, 0x67, 0x00, 0x56, 0x00, 0x65,
    0x00, 0x72, 0x00, 0x73, 0x00, 0x69, 0x00, 0x6F, 0x00, 0x6E, 0x00, 0x3D, 0x00, 0x56, 0x00, 0x65,
    0x00, 0x72, 0x00, 0x73, 0x00, 0x69, 0x00, 0xF3, 0x00, 0x6E,
};
// clang-format on

template <std::size_t N>
QByteArray Raw(const unsigned char (&bytes)[N])
{
    return QByteArray(reinterpret_cast<const char *>(bytes), N);
}

QByteArray Utf8(const char *text)
{
    return QByteArray(text);
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

void Load(TVLang_CompTranslations &t, QByteArray bytes, bool bParamsOnly = false)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    t.Text_LoadFromStream(buffer, bParamsOnly);
}

QByteArray Save(const TVLang_CompTranslations &t, bool bUnicode, bool bSkipUntranslated = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    t.Text_SaveToStream(buffer, bUnicode, bSkipUntranslated);
    return bytes;
}

// A comparable dump of everything a translation holds.
QStringList Dump(const TVLang_CompTranslations &t)
{
    QStringList out = t.Params();
    for (int i = 0; i < t.Count(); ++i) {
        out << u'[' + t.Items(i).ComponentName() + u']';
        for (int k = 0; k < t.Items(i).Count(); ++k)
            out << QString::number(t.Items(i).Items(k).iID) + u'=' + t.Items(i).Items(k).wsValue;
    }
    QStringList constants;
    for (int i = 0; i < t.Constants().Count(); ++i)
        constants << t.Constants().Items(i).wsName + u'=' + t.Constants().Items(i).wsValue;
    constants.sort();
    return out << "[$CONSTANTS]" << constants;
}

} // namespace

TEST(TranslationReader, EveryEncodingAndLineEndReadsAlike)
{
    const QString version = QStringLiteral("Versi\u00F3n");
    const QStringList expected = {"LANGID=1033", "[FormMain]", "1=" + version + QStringLiteral(" \u20AC\r\n2"),
                                  "[$CONSTANTS]", "msgVersion=" + version};
    const std::vector<std::pair<const char *, QByteArray>> files = {
        {"UTF-16LE", Raw(kUtf16LE)},     {"UTF-8 with mark", Raw(kUtf8Bom)}, {"UTF-8", Raw(kUtf8)},
        {"Windows-1252", Raw(kWin1252)}, {"UTF-16BE", Raw(kUtf16BE)},
    };
    for (const auto &[what, bytes] : files) {
        TVLang_CompTranslations t;
        Load(t, bytes);
        EXPECT_EQ(Dump(t), expected) << what;
    }
}

TEST(TranslationReader, TheStreamIsReadFromItsStart)
{
    QByteArray bytes = Raw(kUtf8);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(bytes.size() - 3);
    TVLang_CompTranslations t;
    t.Text_LoadFromStream(buffer);
    EXPECT_EQ(t.ParamValue("langid"), "1033");
    EXPECT_EQ(t.Count(), 1);
}

TEST(TranslationReader, AnEmptyStreamGivesAnEmptyTranslation)
{
    TVLang_CompTranslations t;
    Load(t, Utf8("a=b\n[X]\n1=y\n[$constants]\nc=d"));
    ASSERT_EQ(t.Count(), 1);
    Load(t, {});
    EXPECT_TRUE(t.Params().isEmpty());
    EXPECT_EQ(t.Count(), 0);
    EXPECT_EQ(t.Constants().Count(), 0);
}

TEST(TranslationReader, LinesOfEveryShape)
{
    TVLang_CompTranslations t;
    Load(t,
         Utf8("  SourceLANGID = 3082 \n"
              "; comment\n"
              "   ;=indented comment\n"
              "Generator=first\n"
              "generator=second\n"
              "LastModified=2026-02-04 11:12:59\n"
              "LastModified=\n"
              "no equals sign\n"
              "=no name\n"
              "Escaped=a\\nb\n"
              "[]\n"
              "[ no closing bracket\n"
              "[  Form Main  ]\n"
              "   00000002   =   two   \n"
              "0=zero\n"
              "-5=negative\n"
              "abc=not a number\n"
              "99999999999=out of range\n"
              "$1A=hex\n"
              "x1b=hex\n"
              "0X1C=hex\n"
              "+0029=plus\n"
              "3=a\\tb\\\\c\\65\n"
              "4=\n"
              "[ ]\n"
              "5=still Form Main\n"
              "[$Constants]\n"
              "msgA = line\\none \n"
              "\t\n"));
    EXPECT_EQ(t.Params(),
              QStringList({"SourceLANGID=3082", "generator=second", "Escaped=a\\nb"})); // spelled as last set
    ASSERT_EQ(t.Count(), 1);
    const TVLang_CompTranslation &form = t.Items(0);
    EXPECT_EQ(form.ComponentName(), "Form Main");
    QStringList entries;
    for (int i = 0; i < form.Count(); ++i)
        entries << QString::number(form.Items(i).iID) + u'=' + form.Items(i).wsValue;
    EXPECT_EQ(
        entries,
        QStringList({"2=two", "3=a\tb\\cA", "4=", "5=still Form Main", "26=hex", "27=hex", "28=hex", "29=plus"}));
    EXPECT_EQ(t.Constants().Values("MSGA"), "line\r\none");
}

// Header lines named alike, without case (Unicode's, as QString compares),
// replace one another where the first stood; an empty value removes the
// line, and one set again after that comes after the lines read so far.
TEST(TranslationReader, HeaderLinesNamedAlike)
{
    const QByteArray header = Utf8("\xC3\x84rger=1\nKeep=k\nGone=g\n\xC3\xA4RGER=2\ngone=\nGONE=back\n"
                                   "p1=1\np2=2\nP1=\n");
    for (const bool paramsOnly : {true, false}) {
        TVLang_CompTranslations t;
        Load(t, header + "[F]\n1=x\n", paramsOnly);
        EXPECT_EQ(t.Params(), QStringList({QStringLiteral("\u00E4RGER=2"), "Keep=k", "GONE=back", "p2=2"}))
            << paramsOnly;
        EXPECT_EQ(t.ParamValue("gone"), "back");
    }
}

// The reader looks at several characters at once: an escape, a line break
// and the backslash of the next line fall at every place within such a
// block, after every kind of line break.
TEST(TranslationReader, EscapesAndBreaksAtEveryPlace)
{
    for (const char *lineBreak : {"\r\n", "\n", "\r"}) {
        for (int k = 0; k <= 17; ++k) {
            const QByteArray a(k, 'a');
            const QByteArray b(k, 'b');
            const QByteArray c(k, 'c');
            const QByteArray br(lineBreak);
            TVLang_CompTranslations t;
            Load(t,
                 "[F]" + br + "00000001=" + a + "\\t" + b + br + "00000002=" + c + br + "00000003=\\\\" + c + br
                     + "[$CONSTANTS]" + br + "msgA=" + a + "\\n" + br + "msgB=" + b + br + "msgC=\\65" + c);
            const std::string what = "break " + br.toPercentEncoding().toStdString() + ", " + std::to_string(k)
                + " characters";
            ASSERT_EQ(t.Count(), 1) << what;
            const TVLang_CompTranslation &form = t.Items(0);
            ASSERT_EQ(form.Count(), 3) << what;
            EXPECT_EQ(form.Items(0).wsValue, QString::fromLatin1(a + "\t" + b)) << what;
            EXPECT_EQ(form.Items(1).wsValue, QString::fromLatin1(c)) << what;
            EXPECT_EQ(form.Items(2).wsValue, QString::fromLatin1("\\" + c)) << what;
            EXPECT_EQ(t.Constants().Values("msgA"), QString::fromLatin1(a + "\r\n")) << what;
            EXPECT_EQ(t.Constants().Values("msgB"), QString::fromLatin1(b)) << what;
            EXPECT_EQ(t.Constants().Values("msgC"), QString::fromLatin1("A" + c)) << what;
        }
    }
}

// The texts read are parts of one decoded block: each must still behave as a
// string of its own, ended like any other, changed alone, and alive after the
// translation that read it is gone.
TEST(TranslationReader, TextsReadOutliveTheTranslationAndChangeAlone)
{
    QString first;
    QString second;
    QString name;
    QString constant;
    {
        TVLang_CompTranslations t;
        Load(t, Utf8("[F]\r\n1=one\\tx  \r\n2=two\r\n[$CONSTANTS]\r\nmsgA  =three\r\nmsgB=four"));
        ASSERT_EQ(t.Count(), 1);
        ASSERT_EQ(t.Items(0).Count(), 2);
        first = t.Items(0).Items(0).wsValue;
        second = t.Items(0).Items(1).wsValue;
        name = t.Constants().Items(0).wsName;
        constant = t.Constants().Values("MSGB");
        first.append(u"-longer than the rest of the line");
        EXPECT_EQ(t.Items(0).Items(0).wsValue, "one\tx");
        EXPECT_EQ(t.Items(0).Items(1).wsValue, "two");
        EXPECT_EQ(t.Constants().Items(0).wsName, "msgA");
    }
    EXPECT_EQ(first, "one\tx-longer than the rest of the line");
    EXPECT_EQ(second, "two");
    EXPECT_EQ(name, "msgA");
    EXPECT_EQ(constant, "four");
    for (const QString *text : {&first, &second, &name, &constant})
        EXPECT_EQ(text->utf16()[text->size()], 0) << text->toStdString();
    second.append(u'!');
    EXPECT_EQ(second, "two!");
}

TEST(TranslationReader, ADuplicateIdFailsWithItsZeroBasedLine)
{
    TVLang_CompTranslations t;
    const QString message = MessageOf<EVLangError>([&] {
        Load(t,
             Utf8("SourceLANGID=3082\r\n" // 0
                  "LANGID=1033\r\n"       // 1
                  "\r\n"                  // 2
                  "; comment\r\n"         // 3
                  "[FormMain]\r\n"        // 4
                  "00000012=a\r\n"        // 5
                  "00000013=b\r\n"        // 6
                  "12=again\r\n"          // 7
                  "00000014=never read\r\n"));
    });
    EXPECT_EQ(message, "Loading translations failed.\r\nLine 7: Duplicate property value translation ID (12)");
    ASSERT_EQ(t.Count(), 1);
    EXPECT_EQ(t.Items(0).Count(), 2);
    EXPECT_EQ(t.ParamValue("LANGID"), "1033");
}

TEST(TranslationReader, ConstantErrorsAreWrappedToo)
{
    const std::vector<std::pair<const char *, QString>> cases = {
        {"[$CONSTANTS]\nmsg-x=1\n", "Loading translations failed.\r\nLine 1: Invalid constant name (\"msg-x\")"},
        {"[$CONSTANTS]\nmsgA=1\n[F]\n[$constants]\nMSGA=2",
         "Loading translations failed.\r\nLine 4: Duplicate constant name (\"MSGA\")"},
        {"[F]\n1=a\n[G]\n[f]\n1=b",
         "Loading translations failed.\r\nLine 4: Duplicate property value translation ID (1)"},
    };
    for (const auto &[text, message] : cases) {
        TVLang_CompTranslations t;
        const QByteArray bytes = Utf8(text);
        EXPECT_EQ(MessageOf<EVLangError>([&] { Load(t, bytes); }), message) << text;
    }
}

// With bParamsOnly the header is read and the rest is not looked at.
TEST(TranslationReader, ParamsOnlyStopsAtTheFirstSection)
{
    TVLang_CompTranslations t;
    Load(t, Utf8("LANGID=1033\n[FormMain]\n1=a\n1=a again\n[$CONSTANTS]\n-bad-=x\nLate=param"), true);
    EXPECT_EQ(t.Params(), QStringList({"LANGID=1033"}));
    EXPECT_EQ(t.Count(), 0);
    EXPECT_EQ(t.Constants().Count(), 0);
    EXPECT_THROW(Load(t, Utf8("LANGID=1033\n[FormMain]\n1=a\n1=a again\n")), EVLangError);
}

TEST(TranslationReader, FramesWithANumberSuffixShareTheirSection)
{
    {
        TVLang_CompTranslations t;
        Load(t, Utf8("[frDisco]\n1=a\n[FRDISCO_12]\n2=b\n[frDisco_]\n3=c"));
        ASSERT_EQ(t.Count(), 1);
        EXPECT_EQ(t.Items(0).ComponentName(), "frDisco");
        EXPECT_EQ(t.Items(0).Count(), 3);
    }
    {
        TVLang_CompTranslations t;
        Load(t, Utf8("[frDisco_12]\n2=b\n[frDisco]\n1=a"));
        ASSERT_EQ(t.Count(), 2);
        EXPECT_EQ(t.Items(0).ComponentName(), "frDisco_12");
        EXPECT_EQ(t.Items(1).ComponentName(), "frDisco");
    }
    TVLang_CompTranslations t;
    Load(t, Utf8("[a_b]\n[a]\n"));
    EXPECT_EQ(t.FindComponentName("A_B"), &t.Items(0));
    EXPECT_EQ(t.FindComponentName("a_b_7"), &t.Items(0));
    EXPECT_EQ(t.FindComponentName(QStringLiteral("a_\u0663")), &t.Items(1)); // any decimal digit
    EXPECT_EQ(t.FindComponentName("a_7x"), nullptr);
    EXPECT_EQ(t.FindComponentName("a_b_c"), nullptr);
    EXPECT_EQ(t.FindComponentName("x_1"), nullptr);
    EXPECT_EQ(t.IndexOfComponentName(QStringLiteral("\u00C1")), -1);
}

TEST(TranslationFiles, FileAndResourceErrors)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath("missing.lng");
    TVLang_CompTranslations t;
    const QString message = MessageOf<EFOpenError>([&] { t.Text_LoadFromFile(missing); });
    EXPECT_TRUE(message.startsWith("Cannot open file \"" + QDir::toNativeSeparators(missing) + "\". "))
        << message.toStdString();
    EXPECT_GT(message.size(), QString("Cannot open file \"" + missing + "\". ").size());

    EXPECT_EQ(MessageOf<EResNotFound>([&] { t.Text_LoadFromResource(ProgramResourceModule(), "NOPE"); }),
              "Resource NOPE not found");
    EXPECT_EQ(MessageOf<EResNotFound>([&] { t.Text_LoadFromResource(":/testmodule", 7); }),
              "Resource 7 not found");

    t.Text_LoadFromResource(":/testmodule", "English");
    EXPECT_EQ(t.ParamValue("LANGID"), "1033");
    ASSERT_NE(t.FindComponentName("FormMain"), nullptr);
    EXPECT_EQ(t.FindComponentName("FormMain")->FindPropByID(24)->wsValue, "English");
    EXPECT_EQ(t.Constants().Values("msgdisponibles"), "available from");
    TVLang_CompTranslations byNumber;
    byNumber.Text_LoadFromResource(":/testmodule", 1033, true);
    EXPECT_EQ(byNumber.Params(), t.Params());
    EXPECT_EQ(byNumber.Count(), 0);
}

TEST(TranslationWriter, WritesTheDocumentedLayout)
{
    TVLang_CompTranslations t;
    t.SetParamValue("SourceLANGID", "3082");
    t.SetParamValue("LANGID", "1033");
    TVLang_CompTranslation &form = t.AddComponent("FormMain");
    form.Add(24, "English");
    form.Add(1, "Initializing the widget....");
    form.Add(3, "two\r\nlines", TVLang_TranslationState::vltsUntranslated);
    t.AddComponent("Empty");
    t.Constants().Add("msgVersion", "Version");
    t.Constants().Add("msgUntranslated", "x", TVLang_TranslationState::vltsUntranslated);

    const QByteArray all = "SourceLANGID=3082\r\nLANGID=1033\r\n\r\n"
                           "[FormMain]\r\n00000001=Initializing the widget....\r\n00000003=two\\nlines\r\n"
                           "00000024=English\r\n\r\n"
                           "[Empty]\r\n\r\n"
                           "[$CONSTANTS]\r\nmsgVersion=Version\r\nmsgUntranslated=x\r\n";
    EXPECT_EQ(Save(t, false), all);
    const QByteArray skipped = "SourceLANGID=3082\r\nLANGID=1033\r\n\r\n"
                               "[FormMain]\r\n00000001=Initializing the widget....\r\n00000024=English\r\n\r\n"
                               "[Empty]\r\n\r\n"
                               "[$CONSTANTS]\r\nmsgVersion=Version\r\n";
    EXPECT_EQ(Save(t, false, true), skipped);

    // UTF-16LE: the mark FF FE, then every code unit little-endian.
    const QByteArray unicode = Save(t, true, true);
    EXPECT_EQ(unicode.left(8).toHex(' '), "ff fe 53 00 6f 00 75 00");
    EXPECT_EQ(unicode.right(4).toHex(' '), "0d 00 0a 00");
    EXPECT_EQ(unicode.size(), 2 + 2 * skipped.size());

    TVLang_CompTranslations empty;
    EXPECT_EQ(Save(empty, false), "[$CONSTANTS]\r\n");
    EXPECT_EQ(empty.Count(), 0);
}

// What the writer produces reads back, with or without bUnicode, through a
// stream and through a file.
TEST(TranslationWriter, AWrittenFileReadsBackToTheSameTranslation)
{
    TVLang_CompTranslations original;
    Load(original, Raw(kUtf16LE));
    original.Items(0).Add(7, QStringLiteral("tab\there \\ back\u0001slash \u00BFqu\u00E9? \U0001F600"));
    original.AddComponent("frDisco_1").Add(100, "x");
    original.Constants().Add("msgEmpty", "");

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (bool unicode : {true, false}) {
        const QString file = dir.filePath(unicode ? "u.lng" : "a.lng");
        original.Text_SaveToFile(file, unicode, false);
        TVLang_CompTranslations reread;
        reread.Text_LoadFromFile(file);
        EXPECT_EQ(Dump(reread), Dump(original)) << unicode;
    }
}

// A first line that itself starts with U+FEFF must not turn into a mark.
TEST(TranslationWriter, ATextStartingWithAByteOrderMarkCharacterKeepsIt)
{
    TVLang_CompTranslations original;
    original.SetParamValue(QStringLiteral("\uFEFFName"), "1");
    for (bool unicode : {true, false}) {
        TVLang_CompTranslations reread;
        Load(reread, Save(original, unicode));
        EXPECT_EQ(reread.Params(), original.Params()) << unicode;
    }
    EXPECT_EQ(Save(original, false).left(6).toHex(' '), "ef bb bf ef bb bf");
}

TEST(CompTranslation, FindIdIsABinarySearchThatAnswersTheInsertPosition)
{
    TVLang_CompTranslation c("F");
    EXPECT_EQ(c.Add(20, "b"), 0);
    EXPECT_EQ(c.Add(10, "a"), 0);
    EXPECT_EQ(c.Add(40, "d"), 2);
    EXPECT_EQ(c.Add(30, "c"), 2);
    int index = -1;
    const std::vector<std::tuple<qint32, bool, int>> lookups = {
        {5, false, 0}, {10, true, 0}, {15, false, 1}, {30, true, 2}, {40, true, 3}, {41, false, 4}, {-7, false, 0},
    };
    for (const auto &[id, found, position] : lookups) {
        EXPECT_EQ(c.FindID(id, index), found) << id;
        EXPECT_EQ(index, position) << id;
    }
    EXPECT_EQ(c.IndexOfID(30), 2);
    EXPECT_EQ(c.IndexOfID(31), -1);
    EXPECT_EQ(c.FindPropByID(40)->wsValue, "d");
    EXPECT_EQ(c.FindPropByID(41), nullptr);
    EXPECT_EQ(MessageOf<EVLangError>([&] { c.Add(30, "again"); }), "Duplicate property value translation ID (30)");

    TVLang_CompTranslation empty("E");
    EXPECT_FALSE(empty.FindID(1, index));
    EXPECT_EQ(index, 0);
}

TEST(TextDecoding, TextWithoutAMarkIsUtf8WhenValidElseWindows1252)
{
    using TextDecoding::DecodeText;
    EXPECT_EQ(DecodeText("\xC3\xA9"), QStringLiteral("\u00E9"));
    EXPECT_EQ(DecodeText("\xE9"), QStringLiteral("\u00E9"));
    EXPECT_EQ(DecodeText("\x80\x8A\x9F\x81\xFF"), QStringLiteral("\u20AC\u0160\u0178\u0081\u00FF"));
    EXPECT_EQ(DecodeText("\xC3"), QStringLiteral("\u00C3")) << "a cut UTF-8 sequence is not UTF-8";
    EXPECT_EQ(DecodeText(QByteArrayView("\xFF\xFE\x41\x00\x42", 5)), QStringLiteral("A\uFFFD"));
    EXPECT_EQ(DecodeText(QByteArrayView("\xFF\xFE", 2)), QString());
    EXPECT_EQ(DecodeText(QByteArrayView("\xFF\xFE\x00\xD8\x41\x00\x3D\xD8\x00\xDE", 10)),
              QStringLiteral("\uFFFDA\U0001F600"))
        << "an unpaired surrogate is no text";
}

// The hand-written code page against the system's converter, where Qt was
// built with one.
TEST(TextDecoding, Windows1252MatchesTheSystemConverter)
{
    QStringDecoder system("windows-1252");
    if (!system.isValid())
        GTEST_SKIP() << "needs a Qt built with ICU to compare against";
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    EXPECT_EQ(TextDecoding::DecodeWindows1252(all), system.decode(all));
}
