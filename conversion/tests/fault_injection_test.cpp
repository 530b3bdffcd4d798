// Fault injection for the batch run through the real file system: missing and
// read-only output folders, an output path that is a folder, sources that
// vanish or turn unreadable during the run, a disk that fills up, and a kill
// in the middle of replacing a source in place. Every case checks the message,
// whether the run ends or goes on, and that no file is lost or half-written.
//
// Cases that need another user, a private mount or a file-size limit run in a
// forked child (the test runs as root in CI, and root ignores permission
// bits); the child sends back the host's calls through a pipe.
#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/conversion_run.h"
#include "conversion/convert_file.h"
#include "conversion/file_list.h"
#include "conversion/messages.h"
#include "conversion/overlapped_writer.h"
#include "conversion/run_conversion.h"
#include "conversion/tests/pipeline_fixture.h"
#include "core/file_error.h"

namespace ostrevin {
namespace {

using testing::NamesIn;
using testing::ReadFile;
using testing::RecordingHost;
using testing::WriteFile;
using Calls = std::vector<std::string>;

constexpr uid_t kNobody = 65534;
constexpr char kSkip[] = "SKIP ";
constexpr char kCallSeparator = '\x1e';
// Sources with LF line ends, so that every conversion changes them.
const std::string kLf = "a\nb\n";
const std::string kCrLf = "a\r\nb\r\n";

std::string OutputError(int error_number) {
  return "message[エラー/exclamation] " +
         messages::FormatError(messages::kOutputOpenError, error_number);
}
std::string SourceError(int error_number) {
  return "message[エラー/exclamation] " +
         messages::FormatError(messages::kSourceOpenError, error_number);
}
std::string Thrown(FileErrorKind kind, const std::string& path, int error_number) {
  return "thrown " + FileErrorMessage(kind, path) + " " + std::to_string(error_number);
}

// Runs the batch conversion as the command line does: without the
// confirmation, large outputs written by a second thread. Returns the host's
// calls, then "thrown ..." when a FileError ended the run.
Calls RunRecorded(const std::vector<std::string>& files, const ConversionOptions& options,
                  RecordingHost& host) {
  try {
    (void)RunConversion(files, options, host, RunConfirmation::kSkip, Unconvertible::kRefuse,
                        nullptr, OutputWriting::kOverlapped);
  } catch (const FileError& error) {
    host.calls.push_back(Thrown(error.kind(), error.path(), error.error_number()));
  }
  return host.calls;
}

// The questions, messages and the thrown error, in order.
Calls Dialogs(const Calls& calls) {
  Calls out;
  for (const auto& call : calls) {
    if (call.starts_with("ask[") || call.starts_with("message[") || call.starts_with("thrown ")) {
      out.push_back(call);
    }
  }
  return out;
}

// The run reached its end: the beep and "変換終了！".
bool Finished(const Calls& calls) {
  return calls.size() >= 3 && calls[calls.size() - 3] == "beep" &&
         calls[calls.size() - 2] == "status " + std::string(messages::kStatusFinished);
}

bool ShowsStatusError(const Calls& calls) {
  return std::find(calls.begin(), calls.end(), "status " + std::string(messages::kStatusError)) !=
         calls.end();
}

// Runs `body` in a forked child and returns the calls it recorded; a first
// call starting with kSkip says why the child could not set up its case. With
// `as_nobody` the child first gives up root, so that permission bits count.
Calls InChild(bool as_nobody, const std::function<Calls()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return {std::string(kSkip) + "pipe failed"};
  const pid_t pid = fork();
  if (pid < 0) return {std::string(kSkip) + "fork failed"};
  if (pid == 0) {
    close(fds[0]);
    Calls calls;
    if (as_nobody && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
      calls = {std::string(kSkip) + "cannot drop root: " + std::strerror(errno)};
    } else {
      try {
        calls = body();
      } catch (const std::exception& error) {
        calls = {std::string("uncaught ") + error.what()};
      }
    }
    std::string bytes;
    for (const auto& call : calls) bytes += call + kCallSeparator;
    for (std::size_t at = 0; at < bytes.size();) {
      const ssize_t wrote = write(fds[1], bytes.data() + at, bytes.size() - at);
      if (wrote <= 0) break;
      at += static_cast<std::size_t>(wrote);
    }
    _exit(0);
  }
  close(fds[1]);
  std::string bytes;
  char buffer[4096];
  ssize_t got = 0;
  while ((got = read(fds[0], buffer, sizeof buffer)) > 0) {
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  Calls calls(1);
  for (const char c : bytes) {
    if (c == kCallSeparator) {
      calls.emplace_back();
    } else {
      calls.back().push_back(c);
    }
  }
  calls.pop_back();
  return calls;
}

bool Skipped(const Calls& calls) { return !calls.empty() && calls[0].starts_with(kSkip); }

// Sets or clears the immutable attribute; false where the file system or the
// process's privileges do not allow it.
bool SetImmutable(const std::string& path, bool on) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  close(fd);
  return ok;
}

// A host that does something to the file system when the run shows the
// status line of one entry: after the list was formed, before that entry is
// converted.
class ActingHost : public RecordingHost {
 public:
  std::string trigger;  // the status line's start that sets off the action
  std::function<void()> action;

  void SetStatus(std::string_view text) override {
    RecordingHost::SetStatus(text);
    if (action && !trigger.empty() && text.starts_with(trigger)) {
      action();
      action = nullptr;
    }
  }
};

class FaultInjectionTest : public testing::PipelineTest {
 protected:
  // A child that is no longer root must reach the folder.
  FaultInjectionTest() { EXPECT_EQ(chmod(dir.path().c_str(), 0755), 0); }
};

// --- The output folder -------------------------------------------------------

// A destination that cannot take files is reported once, after the
// confirmation, and nothing is converted: not one message per entry.
TEST_F(FaultInjectionTest, MissingOrFileOutputFolderIsReportedOnceAndNothingIsConverted) {
  const std::string a = dir.Write("a.txt", kLf);
  const std::string b = dir.Write("b.txt", kLf);
  const std::pair<std::string, int> cases[] = {{dir / "missing", ENOENT}, {b, ENOTDIR}};
  for (const auto& [destination, error_number] : cases) {
    SCOPED_TRACE(destination);
    options.Destination = destination;
    host.calls.clear();
    host.answers = {true};
    const RunSummary summary = RunConversion({a, b}, options, host);
    EXPECT_EQ(summary.outcome, RunOutcome::kNoDestination);
    EXPECT_EQ(host.calls, (Calls{"ask[確認/question] " + std::string(messages::kConfirmRun),
                                 OutputError(error_number)}));
  }
  EXPECT_EQ(ReadFile(a), kLf);
  EXPECT_EQ(Names(), (Calls{"a.txt", "b.txt"}));
  // With OverWrite the destination is not used, so not looked at.
  options.OverWrite = true;
  host.calls.clear();
  EXPECT_EQ(Dialogs(RunRecorded({a}, options, host)), Calls{});
  EXPECT_EQ(ReadFile(a), kCrLf);
}

TEST_F(FaultInjectionTest, OutputFolderRemovedDuringTheRunFailsTheLaterEntries) {
  const std::string a = dir.Write("a.txt", kLf);
  const std::string b = dir.Write("b.txt", kLf);
  const std::string out = dir.Folder("out");
  options.Destination = out;
  ActingHost acting;
  acting.trigger = b;
  acting.action = [&] { std::filesystem::remove_all(out); };
  const Calls calls = RunRecorded({a, b}, options, acting);
  EXPECT_EQ(Dialogs(calls), (Calls{OutputError(ENOENT)}));
  EXPECT_TRUE(Finished(calls));
  EXPECT_EQ(ReadFile(b), kLf);
}

TEST_F(FaultInjectionTest, ReadOnlyOutputFolderIsReportedOnceAndNothingIsConverted) {
  const std::string a = dir.Write("a.txt", kLf);
  const std::string b = dir.Write("b.txt", kLf);
  const std::string out = dir.Folder("out");
  WriteFile(out + "/keep", "x");
  ASSERT_EQ(chmod(out.c_str(), 0555), 0);
  options.Destination = out;
  const Calls calls = InChild(true, [&] { return RunRecorded({a, b}, options, host); });
  if (Skipped(calls)) GTEST_SKIP() << calls[0];
  EXPECT_EQ(Dialogs(calls), (Calls{OutputError(EACCES)}));
  EXPECT_FALSE(Finished(calls));
  EXPECT_EQ(NamesIn(out), (Calls{"keep"}));
  EXPECT_EQ(ReadFile(a), kLf);
}

TEST_F(FaultInjectionTest, SourceInReadOnlyFolderIsReplacedInPlaceWhenTheFileIsWritable) {
  // The folder is not writable, the file is: the text is written into the
  // existing file, which keeps its inode.
  const std::string sub = dir.Folder("sub");
  const std::string a = sub + "/a.txt";
  WriteFile(a, kLf);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(a.c_str(), kNobody, kNobody), 0);
  } else {
    ASSERT_EQ(chmod(sub.c_str(), 0555), 0);
  }
  const ino_t before = InodeOf(a);
  options.OverWrite = true;
  const Calls calls = InChild(true, [&] { return RunRecorded({a}, options, host); });
  if (Skipped(calls)) GTEST_SKIP() << calls[0];
  EXPECT_EQ(Dialogs(calls), Calls{});
  EXPECT_TRUE(Finished(calls));
  EXPECT_EQ(ReadFile(a), kCrLf);
  EXPECT_EQ(InodeOf(a), before);
  EXPECT_EQ(NamesIn(sub), (Calls{"a.txt"}));
}

TEST_F(FaultInjectionTest, OutputPathThatIsAFolderIsLeftAloneAfterTheQuestion) {
  const std::string a = dir.Write("a.txt", kLf);
  const std::string b = dir.Write("b.txt", kLf);
  const std::string out = dir.Folder("out");
  dir.Folder("out/a.txt");
  WriteFile(out + "/a.txt/inside", "kept");
  options.Destination = out;
  host.answers = {true};
  const Calls calls = RunRecorded({a, b}, options, host);
  const std::string question =
      "ask[確認/question] " + messages::Format(messages::kOverwriteQuestion, "%s", out + "/a.txt");
  EXPECT_EQ(Dialogs(calls), (Calls{question, OutputError(EISDIR)}));
  EXPECT_TRUE(Finished(calls));
  EXPECT_EQ(ReadFile(out + "/a.txt/inside"), "kept");
  EXPECT_EQ(ReadFile(out + "/b.txt"), kCrLf);
  EXPECT_EQ(NamesIn(out), (Calls{"a.txt", "b.txt"}));
}

TEST_F(FaultInjectionTest, ImmutableSourceIsNotReplacedAndTheRunGoesOn) {
  const std::string a = dir.Write("a.txt", kLf);
  const std::string b = dir.Write("b.txt", kLf);
  if (!SetImmutable(a, true)) GTEST_SKIP() << "the immutable attribute is not available here";
  options.OverWrite = true;
  const Calls calls = RunRecorded({a, b}, options, host);
  SetImmutable(a, false);
  EXPECT_EQ(Dialogs(calls), (Calls{OutputError(EPERM)}));
  EXPECT_TRUE(Finished(calls));
  EXPECT_EQ(ReadFile(a), kLf);
  EXPECT_EQ(ReadFile(b), kCrLf);
  EXPECT_EQ(Names(), (Calls{"a.txt", "b.txt"}));
}

// --- Sources that change between listing and converting ---------------------

TEST_F(FaultInjectionTest, SourceChangedAfterListingFailsThatEntryOnly) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> change;  // done to the second source
    int error_number;                                // of the source-open message
  };
  const std::vector<Case> cases = {
      {"removed", [](const std::string& p) { unlink(p.c_str()); }, ENOENT},
      {"turned into a folder",
       [](const std::string& p) {
         unlink(p.c_str());
         mkdir(p.c_str(), 0755);
       },
       EISDIR},
      {"turned into a FIFO",
       [](const std::string& p) {
         unlink(p.c_str());
         mkfifo(p.c_str(), 0644);
       },
       EINVAL},
      {"turned into a dangling link",
       [](const std::string& p) {
         unlink(p.c_str());
         symlink("nowhere", p.c_str());
       },
       ENOENT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::ScratchFolder folder;
    const std::string a = folder.Write("a.txt", kLf);
    const std::string b = folder.Write("b.txt", kLf);
    const std::string d = folder.Write("d.txt", kLf);
    options.Destination = folder.Folder("out");
    ActingHost acting;
    acting.trigger = b;
    acting.action = [&] { c.change(b); };
    const Calls calls = RunRecorded({a, b, d}, options, acting);
    EXPECT_EQ(Dialogs(calls), (Calls{SourceError(c.error_number)}));
    EXPECT_TRUE(ShowsStatusError(calls));
    EXPECT_TRUE(Finished(calls));
    EXPECT_EQ(NamesIn(options.Destination), (Calls{"a.txt", "d.txt"}));
    EXPECT_EQ(folder.Read("out/d.txt"), kCrLf);
  }
}

TEST_F(FaultInjectionTest, SourceMadeUnreadableAfterListingFailsThatEntryOnly) {
  const std::string a = dir.Write("a.txt", kLf);
  const std::string b = dir.Write("b.txt", kLf);
  const std::string out = dir.Folder("out");
  if (geteuid() == 0) {
    // The child, no longer root, owns the source and the output folder.
    ASSERT_EQ(chown(a.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(chown(out.c_str(), kNobody, kNobody), 0);
  }
  options.Destination = out;
  const Calls calls = InChild(true, [&] {
    ActingHost acting;
    acting.trigger = a;
    acting.action = [&] { chmod(a.c_str(), 0); };
    return RunRecorded({a, b}, options, acting);
  });
  if (Skipped(calls)) GTEST_SKIP() << calls[0];
  EXPECT_EQ(Dialogs(calls), (Calls{SourceError(EACCES)}));
  EXPECT_TRUE(ShowsStatusError(calls));
  EXPECT_TRUE(Finished(calls));
  EXPECT_EQ(NamesIn(out), (Calls{"b.txt"}));
  chmod(a.c_str(), 0644);
  EXPECT_EQ(ReadFile(a), kLf);
}

// --- A disk that fills up ---------------------------------------------------

std::string Lines(std::size_t bytes) {
  std::string text;
  text.reserve(bytes);
  while (text.size() + 16 <= bytes) text += "0123456789abcde\n";
  return text;
}

// Larger than the writer thread's buffers: a new output of this size is
// written by that thread.
constexpr std::size_t kBigBytes = 2 * OverlappedWriter::kBufferBytes;

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

// A file is written while it is converted; a text that cannot be converted
// is still reported as such when the disk filled up before its problem.
TEST_F(FaultInjectionTest, FileSizeLimitBeforeAnUnconvertibleByteReportsTheByte) {
  const std::string big = dir.Write("1big.txt", Lines(kBigBytes) + "\xff\n");
  const std::string last = dir.Write("2last.txt", kLf);
  const std::string out = dir.Folder("out");
  options.Destination = out;
  options.KanjiConvert = true;
  options.KanjiCode = 1;  // EUC: FF is no character
  const Calls calls = InChild(false, [&] {
    const testing::FileSizeLimit limit(16 * 1024);
    return RunRecorded({big, last}, options, host);
  });
  const ConversionProblem problem{ProblemKind::kInvalidBytes, kBigBytes / 16 + 1, 0, "\xff"};
  EXPECT_EQ(Dialogs(calls),
            (Calls{"message[エラー/exclamation] " + ConversionProblemMessage(problem)}));
  EXPECT_TRUE(Finished(calls));
  EXPECT_EQ(NamesIn(out), (Calls{"2last.txt"}));
}

// How a source is replaced: by a rename, or in place when it has another
// hard link (which must see the same bytes afterwards).
struct Replacement {
  const char* name;
  bool hard_link;
};
const Replacement kReplacements[] = {{"renamed", false}, {"in place (hard link)", true}};

// The file that does not fit ends the run with the disk-full error: the
// files before it are written, and no name is left with a partial text,
// whether the output is a new file in the destination (also one that a
// simple table writes while it runs) or replaces its source.
TEST_F(FaultInjectionTest, FileSizeLimitEndsTheRunAndLeavesNoPartialText) {
  for (const char* way :
       {"new file", "new file through a table", "renamed", "in place (hard link)"}) {
    SCOPED_TRACE(way);
    const bool table = std::string_view(way) == "new file through a table";
    const bool to_destination = std::string_view(way) == "new file" || table;
    const bool hard_link = std::string_view(way) == "in place (hard link)";
    options.UseTable = table;
    options.TablePath = dir.Write("table.txt", "0123\tdigits\n");
    testing::ScratchFolder folder;
    const std::string small = folder.Write("1small.txt", kLf);
    const std::string old_text = Lines(kBigBytes);
    const std::string big = folder.Write("2big.txt", old_text);
    const std::string last = folder.Write("3last.txt", kLf);
    if (hard_link) {
      ASSERT_EQ(::link(big.c_str(), (folder / "4link").c_str()), 0);
    }
    options.OverWrite = !to_destination;
    options.Destination = to_destination ? folder.Folder("out") : "";
    RecordingHost fresh;
    const Calls calls = InChild(false, [&] {
      const testing::FileSizeLimit limit(16 * 1024);
      return RunRecorded({small, big, last}, options, fresh);
    });
    const std::string output = to_destination ? folder / "out/2big.txt" : big;
    EXPECT_EQ(Dialogs(calls), (Calls{Thrown(FileErrorKind::kDiskFull, output, EFBIG)}));
    // Nothing after the busy cursor went off: no beep, no status.
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "busy off");
    EXPECT_EQ(ReadFile(to_destination ? folder / "out/1small.txt" : small), kCrLf);
    EXPECT_EQ(ReadFile(big), old_text);
    if (hard_link) {
      EXPECT_EQ(folder.Read("4link"), old_text);
    }
    EXPECT_EQ(ReadFile(last), kLf);  // the run ended before it
    EXPECT_EQ(NamesIn(folder.path()).size(), hard_link || to_destination ? 4u : 3u);
    if (to_destination) {
      EXPECT_EQ(NamesIn(folder / "out"), (Calls{"1small.txt"}));
    }
  }
}

TEST_F(FaultInjectionTest, FullFileSystemWhileReplacingKeepsTheWholeSourceUnderEveryName) {
  // A 64 KiB tmpfs mounted in a private mount namespace of the child, with a
  // 32 KiB filler: the 20 KiB source becomes 30 KiB with CR LF, which neither
  // a new file nor the reservation for an in-place write can get.
  const std::string old_text = [] {
    std::string text;
    while (text.size() < 20 * 1024) text += "a\n";
    return text;
  }();
  for (const Replacement& how : kReplacements) {
    SCOPED_TRACE(how.name);
    testing::ScratchFolder folder;
    ASSERT_EQ(chmod(folder.path().c_str(), 0755), 0);
    const std::string mount_point = folder.Folder("fs");
    const std::string a = mount_point + "/a.txt";
    const std::string b = mount_point + "/b.txt";
    options.OverWrite = true;
    RecordingHost fresh;
    const Calls calls = InChild(false, [&]() -> Calls {
      if (unshare(CLONE_NEWNS) != 0) return {std::string(kSkip) + "no mount namespace"};
      if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
          mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=64k") != 0) {
        return {std::string(kSkip) + "cannot mount a tmpfs: " + std::strerror(errno)};
      }
      WriteFile(a, old_text);
      WriteFile(b, kLf);
      WriteFile(mount_point + "/filler", std::string(32 * 1024, 'f'));
      if (how.hard_link && link(a.c_str(), (mount_point + "/link").c_str()) != 0) {
        return {"link failed"};
      }
      Calls recorded = RunRecorded({a, b}, options, fresh);
      // What the parent cannot see once the child's mount is gone.
      const bool whole = ReadFile(a) == old_text &&
                         (!how.hard_link || ReadFile(mount_point + "/link") == old_text);
      recorded.push_back(std::string("check source ") + (whole ? "whole" : "damaged"));
      recorded.push_back("check names " + std::to_string(NamesIn(mount_point).size()));
      recorded.push_back("check second " + testing::Hex(ReadFile(b)));
      return recorded;
    });
    if (Skipped(calls)) GTEST_SKIP() << calls[0];
    EXPECT_EQ(Dialogs(calls), (Calls{Thrown(FileErrorKind::kDiskFull, a, ENOSPC)}));
    ASSERT_GE(calls.size(), 3u);
    const std::string names = how.hard_link ? "check names 4" : "check names 3";
    EXPECT_EQ(Calls(calls.end() - 3, calls.end()),
              (Calls{"check source whole", names, "check second 61 0A 62 0A"}));
    EXPECT_FALSE(Finished(Calls(calls.begin(), calls.end() - 3)));
  }
}

// --- Two runs on one folder ---------------------------------------------------

TEST_F(FaultInjectionTest, FolderWalkLeavesOnlyAnotherRunsTemporaryFilesAlone) {
  // A run's half-written file must never be converted by another run; the
  // person's own dot files and near misses of the shape are.
  const std::string half = "a\n";
  const Calls temporary = {".a.txt.ostrevin-Ab12Cd", ".x.ostrevin-000000"};
  const Calls listed = {"a.txt",
                        ".emacs.backup",
                        ".a.txt.ostrevin-Ab12C",
                        "a.txt.ostrevin-Ab12Cd",
                        ".a.txt.ostrevin-Ab_2Cd",
                        ".ostrevin-Ab12Cd"};
  for (const auto& name : temporary) dir.Write(name, half);
  for (const auto& name : listed) dir.Write(name, kLf);
  std::vector<std::string> files;
  AddFolderFiles(dir.path(), files);
  options.OverWrite = true;
  const Calls calls = RunRecorded(files, options, host);
  EXPECT_EQ(Dialogs(calls), Calls{});
  for (const auto& name : temporary) EXPECT_EQ(dir.Read(name), half) << name;
  for (const auto& name : listed) EXPECT_EQ(dir.Read(name), kCrLf) << name;
  EXPECT_EQ(Names().size(), temporary.size() + listed.size());
}

TEST_F(FaultInjectionTest, TemporaryNameHoldingAnotherFileIsNotRenamedOverTheOutput) {
  // Another program puts its own file at the temporary name just before the
  // rename: the output and that file stay as they are.
  const std::string a = dir.Write("a.txt", kLf);
  const std::regex temporary_name(R"(\.a\.txt\.ostrevin-[A-Za-z0-9]{6})");
  std::string swapped;
  ConversionRun run(options, host);
  options.OverWrite = true;
  run.before_replace = [&] {
    for (const std::string& name : Names()) {
      if (!std::regex_match(name, temporary_name)) continue;
      swapped = name;
      const std::string decoy = dir.Write("decoy", "decoy");
      ASSERT_EQ(rename(decoy.c_str(), (dir / name).c_str()), 0);
    }
  };
  EXPECT_EQ(ConvertOneFile(run, a, a), FileOutcome::kFailed);
  ASSERT_FALSE(swapped.empty()) << "no temporary name was seen";
  EXPECT_EQ(Dialogs(host.calls), (Calls{OutputError(EEXIST)}));
  EXPECT_EQ(ReadFile(a), kLf);
  EXPECT_EQ(dir.Read(swapped), "decoy");
}

// --- Files that change while they are converted -------------------------------

TEST_F(FaultInjectionTest, FileChangedBeforeItIsReplacedIsLeftAsItIs) {
  struct Case {
    const char* name;
    bool hard_link;       // the source is replaced in place
    bool to_destination;  // the output is a file in another folder, not the source
    bool output_exists;   // that file is there before the run
    const char* appended;
  };
  const std::vector<Case> cases = {
      {"appended to, replaced by a rename", false, false, true, "c\n"},
      {"appended to, replaced in place", true, false, true, "c\n"},
      {"an existing output in the destination", false, true, true, "c\n"},
      {"a new output made by another program meanwhile", false, true, false, "c\n"},
  };
  const std::string changed =
      "message[エラー/exclamation] " + std::string(messages::kSourceChanged);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::ScratchFolder folder;
    const std::string a = folder.Write("a.txt", kLf);
    if (c.hard_link) {
      ASSERT_EQ(link(a.c_str(), (folder / "link").c_str()), 0);
    }
    std::string output = a;
    if (c.to_destination) {
      folder.Folder("out");
      output = folder / "out/a.txt";
      if (c.output_exists) WriteFile(output, "old\n");
    }
    const std::string before = c.output_exists ? ReadFile(output) : "";
    ConversionOptions run_options;
    run_options.OverWrite = true;
    RecordingHost fresh;
    fresh.answers = {true};  // to the question about an output that is not the source
    ConversionRun run(run_options, fresh);
    const std::string expected = before + c.appended;
    run.before_replace = [&] { WriteFile(output, expected); };
    EXPECT_EQ(ConvertOneFile(run, a, output), FileOutcome::kFailed);
    Calls dialogs = Dialogs(fresh.calls);
    if (c.to_destination && !dialogs.empty() && dialogs[0].starts_with("ask[")) {
      dialogs.erase(dialogs.begin());
    }
    EXPECT_EQ(dialogs, Calls{changed});
    EXPECT_EQ(ReadFile(output), expected);
    if (c.hard_link) {
      EXPECT_EQ(folder.Read("link"), expected);
    }
    EXPECT_EQ(NamesIn(folder.path()).size(), c.hard_link || c.to_destination ? 2u : 1u);
  }
}

// --- Owner, permission bits, ACLs and extended attributes ----------------------

using Attributes = std::map<std::string, std::string>;

// Every extended attribute of `path` (ACLs included), as the system lists them.
Attributes AttributesOf(const std::string& path) {
  Attributes out;
  std::string names(65536, '\0');
  const ssize_t size = llistxattr(path.c_str(), names.data(), names.size());
  for (std::size_t at = 0; size > 0 && at < static_cast<std::size_t>(size);) {
    const std::string name(names.c_str() + at);
    std::string value(65536, '\0');
    const ssize_t got = lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
    out[name] = got < 0 ? "?" : value.substr(0, static_cast<std::size_t>(got));
    at += name.size() + 1;
  }
  return out;
}

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

TEST_F(FaultInjectionTest, ReplacedFileKeepsOwnerBitsAclsAndAttributes) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give files to other users";
  if (!Shell("command -v setfacl >/dev/null && command -v setfattr >/dev/null")) {
    GTEST_SKIP() << "setfacl or setfattr missing (tools/deps.sh installs acl and attr)";
  }
  constexpr uid_t kDaemon = 1;
  struct Case {
    const char* name;
    uid_t owner;
    gid_t group;
    mode_t mode;
    const char* marks;  // setfacl and setfattr arguments, %s: the path
    bool as_nobody;
    bool renamed;  // the new text comes in a new file, not in place
  };
  const std::vector<Case> cases = {
      {"an ACL and a user attribute, by root", 0, kDaemon, 0640,
       "setfacl -m u:nobody:rw %s && setfattr -n user.note -v kept %s", false, true},
      // (The system itself clears a set-group-ID bit when someone else writes
      // the file, so this one has none.)
      {"another user's file, by a user", kDaemon, kDaemon, 0666, "", true, false},
      {"a security attribute, by a user", kNobody, kNobody, 0644,
       "setfattr -n security.note -v kept %s", true, false},
      {"a user attribute, by its owner", kNobody, kNobody, 0644, "setfattr -n user.note -v kept %s",
       true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = dir.Folder(std::string("f") + std::to_string(&c - cases.data()));
    ASSERT_EQ(chown(folder.c_str(), kNobody, kNobody), 0);
    const std::string a = folder + "/a.txt";
    WriteFile(a, kLf);
    ASSERT_EQ(chown(a.c_str(), c.owner, c.group), 0);
    ASSERT_EQ(chmod(a.c_str(), c.mode), 0);
    std::string marks = c.marks;
    for (std::size_t at; (at = marks.find("%s")) != std::string::npos;) marks.replace(at, 2, a);
    if (!marks.empty() && !Shell(marks)) GTEST_SKIP() << "the file system keeps no such marks";
    struct stat before {};
    ASSERT_EQ(stat(a.c_str(), &before), 0);
    const Attributes attributes = AttributesOf(a);
    options.OverWrite = true;
    RecordingHost fresh;
    const Calls calls = InChild(c.as_nobody, [&] { return RunRecorded({a}, options, fresh); });
    if (Skipped(calls)) GTEST_SKIP() << calls[0];
    EXPECT_EQ(Dialogs(calls), Calls{});
    struct stat after {};
    ASSERT_EQ(stat(a.c_str(), &after), 0);
    EXPECT_EQ(ReadFile(a), kCrLf);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(AttributesOf(a), attributes);
    EXPECT_EQ(after.st_ino != before.st_ino, c.renamed);
    EXPECT_EQ(NamesIn(folder), Calls{"a.txt"});
  }
}

// --- Long paths ------------------------------------------------------------------

TEST_F(FaultInjectionTest, OutputPathAtTheLengthLimitIsReplaced) {
  // Nested folders of long names, then a file name that brings the path to
  // the longest the system takes: the temporary name must not add to it.
  std::string path = dir.path();
  const std::string part(200, 'd');
  while (path.size() + 1 + part.size() + 1 + 40 < PATH_MAX - 1) {
    path += "/" + part;
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
  }
  const std::size_t room = PATH_MAX - 1 - path.size() - 1;
  const std::string a = path + "/" + std::string(room, 'f');
  ASSERT_EQ(a.size(), static_cast<std::size_t>(PATH_MAX - 1));
  WriteFile(a, kLf);
  options.OverWrite = true;
  const Calls calls = RunRecorded({a}, options, host);
  EXPECT_EQ(Dialogs(calls), Calls{});
  EXPECT_EQ(ReadFile(a), kCrLf);
  EXPECT_EQ(NamesIn(path).size(), 1u);
}

// --- A stop request -------------------------------------------------------------

TEST_F(FaultInjectionTest, StopRequestEndsTheRunAtTheNextFileBoundary) {
  const std::string a = dir.Write("a.txt", kLf);
  const std::string b = dir.Write("b.txt", kLf);
  const std::string c = dir.Write("c.txt", kLf);
  options.OverWrite = true;
  StopRequest stop{0};
  ActingHost acting;
  acting.trigger = b;  // the signal comes while b is under way
  acting.action = [&] { stop.store(SIGTERM); };
  const RunSummary summary = RunConversion({a, b, c}, options, acting, RunConfirmation::kSkip,
                                           Unconvertible::kRefuse, &stop);
  EXPECT_EQ(summary.outcome, RunOutcome::kStopped);
  EXPECT_EQ(summary.written, 2u);
  EXPECT_FALSE(Finished(acting.calls));
  EXPECT_EQ(ReadFile(a), kCrLf);
  EXPECT_EQ(ReadFile(b), kCrLf);
  EXPECT_EQ(ReadFile(c), kLf);
  EXPECT_EQ(Names(), (Calls{"a.txt", "b.txt", "c.txt"}));
}

// --- A kill in the middle of replacing a source in place ---------------------

TEST_F(FaultInjectionTest, KillWhileReplacingInPlaceLeavesOldOrNewTextAndAtMostATemporaryFile) {
  const std::string old_text = Lines(8 * 1024 * 1024);
  const std::string new_text = WithCrLf(old_text);
  const std::string source = dir / "big.txt";
  const std::regex temporary_name(R"(\.big\.txt\.ostrevin-[A-Za-z0-9]{6})");
  options.OverWrite = true;

  const auto start_child = [&] {
    const pid_t pid = fork();
    if (pid == 0) {
      try {
        (void)RunConversion({source}, options, host, RunConfirmation::kSkip);
      } catch (...) {
        _exit(1);
      }
      _exit(0);
    }
    return pid;
  };

  // How long one undisturbed run takes.
  WriteFile(source, old_text);
  const auto began = std::chrono::steady_clock::now();
  const pid_t timed = start_child();
  ASSERT_GT(timed, 0);
  int status = 0;
  waitpid(timed, &status, 0);
  const auto run_time = std::chrono::steady_clock::now() - began;
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(ReadFile(source), new_text);

  constexpr int kKills = 12;
  int old_seen = 0;
  int new_seen = 0;
  int temporary_seen = 0;
  for (int i = 0; i < kKills; ++i) {
    SCOPED_TRACE("kill " + std::to_string(i));
    WriteFile(source, old_text);
    const pid_t pid = start_child();
    ASSERT_GT(pid, 0);
    // Spread the kills from the start of the run to half as long again past its end.
    std::this_thread::sleep_for(run_time * (3 * i) / (2 * (kKills - 1)));
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);

    int temporaries = 0;
    for (const std::string& name : Names()) {
      if (name == "big.txt") continue;
      EXPECT_TRUE(std::regex_match(name, temporary_name)) << "unexpected file " << name;
      ++temporaries;
      unlink((dir / name).c_str());
    }
    EXPECT_LE(temporaries, 1);
    temporary_seen += temporaries;
    const std::string now = ReadFile(source);
    const bool is_old = now == old_text;
    const bool is_new = now == new_text;
    EXPECT_TRUE(is_old || is_new) << "the source is half-written: " << now.size() << " bytes";
    old_seen += is_old ? 1 : 0;
    new_seen += is_new ? 1 : 0;
  }
  // The first kill comes before the child could write anything.
  EXPECT_GE(old_seen, 1);
  RecordProperty("old", old_seen);
  RecordProperty("new", new_seen);
  RecordProperty("temporary_files", temporary_seen);
}

}  // namespace
}  // namespace ostrevin
