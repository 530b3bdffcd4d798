// Fuzz target for the settings store: any bytes as an INI file, then load,
// save and load again; the options (and a settings file's list) round-trip.
//
// Input: five choice bytes (flags, KanjiCode, RegExp), then fields ended by
// 0x00: Destination, TablePath, the file list (entries split at 0x01); the
// rest is the INI file.
#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_files.h"
#include "fuzz/fuzz_input.h"
#include "settings/options_store.h"
#include "settings/profile_store.h"
#include "settings/settings_file.h"

namespace {

using namespace ostrevin;
using fuzz::Require;

bool Storable(std::string_view value) {
  return value.find_first_of("\r\n", 0) == value.npos && value.find('\0') == value.npos;
}

ConversionOptions OptionsFrom(fuzz::FuzzInput& input) {
  ConversionOptions options;
  const std::uint8_t flags = input.TakeByte();
  options.OverWrite = (flags & 1) != 0;
  options.KanjiConvert = (flags & 2) != 0;
  options.DeleteHTMLTag = (flags & 4) != 0;
  options.UseTable = (flags & 8) != 0;
  options.NoOutput = (flags & 16) != 0;
  // Signed values of either sign, small and large.
  options.KanjiCode = static_cast<std::int16_t>(input.TakeByte() << 8 | input.TakeByte());
  options.RegExp = static_cast<std::int8_t>(input.TakeByte()) * ((flags & 32) ? 16777216 : 1);
  (void)input.TakeByte();
  options.Destination = std::string(input.TakeField('\0'));
  options.TablePath = std::string(input.TakeField('\0'));
  return options;
}

std::vector<std::string> FilesFrom(std::string_view field) {
  std::vector<std::string> files;
  if (field.empty()) return files;
  fuzz::FuzzInput list(reinterpret_cast<const std::uint8_t*>(field.data()), field.size());
  while (!list.empty()) files.emplace_back(list.TakeField('\x01'));
  return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const ConversionOptions chosen = OptionsFrom(input);
  const std::vector<std::string> files = FilesFrom(input.TakeField('\0'));
  const std::string_view ini = input.Rest();
  const fuzz::ScratchFolder folder;

  // Whatever was read from any file is saved back into it and read again.
  {
    const std::string path = folder.Write("a.ini", ini);
    const ConversionOptions loaded = LoadOptionsFile(path);
    const int saved = SaveOptionsFile(path, loaded);
    if (saved == 0) {
      Require(LoadOptionsFile(path) == loaded, "loaded options saved into their file read back",
              fuzz::Hex(ini));
    } else {
      Require(saved == EINVAL && (!Storable(loaded.Destination) || !Storable(loaded.TablePath)),
              "only an unstorable text stops a save", fuzz::Hex(ini));
      Require(fuzz::ReadWhole(path) == ini, "a refused save leaves the file alone");
    }
  }

  // Chosen options saved into any file read back as they were, with every
  // other line kept.
  {
    const std::string path = folder.Write("b.ini", ini);
    const int saved = SaveOptionsFile(path, chosen);
    if (Storable(chosen.Destination) && Storable(chosen.TablePath)) {
      Require(saved == 0, "storable options are saved");
      Require(LoadOptionsFile(path) == chosen, "saved options read back as they were",
              fuzz::Hex(ini) + " | " + fuzz::Hex(chosen.Destination) + " | " +
                  fuzz::Hex(chosen.TablePath));
    } else {
      Require(saved == EINVAL, "an unstorable text is refused");
      Require(fuzz::ReadWhole(path) == ini, "a refused save leaves the file alone");
    }
  }

  // A settings file: the options and the file list round-trip too.
  {
    const std::string path = folder.Write("c.ini", ini);
    const SettingsFileContents read = LoadSettingsFile(path);
    bool storable = Storable(chosen.Destination) && Storable(chosen.TablePath);
    for (const std::string& file : files) storable = storable && Storable(file);
    const int saved = SaveSettingsFile(path, chosen, files);
    if (storable) {
      Require(saved == 0, "a storable settings file is saved");
      const SettingsFileContents again = LoadSettingsFile(path);
      Require(again.options == chosen && again.files == files,
              "a settings file reads back as it was saved", fuzz::Hex(ini));
    } else {
      Require(saved == EINVAL, "an unstorable path in the list is refused");
      Require(fuzz::ReadWhole(path) == ini, "a refused save leaves the file alone");
    }
    (void)read;
  }
  return 0;
}
