#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "resources/strings/StringTable.h"

namespace {

class StringTableTest : public ::testing::Test {
  protected:
    void TearDown() override { strings::ChooseLanguage("en"); }
    static std::string Use(const char* language) { return strings::ChooseLanguage(language); }
};

TEST_F(StringTableTest, EveryIdHasATextInEveryLanguage) {
    for (const char* language : {"en", "de", "ja"}) {
        ASSERT_EQ(Use(language), language);
        for (int id = 101; id <= 137; ++id) {
            EXPECT_FALSE(strings::Text(id).empty()) << language << " id " << id;
        }
    }
}

struct Exact {
    const char* language;
    int id;
    const char* text;
};

TEST_F(StringTableTest, ExactTexts) {
    const Exact cases[] = {
        {"en", 105, "The writing suceeded."},
        {"en", 109, "The file "},
        {"en", 110, " already exist. May I overwrite the file?"},
        {"en", 119, "A TBX-3 is not connected."},
        {"en", 133,
         "The data have not been written to the gyro yet. Do you want to write data to the "
         "gyro?"},
        {"de", 105, "Schreiben erfolgreich."},
        {"de", 109, "Bestehende "},
        {"de", 110, " Datei überschreiben?"},
        {"de", 113, "Speicherplatzmangel, kann Daten nicht speichern."},
        {"de", 123, "Taste 'Schreiben' betätigen."},
        {"de", 130, "Limitpunkt muss größer als 50% sein."},
        {"ja", 101, "Tarvexのバージョン情報(&A)..."},
        {"ja", 105, "データを書き込みました"},
        {"ja", 109, "ファイル "},
        {"ja", 110, " は既に存在します。上書きしますか?"},
        {"ja", 119, "TBX-3が接続されていません"},
    };
    for (const Exact& c : cases) {
        Use(c.language);
        EXPECT_EQ(strings::Text(c.id), c.text) << c.language << " id " << c.id;
    }
}

TEST_F(StringTableTest, UnknownIdsGiveEmptyText) {
    for (const char* language : {"en", "de"}) {
        Use(language);
        for (int id : {0, -1, 100, 138, 1001, 57600}) {
            EXPECT_TRUE(strings::Text(id).empty()) << language << " id " << id;
        }
    }
}

TEST_F(StringTableTest, RequestedLanguageIsNormalised) {
    EXPECT_EQ(Use("de_DE"), "de");
    EXPECT_EQ(strings::Text(103), "Lesefehler.");
    EXPECT_EQ(Use("ja-JP"), "ja");
    EXPECT_EQ(Use("fr"), "en");
    EXPECT_EQ(strings::Text(103), "Read error");
    EXPECT_EQ(Use("dex"), "en");
}

// The user's interface languages, most preferred first: the first one the program has
// wins, so a fallback language never overrides English.
TEST(InterfaceLanguageTest, FirstKnownLanguageWins) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"en-US", "de-DE"}, "en"},
        {{"de-AT", "en-US"}, "de"},
        {{"fr-FR", "ja-JP", "de"}, "ja"},
        {{"fr-FR", "nl"}, "en"},
        {{}, "en"},
        {{"deu", "de_CH"}, "de"},
        {{"C"}, "en"},
        {{"ja", "en-GB"}, "ja"},
    };
    for (const auto& [languages, expected] : cases) {
        std::string list;
        for (const std::string& l : languages) list += l + ",";
        EXPECT_EQ(strings::PickFromInterfaceLanguages(languages), expected) << list;
    }
}

// The window's captions come from its own .ts files, compiled into the same table.
TEST_F(StringTableTest, WindowCaptionsInEveryLanguage) {
    Use("en");
    EXPECT_EQ(strings::Caption("CTarvexDlg", "F&light Mode"), "F&light Mode");
    Use("de");
    EXPECT_EQ(strings::Caption("CTarvexDlg", "F&light Mode"), "Fl&ug Modus");
    EXPECT_EQ(strings::Caption("CTarvexDlg", "&Read"), "&Lesen");
    EXPECT_EQ(strings::Caption("CTarvexDlg", "&Read", "menu"), "Lesen(&R)");
    EXPECT_EQ(strings::Caption("CTarvexDlg", "no such caption"), "no such caption");
    Use("ja");
    EXPECT_EQ(strings::PlainCaption(strings::Caption("CTarvexDlg", "Response Setting")),
              "レスポンス設定");
    EXPECT_EQ(strings::PlainCaption(strings::Caption("CTarvexDlg", "&Pirouette\nConsistency")),
              "ピルエット感覚");
}

TEST(PlainCaptionTest, MnemonicsAndLineBreaksGo) {
    EXPECT_EQ(strings::PlainCaption("F&light Mode"), "Flight Mode");
    EXPECT_EQ(strings::PlainCaption("Datei(&F)"), "Datei");
    EXPECT_EQ(strings::PlainCaption("初期化(&I)..."), "初期化...");
    EXPECT_EQ(strings::PlainCaption("Save && Exit"), "Save & Exit");
    EXPECT_EQ(strings::PlainCaption("&Pirouette\nConsistency"), "Pirouette Consistency");
}

TEST(FormatTest, ArgumentsReplaceTheirMarkers) {
    EXPECT_EQ(strings::Format("backed up to %1 (%2).", "/tmp/b", "No space"),
              "backed up to /tmp/b (No space).");
    EXPECT_EQ(strings::Format("%2 before %1", "a", "b"), "b before a");
    EXPECT_EQ(strings::Format("50% and %3", "x"), "50% and %3");
    EXPECT_EQ(strings::Format(strings::English(136), "F", "R").substr(0, 60),
              "The gyro's current settings could not be backed up to F (R).");
}

#ifndef _WIN32
// The user's languages on Linux: LANGUAGE first (unless the locale is C), then the
// first of LC_ALL, LC_MESSAGES and LANG.
TEST_F(StringTableTest, SystemLanguageFromTheEnvironment) {
    struct Case {
        const char* language;
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        const char* expected;
    };
    const Case cases[] = {
        {"", "", "", "de_DE.UTF-8", "de"},
        {"", "", "ja_JP.UTF-8", "de_DE.UTF-8", "ja"},
        {"", "C", "ja_JP.UTF-8", "de_DE.UTF-8", "en"},
        {"de:en", "C.UTF-8", "", "", "en"},
        {"fr:ja", "de_DE.UTF-8", "", "", "ja"},
        {"", "", "", "", "en"},
        {"", "fr_FR.UTF-8", "", "", "en"},
    };
    const char* names[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::string> saved;
    for (const char* name : names) {
        const char* v = std::getenv(name);
        saved.push_back(v != nullptr ? v : "");
    }
    for (const Case& c : cases) {
        const char* values[] = {c.language, c.lcAll, c.lcMessages, c.lang};
        for (int i = 0; i < 4; ++i) ::setenv(names[i], values[i], 1);
        EXPECT_EQ(Use(""), c.expected)
            << c.language << "|" << c.lcAll << "|" << c.lcMessages << "|" << c.lang;
    }
    for (int i = 0; i < 4; ++i) ::setenv(names[i], saved[static_cast<std::size_t>(i)].c_str(), 1);
}
#endif

}  // namespace
