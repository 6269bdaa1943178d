#include "cli/Options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <sstream>

#include "resources/strings/StringTable.h"

namespace cli {
namespace {

constexpr int kPositionMin = 352;
constexpr int kPositionMax = 1696;
constexpr double kSecondsMax = 24 * 60 * 60;

struct CommandInfo {
    const char* name;
    Command command;
    std::size_t files;  // file arguments the command takes
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

ParsedCommandLine Usage(std::string error) {
    ParsedCommandLine parsed;
    parsed.outcome = ParsedCommandLine::Outcome::UsageError;
    parsed.error = std::move(error);
    return parsed;
}

// A whole number in decimal, nothing else ("1e3", "12x" and "" are not).
bool ToInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// A decimal number as the C locale writes it ("2.5", "0.3", "1e2").
bool ToDouble(const std::string& text, double& value) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> value;
    return !text.empty() && !in.fail() && in.peek() == std::char_traits<char>::eof();
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

const char* const kValueOptions[] = {"-o",       "--output",  "--position", "--seconds",
                                     "--driver", "--adapter", "--language"};

bool TakesValue(const std::string& argument) {
    for (const char* name : kValueOptions) {
        if (argument == name) return true;
    }
    return false;
}

// The parser's complaint in the words tarvex-cli always used: "Unknown option 'bogus'.",
// "Missing value after '-o'.", else CLI11's own.
std::string ParseErrorText(const std::vector<std::string>& arguments,
                           const CLI::ParseError& error) {
    bool optionsEnd = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (optionsEnd || a.size() < 2 || a[0] != '-') continue;
        if (a == "--") {
            optionsEnd = true;
            continue;
        }
        if (TakesValue(a)) {
            if (i + 1 == arguments.size()) return "Missing value after '" + a + "'.";
            ++i;
            continue;
        }
        std::string name = a.substr(a[1] == '-' ? 2 : 1);
        name = name.substr(0, name.find('='));
        const bool known = name == "json" || name == "no-backup" || name == "simulate" ||
                           name == "help" || name == "version" || name == "h" || name == "v" ||
                           TakesValue("--" + name) || name.starts_with("o");
        if (!known) return "Unknown option '" + name + "'.";
    }
    return Trimmed(error.what());
}

}  // namespace

const char* HelpText() {
    return (
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
        "  --language en|de|ja         the language of the messages and of the names\n"
        "                              show and diff give the settings (default: the\n"
        "                              user's interface language)\n"
        "  -h, --help                  show this help\n"
        "  -v, --version               show the version\n"
        "\n"
        "Settings are printed in the window's words and units on standard output\n"
        "(--json: keys and values in English whatever the language);\n"
        "messages go to standard error.\n"
        "Exit status: 0 success, 1 device or protocol failure (diff: the files differ),\n"
        "2 usage error, 3 file failure (write: also when the backup cannot be saved).\n");
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CLI::App app("tarvex-cli", "tarvex-cli");
    app.set_help_flag();  // -h and --help are flags of ours: HelpText, whatever else is given
    app.allow_windows_style_options(false);

    // Each value option keeps every occurrence, so that a repeated one is refused below with
    // its name; flags count theirs.
    std::string output, position, seconds, driver, adapter, language;
    int json = 0, noBackup = 0, simulate = 0, help = 0, version = 0;
    std::vector<std::string> positional;
    const auto value = [&](const char* names, std::string& target) {
        return app.add_option(names, target)
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
            ->allow_extra_args(false);
    };
    CLI::Option* oOutput = value("-o,--output", output);
    CLI::Option* oPosition = value("--position", position);
    CLI::Option* oSeconds = value("--seconds", seconds);
    CLI::Option* oDriver = value("--driver", driver);
    CLI::Option* oAdapter = value("--adapter", adapter);
    CLI::Option* oLanguage = value("--language", language);
    CLI::Option* oJson = app.add_flag("--json", json);
    CLI::Option* oNoBackup = app.add_flag("--no-backup", noBackup);
    CLI::Option* oSimulate = app.add_flag("--simulate", simulate);
    app.add_flag("-h,--help", help);
    app.add_flag("-v,--version", version);
    app.add_option("arguments", positional);

    std::vector<std::string> args(arguments.size() > 1 ? arguments.begin() + 1 : arguments.end(),
                                  arguments.end());
    std::reverse(args.begin(), args.end());  // CLI11 takes them from the back
    try {
        app.parse(args);
    } catch (const CLI::ParseError& error) {
        return Usage(ParseErrorText(arguments, error));
    }

    ParsedCommandLine parsed;
    if (help > 0) {
        parsed.outcome = ParsedCommandLine::Outcome::Help;
        return parsed;
    }
    if (version > 0) {
        parsed.outcome = ParsedCommandLine::Outcome::Version;
        return parsed;
    }

    // Each option may be given once.
    struct Named {
        const CLI::Option* option;
        const char* name;
    };
    const Named named[] = {
        {oOutput, "output"},   {oJson, "json"},         {oPosition, "position"},
        {oSeconds, "seconds"}, {oDriver, "driver"},     {oSimulate, "simulate"},
        {oAdapter, "adapter"}, {oLanguage, "language"}, {oNoBackup, "no-backup"}};
    for (const Named& n : named) {
        if (n.option->count() > 1)
            return Usage(std::string("--") + n.name + " is given more than once");
    }

    if (positional.empty()) return Usage("no command given");
    const std::string name = positional.front();
    positional.erase(positional.begin());
    const CommandInfo* info = nullptr;
    for (const CommandInfo& c : kCommands) {
        if (name == c.name) info = &c;
    }
    if (info == nullptr) return Usage("unknown command '" + name + "'");
    if (positional.size() != info->files) {
        return Usage(std::string("usage: tarvex-cli ") + info->name + " " + info->arguments);
    }

    Options& o = parsed.options;
    o.command = info->command;
    o.files = positional;

    // Options that belong to one command only.
    struct Belongs {
        const Named& option;
        std::initializer_list<Command> commands;
    };
    const Belongs belongs[] = {
        {named[0], {Command::Read}},
        {named[1], {Command::Read, Command::Show, Command::Backups, Command::List}},
        {named[2], {Command::Servo}},
        {named[3], {Command::Servo}},
        {named[8], {Command::Write}},
    };
    for (const Belongs& b : belongs) {
        if (b.option.option->count() == 0) continue;
        bool fits = false;
        for (Command c : b.commands) fits = fits || c == o.command;
        if (!fits) {
            return Usage(std::string("--") + b.option.name + " does not apply to '" + name + "'");
        }
    }

    if (oOutput->count() > 0) {
        o.output = output;
        if (o.output.empty()) return Usage("-o needs a file name");
    }
    o.json = json > 0;
    o.noBackup = noBackup > 0;

    if (o.command == Command::Servo) {
        if (oPosition->count() == 0) return Usage("servo needs --position P");
        if (!ToInt(position, o.position) || o.position < kPositionMin ||
            o.position > kPositionMax) {
            return Usage(strings::Format("--position must be a whole number from %1 to %2",
                                         std::to_string(kPositionMin),
                                         std::to_string(kPositionMax)));
        }
        if (oSeconds->count() > 0) {
            double s = 0;
            if (!ToDouble(seconds, s) || !std::isfinite(s) || s <= 0 || s > kSecondsMax) {
                return Usage("--seconds must be a number above 0 and at most " +
                             std::to_string(static_cast<int>(kSecondsMax)));
            }
            o.seconds = s;
        }
    }

    o.driver = driver;
    o.simulate = simulate > 0;
    if (oDriver->count() > 0 && o.driver.empty()) return Usage("--driver needs a library path");
    if (oDriver->count() > 0 && o.simulate) {
        return Usage("--driver and --simulate exclude each other");
    }
    o.adapter = adapter;
    if (oAdapter->count() > 0 && (o.adapter.empty() || o.adapter.size() > 63)) {
        return Usage("--adapter needs a serial number of 1 to 63 bytes");
    }
    if (oLanguage->count() > 0) {
        o.language = language;
        if (o.language != "en" && o.language != "de" && o.language != "ja") {
            return Usage("--language must be en, de or ja");
        }
    }

    parsed.outcome = ParsedCommandLine::Outcome::Run;
    return parsed;
}

}  // namespace cli
