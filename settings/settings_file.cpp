// LoadSettingsFile and SaveSettingsFile.
#include "settings/settings_file.h"

#include <algorithm>
#include <cerrno>

#include "settings/options_store.h"
#include "settings/profile_store.h"

namespace ostrevin {
namespace {

constexpr std::string_view kFolder = "Folder";
constexpr std::string_view kFiles = "Files";

std::string FileKey(std::size_t i) { return "file" + std::to_string(i); }

}  // namespace

SettingsFileContents LoadSettingsFile(const std::string& path) {
  const ProfileStore store(path);
  SettingsFileContents contents;
  if (store.ReadError() != 0) {
    contents.error_number = store.ReadError();
    return contents;
  }
  if (!store.HasSection(kFolder) && !store.HasSection(kFiles)) {
    contents.error_number = EINVAL;
    return contents;
  }
  contents.options = LoadOptions(store);
  const int count = store.ReadInteger(kFiles, "Count", 0);
  if (count <= 0) return contents;
  // More entries than the file has lines can only be missing keys.
  const std::size_t entries =
      std::min<std::size_t>(static_cast<std::size_t>(count), store.LinesRead());
  contents.files.reserve(entries);
  for (std::size_t i = 0; i < entries; ++i)
    contents.files.push_back(store.ReadText(kFiles, FileKey(i)));
  return contents;
}

std::string SettingsUnreadableMessage(std::string_view path, int error_number) {
  const std::string_view format = kSettingsUnreadable;
  const std::size_t name = format.find("%1");
  const std::size_t number = format.find("%lu");
  std::string text(format.substr(0, name));
  text.append(path)
      .append(format.substr(name + 2, number - name - 2))
      .append(std::to_string(static_cast<unsigned long>(error_number)))
      .append(format.substr(number + 3));
  return text;
}

int SaveSettingsFile(const std::string& path, const ConversionOptions& options,
                     const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    if (!ProfileStore::CanStoreValue(file)) return EINVAL;
  }
  ProfileStore store(path);
  if (!SaveOptions(store, options)) return EINVAL;
  store.DeleteSection(kFiles);
  if (!store.WriteInteger(kFiles, "Count", static_cast<long>(files.size()))) return EINVAL;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!store.WriteText(kFiles, FileKey(i), files[i])) return EINVAL;
  }
  return store.Save();
}

}  // namespace ostrevin
