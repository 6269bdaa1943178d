// The program's string table, ids 101 to 134, in the language chosen at start-up.
#pragma once

#include <QString>

class QCoreApplication;

namespace strings {

// The text of a string-table id in the chosen language; an id without a text gives "".
QString text(int id);

// Chooses the language: "en", "de" or "ja" (any other request gives English); empty picks
// it from the user's interface languages: the first of QLocale::system().uiLanguages()
// that is German or Japanese, else English. For German and Japanese it installs into app
// a translator loaded from the embedded ":/i18n/tarvex_strings_<lang>.qm" and, when that
// resource exists, a second one from ":/i18n/tarvex_window_<lang>.qm" (the window's
// captions and menus). A later call replaces the translators of the earlier one.
// Returns the code chosen.
QString chooseLanguage(QCoreApplication& app, const QString& requested = {});

}  // namespace strings
