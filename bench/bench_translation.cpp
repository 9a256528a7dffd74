// SPDX-License-Identifier: MIT
// Reading a large translation file and switching the constants it carries,
// next to the floor of any reader: decoding the same bytes and splitting them
// into lines.
#include "localization/Constants.h"
#include "localization/TextDecoding.h"
#include "localization/Translations.h"

#include <QStringDecoder>

#include <benchmark/benchmark.h>

namespace {

constexpr int kComponents = 10;
constexpr int kEntriesPerComponent = 900;
constexpr int kConstants = 1000; // 10,000 entries in all

QString Text(int i)
{
    return QStringLiteral("Translated text number %1 with an escape\\n and \u00E9").arg(i);
}

// A translation as the translation editor writes it: UTF-16LE with its mark,
// CR LF line ends.
const QByteArray &TranslationFile()
{
    static const QByteArray bytes = [] {
        QString text = QStringLiteral("SourceLANGID=3082\r\nLANGID=1033\r\nGenerator=bench\r\n\r\n");
        for (int c = 0; c < kComponents; ++c) {
            text += QStringLiteral("[Form%1]\r\n").arg(c);
            for (int i = 1; i <= kEntriesPerComponent; ++i)
                text += QString::asprintf("%.8d=", i) + Text(i) + QStringLiteral("\r\n");
            text += QStringLiteral("\r\n");
        }
        text += QStringLiteral("[$CONSTANTS]\r\n");
        for (int i = 0; i < kConstants; ++i)
            text += QStringLiteral("msgConstant%1=").arg(i) + Text(i) + QStringLiteral("\r\n");
        QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        return QByteArray(encoder.encode(text));
    }();
    return bytes;
}

void BM_DecodeAndSplitLines(benchmark::State &state)
{
    const QByteArray &bytes = TranslationFile();
    for (auto _ : state) {
        const QString text = TextDecoding::DecodeText(bytes);
        qsizetype lines = 0;
        TextDecoding::ForEachLine(text, [&lines](QStringView line) {
            lines += line.size() > 0;
            return true;
        });
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.counters["file_bytes"] = double(bytes.size());
}
BENCHMARK(BM_DecodeAndSplitLines)->Unit(benchmark::kMillisecond);

void BM_ReadTranslation(benchmark::State &state)
{
    const QByteArray &bytes = TranslationFile();
    for (auto _ : state) {
        TVLang_CompTranslations t;
        t.Text_LoadFromBytes(bytes);
        benchmark::DoNotOptimize(t.Count());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_ReadTranslation)->Unit(benchmark::kMillisecond);

// A file whose header alone has 100,000 lines, every tenth name met again:
// the header is read with the parameters only, as when the languages are
// listed.
void BM_ReadLongHeader(benchmark::State &state)
{
    static const QByteArray bytes = [] {
        QByteArray text;
        for (int i = 0; i < 100000; ++i)
            text += "Param" + QByteArray::number(i % 10 == 9 ? i / 10 : i) + "=value\r\n";
        return text + "[FormMain]\r\n";
    }();
    for (auto _ : state) {
        TVLang_CompTranslations t;
        t.Text_LoadFromBytes(bytes, true);
        benchmark::DoNotOptimize(t.Params().size());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_ReadLongHeader)->Unit(benchmark::kMillisecond);

// The program's map with the same constants in the source language, switched
// to the translation and back to its defaults.
void BM_SwitchConstants(benchmark::State &state)
{
    TVLang_CompTranslations translation;
    translation.Text_LoadFromBytes(TranslationFile());
    TVLang_Constants program;
    for (int i = 0; i < kConstants; ++i)
        program.Add(QStringLiteral("MSGCONSTANT%1").arg(i), QStringLiteral("Texto %1").arg(i));
    for (auto _ : state) {
        program.TranslateFrom(&translation.Constants());
        program.TranslateFrom(nullptr);
        benchmark::DoNotOptimize(program.Items(0).wsValue.size());
    }
    state.SetItemsProcessed(state.iterations() * kConstants * 2);
}
BENCHMARK(BM_SwitchConstants)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
