#include "conversion/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <random>
#include <vector>

#include "conversion/crlf_writer.h"
#include "conversion/file_metadata.h"
#include "conversion/in_place_write.h"
#include "conversion/path_names.h"
#include "conversion/temporary_name.h"
#include "conversion/unique_fd.h"
#include "core/file_error.h"

namespace ostrevin {

namespace {

constexpr int kMaxLinkHops = 40;
constexpr int kNameAttempts = 100;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Follows symbolic links from `path` to the path of the file they name (which
// need not exist yet). Returns 0 or an error number.
int ResolveLinks(const std::string& path, std::string& target) {
  target = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (lstat(target.c_str(), &info) != 0) return errno == ENOENT ? 0 : errno;
    if (!S_ISLNK(info.st_mode)) return 0;
    std::vector<char> buffer(static_cast<std::size_t>(PATH_MAX) + 1);
    const ssize_t length = readlink(target.c_str(), buffer.data(), buffer.size());
    if (length < 0) return errno;
    if (static_cast<std::size_t>(length) >= buffer.size()) return ENAMETOOLONG;
    std::string link(buffer.data(), static_cast<std::size_t>(length));
    target = link.starts_with('/') ? link : JoinPath(FolderOf(target), link);
  }
  return ELOOP;
}

// --- The file at the output path ---------------------------------------------

struct Target {
  std::string path;  // symbolic links resolved
  std::string name;  // its last component
  UniqueFd folder;   // its folder, opened once: every step below is relative to it
  bool exists = false;
  struct stat existing {};
  // What the file at the name must be (or, if none, that there is none) for
  // the replacement to go ahead.
  std::optional<FileStamp> expected;
};

// True when the name still holds what the target expects.
bool StillAsExpected(const Target& target) {
  struct stat now {};
  const bool present =
      fstatat(target.folder.get(), target.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
  if (!target.expected) return !present;
  return present && FileStamp::Of(now) == *target.expected;
}

// --- Replacing by a rename ---------------------------------------------------

// Removes the temporary name on every way out unless it was renamed into
// place or was found to hold another file.
class TemporaryEntry {
 public:
  explicit TemporaryEntry(int folder) : folder_(folder) {}
  TemporaryEntry(const TemporaryEntry&) = delete;
  TemporaryEntry& operator=(const TemporaryEntry&) = delete;
  ~TemporaryEntry() {
    if (!name_.empty()) unlinkat(folder_, name_.c_str(), 0);
  }
  void Set(std::string name) { name_ = std::move(name); }
  [[nodiscard]] const std::string& name() const { return name_; }
  void Release() { name_.clear(); }

 private:
  int folder_;
  std::string name_;
};

// Gives a name to the unnamed file `fd` (made with O_TMPFILE). Linking
// through /proc follows the descriptor to its file; AT_EMPTY_PATH would do
// the same without /proc but needs a capability.
std::string ProcPathOf(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

int LinkUnnamed(int fd, const Target& target, TemporaryEntry& entry, std::mt19937_64& random) {
  const std::string proc_path = ProcPathOf(fd);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = TemporaryName(target.name, random);
    if (linkat(AT_FDCWD, proc_path.c_str(), target.folder.get(), name.c_str(), AT_SYMLINK_FOLLOW) ==
        0) {
      entry.Set(std::move(name));
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

// Opens the new file: without a name where the file system can (O_TMPFILE,
// so no walk can ever list it half-written), else under a temporary name.
UniqueFd CreateNewFile(const Target& target, TemporaryEntry& entry, bool& unnamed,
                       std::mt19937_64& random) {
  static const bool have_proc = access("/proc/self/fd", X_OK) == 0;
  if (have_proc) {
    UniqueFd fd(openat(target.folder.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (fd.valid() || (errno != EOPNOTSUPP && errno != EISDIR)) {
      unnamed = true;
      return fd;
    }
  }
  unnamed = false;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = TemporaryName(target.name, random);
    UniqueFd fd(openat(target.folder.get(), name.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
    if (fd.valid()) {
      entry.Set(std::move(name));
      return fd;
    }
    if (errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return UniqueFd();
}

// Gives the complete unnamed file `fd` the output's name, where no file was
// when the write began. The link fails if a file has taken the name since,
// which is then left alone: the check and the naming are one step, and no
// temporary name is needed. Returns true, as WriteByRename does.
bool LinkAsNewOutput(const std::string& output, const Target& target, const OutputRequest& request,
                     UniqueFd& fd, OutputResult& result) {
  if (request.before_replace) request.before_replace();
  if (linkat(AT_FDCWD, ProcPathOf(fd.get()).c_str(), target.folder.get(), target.name.c_str(),
             AT_SYMLINK_FOLLOW) != 0) {
    if (errno == EEXIST) {
      result.changed_meanwhile = true;
    } else {
      result.error_number = errno;
    }
    return true;
  }
  if (fd.Close() != 0) {
    // A network file system may report a failed write only now: the name
    // must not keep a file that may be incomplete, if it still holds ours.
    const int error = errno;
    struct stat named {};
    if (fstatat(target.folder.get(), target.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        FileIdentity::Of(named) == result.written) {
      unlinkat(target.folder.get(), target.name.c_str(), 0);
    }
    throw FileError(output, error);
  }
  return true;
}

// Writes through a new file and renames it over the output. Returns false,
// having changed nothing, when the new file could not carry the existing
// file's owner, bits or attributes: the caller writes in place then.
bool WriteByRename(const std::string& output, const Target& target, const TextWriter& write,
                   const OutputRequest& request, OutputResult& result) {
  std::optional<std::mt19937_64> own_random;
  if (!request.temporary_names) own_random.emplace(std::random_device{}());
  std::mt19937_64& random = request.temporary_names ? *request.temporary_names : *own_random;
  TemporaryEntry entry(target.folder.get());
  bool unnamed = false;
  UniqueFd fd = CreateNewFile(target, entry, unnamed, random);
  if (!fd.valid()) {
    result.error_number = errno;
    return true;
  }
  if (target.exists && !CopyMetadata(target.path, target.existing, fd.get())) return false;
  struct stat info {};
  const bool identified = fstat(fd.get(), &info) == 0;
  if (identified) result.written = FileIdentity::Of(info);

  result.text_made = true;
  const MadeText made = write(fd.get());
  if (!made.keep) {
    result.discarded = true;
    return true;
  }
  if (made.error_number != 0) throw FileError(output, made.error_number);
  // Content that replaces a file is on the disk before the rename, so that a
  // crash leaves the old text or the new one under the name, never an empty
  // file. A new output replaces nothing: the run flushes its file system at
  // its end, once for all of them.
  const bool deferred = !target.exists && identified && request.deferred_flush &&
                        request.deferred_flush->Add(fd.get(), info.st_dev, output);
  if (!deferred) {
    if (const int error = FlushToDisk(fd.get()); error != 0) throw FileError(output, error);
  }
  if (unnamed && !target.exists) return LinkAsNewOutput(output, target, request, fd, result);
  if (unnamed) {
    if (const int error = LinkUnnamed(fd.get(), target, entry, random); error != 0) {
      result.error_number = error;
      return true;
    }
  }
  if (fd.Close() != 0) throw FileError(output, errno);

  if (request.before_replace) request.before_replace();
  if (!StillAsExpected(target)) {
    result.changed_meanwhile = true;
    return true;
  }
  // The temporary name must still hold the file written above: another
  // program may have put its own file there. This is a best effort, since
  // rename works on names: a swap between this check and the rename below
  // goes unseen.
  struct stat named {};
  if (fstatat(target.folder.get(), entry.name().c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      FileIdentity::Of(named) != result.written) {
    entry.Release();  // not ours to remove
    result.error_number = EEXIST;
    return true;
  }
  if (renameat(target.folder.get(), entry.name().c_str(), target.folder.get(),
               target.name.c_str()) != 0) {
    result.error_number = errno;
    return true;
  }
  entry.Release();
  return true;
}

}  // namespace

int WriteCrLfStream(int fd, std::string_view text) { return WriteCrLfText(fd, text).error_number; }

namespace {

// WriteOutputFile with the text made by `write`; `text` is the whole text
// unless `streamed`.
OutputResult WriteOutput(const std::string& output, std::string_view text, const TextWriter& write,
                         bool streamed, const OutputRequest& request) {
  OutputResult result;
  Target target;
  if (const int error = ResolveLinks(output, target.path); error != 0) {
    result.error_number = error;
    return result;
  }
  target.name = FileNameOf(target.path);
  // Everything below works relative to the folder, so the temporary name adds
  // nothing to the length of the path the system must resolve.
  target.folder = UniqueFd(open(FolderOf(target.path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!target.folder.valid()) {
    result.error_number = errno;
    return result;
  }
  const int folder = target.folder.get();
  target.exists = fstatat(folder, target.name.c_str(), &target.existing, AT_SYMLINK_NOFOLLOW) == 0;
  target.expected = request.expected;
  if (!target.exists) {
    (void)WriteByRename(output, target, write, request, result);
    return result;
  }

  const struct stat& existing = target.existing;
  if (!S_ISREG(existing.st_mode)) {
    result.error_number = S_ISDIR(existing.st_mode) ? EISDIR : EINVAL;
    return result;
  }
  result.previous = FileIdentity::Of(existing);
  if (!target.expected) target.expected = FileStamp::Of(existing);
  // A file the process may not write stays as it is, as a plain open for
  // writing would have refused it; renaming over it would not ask.
  if (faccessat(folder, target.name.c_str(), W_OK, AT_EACCESS) != 0) {
    result.error_number = errno;
    return result;
  }
  const bool other_links = existing.st_nlink > 1;
  const bool folder_locked = faccessat(folder, ".", W_OK | X_OK, AT_EACCESS) != 0;
  if (other_links || folder_locked || !WriteByRename(output, target, write, request, result)) {
    if (streamed) return result;  // the text is needed whole
    if (request.before_replace) request.before_replace();
    const InPlaceResult in_place =
        WriteInPlace(output, folder, target.name, *target.expected, text);
    result.error_number = in_place.error_number;
    result.changed_meanwhile = in_place.changed_meanwhile;
    result.written = in_place.written;
  }
  return result;
}

}  // namespace

OutputResult WriteOutputFile(const std::string& output, std::string_view text,
                             const OutputRequest& request) {
  const TextWriter write = [text](int fd) {
    return MadeText{.keep = true, .error_number = WriteCrLfText(fd, text).error_number};
  };
  return WriteOutput(output, text, write, false, request);
}

OutputResult WriteOutputFileStreamed(const std::string& output, const TextWriter& write,
                                     const OutputRequest& request) {
  return WriteOutput(output, {}, write, true, request);
}

}  // namespace ostrevin
