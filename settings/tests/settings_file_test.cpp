// Tests for LoadSettingsFile / SaveSettingsFile: round trips, stale keys,
// missing entries and bad or huge Count values.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/testing/scratch_folder.h"
#include "settings/options_store.h"
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
  EXPECT_EQ(folder.Read("mine.ini").substr(folder.Read("mine.ini").find("[Files]")),
            "[Files]\nCount=3\nfile0=/b/\xE6\x96\x87.txt\nfile1=/a/2.txt\nfile2=\"/c/ spaced \"\n");
}

TEST(SettingsFile, ShorterListLeavesNoStaleKeys) {
  testing::ScratchFolder folder;
  const std::string path = (folder.path() / "mine.ini").string();
  ASSERT_EQ(SaveSettingsFile(path, SomeOptions(), {"a", "b", "c"}), 0);
  ASSERT_EQ(SaveSettingsFile(path, SomeOptions(), {"z"}), 0);
  const std::string saved = folder.Read("mine.ini");
  EXPECT_EQ(saved.find("file1"), std::string::npos);
  EXPECT_EQ(saved.find("file2"), std::string::npos);
  EXPECT_EQ(LoadSettingsFile(path).files, Files{"z"});
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

TEST(SettingsFile, EmptyListIsSavedAsCountZero) {
  testing::ScratchFolder folder;
  const std::string path = (folder.path() / "mine.ini").string();
  ASSERT_EQ(SaveSettingsFile(path, SomeOptions(), {}), 0);
  EXPECT_NE(folder.Read("mine.ini").find("[Files]\nCount=0\n"), std::string::npos);
  EXPECT_TRUE(LoadSettingsFile(path).files.empty());
}

// Hand-edited and damaged files.
struct CountCase {
  const char* name;
  std::string files_section;
  Files expected;
};

void PrintTo(const CountCase& c, std::ostream* os) { *os << c.name; }

class CountTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(CountTest, LoadsTheEntries) {
  testing::ScratchFolder folder;
  const std::string path =
      folder.Write("m.ini", "[Folder]\nOverWrite=1\n" + GetParam().files_section);
  const SettingsFileContents loaded = LoadSettingsFile(path);
  EXPECT_EQ(loaded.files, GetParam().expected);
  EXPECT_TRUE(loaded.options.OverWrite);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, CountTest,
    ::testing::Values(
        CountCase{"missing_last_key", "[Files]\nCount=3\nfile0=a\nfile1=b\n", {"a", "b", ""}},
        CountCase{"keys_out_of_order", "[Files]\nfile1=b\nCount=2\nFILE0=a\n", {"a", "b"}},
        CountCase{"negative", "[Files]\nCount=-1\nfile0=a\n", {}},
        CountCase{"not_a_number", "[Files]\nCount=many\nfile0=a\n", {}},
        CountCase{"leading_digits", "[Files]\nCount=1x\nfile0=a\nfile1=b\n", {"a"}},
        CountCase{"no_files_section", "", {}},
        // 6 lines in the file: a Count of two billion is taken as 6.
        CountCase{
            "huge", "[Files]\nCount=2000000000\nfile0=a\nfile5=f\n", {"a", "", "", "", "", "f"}},
        CountCase{"beyond_int", "[Files]\nCount=99999999999999999999\n", {"", "", "", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsFile, UnreadableFileGivesDefaultsAndNoList) {
  testing::ScratchFolder folder;
  const SettingsFileContents loaded = LoadSettingsFile(folder.path().string());
  EXPECT_TRUE(loaded.files.empty());
  EXPECT_FALSE(loaded.options.OverWrite);
  EXPECT_EQ(loaded.options.Destination, std::filesystem::current_path().string());
}

TEST(SettingsFile, OptionsOnlyFileLoadsOptionsAndAnEmptyList) {
  testing::ScratchFolder folder;
  const std::string path = (folder.path() / "app.ini").string();
  ASSERT_EQ(SaveOptionsFile(path, SomeOptions()), 0);
  const SettingsFileContents loaded = LoadSettingsFile(path);
  EXPECT_EQ(loaded.options, SomeOptions());
  EXPECT_TRUE(loaded.files.empty());
}

// Failures are reported, and leave the file as it was.
TEST(SettingsFile, PathWithLineBreakIsRefused) {
  testing::ScratchFolder folder;
  const std::string path = folder.Write("m.ini", "[Files]\nCount=0\n");
  EXPECT_EQ(SaveSettingsFile(path, SomeOptions(), {"ok", "bad\nfile1=/etc/passwd"}), EINVAL);
  EXPECT_EQ(folder.Read("m.ini"), "[Files]\nCount=0\n");
}

TEST(SettingsFile, UnwritableFolderIsReported) {
  testing::ScratchFolder folder;
  EXPECT_EQ(SaveSettingsFile((folder.path() / "no" / "m.ini").string(), SomeOptions(), {"a"}),
            ENOENT);
}

}  // namespace
}  // namespace ostrevin
