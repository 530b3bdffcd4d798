// Fault injection for the batch run through the real file system: missing and
// read-only output folders, an output path that is a folder, sources that
// vanish or turn unreadable during the run, a disk that fills up, and a kill
// in the middle of replacing a source in place. Every case checks the message,
// whether the run ends or goes on, and that no file is lost or half-written.
//
// Cases that need another user, a private mount or an immutable file run in a
// forked child (the test runs as root in CI, and root ignores permission
// bits); the child reports what the host saw through a pipe.
#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/messages.h"
#include "conversion/run_conversion.h"
#include "conversion/tests/test_files.h"
#include "core/file_error.h"
#include "core/testing/recording_host.h"
#include "settings/conversion_options.h"

namespace ostrevin {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::RecordingHost;
using testing::TempFolder;
using testing::WriteFile;

constexpr uid_t kNobody = 65534;
constexpr char kSkipPrefix[] = "SKIP ";
constexpr char kCallSeparator = '\x1e';

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

// What a run left in the host, flattened so that a child can send it back.
struct RunRecord {
  std::vector<std::string> calls;  // the host's calls, then "thrown ..." when it threw

  [[nodiscard]] std::vector<std::string> Dialogs() const {
    std::vector<std::string> out;
    for (const auto& call : calls) {
      if (call.starts_with("ask[") || call.starts_with("message[") || call.starts_with("thrown ")) {
        out.push_back(call);
      }
    }
    return out;
  }
  // The run reached its end: the beep and "変換終了！".
  [[nodiscard]] bool Finished() const {
    return calls.size() >= 3 && calls[calls.size() - 3] == "beep" &&
           calls[calls.size() - 2] == "status " + std::string(messages::kStatusFinished);
  }
  [[nodiscard]] bool Failed(std::string_view status) const {
    for (const auto& call : calls) {
      if (call == "status " + std::string(status)) return true;
    }
    return false;
  }
};

// Runs the batch conversion without the confirmation and records what the
// host saw; a FileError that ends the run is recorded as its message.
RunRecord RunRecorded(const std::vector<std::string>& files, const ConversionOptions& options,
                      RecordingHost& host) {
  try {
    (void)RunConversion(files, options, host, RunConfirmation::kSkip);
  } catch (const FileError& error) {
    host.calls.push_back(Thrown(error.kind(), error.path(), error.error_number()));
  }
  return RunRecord{host.calls};
}

std::string Flatten(const RunRecord& record) {
  std::string out;
  for (const auto& call : record.calls) out += call + kCallSeparator;
  return out;
}

RunRecord Unflatten(const std::string& bytes) {
  RunRecord record;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = bytes.find(kCallSeparator, at);
    record.calls.push_back(bytes.substr(at, end - at));
    at = end == std::string::npos ? bytes.size() : end + 1;
  }
  return record;
}

// Runs `body` in a forked child and returns what it returned (a text that
// starts with kSkipPrefix when the child could not set up its case).
std::string RunInChild(const std::function<std::string()>& body) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return std::string(kSkipPrefix) + "pipe failed";
  const pid_t pid = fork();
  if (pid < 0) return std::string(kSkipPrefix) + "fork failed";
  if (pid == 0) {
    close(pipe_fds[0]);
    std::string report;
    try {
      report = body();
    } catch (const std::exception& error) {
      report = std::string("uncaught ") + error.what();
    }
    const char* p = report.data();
    std::size_t left = report.size();
    while (left > 0) {
      const ssize_t wrote = write(pipe_fds[1], p, left);
      if (wrote <= 0) break;
      p += wrote;
      left -= static_cast<std::size_t>(wrote);
    }
    _exit(0);
  }
  close(pipe_fds[1]);
  std::string report;
  char buffer[4096];
  ssize_t got = 0;
  while ((got = read(pipe_fds[0], buffer, sizeof buffer)) > 0) {
    report.append(buffer, static_cast<std::size_t>(got));
  }
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  return report;
}

// In a child: gives up root, so that permission bits count. Returns an empty
// text, or why it cannot.
std::string DropRoot() {
  if (geteuid() != 0) return {};
  if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
    return std::string(kSkipPrefix) + "cannot drop root: " + std::strerror(errno);
  }
  return {};
}

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
// status line of one entry, that is, after the list was formed and before
// that entry is converted.
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

class FaultInjectionTest : public ::testing::Test {
 protected:
  TempFolder dir;
  ConversionOptions options;

  // Source files with LF line ends, so every conversion changes them.
  std::string MakeSource(const std::string& name, const std::string& text = "a\nb\n") {
    const std::string path = dir / name;
    WriteFile(path, text);
    return path;
  }

  [[nodiscard]] std::vector<std::string> Names(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

// --- The output folder -------------------------------------------------------

TEST_F(FaultInjectionTest, MissingOutputFolderFailsEachEntryAndTheRunGoesOn) {
  const std::string a = MakeSource("a.txt");
  const std::string b = MakeSource("b.txt");
  options.Destination = dir / "missing";
  RecordingHost host;
  const RunRecord record = RunRecorded({a, b}, options, host);
  EXPECT_EQ(record.Dialogs(), (std::vector<std::string>{OutputError(ENOENT), OutputError(ENOENT)}));
  EXPECT_TRUE(record.Failed(messages::kStatusError));
  EXPECT_TRUE(record.Finished());
  EXPECT_FALSE(Exists(dir / "missing"));
  EXPECT_EQ(ReadFile(a), "a\nb\n");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(FaultInjectionTest, OutputFolderRemovedDuringTheRunFailsTheLaterEntries) {
  const std::string a = MakeSource("a.txt");
  const std::string b = MakeSource("b.txt");
  const std::string out = dir / "out";
  ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
  options.Destination = out;
  ActingHost host;
  host.trigger = b;
  host.action = [&] { std::filesystem::remove_all(out); };
  const RunRecord record = RunRecorded({a, b}, options, host);
  EXPECT_EQ(record.Dialogs(), (std::vector<std::string>{OutputError(ENOENT)}));
  EXPECT_TRUE(record.Finished());
  EXPECT_EQ(ReadFile(b), "a\nb\n");
}

TEST_F(FaultInjectionTest, ReadOnlyOutputFolderFailsEachEntryAndTheRunGoesOn) {
  const std::string a = MakeSource("a.txt");
  const std::string b = MakeSource("b.txt");
  const std::string out = dir / "out";
  ASSERT_EQ(mkdir(out.c_str(), 0555), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  WriteFile(out + "/keep", "x");  // written by the test's own user before the child drops root
  options.Destination = out;
  const std::string report = RunInChild([&] {
    if (std::string skip = DropRoot(); !skip.empty()) return skip;
    RecordingHost host;
    return Flatten(RunRecorded({a, b}, options, host));
  });
  if (report.starts_with(kSkipPrefix)) GTEST_SKIP() << report;
  const RunRecord record = Unflatten(report);
  EXPECT_EQ(record.Dialogs(), (std::vector<std::string>{OutputError(EACCES), OutputError(EACCES)}));
  EXPECT_TRUE(record.Finished());
  EXPECT_EQ(Names(out), (std::vector<std::string>{"keep"}));
  EXPECT_EQ(ReadFile(a), "a\nb\n");
}

TEST_F(FaultInjectionTest, SourceInReadOnlyFolderIsReplacedInPlaceWhenTheFileIsWritable) {
  // The folder is not writable, the file is: the text is written into the
  // existing file, which keeps its inode.
  const std::string sub = dir / "sub";
  ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const std::string a = sub + "/a.txt";
  WriteFile(a, "a\nb\n");
  if (geteuid() == 0) {
    ASSERT_EQ(chown(a.c_str(), kNobody, kNobody), 0);
  } else {
    ASSERT_EQ(chmod(sub.c_str(), 0555), 0);
  }
  struct stat before {};
  ASSERT_EQ(stat(a.c_str(), &before), 0);
  options.OverWrite = true;
  const std::string report = RunInChild([&] {
    if (std::string skip = DropRoot(); !skip.empty()) return skip;
    RecordingHost host;
    return Flatten(RunRecorded({a}, options, host));
  });
  if (report.starts_with(kSkipPrefix)) GTEST_SKIP() << report;
  const RunRecord record = Unflatten(report);
  EXPECT_TRUE(record.Dialogs().empty()) << report;
  EXPECT_TRUE(record.Finished());
  EXPECT_EQ(ReadFile(a), "a\r\nb\r\n");
  struct stat after {};
  ASSERT_EQ(stat(a.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(Names(sub), (std::vector<std::string>{"a.txt"}));
}

TEST_F(FaultInjectionTest, OutputPathThatIsAFolderIsLeftAloneAfterTheQuestion) {
  const std::string a = MakeSource("a.txt");
  const std::string b = MakeSource("b.txt");
  const std::string out = dir / "out";
  ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((out + "/a.txt").c_str(), 0755), 0);
  WriteFile(out + "/a.txt/inside", "kept");
  options.Destination = out;
  RecordingHost host;
  host.answers = {true};
  const RunRecord record = RunRecorded({a, b}, options, host);
  const std::string question =
      "ask[確認/question] " + messages::Format(messages::kOverwriteQuestion, "%s", out + "/a.txt");
  EXPECT_EQ(record.Dialogs(), (std::vector<std::string>{question, OutputError(EISDIR)}));
  EXPECT_TRUE(record.Finished());
  EXPECT_EQ(ReadFile(out + "/a.txt/inside"), "kept");
  EXPECT_EQ(ReadFile(out + "/b.txt"), "a\r\nb\r\n");
  EXPECT_EQ(Names(out), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(FaultInjectionTest, ImmutableSourceIsNotReplacedAndTheRunGoesOn) {
  const std::string a = MakeSource("a.txt");
  const std::string b = MakeSource("b.txt");
  if (!SetImmutable(a, true)) GTEST_SKIP() << "the immutable attribute is not available here";
  options.OverWrite = true;
  RecordingHost host;
  const RunRecord record = RunRecorded({a, b}, options, host);
  SetImmutable(a, false);
  EXPECT_EQ(record.Dialogs(), (std::vector<std::string>{OutputError(EPERM)}));
  EXPECT_TRUE(record.Finished());
  EXPECT_EQ(ReadFile(a), "a\nb\n");
  EXPECT_EQ(ReadFile(b), "a\r\nb\r\n");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"a.txt", "b.txt"}));
}

// --- Sources that change between listing and converting ---------------------

struct VanishCase {
  const char* name;
  std::function<void(const std::string&)> change;  // done to the second source
  int error_number;                                // of the source-open message
};

TEST_F(FaultInjectionTest, SourceChangedAfterListingFailsThatEntryOnly) {
  const std::vector<VanishCase> cases = {
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
  for (const VanishCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string a = folder / "a.txt";
    const std::string b = folder / "b.txt";
    const std::string d = folder / "d.txt";
    for (const auto& path : {a, b, d}) WriteFile(path, "x\ny\n");
    const std::string out = folder / "out";
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    options.Destination = out;
    ActingHost host;
    host.trigger = b;
    host.action = [&] { c.change(b); };
    const RunRecord record = RunRecorded({a, b, d}, options, host);
    EXPECT_EQ(record.Dialogs(), (std::vector<std::string>{SourceError(c.error_number)}));
    EXPECT_TRUE(record.Failed(messages::kStatusError));
    EXPECT_TRUE(record.Finished());
    EXPECT_EQ(Names(out), (std::vector<std::string>{"a.txt", "d.txt"}));
    EXPECT_EQ(ReadFile(out + "/d.txt"), "x\r\ny\r\n");
  }
}

TEST_F(FaultInjectionTest, SourceMadeUnreadableAfterListingFailsThatEntryOnly) {
  const std::string a = MakeSource("a.txt");
  const std::string b = MakeSource("b.txt");
  const std::string out = dir / "out";
  ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  if (geteuid() == 0) {
    // The child, no longer root, owns the source and the output folder.
    ASSERT_EQ(chown(a.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(chown(out.c_str(), kNobody, kNobody), 0);
  }
  options.Destination = out;
  const std::string report = RunInChild([&] {
    if (std::string skip = DropRoot(); !skip.empty()) return skip;
    ActingHost host;
    host.trigger = a;
    host.action = [&] { chmod(a.c_str(), 0); };
    return Flatten(RunRecorded({a, b}, options, host));
  });
  if (report.starts_with(kSkipPrefix)) GTEST_SKIP() << report;
  const RunRecord record = Unflatten(report);
  EXPECT_EQ(record.Dialogs(), (std::vector<std::string>{SourceError(EACCES)}));
  EXPECT_TRUE(record.Failed(messages::kStatusError));
  EXPECT_TRUE(record.Finished());
  EXPECT_EQ(Names(out), (std::vector<std::string>{"b.txt"}));
  chmod(a.c_str(), 0644);
  EXPECT_EQ(ReadFile(a), "a\nb\n");
}

// --- A disk that fills up ---------------------------------------------------

// Makes every write past `bytes` fail with EFBIG (SIGXFSZ ignored); for a
// child only, as the limit stays for the rest of the process.
void LimitFileSize(rlim_t bytes) {
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
}

std::string Lines(std::size_t bytes) {
  std::string text;
  text.reserve(bytes);
  while (text.size() + 16 <= bytes) text += "0123456789abcde\n";
  return text;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

TEST_F(FaultInjectionTest, FileSizeLimitEndsTheRunWithDiskFullAndLeavesNoPartialOutput) {
  const std::string small = MakeSource("1small.txt");
  const std::string big = MakeSource("2big.txt", Lines(64 * 1024));
  const std::string last = MakeSource("3last.txt");
  const std::string out = dir / "out";
  ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
  options.Destination = out;
  const std::string report = RunInChild([&] {
    LimitFileSize(16 * 1024);
    RecordingHost host;
    return Flatten(RunRecorded({small, big, last}, options, host));
  });
  const RunRecord record = Unflatten(report);
  EXPECT_EQ(record.Dialogs(),
            (std::vector<std::string>{Thrown(FileErrorKind::kDiskFull, out + "/2big.txt", EFBIG)}));
  EXPECT_FALSE(record.Finished());
  EXPECT_EQ(Names(out), (std::vector<std::string>{"1small.txt"}));
  EXPECT_EQ(ReadFile(out + "/1small.txt"), "a\r\nb\r\n");
}

TEST_F(FaultInjectionTest, FileSizeLimitWhileReplacingInPlaceKeepsTheWholeSource) {
  const std::string small = MakeSource("1small.txt");
  const std::string old_text = Lines(64 * 1024);
  const std::string big = MakeSource("2big.txt", old_text);
  const std::string last = MakeSource("3last.txt");
  options.OverWrite = true;
  const std::string report = RunInChild([&] {
    LimitFileSize(16 * 1024);
    RecordingHost host;
    return Flatten(RunRecorded({small, big, last}, options, host));
  });
  const RunRecord record = Unflatten(report);
  EXPECT_EQ(record.Dialogs(),
            (std::vector<std::string>{Thrown(FileErrorKind::kDiskFull, big, EFBIG)}));
  EXPECT_FALSE(record.Finished());
  EXPECT_EQ(ReadFile(small), "a\r\nb\r\n");
  EXPECT_EQ(ReadFile(big), old_text);
  EXPECT_EQ(ReadFile(last), "a\nb\n");  // the run ended before it
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"1small.txt", "2big.txt", "3last.txt"}));
}

TEST_F(FaultInjectionTest, FullFileSystemWhileReplacingInPlaceKeepsTheWholeSource) {
  // A 64 KiB tmpfs mounted in a private mount namespace of the child: the
  // temporary file for a 40 KiB source (60 KiB with CR LF) does not fit.
  const std::string mount_point = dir / "fs";
  ASSERT_EQ(mkdir(mount_point.c_str(), 0755), 0);
  const std::string old_text = Lines(40 * 1024);
  const std::string report = RunInChild([&]() -> std::string {
    if (unshare(CLONE_NEWNS) != 0) return std::string(kSkipPrefix) + "no mount namespace";
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=64k") != 0) {
      return std::string(kSkipPrefix) + "cannot mount a tmpfs: " + std::strerror(errno);
    }
    const std::string a = mount_point + "/a.txt";
    const std::string b = mount_point + "/b.txt";
    WriteFile(a, old_text);
    WriteFile(b, "a\nb\n");
    ConversionOptions in_place;
    in_place.OverWrite = true;
    RecordingHost host;
    RunRecord record = RunRecorded({a, b}, in_place, host);
    // What the parent cannot see once the child's mount is gone.
    record.calls.push_back(std::string("check source ") +
                           (ReadFile(a) == old_text ? "whole" : "damaged"));
    record.calls.push_back("check names " + std::to_string(Names(mount_point).size()));
    record.calls.push_back("check second " + testing::Hex(ReadFile(b)));
    return Flatten(record);
  });
  if (report.starts_with(kSkipPrefix)) GTEST_SKIP() << report;
  const RunRecord record = Unflatten(report);
  const std::string a = mount_point + "/a.txt";
  EXPECT_EQ(record.Dialogs(),
            (std::vector<std::string>{Thrown(FileErrorKind::kDiskFull, a, ENOSPC)}));
  EXPECT_FALSE(record.Finished());
  const std::vector<std::string> checks(record.calls.end() - 3, record.calls.end());
  EXPECT_EQ(checks, (std::vector<std::string>{"check source whole", "check names 2",
                                              "check second 61 0A 62 0A"}));
}

// --- A kill in the middle of replacing a source in place ---------------------

TEST_F(FaultInjectionTest, KillWhileReplacingInPlaceLeavesOldOrNewTextAndAtMostATemporaryFile) {
  const std::string old_text = Lines(8 * 1024 * 1024);
  const std::string new_text = WithCrLf(old_text);
  const std::string source = dir / "big.txt";
  const std::regex temporary_name(R"(\.big\.txt\.[A-Za-z0-9]{6})");
  options.OverWrite = true;

  const auto start_child = [&] {
    const pid_t pid = fork();
    if (pid == 0) {
      RecordingHost host;
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
    for (const std::string& name : Names(dir.path())) {
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
  std::printf("kills: %d old, %d new, %d temporary files left (run %lld ms)\n", old_seen, new_seen,
              temporary_seen,
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(run_time).count()));
}

}  // namespace
}  // namespace ostrevin
