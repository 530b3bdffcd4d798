// The window's Japanese face: the desktop's Japanese UI font, Qt's own Japanese
// translation for its standard dialogs, and the conversions between the core's
// byte strings and the texts the widgets show.
#pragma once

#include <QFont>
#include <QString>
#include <QTranslator>
#include <string>
#include <string_view>

namespace ostrevin::app {

// The dialog font: 9 point, the first installed Japanese Gothic (sans-serif)
// family the desktop offers, else the application's default family.
[[nodiscard]] QFont JapaneseDialogFont();

// Loads Qt's Japanese translation (qtbase_ja) from Qt's translation folder into
// `translator` and installs it. False when it is not installed.
[[nodiscard]] bool InstallQtJapanese(QTranslator& translator);

// A UTF-8 text of the core; invalid bytes (from a path inside it) show as U+FFFD.
[[nodiscard]] QString FromUtf8(std::string_view text);
[[nodiscard]] std::string ToUtf8(const QString& text);

// A path (the file system's bytes) as shown in the window.
[[nodiscard]] QString DisplayPath(const std::string& path);
// A path typed or chosen in a Qt dialog, as the file system's bytes.
[[nodiscard]] std::string PathBytes(const QString& path);

}  // namespace ostrevin::app
