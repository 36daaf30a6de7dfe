#pragma once

namespace quiltana {

// Puts Qt's own texts (standard buttons, the file, colour, font and print dialogs) into
// Japanese, whatever the system's language: the program speaks Japanese throughout. Loads
// Qt's catalogue "qtbase_ja" from Qt's translations folder, or from "translations" beside the
// program where a deployed copy keeps it. Installs it once per application; true when it is
// installed (now or before), false when no catalogue was found and Qt's texts stay English.
bool InstallQtTranslations();

} // namespace quiltana
