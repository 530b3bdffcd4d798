// File errors that end a conversion run: the kind of failure, the file's path
// and the system error number, caught and shown by the front end.
#pragma once

#include <stdexcept>
#include <string>

namespace ostrevin {

enum class FileErrorKind {
  kNone,
  kUnspecified,
  kFileNotFound,
  kBadPath,
  kTooManyOpenFiles,
  kAccessDenied,
  kInvalidFile,
  kRemoveCurrentDir,
  kDirectoryFull,
  kBadSeek,
  kHardIO,
  kSharingViolation,
  kLockViolation,
  kDiskFull,
  kEndOfFile,
  // A write over a file in place failed, and so did putting its old bytes
  // back: the file may be damaged.
  kNotRestored,
};

// ENOENT -> file not found; EACCES, EPERM, EROFS -> access denied;
// ENOSPC, EDQUOT, EFBIG -> disk full; EIO -> hardware I/O; EMFILE, ENFILE ->
// too many open files; ENAMETOOLONG, ENOTDIR, ELOOP -> bad path; 0 -> none;
// anything else -> unspecified.
[[nodiscard]] FileErrorKind FileErrorKindFromErrno(int error_number);

class FileError : public std::runtime_error {
 public:
  // `path` is the file system's bytes.
  FileError(FileErrorKind kind, std::string path, int error_number);
  // Kind derived from the error number.
  FileError(std::string path, int error_number);
  // kNotRestored: the write failed with `error_number`, putting the old bytes
  // back with `restore_error_number`.
  [[nodiscard]] static FileError NotRestored(std::string path, int error_number,
                                             int restore_error_number);

  [[nodiscard]] FileErrorKind kind() const { return kind_; }
  [[nodiscard]] const std::string& path() const { return path_; }
  [[nodiscard]] int error_number() const { return error_number_; }
  // 0 unless kind() is kNotRestored.
  [[nodiscard]] int restore_error_number() const { return restore_error_number_; }

 private:
  FileError(FileErrorKind kind, std::string path, int error_number, int restore_error_number);

  FileErrorKind kind_;
  std::string path_;
  int error_number_;
  int restore_error_number_;
};

// The message a person sees for the error, with %1 replaced by the path (by
// "無題のﾌｧｲﾙ" when the path is empty). `display_path` is the path already made
// displayable by the caller (UTF-8).
[[nodiscard]] std::string FileErrorMessage(FileErrorKind kind, const std::string& display_path);

// Thrown when memory for a text cannot be obtained; shown as "ﾒﾓﾘが不足しています。".
inline constexpr const char* kOutOfMemoryMessage = "ﾒﾓﾘが不足しています。";

}  // namespace ostrevin
