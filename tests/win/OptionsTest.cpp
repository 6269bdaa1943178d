// tarvex.exe's command line: the Linux program's options, their errors and exit codes.
#include "win/Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tarvex_win::Language;
using tarvex_win::Options;
using tarvex_win::ParseOptions;

namespace {

TEST(WindowOptions, EachOptionAndEachMistake) {
    const struct {
        std::vector<std::wstring> arguments;
        bool run;
        int exitCode;
        const wchar_t* outputHas;  // in the output (run == false), or in the error
    } cases[] = {
        {{}, true, 0, L""},
        {{L"--simulate", L"--language", L"DE"}, true, 0, L""},
        {{L"--language=ja"}, true, 0, L""},
        {{L"--driver", L"C:\\drivers\\ftd2xx.dll"}, true, 0, L""},
        {{L"--adapter", L"TB3A1"}, true, 0, L""},
        {{L"heli1.tcf"}, true, 0, L""},
        {{L"--help"}, false, 0, L"--language <language>"},
        {{L"-h"}, false, 0, L"Usage: tarvex [options] [file]"},
        {{L"--version"}, false, 0, L"Tarvex "},
        {{L"--language", L"fr"}, false, 2, L"unknown language 'fr' (en, de or ja)"},
        {{L"--language"}, false, 2, L"missing value after '--language'"},
        {{L"--simulate", L"--driver", L"x.dll"},
         false,
         2,
         L"--simulate and --driver cannot be used together"},
        {{L"--driver="}, false, 2, L"--driver needs the path of a library"},
        {{L"--adapter", std::wstring(64, L'A')},
         false,
         2,
         L"--adapter needs a serial number of 1 to 63 bytes"},
        {{L"--frobnicate"}, false, 2, L"unknown option '--frobnicate'"},
        {{L"a.tcf", L"b.tcf"}, false, 2, L"unexpected argument 'b.tcf'"},
        // Options come before the file; after it they count as a second file.
        {{L"a.tcf", L"--simulate"}, false, 2, L"unexpected argument '--simulate'"},
    };
    for (const auto& c : cases) {
        std::wstring line;
        for (const auto& a : c.arguments) line += a + L" ";
        SCOPED_TRACE(std::string(line.begin(), line.end()));
        Options options;
        const auto result = ParseOptions(c.arguments, options);
        EXPECT_EQ(result.run, c.run);
        EXPECT_EQ(result.exitCode, c.exitCode);
        const std::wstring& text = c.exitCode == 0 ? result.output : result.error;
        EXPECT_NE(text.find(c.outputHas), std::wstring::npos);
        if (c.exitCode != 0) {
            EXPECT_NE(result.error.find(L"Try 'tarvex --help'."), std::wstring::npos);
        }
    }
}

TEST(WindowOptions, ValuesReachTheOptions) {
    Options options;
    ASSERT_TRUE(ParseOptions({L"--simulate", L"--language", L"DE", L"--adapter=TB3A1",
                              L"Hubschrauber ä.tcf"},
                             options)
                    .run);
    EXPECT_TRUE(options.simulate);
    EXPECT_EQ(options.language, Language::German);
    EXPECT_EQ(options.adapter, "TB3A1");
    // The file, made absolute from the working folder, with its characters intact.
    EXPECT_GT(options.file.size(), std::wstring(L"Hubschrauber ä.tcf").size());
    EXPECT_EQ(options.file.substr(options.file.size() - 18), L"Hubschrauber ä.tcf");
    EXPECT_EQ(options.file[1], L':');

    Options driver;
    ASSERT_TRUE(ParseOptions({L"--driver=C:\\d\\ftd2xx.dll"}, driver).run);
    EXPECT_EQ(driver.driver, L"C:\\d\\ftd2xx.dll");
    EXPECT_FALSE(driver.language.has_value());
}

}  // namespace
