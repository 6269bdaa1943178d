// The program's string table, ids 101 to 134, in the language chosen at start-up.
#pragma once

#include <QString>

class QCoreApplication;

namespace strings {

// The text of a string-table id in the chosen language; an id without a text gives "".
QString text(int id);

// Chooses the language: "en", "de" or "ja"; empty picks it from the user's interface
// languages (German, Japanese, else English). Installs the translations into app and
// returns the code chosen.
QString chooseLanguage(QCoreApplication& app, const QString& requested = {});

}  // namespace strings
