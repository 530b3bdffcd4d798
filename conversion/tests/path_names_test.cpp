// JoinPath and FileNameOf with "/" as the only separator.
#include "conversion/path_names.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace ostrevin {
namespace {

TEST(JoinPathTest, AddsOneSeparatorUnlessPresent) {
  struct Case {
    std::string folder, name, expected;
  };
  const std::vector<Case> cases = {
      {"/out", "page.htm", "/out/page.htm"},
      {"/out/", "page.htm", "/out/page.htm"},
      {"/", "page.htm", "/page.htm"},
      {"out", "a", "out/a"},
      {"", "page.htm", "page.htm"},  // empty: the current folder, never "/"
      {"/データ", "ファイル.txt", "/データ/ファイル.txt"},
      {"/a\\", "b", "/a\\/b"},  // a backslash is an ordinary byte here
  };
  for (const auto& c : cases) EXPECT_EQ(JoinPath(c.folder, c.name), c.expected) << c.folder;
}

TEST(FileNameOfTest, TakesEverythingAfterTheLastSlash) {
  struct Case {
    std::string path, expected;
  };
  const std::vector<Case> cases = {
      {"/in/page.htm", "page.htm"},
      {"page.htm", "page.htm"},  // no folder part: the whole text
      {"in/sub/x.tar.gz", "x.tar.gz"},
      {"/in/dir/", ""},
      {"C:page.htm", "C:page.htm"},  // no drive prefix on this system
      {"a\\b", "a\\b"},
      {"/in/表.txt", "表.txt"},
      {"/in/\xff\xfe", "\xff\xfe"},  // any bytes
  };
  for (const auto& c : cases) EXPECT_EQ(FileNameOf(c.path), c.expected) << c.path;
}

}  // namespace
}  // namespace ostrevin
