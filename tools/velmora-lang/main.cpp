// SPDX-License-Identifier: MIT
// velmora-lang: the localization engine's design-time tool.
//
//   velmora-lang update <window> [--block FILE] [--check]
//       reads the window's LangData block, binds it to a freshly built window,
//       gives new translatable properties their IDs (old ones keep theirs)
//       and writes the block back; --check only reports whether it would
//       change (exit code 1 when it would).
//   velmora-lang source <window> [--block FILE]
//       prints the window's language-source lines, one per translatable
//       property: "<component>.<property>=<ID, 8 digits>,<escaped text>".
//   velmora-lang pack <window> <file.lng>... [--block FILE] [--date STAMP] [--check]
//       packs translation files into the window's StoredTranslationFiles
//       block (PackCommand.h).
//
// The block defaults to the one kept in the source tree, or where that is not
// present, to the one built into the program.
#include "PackCommand.h"
#include "localization/LanguageController.h"
#include "platform/BoundedFile.h"
#include "shell/FMain.h"
#include "vcl/Exception.h"
#include "vcl/Persistent.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

namespace {

constexpr int ExitChanged = 1;
constexpr int ExitUsage = 2;
constexpr int ExitError = 3;

struct Window
{
    QString name;
    QString controller;
    std::function<std::unique_ptr<QWidget>()> create;
};

const Window Windows[] = {
    {QStringLiteral("FormMain"), QStringLiteral("vlLC"), [] { return std::make_unique<TFormMain>(); }},
};

QTextStream &Err()
{
    static QTextStream s(stderr);
    return s;
}

const char UsageText[] =
    "usage: velmora-lang update <window> [--block FILE] [--check]\n"
    "       velmora-lang source <window> [--block FILE]\n"
    "       velmora-lang pack <window> <file.lng>... [--block FILE] [--date STAMP] [--check]\n"
    "windows: FormMain\n";

const char HelpText[] = "\n"
                        "  update        give the window's new translatable properties their IDs and\n"
                        "                write its LangData block back (old ones keep theirs)\n"
                        "  source        print the window's language-source lines, one per\n"
                        "                translatable property: component.property=ID,text\n"
                        "  pack          pack translation files into the window's stored block\n"
                        "  --block FILE  the block to read and write (default: the one in the source\n"
                        "                tree, else the one built into the program, read only)\n"
                        "  --check       only report whether the block would change (exit status 1)\n"
                        "  --date STAMP  the packing date, \"yyyy-mm-dd hh:mm:ss\" (pack only)\n"
                        "  -h, --help    show this help and exit\n"
                        "\n"
                        "Exit status: 0 done; 1 the block would change (--check); 2 wrong options;\n"
                        "3 an error (named on standard error).\n";

int Usage()
{
    Err() << UsageText;
    Err().flush();
    return ExitUsage;
}

// The block in the source tree the program was built from; where that tree
// is not present (an installed program), the block built into the program,
// which can be read but not written.
QString DefaultBlock(const Window &w)
{
    const QString source =
        QStringLiteral(VELMORA_SOURCE_DIR "/resources/forms/%1/%2.LangData").arg(w.name, w.controller);
    if (QFile::exists(source))
        return source;
    return QStringLiteral(":/forms/%1/%2.LangData").arg(w.name, w.controller);
}

TVLanguageController *FindController(QObject *window, const QString &name)
{
    for (QObject *c : vcl::Components(window))
        if (auto *controller = qobject_cast<TVLanguageController *>(c);
            controller && c->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return controller;
    return nullptr;
}

int Run(const QStringList &args)
{
    if (args.size() >= 2 && args.at(1) == QLatin1String("pack"))
        return RunPackCommand(args.mid(2));
    if (args.size() < 3)
        return Usage();
    const QString command = args.at(1);
    const Window *window = nullptr;
    for (const Window &w : Windows)
        if (w.name.compare(args.at(2), Qt::CaseInsensitive) == 0)
            window = &w;
    if (!window || (command != QLatin1String("update") && command != QLatin1String("source")))
        return Usage();
    QString blockPath = DefaultBlock(*window);
    bool check = false;
    for (qsizetype i = 3; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--block") && i + 1 < args.size())
            blockPath = args.at(++i);
        else if (args.at(i) == QLatin1String("--check") && command == QLatin1String("update"))
            check = true;
        else
            return Usage();
    }

    // The built-in block is the program's own; a block named on the command
    // line goes through the bounded reader.
    QByteArray before;
    if (blockPath.startsWith(u':')) {
        QFile file(blockPath);
        if (!file.open(QIODevice::ReadOnly)) {
            Err() << "velmora-lang: cannot read " << blockPath << ": " << file.errorString() << "\n";
            return ExitError;
        }
        before = file.readAll();
    } else {
        const platform::BoundedRead read = platform::ReadBoundedFile(blockPath.toStdString(), MaxInputFileSize);
        if (!read.Ok()) {
            Err() << "velmora-lang: cannot read " << blockPath << ": " << QString::fromStdString(read.Reason)
                  << "\n";
            return ExitError;
        }
        before = QByteArray(read.Bytes.data(), qsizetype(read.Bytes.size()));
    }

    // The window writes its settings when it is destroyed: a design-time
    // run must leave the user's settings alone.
    QTemporaryDir settingsHome;
    qputenv("XDG_CONFIG_HOME", settingsHome.path().toUtf8());

    const std::unique_ptr<QWidget> form = window->create();
    TVLanguageController *controller = FindController(form.get(), window->controller);
    if (!controller) {
        Err() << "velmora-lang: " << window->name << " has no language controller " << window->controller << "\n";
        return ExitError;
    }
    // The block on disk, not the one built into the program, is the one
    // being edited.
    controller->ReadBlock(QStringLiteral("LangData"), before);
    controller->RootCompEntry().BindToComponent(form.get());

    QTextStream out(stdout);
    if (command == QLatin1String("source")) {
        controller->RefreshEntries(false);
        QStringList lines;
        controller->WriteSourceLines(lines, {});
        out << "[" << controller->SourceSectionName() << "]\n";
        for (const QString &line : lines)
            out << line << "\n";
        return 0;
    }

    const qint32 maxBefore = controller->RootCompEntry().MaxPropEntryID();
    QByteArray after;
    if (!controller->WriteBlock(QStringLiteral("LangData"), after)) {
        Err() << "velmora-lang: " << window->name << " has no name; no LangData\n";
        return ExitError;
    }
    const qint32 maxAfter = controller->RootCompEntry().MaxPropEntryID();
    if (after == before) {
        out << blockPath << ": unchanged (" << after.size() << " bytes, highest ID " << maxAfter << ")\n";
        return 0;
    }
    out << blockPath << ": " << before.size() << " -> " << after.size() << " bytes, highest ID " << maxBefore
        << " -> " << maxAfter << "\n";
    if (check)
        return ExitChanged;
    QSaveFile save(blockPath);
    if (!save.open(QIODevice::WriteOnly) || save.write(after) != after.size() || !save.commit()) {
        Err() << "velmora-lang: cannot write " << blockPath << ": " << save.errorString() << "\n";
        return ExitError;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // Help needs no window system: answer it before Qt starts.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(UsageText, stdout);
            std::fputs(HelpText, stdout);
            return std::fflush(stdout) == 0 ? 0 : ExitError;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    try {
        return Run(QApplication::arguments());
    } catch (const Exception &e) {
        Err() << "velmora-lang: " << e.Message() << "\n";
    } catch (const std::exception &e) {
        Err() << "velmora-lang: " << e.what() << "\n";
    }
    return ExitError;
}
