// Tests for LoadOptions / SaveOptions, the settings path beside the
// executable and the path-length rule.
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "core/testing/scratch_folder.h"
#include "settings/options_store.h"

namespace ostrevin {
namespace {

std::string Cwd() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

// Defaults, with Destination the current directory at the moment of each load.
TEST(LoadOptions, MissingFileGivesDefaultsWithTheCurrentDirectory) {
  testing::ScratchFolder folder;
  const std::string missing = (folder.path() / "none.ini").string();
  ConversionOptions defaults;
  defaults.Destination = Cwd();
  EXPECT_EQ(LoadOptionsFile(missing), defaults);
  const std::string before = Cwd();
  ASSERT_EQ(::chdir(folder.path().c_str()), 0);
  const ConversionOptions options = LoadOptionsFile(missing);
  ASSERT_EQ(::chdir(before.c_str()), 0);
  EXPECT_EQ(options.Destination, folder.path().string());
}

// A flag is on only when its stored integer is exactly 1.
TEST(LoadOptions, OnlyExactlyOneIsOn) {
  using R = std::pair<const char*, bool>;
  const std::vector<R> rows = {R{"1", true},  R{"1x", true},  R{" 1 ", true}, R{"0", false},
                               R{"2", false}, R{"-1", false}, R{"11", false}, R{"yes", false}};
  for (const auto& [stored, on] : rows) {
    testing::ScratchFolder folder;
    std::string file = "[Folder]\n";
    for (const char* key : {"OverWrite", "KanjiConvert", "DeleteHTMLTag", "UseTable", "NoOutput"})
      file += std::string(key) + "=" + stored + "\n";
    const ConversionOptions options = LoadOptionsFile(folder.Write("f.ini", file));
    SCOPED_TRACE(stored);
    EXPECT_EQ(options.OverWrite, on);
    EXPECT_EQ(options.KanjiConvert, on);
    EXPECT_EQ(options.DeleteHTMLTag, on);
    EXPECT_EQ(options.UseTable, on);
    EXPECT_EQ(options.NoOutput, on);
  }
}

TEST(LoadOptions, IntegersAreTakenAsStored) {
  testing::ScratchFolder folder;
  const ConversionOptions options = LoadOptionsFile(
      folder.Write("f.ini", "[Folder]\nKanjiCode=5\nRegExp=-1\nDestination=\nTablePath=t.tbl\n"));
  EXPECT_EQ(options.KanjiCode, 5);
  EXPECT_EQ(options.RegExp, -1);
  EXPECT_EQ(options.Destination, "");  // present but empty: not the default
  EXPECT_EQ(options.TablePath, "t.tbl");
}

// Saving.
TEST(SaveOptions, WritesTheNineKeysInTableOrder) {
  testing::ScratchFolder folder;
  ConversionOptions options;
  options.Destination = "/out dir";
  options.OverWrite = true;
  options.KanjiCode = 3;                  // UTF-8
  options.TablePath = "/t/\x95\x5C.tbl";  // 表
  options.RegExp = 1;
  options.NoOutput = true;
  const std::string path = (folder.path() / "new.ini").string();
  ASSERT_EQ(SaveOptionsFile(path, options), 0);
  EXPECT_EQ(folder.Read("new.ini"),
            "[Folder]\nDestination=/out dir\nOverWrite=1\nKanjiConvert=0\nDeleteHTMLTag=0\n"
            "KanjiCode=3\nUseTable=0\nTablePath=/t/\x95\x5C.tbl\nRegExp=1\nNoOutput=1\n");
  EXPECT_EQ(LoadOptionsFile(path), options);
}

TEST(SaveOptions, APathWithALineBreakIsRefusedAndNothingIsWritten) {
  testing::ScratchFolder folder;
  const std::string path = folder.Write("f.ini", "[Folder]\nOverWrite=1\n");
  ConversionOptions options;
  options.Destination = "/tmp\n[Folder]\nOverWrite=1";
  EXPECT_EQ(SaveOptionsFile(path, options), EINVAL);
  EXPECT_EQ(folder.Read("f.ini"), "[Folder]\nOverWrite=1\n");
}

// The settings file beside the executable: the name's extension becomes ".ini".
TEST(SettingsPathBeside, ReplacesTheNamesExtension) {
  const std::vector<std::pair<const char*, const char*>> rows = {
      {"/usr/bin/ostrevin", "/usr/bin/ostrevin.ini"},
      {"/opt/tools/conv.exe", "/opt/tools/conv.ini"},
      {"/home/a.b/ostrevin", "/home/a.b/ostrevin.ini"},
      {"/x/ostrevin.1.2", "/x/ostrevin.1.ini"},
      {"/x/.hidden", "/x/.hidden.ini"},
      {"prog", "prog.ini"}};
  for (const auto& [executable, settings] : rows)
    EXPECT_EQ(SettingsPathBeside(executable), settings) << executable;
}

// The path-length rule of both front ends.
TEST(PathLimit, FourThousandNinetyFiveBytesFit) {
  EXPECT_TRUE(FitsPathLimit(std::string(4095, 'a')));
  EXPECT_FALSE(FitsPathLimit(std::string(4096, 'a')));
  EXPECT_EQ(PathLimitMessage(), "4095 文字以内で入力してください。");
}

}  // namespace
}  // namespace ostrevin
