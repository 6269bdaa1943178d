// The application: reads the options, chooses the language, runs the one window and ends.
#pragma once

#include <QString>
#include <QStringList>
#include <utility>

#include "ui/QtTarvexWindow.h"

class CTarvexApp {
  public:
    struct Options {
        QString language;         // "en", "de", "ja" or empty (the user's interface language)
        QString screenshotPath;   // hidden: Read, grab the window into this PNG, end
        bool unattended = false;  // hidden: messages go to standard error, answered OK / No
        QString file;             // a settings file to open at start, as an absolute path
    };

    // Parses the command line (--simulate, --driver, --language, --help, --version, the
    // hidden test options and one settings file), before QApplication exists: Qt's own
    // options (-platform, -style, ...) are left to QApplication. Sets TARVEX_D2XX for
    // --simulate and --driver. Returns false with an exit code when the program must end
    // at once: after --help or --version (0), a usage error (2), or when there is no display
    // to show the window on, or the X display named in DISPLAY does not answer (1).
    static bool ParseOptions(const QStringList& arguments, Options& options, int& exitCode);

    explicit CTarvexApp(Options options) : options_(std::move(options)) {}
    // With the window's services given (tests).
    CTarvexApp(Options options, QtTarvexWindow::Services services)
        : options_(std::move(options)), services_(services) {}

    // Constructs the window, initialises it and, when the connection succeeded, runs it
    // modally. Always false: the program ends when the window has closed.
    bool InitInstance();
    // 0 after a normal run; 1 when the driver or the adapter was missing at start-up, or
    // the screenshot could not be written.
    int ExitCode() const noexcept { return exitCode_; }

  private:
    Options options_;
    QtTarvexWindow::Services services_{};
    int exitCode_ = 0;
};

// A message service for runs without anyone at the screen: each message is written to
// standard error and answered with OK, or No for a question.
MessageService& UnattendedMessageService();
