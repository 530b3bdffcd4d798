// Recovering the bytes of paths chosen in Qt's file dialogs.
#include "app/chosen_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QStringList>
#include <memory>

#include "app/japanese_ui.h"

namespace ostrevin::app {
namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// The entry of `folder` shown as `shown`, or nothing.
std::string FindShownEntry(const std::string& folder, const QString& shown) {
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "/" : folder.c_str()),
                                                &::closedir);
  if (!dir) return {};
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (DisplayPath(name) == shown) return name;
  }
  return {};
}

}  // namespace

std::string ChosenPathBytes(const QString& path) {
  const std::string plain = PathBytes(path);
  if (!path.contains(QChar::ReplacementCharacter) || Exists(plain)) return plain;
  const QStringList parts = path.split(QLatin1Char('/'));
  std::string result;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    if (i > 0) result += '/';
    const QString& part = parts[i];
    std::string encoded = PathBytes(part);
    if (part.contains(QChar::ReplacementCharacter) && !Exists(result + encoded)) {
      const std::string folder = result.size() > 1 ? result.substr(0, result.size() - 1) : result;
      if (std::string found = FindShownEntry(folder, part); !found.empty()) encoded = found;
    }
    result += encoded;
  }
  return result;
}

}  // namespace ostrevin::app
