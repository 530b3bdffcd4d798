// The list order, and adding paths and folders to the file list through the
// real file system.
#include "conversion/file_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/testing/scratch_folder.h"

namespace ostrevin {
namespace {

using testing::ScratchFolder;

// --- Order ---------------------------------------------------------------------
TEST(FileListOrderTest, AsciiLettersWithoutCaseOtherBytesByValue) {
  std::vector<std::string> paths = {
      "b.txt", "B.txt", "a.txt", "A.TXT", "_x", "[x", "ab", "Ab", "a", "\xe3\x81\x82",  // あ
      "Z",     "1",
  };
  SortFileList(paths);
  const std::vector<std::string> expected = {
      "1",
      "[x",     // 0x5B: other bytes by value, letters as lower case (0x61-0x7A)
      "_x",     // 0x5F
      "a",      // a prefix comes before the longer text
      "A.TXT",  // equal to a.txt without case: the raw bytes decide, upper case first
      "a.txt",
      "Ab",
      "ab",
      "B.txt",
      "b.txt",
      "Z",  // as 'z', 0x7A
      "\xe3\x81\x82",
  };
  EXPECT_EQ(paths, expected);
}

TEST(FileListOrderTest, IsAStrictWeakOrderOnTies) {
  EXPECT_FALSE(FileListLess("abc", "abc"));
  EXPECT_TRUE(FileListLess("ABC", "abc"));
  EXPECT_FALSE(FileListLess("abc", "ABC"));
  EXPECT_TRUE(FileListLess("ab", "abc"));
  EXPECT_TRUE(FileListLess("a\x01", "a\xff"));  // unsigned byte values
}

TEST(FileListOrderTest, InsertSortedKeepsOrderAndDuplicates) {
  std::vector<std::string> paths;
  for (const char* p : {"c", "A", "b", "a", "c"}) InsertSorted(paths, p);
  EXPECT_EQ(paths, (std::vector<std::string>{"A", "a", "b", "c", "c"}));
}

// --- Adding paths ----------------------------------------------------------------
std::vector<std::string> Sorted(std::vector<std::string> paths) {
  std::sort(paths.begin(), paths.end());
  return paths;
}

TEST(AddPathOrFolderTest, FileFolderAndMissing) {
  ScratchFolder dir;
  dir.Write("one.txt", "1");
  dir.Folder("sub");
  dir.Folder("sub/deeper");
  dir.Write("sub/.hidden", "h");
  dir.Write("sub/noext", "n");
  dir.Write("sub/deeper/x.htm", "x");
  ASSERT_EQ(mkfifo((dir / "sub/fifo").c_str(), 0600), 0);

  std::vector<std::string> paths;
  EXPECT_EQ(AddPathOrFolder(dir / "one.txt", paths), AddPathResult::kFile);
  EXPECT_EQ(AddPathOrFolder(dir / "missing", paths), AddPathResult::kMissing);
  EXPECT_EQ(AddPathOrFolder(dir / "sub", paths), AddPathResult::kFolder);
  // The same file twice is listed twice.
  EXPECT_EQ(AddPathOrFolder(dir / "one.txt", paths), AddPathResult::kFile);
  EXPECT_EQ(Sorted(paths), Sorted({dir / "one.txt", dir / "one.txt", dir / "sub/.hidden",
                                   dir / "sub/noext", dir / "sub/deeper/x.htm", dir / "sub/fifo"}));
  // A trailing "/" gives no second separator.
  std::vector<std::string> deeper;
  EXPECT_EQ(AddPathOrFolder(dir / "sub/deeper/", deeper), AddPathResult::kFolder);
  EXPECT_EQ(deeper, (std::vector<std::string>{dir / "sub/deeper/x.htm"}));
}

TEST(AddPathOrFolderTest, FollowsFolderLinksWithoutLooping) {
  ScratchFolder dir;
  dir.Folder("top");
  dir.Folder("other");
  dir.Write("top/a", "a");
  dir.Write("other/b", "b");
  ASSERT_EQ(symlink("..", (dir / "top/loop").c_str()), 0);  // back to dir: a cycle
  ASSERT_EQ(symlink((dir / "other").c_str(), (dir / "top/link").c_str()), 0);
  ASSERT_EQ(symlink((dir / "nowhere").c_str(), (dir / "top/dangling").c_str()), 0);

  std::vector<std::string> paths;
  EXPECT_EQ(AddPathOrFolder(dir / "top", paths), AddPathResult::kFolder);
  // "loop" leads to dir, which holds top again (already walked) and other.
  // Whichever of "loop/other" and "link" is reached first walks other; the
  // second is skipped, so b appears exactly once.
  const auto b_count = std::count_if(paths.begin(), paths.end(), [](const std::string& p) {
    return p.size() >= 2 && p.ends_with("/b");
  });
  EXPECT_EQ(b_count, 1);
  EXPECT_EQ(std::count(paths.begin(), paths.end(), dir / "top/a"), 1);
  EXPECT_EQ(std::count(paths.begin(), paths.end(), dir / "top/dangling"), 1);
}

TEST(AddPathOrFolderTest, DanglingLinkIsAFileUnreadableFolderAddsNothing) {
  ScratchFolder dir;
  ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
  std::vector<std::string> paths;
  EXPECT_EQ(AddPathOrFolder(dir / "dangling", paths), AddPathResult::kFile);
  if (geteuid() != 0) {  // root reads any folder
    dir.Folder("closed", 0000);
    EXPECT_EQ(AddPathOrFolder(dir / "closed", paths), AddPathResult::kFolder);
  }
  EXPECT_EQ(paths, (std::vector<std::string>{dir / "dangling"}));
}

}  // namespace
}  // namespace ostrevin
