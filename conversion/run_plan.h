// The plan of a batch run, formed before the first file: each entry's output
// path, and which entries repeat an earlier source or would replace an output
// of an earlier entry.
#pragma once

#include <string>
#include <vector>

#include "settings/conversion_options.h"

namespace ostrevin {

// One entry of a run: its source, and where its output goes below
// Destination when OverWrite is off ("sub/name.txt" keeps a tree; empty: the
// source's file name); or an open stream (standard input, standard output)
// for either end.
struct RunEntry {
  std::string source;  // a path, or the name shown for `source_fd`
  std::string below_destination{};
  // At least 0: the text is read from this descriptor to its end instead of
  // from `source`. Only an entry with an output stream may have one.
  int source_fd = -1;
  // At least 0: the converted text is written to this descriptor, shown as
  // `output_name`, instead of to a file; there is no overwrite question, and
  // the text is written even when no stage changed it.
  int output_fd = -1;
  std::string output_name{};

  [[nodiscard]] bool ToStream() const { return output_fd >= 0; }
};

// The list's paths as entries whose outputs all go directly into Destination.
[[nodiscard]] std::vector<RunEntry> FlatEntries(const std::vector<std::string>& files);

// The output of an entry: the source itself with OverWrite, else
// JoinPath(Destination, below_destination or FileNameOf(source)), an empty
// Destination meaning the current folder; ".txt" appended with DeleteHTMLTag.
// For an output stream, its name.
[[nodiscard]] std::string OutputPathOf(const ConversionOptions& options, const RunEntry& entry);

enum class PlannedKind {
  kConvert,     // converted (the overwrite question and the pipeline decide)
  kRepeat,      // the same file as an earlier entry's source: done already
  kSameOutput,  // another source's output has this name: refused
};

struct PlannedEntry {
  std::string output;
  PlannedKind kind = PlannedKind::kConvert;
};

// Plans `entries` in order. Sources and outputs are compared as files: by
// device and inode where they exist (symbolic links followed), else by their
// absolute path with the symbolic links of its existing part resolved. An
// entry is a repeat when its source is that of an earlier entry planned for
// conversion; else it is refused when its output is that of such an entry.
// A source stream is never a repeat, and an output stream never the output of
// another entry.
[[nodiscard]] std::vector<PlannedEntry> PlanRun(const std::vector<RunEntry>& entries,
                                                const ConversionOptions& options);

}  // namespace ostrevin
