// What one conversion run holds while it walks the file list: the options,
// the host, the conversion table, the per-file state and the files it has
// written.
#pragma once

#include <functional>
#include <optional>
#include <random>
#include <set>

#include "conversion/conversion_problem.h"
#include "conversion/deferred_flush.h"
#include "conversion/file_identity.h"
#include "core/host.h"
#include "settings/conversion_options.h"
#include "tables/conversion_table.h"

namespace ostrevin {

struct ConversionRun {
  ConversionRun(const ConversionOptions& run_options, Host& run_host)
      : options(run_options), host(run_host) {}

  const ConversionOptions& options;
  Host& host;
  ConversionTable table;
  // What step 6 does with characters and bytes it cannot convert; a run
  // option of the command line, not a setting.
  Unconvertible unconvertible = Unconvertible::kRefuse;
  // Reset at the start of each ConvertFile; only the stages set it.
  bool changed = false;
  // Reset with `changed`; set when a stage showed a message but the text was
  // still converted (a faulty pattern command).
  bool warned = false;
  // Set when the overwrite question was answered for the rest of the run:
  // whether every later existing output is replaced.
  std::optional<bool> overwrite_for_all;
  // The error number of the first write to an output stream that failed.
  int stream_error = 0;
  // Set for each file: the output's missing folders are created before it is
  // written (an output that keeps its source's place in a tree).
  bool create_output_folders = false;
  // Every file this run has written (as it is after the write); no later
  // entry replaces one.
  std::set<FileIdentity> written;
  // Called for each file once its new text is complete, right before the
  // output replaces anything: tests change files at that moment.
  std::function<void()> before_replace;
  // Set by the batch run, which flushes the new outputs it holds before it
  // reports its end; without it each output is flushed as it is written.
  DeferredFlush* deferred_flush = nullptr;
  // Whether a large output written while it is made may be written by a
  // second thread (the command line); otherwise everything stays on the
  // calling thread, as the window's run does.
  bool overlapped_writing = false;
  // Names the temporary files of the whole run.
  std::mt19937_64 temporary_names{std::random_device{}()};
};

}  // namespace ostrevin
