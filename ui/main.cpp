// tarvex: the KR640 configuration window.
#include <QApplication>

#include "resources/strings/StringTable.h"
#include "resources/window/WindowResources.h"
#include "ui/CTarvexApp.h"

int main(int argc, char** argv) {
    QApplication::setApplicationName(QStringLiteral("Tarvex"));
    QApplication::setApplicationVersion(QStringLiteral("0.0.0.1"));
    QApplication::setDesktopFileName(QStringLiteral("tarvex"));
    QApplication app(argc, argv);

    CTarvexApp::Options options;
    int exitCode = 0;
    if (!CTarvexApp::ParseOptions(app, options, exitCode)) return exitCode;

    window_resources::Init();
    strings::chooseLanguage(app, options.language);

    CTarvexApp tarvex(options);
    tarvex.InitInstance();
    return tarvex.ExitCode();
}
