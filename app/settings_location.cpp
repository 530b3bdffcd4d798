// Settings and read-me locations derived from the executable's path.
#include "app/settings_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "settings/options_store.h"

namespace ostrevin::app {
namespace {

// Offset of the file name inside `path` (after the last '/').
std::size_t NameStart(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? 0 : slash + 1;
}

// Offset of the name's extension dot, or npos. A dot that opens the name
// (".hidden") does not start an extension.
std::size_t ExtensionDot(std::string_view path) {
  const std::size_t name = NameStart(path);
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot <= name) return std::string_view::npos;
  return dot;
}

std::string FolderOf(std::string_view path) {
  const std::size_t name = NameStart(path);
  if (name == 0) return ".";
  if (name == 1) return "/";
  return std::string(path.substr(0, name - 1));
}

}  // namespace

std::string SiblingPath(std::string_view executable, std::string_view extension) {
  const std::size_t dot = ExtensionDot(executable);
  std::string result(executable.substr(0, dot == std::string_view::npos ? executable.size() : dot));
  result += extension;
  return result;
}

std::string ApplicationName(std::string_view executable) {
  const std::size_t name = NameStart(executable);
  const std::size_t dot = ExtensionDot(executable);
  const std::size_t end = dot == std::string_view::npos ? executable.size() : dot;
  return std::string(executable.substr(name, end - name));
}

std::vector<std::string> ReadMePaths(std::string_view executable) {
  const std::string name = ApplicationName(executable) + ".htm";
  // The executable's path has its links resolved, so "bin/.." may be taken
  // away by hand, which keeps the path the message shows readable.
  const std::filesystem::path installed =
      std::filesystem::path(FolderOf(executable)) / ".." / "share/doc/ostrevin" / name;
  return {SiblingPath(executable, ".htm"), installed.lexically_normal().native()};
}

std::string ChooseSettingsPath(const SettingsEnvironment& environment, const ExistsProbe& exists,
                               const WritableProbe& writable) {
  const std::string beside = SettingsPathBeside(environment.executable);
  // An installed program, its manual in the installation's documentation
  // folder, writes nothing beside itself even where it may (run as root): the
  // package system would leave such a file behind in its bin folder.
  const bool installed = exists(ReadMePaths(environment.executable).back());
  const bool file_usable = exists(beside) && writable(beside);
  if (!installed && (file_usable || writable(FolderOf(beside)))) return beside;

  std::string base;
  if (!environment.xdg_config_home.empty() && environment.xdg_config_home.front() == '/') {
    base = environment.xdg_config_home;
  } else if (!environment.home.empty()) {
    base = environment.home;
    if (base.back() != '/') base += '/';
    base += ".config";
  } else {
    return beside;
  }
  if (base.back() != '/') base += '/';
  return base + "ostrevin/" + beside.substr(NameStart(beside));
}

std::string ChooseSettingsPath(const std::string& executable) {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  const SettingsEnvironment environment{executable, xdg ? xdg : "", home ? home : ""};
  return ChooseSettingsPath(
      environment, [](const std::string& path) { return ::access(path.c_str(), F_OK) == 0; },
      [](const std::string& path) { return ::access(path.c_str(), W_OK) == 0; });
}

std::string ExecutablePath(const std::string& fallback) {
  std::error_code error;
  const std::filesystem::path real = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || real.empty()) return fallback;
  return real.native();
}

bool EnsureParentFolder(const std::string& file) {
  const std::string folder = FolderOf(file);
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  if (!EnsureParentFolder(folder)) return false;
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace ostrevin::app
