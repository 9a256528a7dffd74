// SPDX-License-Identifier: MIT
// Switching the widget window's language (Spanish to English and back through
// the language manager, as the tray menu does), next to its floor: writing
// every writable text property of the window and its components once, each
// with the value it already holds, through the meta-object system, which is
// the least any switch of the window's texts has to do.
// The window runs offscreen with a settings file of its own and two drives
// from the fake drive service, so no first-run question and no real mounts.
#include "shell/FMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMetaProperty>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

TFormMain *gWindow = nullptr;

void BM_SwitchLanguage(benchmark::State &state)
{
    for (auto _ : state) {
        gWindow->SetActiveLanguage(1);
        gWindow->SetActiveLanguage(0);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_SwitchLanguage)->Unit(benchmark::kMicrosecond);

void BM_RewriteTextsFloor(benchmark::State &state)
{
    QList<QObject *> objects = gWindow->findChildren<QObject *>();
    objects.prepend(gWindow);
    std::size_t written = 0;
    for (auto _ : state) {
        written = 0;
        // Twice, as the switch goes there and back.
        for (int pass = 0; pass < 2; ++pass) {
            for (QObject *object : objects) {
                const QMetaObject *meta = object->metaObject();
                for (int i = 0; i < meta->propertyCount(); ++i) {
                    const QMetaProperty p = meta->property(i);
                    if (p.metaType().id() != QMetaType::QString || !p.isWritable() || !p.isStored()
                        || qstrcmp(p.name(), "objectName") == 0)
                        continue;
                    const QVariant value = p.read(object);
                    if (value.toString().isEmpty())
                        continue;
                    p.write(object, value);
                    ++written;
                }
            }
        }
    }
    state.counters["properties"] = static_cast<double>(written / 2);
}
BENCHMARK(BM_RewriteTextsFloor)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toLocal8Bit());
    const QString fake = home.filePath(QStringLiteral("drives.fake"));
    {
        QFile f(fake);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write("instance of Win32_LogicalDisk\n{\n\tDriveType = 3;\n\tFileSystem = \"ext4\";\n"
                "\tFreeSpace = \"1000000000\";\n\tName = \"/\";\n\tSize = \"5000000000\";\n};\n----\n"
                "instance of Win32_LogicalDisk\n{\n\tDriveType = 3;\n\tFileSystem = \"ext4\";\n"
                "\tFreeSpace = \"2000000000\";\n\tName = \"/home\";\n\tSize = \"9000000000\";\n};\n");
    }
    qputenv("VELMORA_FAKE_WBEM", fake.toLocal8Bit());
    {
        QFile ini(home.path() + QStringLiteral("/.config/Brindlewick/Velmora/config.ini"));
        QDir().mkpath(home.path() + QStringLiteral("/.config/Brindlewick/Velmora"));
        if (!ini.open(QIODevice::WriteOnly))
            return 1;
        ini.write("[CONFIG]\r\nTop=0\r\nLeft=0\r\nIntervalo=60\r\nOpacidad=255\r\n"
                  "EjecutarInicio=False\r\nVerDiscosRed=False\r\nIdioma=0\r\n");
    }
    QApplication app(argc, argv);
    auto window = std::make_unique<TFormMain>();
    window->SetShutdownReport([](const QString &) {});
    window->show();
    QCoreApplication::processEvents();
    gWindow = window.get();
    // The switch must change what the window shows, or there is nothing to
    // measure.
    auto *close = window->findChild<QObject *>(QStringLiteral("actCerrar"));
    const QString spanish = close ? close->property("Caption").toString() : QString();
    window->SetActiveLanguage(1);
    const QString english = close ? close->property("Caption").toString() : QString();
    window->SetActiveLanguage(0);
    std::fprintf(stderr, "actCerrar: \"%s\" / \"%s\"\n", qPrintable(spanish), qPrintable(english));
    if (spanish.isEmpty() || spanish == english)
        return 77;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    window.reset();
    return 0;
}
