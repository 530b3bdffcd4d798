#include "core/file_error.h"

#include <cerrno>
#include <cstring>

namespace ostrevin {

FileErrorKind FileErrorKindFromErrno(int error_number) {
  switch (error_number) {
    case 0:
      return FileErrorKind::kNone;
    case ENOENT:
      return FileErrorKind::kFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return FileErrorKind::kAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return FileErrorKind::kDiskFull;
    case EIO:
      return FileErrorKind::kHardIO;
    case EMFILE:
    case ENFILE:
      return FileErrorKind::kTooManyOpenFiles;
    case ENAMETOOLONG:
    case ENOTDIR:
    case ELOOP:
      return FileErrorKind::kBadPath;
    default:
      return FileErrorKind::kUnspecified;
  }
}

namespace {

std::string WhatOf(const std::string& path, int error_number, int restore_error_number) {
  std::string what = path + ": " + std::strerror(error_number);
  if (restore_error_number != 0)
    what += std::string("; restoring: ") + std::strerror(restore_error_number);
  return what;
}

const char* TemplateOf(FileErrorKind kind) {
  switch (kind) {
    case FileErrorKind::kNone:
      return "ｴﾗｰはありませんでした。";
    case FileErrorKind::kUnspecified:
      return "%1 へのｱｸｾｽ中に不明なｴﾗｰが発生しました。";
    case FileErrorKind::kFileNotFound:
      return "%1 が見つかりませんでした。";
    case FileErrorKind::kBadPath:
      return "%1 には無効なﾊﾟｽが含まれています。";
    case FileErrorKind::kTooManyOpenFiles:
      return "開いているﾌｧｲﾙが多すぎるため、%1 を開けませんでした。";
    case FileErrorKind::kAccessDenied:
      return "%1 へのｱｸｾｽは拒否されました。";
    case FileErrorKind::kInvalidFile:
      return "%1 へ無効なﾌｧｲﾙ ﾊﾝﾄﾞﾙが関連付けられていました。";
    case FileErrorKind::kRemoveCurrentDir:
      return "現在のﾃﾞｨﾚｸﾄﾘ %1 は削除できませんでした。";
    case FileErrorKind::kDirectoryFull:
      return "%1 を作成できませんでした。そのﾃﾞｨﾚｸﾄﾘはいっぱいです。";
    case FileErrorKind::kBadSeek:
      return "%1 のｼｰｸに失敗しました。";
    case FileErrorKind::kHardIO:
      return "%1 へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。";
    case FileErrorKind::kSharingViolation:
      return "%1 へのｱｸｾｽ中に共有違反が発生しました。";
    case FileErrorKind::kLockViolation:
      return "%1 へのｱｸｾｽ中にﾛｯｸ違反が発生しました。";
    case FileErrorKind::kDiskFull:
      return "%1 へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。";
    case FileErrorKind::kEndOfFile:
      return "%1 の末尾以降にｱｸｾｽしようとしました。";
    case FileErrorKind::kNotRestored:
      return "%1 "
             "への書き込みに失敗し、元の内容にも戻せませんでした。ﾌｧｲﾙが壊れている可能性があります"
             "。";
  }
  return "%1 へのｱｸｾｽ中に不明なｴﾗｰが発生しました。";
}

}  // namespace

FileError::FileError(FileErrorKind kind, std::string path, int error_number,
                     int restore_error_number)
    : std::runtime_error(WhatOf(path, error_number, restore_error_number)),
      kind_(kind),
      path_(std::move(path)),
      error_number_(error_number),
      restore_error_number_(restore_error_number) {}

FileError::FileError(FileErrorKind kind, std::string path, int error_number)
    : FileError(kind, std::move(path), error_number, 0) {}

FileError::FileError(std::string path, int error_number)
    : FileError(FileErrorKindFromErrno(error_number), std::move(path), error_number) {}

FileError FileError::NotRestored(std::string path, int error_number, int restore_error_number) {
  return FileError(FileErrorKind::kNotRestored, std::move(path), error_number,
                   restore_error_number);
}

std::string FileErrorMessage(FileErrorKind kind, const std::string& display_path) {
  std::string text = TemplateOf(kind);
  const std::string name = display_path.empty() ? "無題のﾌｧｲﾙ" : display_path;
  if (auto at = text.find("%1"); at != std::string::npos) text.replace(at, 2, name);
  return text;
}

}  // namespace ostrevin
