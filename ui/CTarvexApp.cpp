#include "ui/CTarvexApp.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QPixmap>
#include <QStringList>
#include <cstdio>

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

bool CTarvexApp::ParseOptions(QApplication& app, Options& options, int& exitCode) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Configuration tool for the KR640 tail-rotor gyro and the TBX-3 adapter."));
    const QCommandLineOption help = parser.addHelpOption();
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

    if (!parser.parse(app.arguments())) {
        PrintError(parser.errorText());
        exitCode = 2;
        return false;
    }
    if (parser.isSet(help)) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        exitCode = 0;
        return false;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", QCoreApplication::applicationName().toLocal8Bit().constData(),
                    QCoreApplication::applicationVersion().toLocal8Bit().constData());
        exitCode = 0;
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        PrintError(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments()[0]));
        exitCode = 2;
        return false;
    }
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
        qputenv("TARVEX_D2XX", path.toLocal8Bit());
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
    return true;
}

bool CTarvexApp::InitInstance() {
    CTarvexDlg::Services services{};
    if (options_.unattended) services.messages = &UnattendedMessageService();
    CTarvexDlg dialog(g_adapter, services);
    if (!dialog.OnInitDialog()) {
        // The driver or the adapter is missing: the message was shown and the window ended
        // before it was ever used.
        exitCode_ = 1;
        return false;
    }
    if (!options_.screenshotPath.isEmpty()) {
        dialog.show();
        QCoreApplication::processEvents();
        dialog.OnRead();
        QCoreApplication::processEvents();
        const QPixmap picture = dialog.grab();
        if (picture.isNull() || !picture.save(options_.screenshotPath, "PNG")) {
            PrintError(QStringLiteral("cannot write %1").arg(options_.screenshotPath));
            exitCode_ = 1;
        }
        dialog.OnCancel();
        return false;
    }
    dialog.exec();
    return false;
}
