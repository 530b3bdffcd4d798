// Tests for ProfileStore: forgiving reads, writes that keep everything else,
// and the atomic save.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>

#include "core/testing/scratch_folder.h"
#include "settings/profile_store.h"

namespace ostrevin {
namespace {

namespace fs = std::filesystem;

class ProfileStoreTest : public ::testing::Test {
 protected:
  ProfileStore StoreWith(std::string_view content) {
    return ProfileStore(folder_.Write("settings.ini", content));
  }
  [[nodiscard]] std::string Saved() const { return folder_.Read("settings.ini"); }
  [[nodiscard]] std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::ScratchFolder folder_;
};

// Forgiving reads of text values.
struct ReadCase {
  const char* name;
  std::string file;
  std::string section;
  std::string key;
  std::string expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ReadTextTest : public ProfileStoreTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadTextTest, Reads) {
  const ReadCase& c = GetParam();
  EXPECT_EQ(StoreWith(c.file).ReadText(c.section, c.key, "<default>"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Forgiving, ReadTextTest,
    ::testing::Values(
        ReadCase{"plain", "[Folder]\nDestination=/tmp/out\n", "Folder", "Destination", "/tmp/out"},
        ReadCase{"case_insensitive", "[FOLDER]\ndestination=x\n", "Folder", "DESTINATION", "x"},
        ReadCase{"blanks_around_equals", "[Folder]\n  Key \t=  a b \t\n", "Folder", "Key", "a b"},
        ReadCase{"blanks_in_header", " [ Folder ] \nKey=v\n", "Folder", "Key", "v"},
        ReadCase{"crlf", "[Folder]\r\nKey=v\r\nOther=w\r\n", "Folder", "Key", "v"},
        ReadCase{"crlf_last_key", "[Folder]\r\nKey=v\r\n", "Folder", "Key", "v"},
        ReadCase{"first_duplicate_wins", "[Folder]\nKey=1\nKey=2\n", "Folder", "Key", "1"},
        ReadCase{"first_duplicate_section_wins", "[A]\nKey=1\n[a]\nKey=2\n", "A", "Key", "1"},
        ReadCase{"quotes_stripped", "[S]\nKey=\" padded \"\n", "S", "Key", " padded "},
        ReadCase{"empty_value", "[S]\nKey=\n", "S", "Key", ""},
        ReadCase{"value_with_equals", "[S]\nKey=a=b\n", "S", "Key", "a=b"},
        ReadCase{"missing_key", "[S]\nOther=1\n", "S", "Key", "<default>"},
        ReadCase{"missing_section", "[T]\nKey=1\n", "S", "Key", "<default>"},
        ReadCase{"key_in_other_section", "[S]\n[T]\nKey=1\n", "S", "Key", "<default>"},
        ReadCase{"key_before_any_section", "Key=1\n[S]\n", "S", "Key", "<default>"},
        ReadCase{"no_final_line_end", "[S]\nKey=last", "S", "Key", "last"},
        ReadCase{"comment_line", "[S]\n;Key=1\nKey=2\n", "S", "Key", "2"},
        // Shift-JIS 表 (95 5C) and UTF-8 bytes stay as they are.
        ReadCase{"bytes_kept", "[S]\nKey=\x95\x5C\xE8\xA1\xA8\n", "S", "Key",
                 "\x95\x5C\xE8\xA1\xA8"},
        ReadCase{"byte_order_mark", "\xEF\xBB\xBF[Folder]\nKey=v\n", "Folder", "Key", "v"},
        ReadCase{"empty_file", "", "S", "Key", "<default>"}),
    [](const auto& info) { return std::string(info.param.name); });

// Integers from their leading digits.
struct IntegerCase {
  const char* value;
  int expected;
};

class ReadIntegerTest : public ProfileStoreTest,
                        public ::testing::WithParamInterface<IntegerCase> {};

TEST_P(ReadIntegerTest, ReadsLeadingDigits) {
  const std::string file = std::string("[S]\nKey=") + GetParam().value + "\n";
  EXPECT_EQ(StoreWith(file).ReadInteger("S", "Key", -77), GetParam().expected)
      << "value " << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Integers, ReadIntegerTest,
                         ::testing::Values(IntegerCase{"1", 1}, IntegerCase{"1x", 1},
                                           IntegerCase{" 42 ", 42}, IntegerCase{"-2", -2},
                                           IntegerCase{"+3", 3}, IntegerCase{"007", 7},
                                           IntegerCase{"x1", -77}, IntegerCase{"", -77},
                                           IntegerCase{"-", -77}, IntegerCase{"-x", -77},
                                           IntegerCase{"99999999999999999999", INT_MAX},
                                           IntegerCase{"-99999999999999999999", INT_MIN}));

TEST_F(ProfileStoreTest, MissingOrNonRegularFilesAreEmptyStores) {
  EXPECT_EQ(ProfileStore((folder_.path() / "none.ini").string()).ReadText("S", "K", "d"), "d");
  EXPECT_EQ(ProfileStore(folder_.path().string()).ReadInteger("S", "K", 5), 5);
  const std::string fifo = (folder_.path() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ProfileStore(fifo).ReadText("S", "K", "d"), "d");  // and does not block
}

// Writes keep every other line as it was.
TEST_F(ProfileStoreTest, ReplacingAKeyKeepsEverythingElseByteForByte) {
  ProfileStore store =
      StoreWith("; comment\n[Other]\nx = 1 \n[folder]\nA=1\nKey = old\nB=2\n\n[Tail]\nz=9");
  ASSERT_TRUE(store.WriteText("Folder", "Key", "new"));
  ASSERT_EQ(store.Save(), 0);
  EXPECT_EQ(Saved(), "; comment\n[Other]\nx = 1 \n[folder]\nA=1\nKey=new\nB=2\n\n[Tail]\nz=9\n");
}

TEST_F(ProfileStoreTest, NewKeyGoesAfterTheSectionsLastLine) {
  ProfileStore store = StoreWith("[S]\nA=1\n\n\n[T]\nB=2\n");
  ASSERT_TRUE(store.WriteText("s", "New", "v"));
  ASSERT_TRUE(store.WriteText("S", "Newer", "w"));
  ASSERT_EQ(store.Save(), 0);
  EXPECT_EQ(Saved(), "[S]\nA=1\nNew=v\nNewer=w\n\n\n[T]\nB=2\n");
}

TEST_F(ProfileStoreTest, NewSectionIsAppendedAndCreatesTheFile) {
  const std::string path = (folder_.path() / "settings.ini").string();
  ProfileStore store(path);
  ASSERT_TRUE(store.WriteText("Folder", "Destination", "/d"));
  ASSERT_TRUE(store.WriteInteger("Folder", "OverWrite", 0));
  ASSERT_TRUE(store.WriteInteger("Files", "Count", -3));
  ASSERT_EQ(store.Save(), 0);
  EXPECT_EQ(Saved(), "[Folder]\nDestination=/d\nOverWrite=0\n[Files]\nCount=-3\n");
}

TEST_F(ProfileStoreTest, CrLfFileGetsCrLfLines) {
  ProfileStore store = StoreWith("[S]\r\nA=1\r\n");
  ASSERT_TRUE(store.WriteText("S", "A", "2"));
  ASSERT_TRUE(store.WriteText("S", "B", "3"));
  ASSERT_TRUE(store.WriteText("T", "C", "4"));
  ASSERT_EQ(store.Save(), 0);
  EXPECT_EQ(Saved(), "[S]\r\nA=2\r\nB=3\r\n[T]\r\nC=4\r\n");
}

TEST_F(ProfileStoreTest, DeleteSectionRemovesEveryCopyAndItsKeys) {
  ProfileStore store = StoreWith("[Files]\nfile0=a\n[Keep]\nk=1\n[FILES]\nfile1=b\n");
  store.DeleteSection("files");
  EXPECT_EQ(store.ReadText("Files", "file0", "gone"), "gone");
  EXPECT_EQ(store.ReadText("Files", "file1", "gone"), "gone");
  ASSERT_EQ(store.Save(), 0);
  EXPECT_EQ(Saved(), "[Keep]\nk=1\n");
}

TEST_F(ProfileStoreTest, ValuesReadBackExactlyAsWritten) {
  const std::string values[] = {" leading", "trailing\t", "\"quoted\"", "\"",  "a \"b\" c",
                                "\x95\x5C", "",           "=",          "[x]", ";x"};
  ProfileStore store = StoreWith("");
  for (std::size_t i = 0; i < std::size(values); ++i) {
    ASSERT_TRUE(store.WriteText("S", std::string("k").append(std::to_string(i)), values[i]));
  }
  ASSERT_EQ(store.Save(), 0);
  const ProfileStore reread(store.path());
  for (std::size_t i = 0; i < std::size(values); ++i) {
    EXPECT_EQ(reread.ReadText("S", std::string("k").append(std::to_string(i))), values[i]) << i;
  }
}

TEST_F(ProfileStoreTest, TextsThatWouldBreakTheFileAreRefused) {
  ProfileStore store = StoreWith("[S]\nA=1\n");
  EXPECT_FALSE(store.WriteText("S", "A", "x\n[S]\nA=evil"));
  EXPECT_FALSE(store.WriteText("S", "A", "x\ry"));
  EXPECT_FALSE(store.WriteText("S", "A", std::string("x\0y", 3)));
  EXPECT_FALSE(store.WriteText("S]", "A", "v"));
  EXPECT_FALSE(store.WriteText("S", "A=B", "v"));
  EXPECT_FALSE(store.WriteText("S", "", "v"));
  EXPECT_FALSE(store.WriteText("", "A", "v"));
  EXPECT_FALSE(store.WriteText("S", " A", "v"));
  EXPECT_EQ(store.ReadText("S", "A"), "1");
}

// The atomic save.
TEST_F(ProfileStoreTest, SaveLeavesNoTemporaryFile) {
  ProfileStore store = StoreWith("[S]\nA=1\n");
  ASSERT_TRUE(store.WriteText("S", "A", "2"));
  ASSERT_EQ(store.Save(), 0);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"settings.ini"});
}

TEST_F(ProfileStoreTest, SaveKeepsPermissionBits) {
  ProfileStore store = StoreWith("[S]\nA=1\n");
  ASSERT_EQ(::chmod(store.path().c_str(), 0640), 0);
  ASSERT_TRUE(store.WriteText("S", "A", "2"));
  ASSERT_EQ(store.Save(), 0);
  struct stat info {};
  ASSERT_EQ(::stat(store.path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(ProfileStoreTest, SaveFollowsASymbolicLink) {
  const std::string real = folder_.Write("real.ini", "[S]\nA=1\n");
  const fs::path link = folder_.path() / "link.ini";
  fs::create_symlink("real.ini", link);
  ProfileStore store(link.string());
  EXPECT_EQ(store.ReadText("S", "A"), "1");
  ASSERT_TRUE(store.WriteText("S", "A", "2"));
  ASSERT_EQ(store.Save(), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(folder_.Read("real.ini"), "[S]\nA=2\n");
}

TEST_F(ProfileStoreTest, FailedSaveReportsErrnoAndChangesNothing) {
  ProfileStore missing_folder((folder_.path() / "no" / "settings.ini").string());
  ASSERT_TRUE(missing_folder.WriteText("S", "A", "1"));
  EXPECT_EQ(missing_folder.Save(), ENOENT);

  fs::create_directory(folder_.path() / "dir.ini");
  ProfileStore onto_folder((folder_.path() / "dir.ini").string());
  ASSERT_TRUE(onto_folder.WriteText("S", "A", "1"));
  EXPECT_NE(onto_folder.Save(), 0);
  EXPECT_TRUE(fs::is_directory(folder_.path() / "dir.ini"));
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"dir.ini"});
}

TEST_F(ProfileStoreTest, LinesReadCountsTheLastLineWithoutLineEnd) {
  EXPECT_EQ(StoreWith("").LinesRead(), 0u);
  EXPECT_EQ(StoreWith("[S]\nA=1\n").LinesRead(), 2u);
  EXPECT_EQ(StoreWith("[S]\nA=1").LinesRead(), 2u);
}

}  // namespace
}  // namespace ostrevin
