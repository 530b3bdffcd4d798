#include "conversion/run_plan.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <variant>

#include "conversion/file_identity.h"
#include "conversion/path_names.h"

namespace ostrevin {

namespace {

// The absolute path with "." and ".." taken out and the symbolic links of its
// existing part resolved, so that two spellings of one place compare equal.
std::string PlaceOf(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (error) absolute = path;
  fs::path resolved = fs::weakly_canonical(absolute, error);
  if (error) resolved = absolute.lexically_normal();
  return resolved.string();
}

// PlaceOf for the many paths of a run, which share a few folders: resolving a
// folder costs a system call per component, so each folder's place is found
// once and the file name appended. For a name that is not "." or "..", the
// place of "folder/name" is the place of the folder with the name appended,
// whether the name exists or not.
class Places {
 public:
  std::string Of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return PlaceOf(path);
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    auto [known, added] = folders_.try_emplace(std::move(folder));
    if (added) known->second = PlaceOf(known->first);
    return JoinPath(known->second, name);
  }

 private:
  std::map<std::string, std::string> folders_;
};

// A file as the plan compares it: by identity where it exists (any of its
// names, hard links included), else by the place its path names.
using FileKey = std::variant<FileIdentity, std::string>;

FileKey KeyOf(const std::string& path, Places& places) {
  if (const auto identity = IdentityOfPath(path)) return *identity;
  return places.Of(path);
}

}  // namespace

std::vector<RunEntry> FlatEntries(const std::vector<std::string>& files) {
  std::vector<RunEntry> entries;
  entries.reserve(files.size());
  for (const std::string& file : files) entries.push_back({file, {}});
  return entries;
}

std::string OutputPathOf(const ConversionOptions& options, const RunEntry& entry) {
  if (entry.ToStream()) return entry.output_name;
  std::string output = entry.source;
  if (!options.OverWrite) {
    output =
        JoinPath(options.Destination, entry.below_destination.empty() ? FileNameOf(entry.source)
                                                                      : entry.below_destination);
  }
  if (options.DeleteHTMLTag) output += ".txt";
  return output;
}

std::vector<PlannedEntry> PlanRun(const std::vector<RunEntry>& entries,
                                  const ConversionOptions& options) {
  std::vector<PlannedEntry> plan;
  plan.reserve(entries.size());
  std::set<FileKey> sources;
  std::set<FileKey> outputs;
  Places places;
  for (const RunEntry& entry : entries) {
    PlannedEntry planned{OutputPathOf(options, entry), PlannedKind::kConvert};
    std::optional<FileKey> source;
    if (entry.source_fd < 0) source = KeyOf(entry.source, places);
    std::optional<FileKey> output;
    if (!entry.ToStream()) output = KeyOf(planned.output, places);
    if (source && sources.contains(*source)) {
      planned.kind = PlannedKind::kRepeat;
    } else if (output && outputs.contains(*output)) {
      planned.kind = PlannedKind::kSameOutput;
    } else {
      if (source) sources.insert(std::move(*source));
      if (output) outputs.insert(std::move(*output));
    }
    plan.push_back(std::move(planned));
  }
  return plan;
}

}  // namespace ostrevin
