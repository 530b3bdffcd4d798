// The file list shared by both front ends: its order, and adding a path that
// may name a folder (walked depth first, every file of the subtree that lies
// inside it).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/file_identity.h"
#include "settings/conversion_options.h"

namespace ostrevin {

// The list order: ASCII letters compare without case (as their lower-case
// forms), every other byte by its value, a shorter text that is a prefix of a
// longer one first; texts that compare equal that way are ordered by their
// raw bytes, so the order is total and stable across runs.
[[nodiscard]] bool FileListLess(std::string_view a, std::string_view b);

// Sorts `paths` into the list order.
void SortFileList(std::vector<std::string>& paths);

// Inserts `path` at its place in the list order (after equal entries).
void InsertSorted(std::vector<std::string>& paths, std::string path);

enum class AddPathResult {
  kFile,     // the path was appended as a file (anything that is not a folder)
  kFolder,   // the path is a folder; its files were appended
  kMissing,  // nothing exists at the path; nothing was appended
};

// What a folder walk leaves out besides what lies outside the folder walked:
// the folder the run writes its outputs into, so that earlier outputs are not
// converted again.
struct WalkExclusions {
  std::optional<FileIdentity> output_folder;
};

// The exclusions for a run with `options`: the destination folder (an empty
// one is the current folder) unless OverWrite writes beside the sources.
[[nodiscard]] WalkExclusions ExclusionsFor(const ConversionOptions& options);

// Appends `path` to `paths` in the form in which it was passed, or, when it
// names a folder (a symbolic link to one included: what the person gave is
// followed), every file below it by AddFolderFiles. A symbolic link whose
// target is missing is appended as a file, since the link itself exists. The
// entries are appended unsorted.
[[nodiscard]] AddPathResult AddPathOrFolder(const std::string& path,
                                            std::vector<std::string>& paths,
                                            const WalkExclusions& exclusions = {});

// Appends every entry of `folder` except "." and ".." and the temporary files
// of a run (IsTemporaryName), walking each subfolder
// the moment the enumeration reaches it (depth first). Entries are joined to
// the folder with JoinPath. The walk stays inside `folder`: a symbolic link
// met on the way is followed only when its target (resolved in full) lies
// inside `folder`, and is skipped otherwise (or when its target is missing),
// so that a link to a home folder or to a file elsewhere is never rewritten.
// A folder (device and inode) already walked in this call is not walked
// again, so link loops end; the output folder of `exclusions` is not walked
// at all. Everything else that is not a folder is appended, whatever its
// kind. A folder that cannot be enumerated adds nothing.
void AddFolderFiles(const std::string& folder, std::vector<std::string>& paths,
                    const WalkExclusions& exclusions = {});

}  // namespace ostrevin
