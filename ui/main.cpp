// tarvex: the KR640 configuration window.
#include <QApplication>
#include <QStringList>

#include "resources/window/WindowResources.h"
#include "ui/CTarvexApp.h"
#include "ui/StringTableQt.h"

int main(int argc, char** argv) {
    QApplication::setApplicationName(QStringLiteral("Tarvex"));
    QApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tarvex"));

    // The options are read before QApplication starts Qt's platform plugin, so --help,
    // --version and a start without a display end cleanly anywhere.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    CTarvexApp::Options options;
    int exitCode = 0;
    if (!CTarvexApp::ParseOptions(arguments, options, exitCode)) return exitCode;

    QApplication app(argc, argv);

    window_resources::Init();
    strings::chooseLanguage(app, options.language);

    CTarvexApp tarvex(options);
    tarvex.InitInstance();
    return tarvex.ExitCode();
}
