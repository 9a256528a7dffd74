// SPDX-License-Identifier: MIT
#include "shell/CommandLine.h"

#include "settings/VersionInfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QUrl>

#include <cstdio>
#include <memory>

namespace CommandLine {

namespace {

QCommandLineOption HostOption()
{
    return QCommandLineOption(
        QStringLiteral("host"),
        QStringLiteral(
            "Shows the drives of the machines that the Prometheus server at <url> watches, for this run "
            "only, instead of this machine and the other machines of the menu (the settings are not "
            "changed). The server's password, if it asks for one, comes from ~/.netrc. Example: --host "
            "http://prometheus.example.org:9090"),
        QStringLiteral("url"));
}

bool IsServerAddress(const QString &host)
{
    return host.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || host.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

// A user or password written into the address would show in the process
// list and the log: refused.
bool HasUserInfo(const QString &host)
{
    return !QUrl(host).userInfo().isEmpty();
}

} // namespace

QString HostFor(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption host = HostOption();
    parser.addOption(host);
    (void)parser.parse(args);
    const QString value = parser.value(host).trimmed();
    return IsServerAddress(value) && !HasUserInfo(value) ? value : QString();
}

QString AnswerFor(const QStringList &args)
{
    QCommandLineParser parser;
    // Qt's own options are single-dash words (-platform xcb): never read as
    // a bundle of one-letter options.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Desktop widget that shows how full every drive is.\n"
        "Its menu is in the notification area and on a right click on the widget.\n"
        "Other machines' drives come from Prometheus servers. To watch them beside this machine, "
        "choose \"Otras m\u00e1quinas\u2026\" (\"Other machines\u2026\") in the menu: add the server's "
        "address, its user and password (kept in the desktop's keyring, never in a file), \"Probar\" "
        "(\"Test\") tries it. --host shows one server's machines for one run. See velmora(1)."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays the version and exits."));
    const QCommandLineOption host = HostOption();
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(host);
    // Unknown arguments are no error: Qt reads its own.
    const bool parsed = parser.parse(args);
    if (parser.isSet(help))
        return parser.helpText();
    if (parser.isSet(version))
        return QStringLiteral("velmora %1\n").arg(VersionInfo::FileVersionText(QString(), false));
    if (!parsed && parser.errorText().contains(QLatin1String("host")))
        return QStringLiteral("velmora: --host needs the address of a Prometheus server, such as "
                              "http://prometheus.example.org:9090\n");
    // The value is not repeated: it may hold what was meant as a password.
    if (parser.isSet(host) && !IsServerAddress(parser.value(host).trimmed()))
        return QStringLiteral("velmora: --host takes a Prometheus server's address starting with http:// or "
                              "https://\n");
    if (parser.isSet(host) && HasUserInfo(parser.value(host).trimmed()))
        return QStringLiteral("velmora: --host takes no user name or password in the address; the password "
                              "comes from ~/.netrc\n");
    return QString();
}

int Answer(int argc, char *argv[])
{
    bool option = false;
    for (int i = 1; i < argc && !option; ++i)
        option = argv[i][0] == '-';
    // A plain start pays for nothing here.
    if (!option)
        return -1;
    // The parser's help text names the program through the application
    // object; a core one is enough and goes before the widget's own is made,
    // so that --help works without a display.
    std::unique_ptr<QCoreApplication> core;
    if (!QCoreApplication::instance())
        core = std::make_unique<QCoreApplication>(argc, argv);
    const QString answer = AnswerFor(QCoreApplication::arguments());
    if (answer.isEmpty())
        return -1;
    const bool error = answer.startsWith(QLatin1String("velmora: "));
    std::fputs(answer.toLocal8Bit().constData(), error ? stderr : stdout);
    std::fflush(error ? stderr : stdout);
    return error ? 2 : 0;
}

const char *const WaylandOnlyNotice =
    "velmora: running on Wayland without XWayland: the window cannot stay below other windows and cannot be "
    "placed where it was left. Start it in a session with XWayland (DISPLAY set) for that.\n";

TPlatformChoice ChoosePlatform(const QString &waylandDisplay, const QString &display, const QString &qpaPlatform,
                               const QStringList &args)
{
    if (!qpaPlatform.isEmpty())
        return TPlatformChoice::QtDecides;
    // Qt reads its own options with one dash or two, as separate words.
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("-platform") || args.at(i) == QLatin1String("--platform"))
            return TPlatformChoice::QtDecides;
    }
    if (waylandDisplay.isEmpty())
        return TPlatformChoice::QtDecides;
    return display.isEmpty() ? TPlatformChoice::WaylandOnly : TPlatformChoice::XWayland;
}

void ApplyPlatformChoice(int argc, char *argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const auto env = [](const char *name) { return qEnvironmentVariable(name); };
    switch (ChoosePlatform(env("WAYLAND_DISPLAY"), env("DISPLAY"), env("QT_QPA_PLATFORM"), args)) {
    case TPlatformChoice::QtDecides:
        break;
    case TPlatformChoice::XWayland:
        qputenv("QT_QPA_PLATFORM", "xcb");
        break;
    case TPlatformChoice::WaylandOnly:
        std::fputs(WaylandOnlyNotice, stderr);
        std::fflush(stderr);
        break;
    }
}

} // namespace CommandLine
