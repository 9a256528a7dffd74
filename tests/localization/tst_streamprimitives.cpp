// SPDX-License-Identifier: MIT
#include "localization/StreamPrimitives.h"
#include "localization/SystemErrors.h"

#include <QBuffer>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

using namespace StreamPrimitives;

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

QByteArray Written(const std::function<void(QIODevice &)> &put)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    put(buffer);
    return bytes;
}

struct Reader
{
    explicit Reader(QByteArray b) : bytes(std::move(b)), buffer(&bytes) { buffer.open(QIODevice::ReadOnly); }
    QByteArray bytes;
    QBuffer buffer;
};

struct Layout
{
    const char *what;
    std::function<void(QIODevice &)> put;
    std::function<bool(QIODevice &)> readsBack;
    QByteArray bytes;
};

} // namespace

// Every primitive against the bytes it must put on the stream, and back.
TEST(StreamPrimitives, WriteTheDocumentedBytesAndReadThemBack)
{
    const QString e = QStringLiteral("\u00E9");
    const QString clef = QString::fromUcs4(U"\U0001D11E");
    const std::vector<Layout> layouts = {
        {"byte", [](QIODevice &s) { PutByte(s, 0xFE); }, [](QIODevice &s) { return GetByte(s) == 0xFE; },
         Bytes({0xFE})},
        {"word", [](QIODevice &s) { PutWord(s, 0xABCD); }, [](QIODevice &s) { return GetWord(s) == 0xABCD; },
         Bytes({0xCD, 0xAB})},
        {"int32 negative", [](QIODevice &s) { PutInt32(s, -2); }, [](QIODevice &s) { return GetInt32(s) == -2; },
         Bytes({0xFE, 0xFF, 0xFF, 0xFF})},
        {"int32", [](QIODevice &s) { PutInt32(s, 0x01020304); },
         [](QIODevice &s) { return GetInt32(s) == 0x01020304; }, Bytes({0x04, 0x03, 0x02, 0x01})},
        {"bool true", [](QIODevice &s) { PutBool(s, true); }, [](QIODevice &s) { return GetBool(s); },
         Bytes({0x01})},
        {"bool false", [](QIODevice &s) { PutBool(s, false); }, [](QIODevice &s) { return !GetBool(s); },
         Bytes({0x00})},
        {"utf8 counts bytes", [e](QIODevice &s) { PutUtf8String(s, u'a' + e); },
         [e](QIODevice &s) { return GetUtf8String(s) == u'a' + e; }, Bytes({0x03, 0x00, 'a', 0xC3, 0xA9})},
        {"utf16 counts units", [clef](QIODevice &s) { PutUtf16String(s, clef + u'A'); },
         [clef](QIODevice &s) { return GetUtf16String(s) == clef + u'A'; },
         Bytes({0x03, 0x00, 0x34, 0xD8, 0x1E, 0xDD, 0x41, 0x00})},
        {"empty utf16", [](QIODevice &s) { PutUtf16String(s, {}); },
         [](QIODevice &s) { return GetUtf16String(s).isEmpty(); }, Bytes({0x00, 0x00})},
        {"format version", [](QIODevice &s) { PutFormatVersion(s); }, [](QIODevice &s) { return GetByte(s) == 3; },
         Bytes({0x03})},
    };
    for (const Layout &l : layouts) {
        SCOPED_TRACE(l.what);
        EXPECT_EQ(Written(l.put).toHex(' '), l.bytes.toHex(' '));
        Reader r(l.bytes);
        EXPECT_TRUE(l.readsBack(r.buffer));
        EXPECT_TRUE(r.buffer.atEnd());
    }
}

TEST(StreamPrimitives, AnyNonZeroByteReadsAsTrue)
{
    for (int b : {0x01, 0x02, 0x80, 0xFF}) {
        Reader r(Bytes({b}));
        EXPECT_TRUE(GetBool(r.buffer)) << b;
    }
}

// A read that runs past the end fails, also when the count of a string
// promises more than the stream holds.
TEST(StreamPrimitives, ShortReadsFailWithStreamReadError)
{
    const std::vector<std::tuple<const char *, std::function<void(QIODevice &)>, QByteArray>> cases = {
        {"byte of nothing", [](QIODevice &s) { GetByte(s); }, {}},
        {"bool of nothing", [](QIODevice &s) { GetBool(s); }, {}},
        {"word of one byte", [](QIODevice &s) { GetWord(s); }, Bytes({0x01})},
        {"int32 of three bytes", [](QIODevice &s) { GetInt32(s); }, Bytes({0x01, 0x00, 0x00})},
        {"utf8 without its count", [](QIODevice &s) { GetUtf8String(s); }, Bytes({0x01})},
        {"utf8 count 65535 over two bytes", [](QIODevice &s) { GetUtf8String(s); }, Bytes({0xFF, 0xFF, 'a', 'b'})},
        {"utf16 of one and a half units", [](QIODevice &s) { GetUtf16String(s); },
         Bytes({0x02, 0x00, 'a', 0x00, 'b'})},
        {"utf16 count 65535 over two bytes", [](QIODevice &s) { GetUtf16String(s); }, Bytes({0xFF, 0xFF, 'a', 0})},
    };
    for (const auto &[what, read, input] : cases) {
        Reader r(input);
        try {
            read(r.buffer);
            ADD_FAILURE() << what << ": no error";
        } catch (const EReadError &err) {
            EXPECT_EQ(err.Message(), QStringLiteral("Stream read error")) << what;
        }
    }
}

// 65535 units fit the 2-byte count, one more does not; the limit of UTF-8 is
// in bytes, so 40000 two-byte characters are too long.
TEST(StreamPrimitives, StringsLongerThanTheCountAreRefused)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_NO_THROW(PutUtf16String(buffer, QString(65535, u'x')));
    EXPECT_EQ(bytes.size(), 2 + 2 * 65535);
    EXPECT_EQ(bytes.left(2), Bytes({0xFF, 0xFF}));
    const qint64 before = bytes.size();
    EXPECT_THROW(PutUtf16String(buffer, QString(65536, u'x')), EWriteError);
    EXPECT_THROW(PutUtf8String(buffer, QString(40000, QChar(0x00E9))), EWriteError);
    EXPECT_EQ(bytes.size(), before) << "nothing of a refused string is written";
    EXPECT_NO_THROW(PutUtf8String(buffer, QString(65535, u'x')));
}

TEST(StreamPrimitives, ADeviceThatRefusesBytesFailsTheWrite)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    EXPECT_THROW(PutInt32(buffer, 1), EWriteError);
}
