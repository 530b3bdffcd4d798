// Tests for ProfileStore: forgiving reads, writes that keep everything else,
// and the atomic save.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "core/testing/scratch_folder.h"
#include "settings/profile_store.h"

namespace ostrevin {
namespace {

namespace fs = std::filesystem;

class ProfileStoreTest : public testing::ScratchTest {
 protected:
  ProfileStore StoreWith(std::string_view content) {
    return ProfileStore(dir.Write("settings.ini", content));
  }
  [[nodiscard]] std::string Saved() const { return dir.Read("settings.ini"); }
};

// Forgiving reads of text values.
TEST_F(ProfileStoreTest, ReadTextIsForgiving) {
  struct Row {
    const char* note;
    std::string file, section, key, expected;
  };
  const std::vector<Row> rows = {
      {"plain", "[Folder]\nDestination=/tmp/out\n", "Folder", "Destination", "/tmp/out"},
      {"case-insensitive", "[FOLDER]\ndestination=x\n", "Folder", "DESTINATION", "x"},
      {"blanks around =", "[Folder]\n  Key \t=  a b \t\n", "Folder", "Key", "a b"},
      {"blanks in header", " [ Folder ] \nKey=v\n", "Folder", "Key", "v"},
      {"crlf", "[Folder]\r\nKey=v\r\nOther=w\r\n", "Folder", "Key", "v"},
      {"crlf last key", "[Folder]\r\nKey=v\r\n", "Folder", "Key", "v"},
      {"lone cr", "[Folder]\rKey=v\rOther=w\r", "Folder", "Key", "v"},
      {"mixed ends", "[A]\rx=1\n[Folder]\r\nKey=v", "Folder", "Key", "v"},
      {"first duplicate wins", "[Folder]\nKey=1\nKey=2\n", "Folder", "Key", "1"},
      {"first section wins", "[A]\nKey=1\n[a]\nKey=2\n", "A", "Key", "1"},
      {"quotes stripped", "[S]\nKey=\" padded \"\n", "S", "Key", " padded "},
      {"empty value", "[S]\nKey=\n", "S", "Key", ""},
      {"value with =", "[S]\nKey=a=b\n", "S", "Key", "a=b"},
      {"missing key", "[S]\nOther=1\n", "S", "Key", "<default>"},
      {"missing section", "[T]\nKey=1\n", "S", "Key", "<default>"},
      {"key in other section", "[S]\n[T]\nKey=1\n", "S", "Key", "<default>"},
      {"key before any section", "Key=1\n[S]\n", "S", "Key", "<default>"},
      {"no final line end", "[S]\nKey=last", "S", "Key", "last"},
      {"comment line", "[S]\n;Key=1\nKey=2\n", "S", "Key", "2"},
      {"bytes kept", "[S]\nKey=\x95\x5C\xE8\xA1\xA8\n", "S", "Key", "\x95\x5C\xE8\xA1\xA8"},
      {"byte order mark", "\xEF\xBB\xBF[Folder]\nKey=v\n", "Folder", "Key", "v"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(StoreWith(r.file).ReadText(r.section, r.key, "<default>"), r.expected) << r.note;
}

// Integers from their leading sign and digits, clamped to int.
TEST_F(ProfileStoreTest, ReadIntegerTakesLeadingDigits) {
  const auto read = [this](const std::string& value) {
    return StoreWith("[S]\nKey=" + value + "\n").ReadInteger("S", "Key", -77);
  };
  using R = std::pair<const char*, int>;
  for (const auto& [value, expected] :
       {R{"1", 1}, R{"1x", 1}, R{" 42 ", 42}, R{"-2", -2}, R{"+3", 3}, R{"007", 7}, R{"x1", -77},
        R{"", -77}, R{"-", -77}, R{"-x", -77}})
    EXPECT_EQ(read(value), expected) << "value " << value;
  EXPECT_EQ(read("99999999999999999999"), INT_MAX);
  EXPECT_EQ(read("-99999999999999999999"), INT_MIN);
}

// (Missing and non-regular files are in settings_file_test.cpp.)
TEST_F(ProfileStoreTest, HasSectionTrimsAndFoldsTheName) {
  const ProfileStore read = StoreWith("[S]\nK=v\n");
  EXPECT_EQ(read.ReadError(), 0);
  EXPECT_TRUE(read.HasSection(" s "));
  EXPECT_FALSE(read.HasSection("K"));
}

TEST_F(ProfileStoreTest, LinesReadCountsTheLastLineWithoutLineEnd) {
  EXPECT_EQ(StoreWith("").LinesRead(), 0u);
  EXPECT_EQ(StoreWith("[S]\nA=1\n").LinesRead(), 2u);
  EXPECT_EQ(StoreWith("[S]\nA=1").LinesRead(), 2u);
}

// Writes keep every other line as it was.
TEST_F(ProfileStoreTest, WritesKeepEverythingElseByteForByte) {
  ProfileStore store =
      StoreWith("; comment\n[Other]\nx = 1 \n[folder]\nA=1\nKey = old\nB=2\n\n\n[Tail]\nz=9");
  ASSERT_TRUE(store.WriteText("Folder", "Key", "new"));
  // A new key goes after the section's last line, before its blank lines.
  ASSERT_TRUE(store.WriteText("folder", "New", "v"));
  ASSERT_TRUE(store.WriteText("FOLDER", "Newer", "w"));
  ASSERT_EQ(store.Save(), 0);
  EXPECT_EQ(Saved(),
            "; comment\n[Other]\nx = 1 \n[folder]\nA=1\nKey=new\nB=2\nNew=v\nNewer=w\n\n\n"
            "[Tail]\nz=9\n");
}

// New lines take the file's first line end; the other lines keep theirs.
TEST_F(ProfileStoreTest, NewLinesGetTheFilesLineEnd) {
  for (const std::string e : {"\r\n", "\r"}) {
    ProfileStore store = StoreWith("[S]" + e + "A=1" + e + "[U]\nx=1");
    ASSERT_TRUE(store.WriteText("S", "A", "2"));
    ASSERT_TRUE(store.WriteText("S", "B", "3"));
    ASSERT_TRUE(store.WriteText("T", "C", "4"));
    ASSERT_EQ(store.Save(), 0);
    EXPECT_EQ(Saved(), "[S]" + e + "A=2" + e + "B=3" + e + "[U]\nx=1" + e + "[T]" + e + "C=4" + e);
  }
}

TEST_F(ProfileStoreTest, DeleteSectionRemovesEveryCopyAndItsKeys) {
  ProfileStore store = StoreWith("[Files]\nfile0=a\n[Keep]\nk=1\n[FILES]\nfile1=b\n");
  store.DeleteSection("files");
  EXPECT_EQ(store.ReadText("Files", "file1", "gone"), "gone");
  ASSERT_EQ(store.Save(), 0);
  EXPECT_EQ(Saved(), "[Keep]\nk=1\n");
}

TEST_F(ProfileStoreTest, ValuesReadBackExactlyAsWritten) {
  const std::vector<std::string> values = {
      " leading", "trailing\t", "\"quoted\"", "\"", "a \"b\" c", "\x95\x5C", "", "=", "[x]", ";x"};
  ProfileStore store = StoreWith("");
  for (std::size_t i = 0; i < values.size(); ++i)
    ASSERT_TRUE(store.WriteText("S", std::string("k").append(std::to_string(i)), values[i]));
  ASSERT_EQ(store.Save(), 0);
  const ProfileStore reread(store.path());
  for (std::size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(reread.ReadText("S", std::string("k").append(std::to_string(i))), values[i]) << i;
}

TEST_F(ProfileStoreTest, TextsThatWouldBreakTheFileAreRefused) {
  ProfileStore store = StoreWith("[S]\nA=1\n");
  using W = std::vector<std::string>;
  const std::vector<W> refused = {W{"S", "A", "x\n[S]\nA=evil"},
                                  W{"S", "A", "x\ry"},
                                  W{"S", "A", std::string("x\0y", 3)},
                                  W{"S]", "A", "v"},
                                  W{"S", "A=B", "v"},
                                  W{"S", "", "v"},
                                  W{"", "A", "v"},
                                  W{"S", " A", "v"}};
  for (const auto& w : refused) EXPECT_FALSE(store.WriteText(w[0], w[1], w[2])) << w[1] << w[2];
  EXPECT_EQ(store.ReadText("S", "A"), "1");
}

// The atomic save.
TEST_F(ProfileStoreTest, SaveKeepsPermissionBitsAndLeavesNoTemporaryFile) {
  ProfileStore store = StoreWith("[S]\nA=1\n");
  ASSERT_EQ(::chmod(store.path().c_str(), 0640), 0);
  ASSERT_TRUE(store.WriteText("S", "A", "2"));
  ASSERT_EQ(store.Save(), 0);
  struct stat info {};
  ASSERT_EQ(::stat(store.path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(Names(), std::vector<std::string>{"settings.ini"});
}

TEST_F(ProfileStoreTest, SaveFollowsASymbolicLink) {
  dir.Write("real.ini", "[S]\nA=1\n");
  const fs::path link = dir.path() / "link.ini";
  fs::create_symlink("real.ini", link);
  ProfileStore store(link.string());
  EXPECT_EQ(store.ReadText("S", "A"), "1");
  ASSERT_TRUE(store.WriteText("S", "A", "2"));
  ASSERT_EQ(store.Save(), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(dir.Read("real.ini"), "[S]\nA=2\n");
}

TEST_F(ProfileStoreTest, FailedSaveReportsErrnoAndChangesNothing) {
  ProfileStore missing_folder((dir.path() / "no" / "settings.ini").string());
  ASSERT_TRUE(missing_folder.WriteText("S", "A", "1"));
  EXPECT_EQ(missing_folder.Save(), ENOENT);

  fs::create_directory(dir.path() / "dir.ini");
  ProfileStore onto_folder((dir.path() / "dir.ini").string());
  ASSERT_TRUE(onto_folder.WriteText("S", "A", "1"));
  EXPECT_NE(onto_folder.Save(), 0);
  EXPECT_TRUE(fs::is_directory(dir.path() / "dir.ini"));
  EXPECT_EQ(Names(), std::vector<std::string>{"dir.ini"});
}

}  // namespace
}  // namespace ostrevin
