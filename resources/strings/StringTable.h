// The program's string table, ids 101 to 136, in the language chosen at start-up.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace strings {

// The text of a string-table id in the chosen language; an id without a text gives "".
QString text(int id);

// Chooses the language: "en", "de" or "ja" (any other request gives English); empty picks
// it from the user's interface languages (PickFromInterfaceLanguages of
// QLocale::system().uiLanguages()). For German and Japanese it installs into app
// a translator loaded from the embedded ":/i18n/tarvex_strings_<lang>.qm" and, when that
// resource exists, a second one from ":/i18n/tarvex_window_<lang>.qm" (the window's
// captions and menus). A later call replaces the translators of the earlier one.
// Returns the code chosen.
QString chooseLanguage(QCoreApplication& app, const QString& requested = {});

// The language for a list of the user's interface languages, most preferred first
// (QLocale::uiLanguages): the first that is English, German or Japanese; English when
// none is.
QString PickFromInterfaceLanguages(const QStringList& languages);

}  // namespace strings
