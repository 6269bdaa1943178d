#include "ui/CTarvexApp.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QPixmap>
#include <QStringList>
#include <cstdio>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#endif

#include "link/D2xxDriver.h"

namespace {

void PrintError(const QString& text) {
    std::fprintf(stderr, "tarvex: %s\n", text.toLocal8Bit().constData());
}

const char* IconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Stop:
            return "error";
        case MessageIcon::Information:
            return "information";
        case MessageIcon::Exclamation:
            return "warning";
        case MessageIcon::Question:
            return "question";
    }
    return "";
}

void PrintUsage(const QString& error) {
    PrintError(error);
    std::fputs("Usage: tarvex [options] [file]\nTry 'tarvex --help'.\n", stderr);
}

// Qt's own options, which QApplication takes out of the command line itself: the name and
// whether a value follows ("-style fusion" or "-style=fusion"; one dash or two).
struct QtOption {
    const char* name;
    bool takesValue;
};

constexpr QtOption kQtOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},
    {"qwindowtitle", true},    {"session", true},
    {"style", true},           {"stylesheet", true},
    {"display", true},         {"geometry", true},
    {"reverse", false},        {"widgetcount", false},
    {"nograb", false},         {"dograb", false},
    {"sync", false},
};

// The arguments without Qt's own options, up to "--"; platform receives -platform's value.
QStringList WithoutQtOptions(const QStringList& arguments, QString* platform) {
    QStringList ours;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (i == 0 || !argument.startsWith(u'-') || argument == QLatin1String("--")) {
            ours << argument;
            if (argument == QLatin1String("--")) {
                ours << arguments.mid(i + 1);
                break;
            }
            continue;
        }
        const QString body = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const qsizetype equals = body.indexOf(u'=');
        const QString name = equals < 0 ? body : body.left(equals);
        const QtOption* qt = nullptr;
        for (const QtOption& option : kQtOptions)
            if (name == QLatin1String(option.name)) qt = &option;
        if (qt == nullptr) {
            ours << argument;
            continue;
        }
        QString value;
        if (equals >= 0)
            value = body.mid(equals + 1);
        else if (qt->takesValue && i + 1 < arguments.size())
            value = arguments[++i];
        if (name == QLatin1String("platform")) *platform = value;
    }
    return ours;
}

// Whether Qt's platform plugin has a display to start on; without one it would abort.
bool HaveDisplay(const QString& platformOption) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (!platformOption.isEmpty()) return true;
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (!qEnvironmentVariableIsEmpty(name)) return true;
    return false;
#else
    Q_UNUSED(platformOption);
    return true;
#endif
}

// The platform plugins Qt tries, in order, until one starts: -platform, else
// QT_QPA_PLATFORM (either may list several, separated by ';'), else wayland in a Wayland
// session (XDG_SESSION_TYPE) or wherever WAYLAND_DISPLAY is set, and then xcb, Qt's default.
QStringList PlatformsToTry(const QString& platformOption) {
    QString chosen =
        !platformOption.isEmpty() ? platformOption : qEnvironmentVariable("QT_QPA_PLATFORM");
    if (chosen.isEmpty()) {
        const bool wayland = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
                             qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
        chosen = wayland ? QStringLiteral("wayland;xcb") : QStringLiteral("xcb");
    }
    QStringList names;
    for (const QString& entry : chosen.split(u';', Qt::SkipEmptyParts))
        names << entry.section(u':', 0, 0);  // "xcb:option=value"
    return names;
}

// The Wayland display libwayland connects to: WAYLAND_DISPLAY, else wayland-0.
QByteArray WaylandDisplay() {
    const QByteArray name = qgetenv("WAYLAND_DISPLAY");
    return name.isEmpty() ? QByteArrayLiteral("wayland-0") : name;
}

// Whether a Wayland compositor listens at that display: its socket, an absolute path or
// a name in XDG_RUNTIME_DIR, takes a connection. Asked with a plain socket, as libwayland
// would connect; without one Qt's wayland plugin fails and the process aborts.
bool WaylandDisplayAnswers() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (!qEnvironmentVariableIsEmpty("WAYLAND_SOCKET")) return true;  // a connection handed in
    QByteArray path = WaylandDisplay();
    if (!path.startsWith('/')) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty()) return false;  // libwayland finds no socket either
        path = runtime + '/' + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof(address.sun_path))) return false;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return true;  // nothing to ask with: Qt finds out itself
    const bool answers =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return answers;
#else
    return true;
#endif
}

// Whether an X server answers at the display in DISPLAY: without one Qt's xcb plugin
// aborts the process. Asked through libxcb, which that plugin loads too; without libxcb
// there is nothing to ask, and Qt reports the missing plugin itself.
bool XDisplayAnswers() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (xcb == nullptr) return true;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    const auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    if (connect == nullptr || hasError == nullptr || disconnect == nullptr) return true;
    void* connection = connect(nullptr, nullptr);  // the display in DISPLAY
    const bool answers = hasError(connection) == 0;
    disconnect(connection);
    return answers;  // libxcb stays loaded: the plugin uses it next
#else
    return true;
#endif
}

// Why none of the platforms Qt would try can start, in one line; empty when one can (or
// when Qt's own checks decide, as for offscreen, vnc or eglfs). Tried in Qt's order, so a
// dead Wayland display in a Wayland session is no failure while the X display answers.
QString DisplayFailure(const QString& platformOption) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    QString first;
    for (const QString& name : PlatformsToTry(platformOption)) {
        QString failure;
        if (name.startsWith(QLatin1String("wayland"))) {
            if (WaylandDisplayAnswers()) return {};
            failure =
                QStringLiteral("cannot open display '%1': no Wayland compositor answers there")
                    .arg(QString::fromLocal8Bit(WaylandDisplay()));
        } else if (name == QLatin1String("xcb")) {
            const QString display = qEnvironmentVariable("DISPLAY");
            if (!display.isEmpty() && XDisplayAnswers()) return {};
            failure = display.isEmpty()
                          ? QStringLiteral("no X display to open (DISPLAY is not set)")
                          : QStringLiteral("cannot open display '%1': no X server answers there")
                                .arg(display);
        } else {
            return {};
        }
        if (first.isEmpty()) first = failure;
    }
    return first;
#else
    Q_UNUSED(platformOption);
    return {};
#endif
}

class StandardErrorMessages final : public MessageService {
  public:
    MessageAnswer Show(QWidget*, int id, const QString& text, MessageIcon icon,
                       MessageButtons buttons) override {
        std::fprintf(stderr, "Tarvex: message %d (%s): %s\n", id, IconName(icon),
                     text.toLocal8Bit().constData());
        std::fflush(stderr);
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    void Beep() override {}
};

}  // namespace

MessageService& UnattendedMessageService() {
    static StandardErrorMessages service;
    return service;
}

bool CTarvexApp::ParseOptions(const QStringList& arguments, Options& options, int& exitCode) {
    QString platform;
    const QStringList ours = WithoutQtOptions(arguments, &platform);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Configuration tool for the KR640 tail-rotor gyro and the TBX-3 adapter."));
    // Not addHelpOption: its --help-all lists Qt's options, which need a QApplication.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Work with the virtual gyro installed with the program instead of a "
                       "TBX-3 adapter."));
    const QCommandLineOption driver(
        QStringLiteral("driver"),
        QStringLiteral("Load the D2XX driver library from <path> (a relative "
                       "path is taken from the working folder)."),
        QStringLiteral("path"));
    const QCommandLineOption language(
        QStringLiteral("language"),
        QStringLiteral("Show the window and the messages in <language>: en, de or ja. "
                       "Default: the user's interface language."),
        QStringLiteral("language"));
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("Read the gyro, save the window as a PNG image "
                                                 "in <file> and end."),
                                  QStringLiteral("file"));
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption unattended(
        QStringLiteral("unattended"),
        QStringLiteral("Write messages to standard error and answer them with OK or No."));
    unattended.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({simulate, driver, language, screenshot, unattended});
    const QCommandLineOption adapter(
        QStringLiteral("adapter"),
        QStringLiteral("Open the TBX-3 adapter with serial number <serial> instead of the "
                       "first one (tarvex-cli list shows them)."),
        QStringLiteral("serial"));
    parser.addOption(adapter);
    parser.addPositionalArgument(
        QStringLiteral("file"),
        QStringLiteral("A settings file (.tcf) to open at start, as File > Open does."),
        QStringLiteral("[file]"));
    // Options come before the file; anything after it counts as a second file.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);

    if (!parser.parse(ours)) {
        PrintUsage(parser.errorText());
        exitCode = 2;
        return false;
    }
    if (parser.isSet(help)) {
        // Without a QCoreApplication the parser does not know the program's name.
        QString text = parser.helpText();
        text.replace(QLatin1String("<executable_name>"), QLatin1String("tarvex"));
        std::fputs(text.toLocal8Bit().constData(), stdout);
        exitCode = 0;
        return false;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", QCoreApplication::applicationName().toLocal8Bit().constData(),
                    QCoreApplication::applicationVersion().toLocal8Bit().constData());
        exitCode = 0;
        return false;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        PrintUsage(QStringLiteral("unexpected argument '%1'").arg(files[1]));
        exitCode = 2;
        return false;
    }
    if (!files.isEmpty()) options.file = QFileInfo(files[0]).absoluteFilePath();
    if (parser.isSet(simulate) && parser.isSet(driver)) {
        PrintError(QStringLiteral("--simulate and --driver cannot be used together"));
        exitCode = 2;
        return false;
    }
    if (parser.isSet(simulate)) {
        const std::string path = D2xxDriver::FindBesideProgram(D2xxDriver::kVirtualGyroFile);
        if (path.empty()) {
            PrintError(
                QStringLiteral("the virtual gyro (libtarvex-vgyro.so) is not installed "
                               "beside the program"));
            exitCode = 2;
            return false;
        }
        qputenv("TARVEX_D2XX", QByteArray::fromStdString(path));
    }
    if (parser.isSet(driver)) {
        const QString path = parser.value(driver);
        if (path.isEmpty()) {
            PrintError(QStringLiteral("--driver needs the path of a library"));
            exitCode = 2;
            return false;
        }
        // A relative --driver is the user's own choice, taken from the working folder.
        qputenv("TARVEX_D2XX", QFileInfo(path).absoluteFilePath().toLocal8Bit());
    }
    if (parser.isSet(adapter)) {
        const QByteArray serial = parser.value(adapter).toUtf8();
        if (serial.isEmpty() || serial.size() > 63) {
            PrintError(QStringLiteral("--adapter needs a serial number of 1 to 63 bytes"));
            exitCode = 2;
            return false;
        }
        g_adapter.SelectAdapter(serial.toStdString());
    }
    if (parser.isSet(language)) {
        const QString code = parser.value(language).toLower();
        if (code != QLatin1String("en") && code != QLatin1String("de") &&
            code != QLatin1String("ja")) {
            PrintError(
                QStringLiteral("unknown language '%1' (en, de or ja)").arg(parser.value(language)));
            exitCode = 2;
            return false;
        }
        options.language = code;
    }
    options.screenshotPath = parser.value(screenshot);
    options.unattended = parser.isSet(unattended) || !options.screenshotPath.isEmpty();
    // The window then says the driver is not installed; the reason goes to standard error.
    if (const std::string problem = D2xxDriver::ChosenLibraryProblem(); !problem.empty())
        PrintError(QString::fromStdString(problem));
    if (!HaveDisplay(platform)) {
        PrintError(
            QStringLiteral("no display to show the window on (neither DISPLAY nor "
                           "WAYLAND_DISPLAY is set)"));
        exitCode = 1;
        return false;
    }
    if (const QString failure = DisplayFailure(platform); !failure.isEmpty()) {
        PrintError(failure);
        exitCode = 1;
        return false;
    }
    return true;
}

bool CTarvexApp::InitInstance() {
    QtTarvexWindow::Services services = services_;
    if (options_.unattended) services.messages = &UnattendedMessageService();
    QtTarvexWindow dialog(g_adapter, services);
    if (!dialog.OnInitDialog()) {
        // The driver or the adapter is missing: the message was shown and the window ended
        // before it was ever used.
        exitCode_ = 1;
        return false;
    }
    if (!options_.screenshotPath.isEmpty()) {
        dialog.show();
        QCoreApplication::processEvents();
        dialog->OnRead();
        if (!options_.file.isEmpty()) dialog->OpenSettingsFile(options_.file.toStdString());
        QCoreApplication::processEvents();
        const QPixmap picture = dialog.grab();
        if (picture.isNull() || !picture.save(options_.screenshotPath, "PNG")) {
            PrintError(QStringLiteral("cannot write %1").arg(options_.screenshotPath));
            exitCode_ = 1;
        }
        dialog->OnCancel();
        return false;
    }
    if (!options_.file.isEmpty()) {
        // The file given on the command line opens in the window on screen, as File > Open
        // would open it there.
        dialog.show();
        dialog->OpenSettingsFile(options_.file.toStdString());
    }
    dialog.exec();
    return false;
}
