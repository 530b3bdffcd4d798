// LoadOptions, SaveOptions and the settings file beside the executable.
#include "settings/options_store.h"

#include <unistd.h>

#include <cerrno>
#include <climits>

namespace ostrevin {
namespace {

constexpr std::string_view kFolder = "Folder";

std::string CurrentDirectory() {
  std::string buffer(PATH_MAX, '\0');
  if (::getcwd(buffer.data(), buffer.size()) == nullptr) return {};
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

bool ReadFlag(const ProfileStore& store, std::string_view key) {
  return store.ReadInteger(kFolder, key, 0) == 1;
}

}  // namespace

ConversionOptions DefaultOptions() {
  ConversionOptions options;
  options.Destination = CurrentDirectory();
  return options;
}

ConversionOptions LoadOptions(const ProfileStore& store) {
  ConversionOptions options;
  options.Destination = store.ReadText(kFolder, "Destination", CurrentDirectory());
  options.OverWrite = ReadFlag(store, "OverWrite");
  options.KanjiConvert = ReadFlag(store, "KanjiConvert");
  options.DeleteHTMLTag = ReadFlag(store, "DeleteHTMLTag");
  options.KanjiCode = store.ReadInteger(kFolder, "KanjiCode", 0);
  options.UseTable = ReadFlag(store, "UseTable");
  options.TablePath = store.ReadText(kFolder, "TablePath", "");
  options.RegExp = store.ReadInteger(kFolder, "RegExp", 0);
  options.NoOutput = ReadFlag(store, "NoOutput");
  return options;
}

bool SaveOptions(ProfileStore& store, const ConversionOptions& options) {
  // Check the texts first, so that a refused one leaves the store as it was.
  if (!ProfileStore::CanStoreValue(options.Destination) ||
      !ProfileStore::CanStoreValue(options.TablePath)) {
    return false;
  }
  bool ok = store.WriteText(kFolder, "Destination", options.Destination);
  ok = store.WriteInteger(kFolder, "OverWrite", options.OverWrite ? 1 : 0) && ok;
  ok = store.WriteInteger(kFolder, "KanjiConvert", options.KanjiConvert ? 1 : 0) && ok;
  ok = store.WriteInteger(kFolder, "DeleteHTMLTag", options.DeleteHTMLTag ? 1 : 0) && ok;
  ok = store.WriteInteger(kFolder, "KanjiCode", options.KanjiCode) && ok;
  ok = store.WriteInteger(kFolder, "UseTable", options.UseTable ? 1 : 0) && ok;
  ok = store.WriteText(kFolder, "TablePath", options.TablePath) && ok;
  ok = store.WriteInteger(kFolder, "RegExp", options.RegExp) && ok;
  ok = store.WriteInteger(kFolder, "NoOutput", options.NoOutput ? 1 : 0) && ok;
  return ok;
}

std::string SettingsPathBeside(std::string_view executable_path) {
  const std::size_t slash = executable_path.rfind('/');
  const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = executable_path.rfind('.');
  const std::size_t stem_end =
      dot != std::string_view::npos && dot > name_start ? dot : executable_path.size();
  return std::string(executable_path.substr(0, stem_end)) + ".ini";
}

ConversionOptions LoadOptionsFile(const std::string& path) {
  return LoadOptions(ProfileStore(path));
}

int SaveOptionsFile(const std::string& path, const ConversionOptions& options) {
  ProfileStore store(path);
  if (!SaveOptions(store, options)) return EINVAL;
  return store.Save();
}

std::string PathLimitMessage() {
  return std::to_string(kMaxPathBytes) + " 文字以内で入力してください。";
}

}  // namespace ostrevin
