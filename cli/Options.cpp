#include "cli/Options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <cmath>

namespace cli {
namespace {

constexpr int kPositionMin = 352;
constexpr int kPositionMax = 1696;
constexpr double kSecondsMax = 24 * 60 * 60;

struct CommandInfo {
    const char* name;
    Command command;
    int files;  // file arguments the command takes
    const char* arguments;
};

constexpr CommandInfo kCommands[] = {
    {"read", Command::Read, 0, "[-o FILE] [--json]"},
    {"write", Command::Write, 1, "[--no-backup] FILE"},
    {"servo", Command::Servo, 0, "--position P [--seconds S]"},
    {"show", Command::Show, 1, "FILE [--json]"},
    {"diff", Command::Diff, 2, "A B"},
    {"defaults", Command::Defaults, 1, "FILE"},
    {"backups", Command::Backups, 0, "[--json]"},
    {"list", Command::List, 0, "[--json]"},
};

ParsedCommandLine Usage(const QString& error) {
    ParsedCommandLine parsed;
    parsed.outcome = ParsedCommandLine::Outcome::UsageError;
    parsed.error = error;
    return parsed;
}

}  // namespace

QString HelpText() {
    return QStringLiteral(
        "Usage: tarvex-cli [options] COMMAND [arguments]\n"
        "Reads, writes and compares the settings of a KR640 gyro through the TBX-3 adapter,\n"
        "and keeps them in settings files (.tcf, 85 bytes, as the Tarvex window saves them).\n"
        "\n"
        "Commands:\n"
        "  read [-o FILE] [--json]     read the gyro and print every setting; -o also saves\n"
        "                              them as a settings file\n"
        "  write [--no-backup] FILE    read the gyro, then write the settings file FILE to\n"
        "                              it (the ID in the file included) and check the write\n"
        "                              by reading the gyro back; the settings the gyro held\n"
        "                              are first kept as a backup (see backups)\n"
        "  servo --position P [--seconds S]\n"
        "                              read the gyro, switch it to its limit mode and hold\n"
        "                              the tail servo at position P, as the window's\n"
        "                              Position slider does, for S seconds, or until Ctrl+C\n"
        "                              when S is not given; then the stream stops and\n"
        "                              the gyro leaves its limit mode\n"
        "  show FILE [--json]          print every setting of a settings file\n"
        "  diff A B                    print the settings that differ between two settings\n"
        "                              files; status 0 when none differ, 1 otherwise\n"
        "  defaults FILE               write a settings file with the factory defaults\n"
        "                              (ID 0)\n"
        "  backups [--json]            list the backups kept before every write, newest\n"
        "                              first: gyro ID, time and settings file; the 50 newest\n"
        "                              of each ID are kept in ~/.local/state/tarvex/backups\n"
        "                              (under $XDG_STATE_HOME when set). Restore one with\n"
        "                              'write FILE'\n"
        "  list [--json]               print the attached adapters in index order: index,\n"
        "                              serial number and description\n"
        "\n"
        "Options:\n"
        "  -o, --output FILE           read: save the gyro's settings to FILE\n"
        "  --json                      read, show: print JSON keyed by field name;\n"
        "                              backups: print a JSON array; list: an array of\n"
        "                              {index, serial, description}\n"
        "  --no-backup                 write: do not keep the gyro's settings first (a\n"
        "                              write whose backup cannot be saved stops otherwise)\n"
        "  --position P                servo: 352..1696; 1024 is neutral, 352 and 1696 are\n"
        "                              150 % to either side\n"
        "  --seconds S                 servo: how long to hold the position (may be a\n"
        "                              fraction, e.g. 2.5)\n"
        "  --driver PATH               load this D2XX driver library instead of the\n"
        "                              vendor's libftd2xx.so or the libftdi1 layer\n"
        "                              installed with the program; a relative PATH is\n"
        "                              taken from the working folder\n"
        "  --adapter SERIAL            open the adapter with this serial number (see\n"
        "                              'list') instead of the first one\n"
        "  --simulate                  talk to the virtual gyro installed with the program\n"
        "                              instead of an adapter; it keeps its settings in\n"
        "                              ~/.local/state/tarvex/vgyro.state (under\n"
        "                              $XDG_STATE_HOME when set), or in the file named by\n"
        "                              TARVEX_VGYRO_STATE\n"
        "  --language en|de|ja         the language of the messages (default: the\n"
        "                              user's interface language)\n"
        "  -h, --help                  show this help\n"
        "  -v, --version               show the version\n"
        "\n"
        "Settings are printed in the window's words and units on standard output;\n"
        "messages go to standard error.\n"
        "Exit status: 0 success, 1 device or protocol failure (diff: the files differ),\n"
        "2 usage error, 3 file failure (write: also when the backup cannot be saved).\n");
}

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("FILE"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption noBackup(QStringLiteral("no-backup"));
    const QCommandLineOption position(QStringLiteral("position"), QString(), QStringLiteral("P"));
    const QCommandLineOption seconds(QStringLiteral("seconds"), QString(), QStringLiteral("S"));
    const QCommandLineOption driver(QStringLiteral("driver"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption simulate(QStringLiteral("simulate"));
    const QCommandLineOption adapter(QStringLiteral("adapter"), QString(),
                                     QStringLiteral("SERIAL"));
    const QCommandLineOption language(QStringLiteral("language"), QString(),
                                      QStringLiteral("LANG"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions(
        {output, json, position, seconds, driver, simulate, adapter, language, help, version});
    parser.addOption(noBackup);

    QStringList args = arguments;
    if (args.isEmpty()) args << QStringLiteral("tarvex-cli");
    if (!parser.parse(args)) return Usage(parser.errorText());

    ParsedCommandLine parsed;
    if (parser.isSet(help)) {
        parsed.outcome = ParsedCommandLine::Outcome::Help;
        return parsed;
    }
    if (parser.isSet(version)) {
        parsed.outcome = ParsedCommandLine::Outcome::Version;
        return parsed;
    }

    // Each option may be given once.
    const QStringList given = parser.optionNames();
    for (const QCommandLineOption* option : {&output, &json, &position, &seconds, &driver,
                                             &simulate, &adapter, &language, &noBackup}) {
        qsizetype count = 0;
        for (const QString& n : option->names()) count += given.count(n);
        if (count > 1) {
            return Usage(
                QStringLiteral("--%1 is given more than once").arg(option->names().constLast()));
        }
    }

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) return Usage(QStringLiteral("no command given"));
    const QString name = positional.takeFirst();
    const CommandInfo* info = nullptr;
    for (const CommandInfo& c : kCommands) {
        if (name == QLatin1String(c.name)) info = &c;
    }
    if (info == nullptr) return Usage(QStringLiteral("unknown command '%1'").arg(name));
    if (positional.size() != info->files) {
        return Usage(QStringLiteral("usage: tarvex-cli %1 %2")
                         .arg(QLatin1String(info->name), QLatin1String(info->arguments)));
    }

    Options& o = parsed.options;
    o.command = info->command;
    o.files = positional;

    // Options that belong to one command only.
    struct Belongs {
        const QCommandLineOption& option;
        std::initializer_list<Command> commands;
    };
    const Belongs belongs[] = {
        {output, {Command::Read}},
        {json, {Command::Read, Command::Show, Command::Backups, Command::List}},
        {position, {Command::Servo}},
        {seconds, {Command::Servo}},
        {noBackup, {Command::Write}},
    };
    for (const Belongs& b : belongs) {
        if (!parser.isSet(b.option)) continue;
        bool fits = false;
        for (Command c : b.commands) fits = fits || c == o.command;
        if (!fits) {
            return Usage(QStringLiteral("--%1 does not apply to '%2'")
                             .arg(b.option.names().constLast(), name));
        }
    }

    if (parser.isSet(output)) {
        o.output = parser.value(output);
        if (o.output.isEmpty()) return Usage(QStringLiteral("-o needs a file name"));
    }
    o.json = parser.isSet(json);
    o.noBackup = parser.isSet(noBackup);

    if (o.command == Command::Servo) {
        if (!parser.isSet(position)) return Usage(QStringLiteral("servo needs --position P"));
        bool ok = false;
        o.position = parser.value(position).toInt(&ok);
        if (!ok || o.position < kPositionMin || o.position > kPositionMax) {
            return Usage(QStringLiteral("--position must be a whole number from %1 to %2")
                             .arg(kPositionMin)
                             .arg(kPositionMax));
        }
        if (parser.isSet(seconds)) {
            const double s = parser.value(seconds).toDouble(&ok);
            if (!ok || !std::isfinite(s) || s <= 0 || s > kSecondsMax) {
                return Usage(QStringLiteral("--seconds must be a number above 0 and at most %1")
                                 .arg(kSecondsMax));
            }
            o.seconds = s;
        }
    }

    o.driver = parser.value(driver);
    o.simulate = parser.isSet(simulate);
    if (parser.isSet(driver) && o.driver.isEmpty()) {
        return Usage(QStringLiteral("--driver needs a library path"));
    }
    if (parser.isSet(driver) && o.simulate) {
        return Usage(QStringLiteral("--driver and --simulate exclude each other"));
    }
    o.adapter = parser.value(adapter);
    if (parser.isSet(adapter) && (o.adapter.isEmpty() || o.adapter.toUtf8().size() > 63)) {
        return Usage(QStringLiteral("--adapter needs a serial number of 1 to 63 bytes"));
    }
    if (parser.isSet(language)) {
        o.language = parser.value(language);
        if (o.language != QLatin1String("en") && o.language != QLatin1String("de") &&
            o.language != QLatin1String("ja")) {
            return Usage(QStringLiteral("--language must be en, de or ja"));
        }
    }

    parsed.outcome = ParsedCommandLine::Outcome::Run;
    return parsed;
}

}  // namespace cli
