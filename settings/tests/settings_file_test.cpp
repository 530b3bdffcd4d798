// Tests for LoadSettingsFile / SaveSettingsFile: round trips, stale keys,
// missing entries, bad or huge Count values, and files that are refused.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "core/testing/scratch_folder.h"
#include "settings/settings_file.h"

namespace ostrevin {
namespace {

using Files = std::vector<std::string>;

ConversionOptions SomeOptions() {
  ConversionOptions options;
  options.Destination = "/dest";
  options.KanjiConvert = true;
  options.KanjiCode = 1;
  options.DeleteHTMLTag = true;
  options.UseTable = true;
  options.TablePath = "/t.tbl";
  return options;
}

// Round trips.
TEST(SettingsFile, SavedListAndOptionsLoadBackInOrder) {
  testing::ScratchFolder folder;
  const std::string path = (folder.path() / "mine.ini").string();
  const Files files = {"/b/\xE6\x96\x87.txt", "/a/2.txt", "/c/ spaced "};  // 文.txt
  ASSERT_EQ(SaveSettingsFile(path, SomeOptions(), files), 0);
  const SettingsFileContents loaded = LoadSettingsFile(path);
  EXPECT_EQ(loaded.options, SomeOptions());
  EXPECT_EQ(loaded.files, files);
  const std::string saved = folder.Read("mine.ini");
  EXPECT_EQ(saved.substr(saved.find("[Files]")),
            "[Files]\nCount=3\nfile0=/b/\xE6\x96\x87.txt\nfile1=/a/2.txt\nfile2=\"/c/ spaced \"\n");
}

TEST(SettingsFile, ShorterListLeavesNoStaleKeys) {
  testing::ScratchFolder folder;
  const std::string path = (folder.path() / "mine.ini").string();
  ASSERT_EQ(SaveSettingsFile(path, SomeOptions(), {"a", "b", "c"}), 0);
  ASSERT_EQ(SaveSettingsFile(path, SomeOptions(), {"z"}), 0);
  EXPECT_EQ(folder.Read("mine.ini").find("file1"), std::string::npos);
  EXPECT_EQ(LoadSettingsFile(path).files, Files{"z"});
  ASSERT_EQ(SaveSettingsFile(path, SomeOptions(), {}), 0);
  const std::string saved = folder.Read("mine.ini");
  EXPECT_NE(saved.find("[Files]\nCount=0\n"), std::string::npos);
  EXPECT_EQ(saved.find("file0"), std::string::npos);
}

TEST(SettingsFile, KeepsForeignSectionsAndKeys) {
  testing::ScratchFolder folder;
  const std::string path = folder.Write(
      "mine.ini", "[Mine]\nkeep=1\n[Folder]\nExtra=e\n[Files]\nCount=0\n[Last]\nk=v\n");
  ASSERT_EQ(SaveSettingsFile(path, SomeOptions(), {"x"}), 0);
  const std::string saved = folder.Read("mine.ini");
  EXPECT_EQ(saved.rfind("[Mine]\nkeep=1\n[Folder]\nExtra=e\n", 0), 0u);
  EXPECT_NE(saved.find("[Last]\nk=v\n"), std::string::npos);
  EXPECT_EQ(LoadSettingsFile(path).files, Files{"x"});
}

// Hand-edited and damaged files; the options load whatever the list holds.
TEST(SettingsFile, CountRules) {
  struct Row {
    const char* note;
    std::string files_section;
    Files expected;
  };
  const std::vector<Row> rows = {
      {"missing last key", "[Files]\nCount=3\nfile0=a\nfile1=b\n", {"a", "b", ""}},
      {"keys out of order", "[Files]\nfile1=b\nCount=2\nFILE0=a\n", {"a", "b"}},
      {"negative", "[Files]\nCount=-1\nfile0=a\n", {}},
      {"not a number", "[Files]\nCount=many\nfile0=a\n", {}},
      {"leading digits", "[Files]\nCount=1x\nfile0=a\nfile1=b\n", {"a"}},
      {"no files section", "", {}},
      // 6 lines in the file: a Count of two billion is taken as 6.
      {"huge", "[Files]\nCount=2000000000\nfile0=a\nfile5=f\n", {"a", "", "", "", "", "f"}},
      {"beyond int", "[Files]\nCount=99999999999999999999\n", {"", "", "", ""}}};
  for (const Row& r : rows) {
    testing::ScratchFolder folder;
    const SettingsFileContents loaded =
        LoadSettingsFile(folder.Write("m.ini", "[Folder]\nOverWrite=1\n" + r.files_section));
    EXPECT_EQ(loaded.files, r.expected) << r.note;
    EXPECT_TRUE(loaded.options.OverWrite) << r.note;
  }
}

// A settings file named on purpose is read or refused, never taken for the
// defaults (whose destination, the current folder, would rewrite sources).
TEST(SettingsFile, UnreadableOrHeaderlessFileIsRefused) {
  testing::ScratchFolder folder;
  const std::string fifo = (folder.path() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string secret = folder.Write("secret.ini", "[Folder]\nDestination=out\n");
  ASSERT_EQ(::chmod(secret.c_str(), 0), 0);
  struct Row {
    std::string path;
    int error_number;
  };
  std::vector<Row> rows = {
      {(folder.path() / "missing.ini").string(), ENOENT},
      {folder.path().string(), EISDIR},
      {fifo, EINVAL},  // and the open does not wait for a writer
      {folder.Write("empty.ini", ""), EINVAL},
      {folder.Write("headerless.ini", "Destination=out\nOverWrite=1\n"), EINVAL},
      {folder.Write("other.ini", "[Other]\nDestination=out\n"), EINVAL},
  };
  if (::geteuid() != 0) rows.push_back({secret, EACCES});  // root reads every file
  for (const Row& r : rows) {
    const SettingsFileContents loaded = LoadSettingsFile(r.path);
    EXPECT_EQ(loaded.error_number, r.error_number) << r.path;
    EXPECT_TRUE(loaded.files.empty()) << r.path;
    EXPECT_FALSE(loaded.options.OverWrite) << r.path;
  }
  EXPECT_EQ(SettingsUnreadableMessage("a.ini", ENOENT),
            "設定ファイル a.ini を読み込めません。(Error:" + std::to_string(ENOENT) + ")");
}

// A file of 20,000 sections with as many entries loads whole (each section
// is found without a search).
TEST(SettingsFile, ManySections) {
  testing::ScratchFolder folder;
  constexpr int kMany = 20000;
  std::string text;
  Files expected;
  for (int i = 0; i < kMany; ++i) text += "[s" + std::to_string(i) + "]\nk=v\n";
  text += "[Files]\nCount=" + std::to_string(kMany) + "\n";
  for (int i = 0; i < kMany; ++i) {
    expected.push_back("/f" + std::to_string(i));
    text += "file" + std::to_string(i) + "=" + expected.back() + "\n";
  }
  text += "[Folder]\nNoOutput=1\n";
  const SettingsFileContents loaded = LoadSettingsFile(folder.Write("many.ini", text));
  EXPECT_TRUE(loaded.options.NoOutput);
  EXPECT_EQ(loaded.files, expected);
}

// Failures are reported, and leave the file as it was.
TEST(SettingsFile, FailuresAreReportedAndLeaveTheFile) {
  testing::ScratchFolder folder;
  const std::string path = folder.Write("m.ini", "[Files]\nCount=0\n");
  EXPECT_EQ(SaveSettingsFile(path, SomeOptions(), {"ok", "bad\nfile1=/etc/passwd"}), EINVAL);
  EXPECT_EQ(folder.Read("m.ini"), "[Files]\nCount=0\n");
  EXPECT_EQ(SaveSettingsFile((folder.path() / "no" / "m.ini").string(), SomeOptions(), {"a"}),
            ENOENT);
}

}  // namespace
}  // namespace ostrevin
