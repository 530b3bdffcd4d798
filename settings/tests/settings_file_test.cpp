// Tests for LoadSettingsFile / SaveSettingsFile: round trips, stale keys,
// missing entries and bad or huge Count values.
#include <gtest/gtest.h>

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

TEST(SettingsFile, UnreadableFileGivesDefaultsAndNoList) {
  testing::ScratchFolder folder;
  const SettingsFileContents loaded = LoadSettingsFile(folder.path().string());
  EXPECT_TRUE(loaded.files.empty());
  EXPECT_FALSE(loaded.options.OverWrite);
  EXPECT_EQ(loaded.options.Destination, std::filesystem::current_path().string());
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
