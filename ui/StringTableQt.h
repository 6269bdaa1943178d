// The window's side of the string table: the Qt-free table (resources/strings) with its
// texts as QString, and the language choice that also installs the window's own Qt
// translator for its captions and menus.
#pragma once

#include <QString>
#include <QStringList>

#include "resources/strings/StringTable.h"

class QCoreApplication;

namespace strings {

// The text of a string-table id in the chosen language (strings::Text); an unknown id
// gives "".
QString text(int id);

// Chooses the language as strings::ChooseLanguage does ("en", "de", "ja"; empty: the
// user's interface languages) and installs into app a translator loaded from the embedded
// ":/i18n/tarvex_window_<lang>.qm" (the window's captions and menus) when that resource
// exists. A later call replaces the translator of the earlier one. Returns the code
// chosen.
QString chooseLanguage(QCoreApplication& app, const QString& requested = {});

}  // namespace strings
