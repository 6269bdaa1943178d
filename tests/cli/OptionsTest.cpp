#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/Options.h"

namespace {

using Outcome = cli::ParsedCommandLine::Outcome;

using Args = std::vector<std::string>;

cli::ParsedCommandLine Parse(Args args) {
    args.insert(args.begin(), "tarvex-cli");
    return cli::ParseCommandLine(args);
}

std::string Join(const Args& args) {
    std::string text;
    for (const std::string& a : args) text += (text.empty() ? "" : " ") + a;
    return text;
}

TEST(OptionsTest, UsageErrors) {
    const Args cases[] = {
        {},
        {"frobnicate"},
        {"read", "extra"},
        {"write"},
        {"diff", "a"},
        {"servo"},
        {"servo", "--position", "351"},
        {"servo", "--position", "1e3"},
        {"servo", "--position", "1024", "--seconds", "0"},
        {"servo", "--position", "1024", "--seconds", "nan"},
        {"servo", "--position", "1024", "--position", "1030"},
        {"read", "-o"},
        {"read", "-o", ""},
        {"read", "--json", "--json"},
        {"write", "f", "--json"},
        {"show", "f", "-o", "g"},
        {"read", "--position", "1024"},
        {"--bogus", "read"},
        {"--language", "fr", "read"},
        {"--driver", "x.so", "--simulate", "read"},
        {"--driver", "", "read"},
        {"read", "--no-backup"},
        {"write", "f", "--no-backup", "--no-backup"},
        {"backups", "f"},
        {"--adapter", "", "read"},
        {"--adapter", std::string(64, 'A'), "read"},
        {"list", "-o", "f"},
    };
    for (const Args& args : cases) {
        const cli::ParsedCommandLine parsed = Parse(args);
        EXPECT_EQ(parsed.outcome, Outcome::UsageError) << Join(args);
        EXPECT_FALSE(parsed.error.empty()) << Join(args);
    }
}

TEST(OptionsTest, HelpAndVersionWinOverTheRest) {
    EXPECT_EQ(Parse({"--help"}).outcome, Outcome::Help);
    EXPECT_EQ(Parse({"read", "-h"}).outcome, Outcome::Help);
    EXPECT_EQ(Parse({"--version"}).outcome, Outcome::Version);
    EXPECT_EQ(Parse({"frobnicate", "-v"}).outcome, Outcome::Version);
}

TEST(OptionsTest, CommandsAndTheirArguments) {
    cli::ParsedCommandLine p = Parse({"read", "-o", "out.tcf", "--json", "--language", "ja"});
    ASSERT_EQ(p.outcome, Outcome::Run);
    EXPECT_EQ(p.options.command, cli::Command::Read);
    EXPECT_EQ(p.options.output, "out.tcf");
    EXPECT_TRUE(p.options.json);
    EXPECT_EQ(p.options.language, "ja");

    p = Parse({"--simulate", "servo", "--position", "352", "--seconds", "0.3"});
    ASSERT_EQ(p.outcome, Outcome::Run);
    EXPECT_EQ(p.options.command, cli::Command::Servo);
    EXPECT_EQ(p.options.position, 352);
    ASSERT_TRUE(p.options.seconds.has_value());
    EXPECT_DOUBLE_EQ(*p.options.seconds, 0.3);
    EXPECT_TRUE(p.options.simulate);

    p = Parse({"servo", "--position=1696"});
    ASSERT_EQ(p.outcome, Outcome::Run);
    EXPECT_EQ(p.options.position, 1696);
    EXPECT_FALSE(p.options.seconds.has_value());

    // "--" lets a file name start with a dash.
    p = Parse({"--driver", "/lib/d2xx.so", "diff", "--", "-a.tcf", "b.tcf"});
    ASSERT_EQ(p.outcome, Outcome::Run);
    EXPECT_EQ(p.options.command, cli::Command::Diff);
    EXPECT_EQ(p.options.files, Args({"-a.tcf", "b.tcf"}));
    EXPECT_EQ(p.options.driver, "/lib/d2xx.so");

    p = Parse({"--adapter", "TBX3B002", "list", "--json"});
    ASSERT_EQ(p.outcome, Outcome::Run);
    EXPECT_EQ(p.options.command, cli::Command::List);
    EXPECT_EQ(p.options.adapter, "TBX3B002");
    EXPECT_TRUE(p.options.json);

    p = Parse({"defaults", "x.tcf"});
    ASSERT_EQ(p.outcome, Outcome::Run);
    EXPECT_EQ(p.options.command, cli::Command::Defaults);
    EXPECT_TRUE(p.options.language.empty());
    EXPECT_TRUE(p.options.adapter.empty());
}

}  // namespace
