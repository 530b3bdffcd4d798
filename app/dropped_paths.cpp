// Byte-exact local paths from dropped mime data.
#include "app/dropped_paths.h"

#include <QByteArray>
#include <QMimeData>
#include <QUrl>

#include "app/japanese_ui.h"

namespace ostrevin::app {
namespace {

constexpr const char* kUriList = "text/uri-list";

// "file:///a/b", "file://localhost/a/b" and "file:/a/b" name the local /a/b.
bool LocalPathOf(const QByteArray& uri, std::string& path) {
  if (!uri.toLower().startsWith("file:")) return false;
  QByteArray rest = uri.mid(5);
  if (rest.startsWith("//")) {
    rest = rest.mid(2);
    const qsizetype slash = rest.indexOf('/');
    if (slash < 0) return false;
    const QByteArray host = rest.left(slash).toLower();
    if (!host.isEmpty() && host != "localhost") return false;
    rest = rest.mid(slash);
  }
  if (!rest.startsWith('/')) return false;
  const QByteArray bytes = QByteArray::fromPercentEncoding(rest);
  path.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  return true;
}

}  // namespace

std::vector<std::string> DroppedPaths(const QMimeData& data) {
  std::vector<std::string> paths;
  if (data.hasFormat(QString::fromLatin1(kUriList))) {
    const QByteArray list = data.data(QString::fromLatin1(kUriList));
    for (QByteArray line : list.split('\n')) {
      line = line.trimmed();
      if (line.isEmpty() || line.startsWith('#')) continue;
      std::string path;
      if (LocalPathOf(line, path)) paths.push_back(std::move(path));
    }
    return paths;
  }
  for (const QUrl& url : data.urls()) {
    if (url.isLocalFile()) paths.push_back(PathBytes(url.toLocalFile()));
  }
  return paths;
}

}  // namespace ostrevin::app
