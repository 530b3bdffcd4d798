// The list order, and adding paths and folders to the file list through the
// real file system.
#include "conversion/file_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conversion/temporary_name.h"
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

// --- The walk stays inside the folder given ---------------------------------------
// A link met on the way is followed only to a target inside the walked folder;
// a link given itself is followed wherever it leads.
TEST(AddPathOrFolderTest, WalkFollowsOnlyLinksThatStayInside) {
  ScratchFolder dir;
  dir.Folder("top");
  dir.Folder("top/sub");
  dir.Folder("outside");
  dir.Write("top/a", "a");
  dir.Write("top/sub/b", "b");
  dir.Write("outside/private.txt", "p");
  dir.Folder("topx");  // its name starts with the walked folder's
  dir.Write("topx/near.txt", "n");
  const std::pair<const char*, const char*> links[] = {
      {"top/to-sub", "sub"},                         // a folder inside: walked once
      {"top/to-b", "sub/b"},                         // a file inside: listed
      {"top/loop", "."},                             // the walked folder itself: walked once
      {"top/up", ".."},                              // the parent: outside
      {"top/to-outside", "../outside"},              // a folder outside
      {"top/to-private", "../outside/private.txt"},  // a file outside
      {"top/sub/escape", "../../outside"},           // outside, from deeper down
      {"top/to-topx", "../topx"},                    // outside, though named alike
      {"top/dangling", "nowhere"},                   // a missing target
  };
  for (const auto& [link, target] : links) {
    ASSERT_EQ(symlink(target, (dir / link).c_str()), 0) << link;
  }

  std::vector<std::string> paths;
  EXPECT_EQ(AddPathOrFolder(dir / "top", paths), AddPathResult::kFolder);
  // "sub" and "to-sub" are one folder: whichever the walk meets first lists b.
  std::vector<std::string> names;
  for (const std::string& path : paths) names.push_back(path.substr(dir.path().string().size()));
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 3u) << ::testing::PrintToString(names);
  EXPECT_EQ(names[0], "/top/a");
  EXPECT_TRUE(names[1] == "/top/sub/b" || names[1] == "/top/to-sub/b") << names[1];
  EXPECT_EQ(names[2], "/top/to-b");

  // Given directly, a link is followed: to a folder outside and to a file.
  std::vector<std::string> given;
  EXPECT_EQ(AddPathOrFolder(dir / "top/to-outside", given), AddPathResult::kFolder);
  EXPECT_EQ(AddPathOrFolder(dir / "top/to-private", given), AddPathResult::kFile);
  EXPECT_EQ(given,
            (std::vector<std::string>{dir / "top/to-outside/private.txt", dir / "top/to-private"}));
}

// The destination folder inside the walked folder holds earlier outputs: it is
// left out (however it is reached), unless OverWrite writes beside the sources.
TEST(AddPathOrFolderTest, WalkLeavesOutTheDestinationFolder) {
  ScratchFolder dir;
  dir.Folder("src");
  dir.Folder("src/out");
  dir.Write("src/a", "a");
  dir.Write("src/out/a", "converted");
  ASSERT_EQ(symlink("out", (dir / "src/out-link").c_str()), 0);
  ConversionOptions options;
  options.Destination = dir / "src/out";
  std::vector<std::string> paths;
  EXPECT_EQ(AddPathOrFolder(dir / "src", paths, ExclusionsFor(options)), AddPathResult::kFolder);
  EXPECT_EQ(paths, (std::vector<std::string>{dir / "src/a"}));
  // With OverWrite the folder is walked (once: the link leads to it too).
  options.OverWrite = true;
  paths.clear();
  EXPECT_EQ(AddPathOrFolder(dir / "src", paths, ExclusionsFor(options)), AddPathResult::kFolder);
  EXPECT_EQ(paths.size(), 2u);
  EXPECT_EQ(std::count(paths.begin(), paths.end(), dir / "src/a"), 1);
  // Given as the folder to walk, the destination is walked.
  options.OverWrite = false;
  paths.clear();
  EXPECT_EQ(AddPathOrFolder(dir / "src/out", paths, ExclusionsFor(options)),
            AddPathResult::kFolder);
  EXPECT_EQ(paths, (std::vector<std::string>{dir / "src/out/a"}));
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

// --- Temporary files ----------------------------------------------------------------
TEST(TemporaryNameTest, EveryNameMadeIsRecognisedAndFitsTheNameLimit) {
  std::mt19937_64 random(1);
  for (const std::size_t length : {std::size_t{1}, std::size_t{100}, std::size_t{NAME_MAX}}) {
    const std::string output(length, 'n');
    const std::string temp = TemporaryName(output, random);
    EXPECT_TRUE(IsTemporaryName(temp)) << temp;
    EXPECT_LE(temp.size(), std::size_t{NAME_MAX}) << length;
    EXPECT_TRUE(temp.starts_with("." + output.substr(0, 20))) << temp;
  }
}

}  // namespace
}  // namespace ostrevin
