// The file system's bytes for a path that a Qt dialog hands back as text. Qt
// shows a name that is not valid UTF-8 with replacement characters, which do
// not encode back to the name; such components are looked up in their folder.
#pragma once

#include <QString>
#include <string>

namespace ostrevin::app {

// Encodes `path` component by component. A component whose encoded form does
// not exist is replaced by the first entry of its folder that displays the
// same; when none does (a new file to save), the encoded form is kept.
[[nodiscard]] std::string ChosenPathBytes(const QString& path);

}  // namespace ostrevin::app
