// Japanese font, translation and text conversions of the window.
#include "app/japanese_ui.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <array>

namespace ostrevin::app {

QFont JapaneseDialogFont() {
  // Gothic faces first, in the order Debian desktops usually carry them.
  static constexpr std::array<const char*, 8> kPreferred = {
      "Noto Sans CJK JP", "Noto Sans JP", "Source Han Sans JP", "IPAPGothic",
      "IPAexGothic",      "TakaoPGothic", "VL PGothic",         "Droid Sans Japanese"};
  QFont font = QFont();
  const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
  for (const char* name : kPreferred) {
    if (japanese.contains(QString::fromLatin1(name))) {
      font.setFamilies({QString::fromLatin1(name), font.family()});
      break;
    }
  }
  font.setPointSize(9);
  return font;
}

bool InstallQtJapanese(QTranslator& translator) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                       QStringLiteral("_"), folder)) {
    return false;
  }
  return QCoreApplication::installTranslator(&translator);
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) { return text.toStdString(); }

QString DisplayPath(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace ostrevin::app
