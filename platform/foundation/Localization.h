#pragma once
// Localisation lookup. The English text is the key; where the active
// translation table has no entry for it, the English text itself comes back.
// Tables are compiled into the program (resources/translations/*.ts).

#include <QString>

namespace localization {

// Loads the table for `language` ("de", "de_DE", …), or for the system's UI
// languages when empty, and makes it the active one. "en" or an unknown
// language leaves no table active. Returns whether a table was loaded.
// Call on the main thread once a QCoreApplication exists.
bool install(const QString& language = QString());

// The translation of `englishKey` in the active table, or the key itself.
QString localizedString(const char* englishKey);
QString localizedString(const QString& englishKey);

} // namespace localization

// Short form used by the screens.
inline QString L(const char* englishKey) { return localization::localizedString(englishKey); }
