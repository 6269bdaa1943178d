#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>

#include "resources/strings/StringTable.h"

namespace {

class StringTableTest : public ::testing::Test {
  protected:
    void TearDown() override { strings::chooseLanguage(*QCoreApplication::instance(), "en"); }
    static QString Use(const char* language) {
        return strings::chooseLanguage(*QCoreApplication::instance(), QString::fromUtf8(language));
    }
};

TEST_F(StringTableTest, EveryIdHasATextInEveryLanguage) {
    for (const char* language : {"en", "de", "ja"}) {
        ASSERT_EQ(Use(language), QString::fromLatin1(language));
        for (int id = 101; id <= 136; ++id) {
            EXPECT_FALSE(strings::text(id).isEmpty()) << language << " id " << id;
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
        EXPECT_EQ(strings::text(c.id).toStdString(), std::string(c.text))
            << c.language << " id " << c.id;
    }
}

TEST_F(StringTableTest, UnknownIdsGiveEmptyText) {
    for (const char* language : {"en", "de"}) {
        Use(language);
        for (int id : {0, -1, 100, 137, 1001, 57600}) {
            EXPECT_TRUE(strings::text(id).isEmpty()) << language << " id " << id;
        }
    }
}

TEST_F(StringTableTest, RequestedLanguageIsNormalised) {
    EXPECT_EQ(Use("de_DE"), "de");
    EXPECT_EQ(strings::text(103), "Lesefehler.");
    EXPECT_EQ(Use("ja-JP"), "ja");
    EXPECT_EQ(Use("fr"), "en");
    EXPECT_EQ(strings::text(103), "Read error");
    EXPECT_EQ(Use("dex"), "en");
}

// The user's interface languages, most preferred first: the first one the program has
// wins, so a fallback language never overrides English.
TEST(InterfaceLanguageTest, FirstKnownLanguageWins) {
    const std::pair<QStringList, const char*> cases[] = {
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
        EXPECT_EQ(strings::PickFromInterfaceLanguages(languages), QLatin1String(expected))
            << languages.join(QLatin1Char(',')).toStdString();
    }
}

TEST_F(StringTableTest, WindowTranslationsAreInstalledBesideTheTable) {
    const char* source = "&Read\tCtrl+R";
    Use("de");
    EXPECT_EQ(QCoreApplication::translate("WindowProbe", source), "Lesen(&R)\tCtrl+R");
    EXPECT_EQ(strings::text(117), "Daten eingelesen.");
    Use("ja");  // no window translation for Japanese here: the table still loads
    EXPECT_EQ(QCoreApplication::translate("WindowProbe", source), source);
    EXPECT_EQ(strings::text(117), "接続に成功しました");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
