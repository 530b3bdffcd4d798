// Tests for LoadOptions / SaveOptions, the settings path beside the
// executable and the path-length rule.
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "core/testing/scratch_folder.h"
#include "settings/options_store.h"

namespace ostrevin {
namespace {

std::string Cwd() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

ConversionOptions Defaults() {
  ConversionOptions options;
  options.Destination = Cwd();
  return options;
}

// Defaults and the flag rule.
TEST(LoadOptions, MissingFileGivesDefaultsWithTheCurrentDirectory) {
  testing::ScratchFolder folder;
  EXPECT_EQ(LoadOptionsFile((folder.path() / "none.ini").string()), Defaults());
}

TEST(LoadOptions, DestinationDefaultIsTakenAtEachLoad) {
  testing::ScratchFolder folder;
  const std::string path = folder.Write("a.ini", "[Folder]\nOverWrite=1\n");
  const std::string before = Cwd();
  ASSERT_EQ(::chdir(folder.path().c_str()), 0);
  const ConversionOptions options = LoadOptionsFile(path);
  ASSERT_EQ(::chdir(before.c_str()), 0);
  EXPECT_EQ(options.Destination, folder.path().string());
  EXPECT_TRUE(options.OverWrite);
}

struct FlagCase {
  const char* stored;
  bool on;
};

class FlagRule : public ::testing::TestWithParam<FlagCase> {};

TEST_P(FlagRule, OnlyExactlyOneIsOn) {
  testing::ScratchFolder folder;
  std::string file = "[Folder]\n";
  for (const char* key : {"OverWrite", "KanjiConvert", "DeleteHTMLTag", "UseTable", "NoOutput"}) {
    file += std::string(key) + "=" + GetParam().stored + "\n";
  }
  const ConversionOptions options = LoadOptionsFile(folder.Write("f.ini", file));
  EXPECT_EQ(options.OverWrite, GetParam().on);
  EXPECT_EQ(options.KanjiConvert, GetParam().on);
  EXPECT_EQ(options.DeleteHTMLTag, GetParam().on);
  EXPECT_EQ(options.UseTable, GetParam().on);
  EXPECT_EQ(options.NoOutput, GetParam().on);
}

INSTANTIATE_TEST_SUITE_P(Flags, FlagRule,
                         ::testing::Values(FlagCase{"1", true}, FlagCase{"1x", true},
                                           FlagCase{" 1 ", true}, FlagCase{"0", false},
                                           FlagCase{"2", false}, FlagCase{"-1", false},
                                           FlagCase{"11", false}, FlagCase{"yes", false}));

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
  options.KanjiCode = 2;
  options.TablePath = "/t/\x95\x5C.tbl";  // 表
  options.RegExp = 1;
  options.NoOutput = true;
  const std::string path = (folder.path() / "new.ini").string();
  ASSERT_EQ(SaveOptionsFile(path, options), 0);
  EXPECT_EQ(folder.Read("new.ini"),
            "[Folder]\nDestination=/out dir\nOverWrite=1\nKanjiConvert=0\nDeleteHTMLTag=0\n"
            "KanjiCode=2\nUseTable=0\nTablePath=/t/\x95\x5C.tbl\nRegExp=1\nNoOutput=1\n");
  EXPECT_EQ(LoadOptionsFile(path), options);
}

TEST(SaveOptions, AStoredTwoIsWrittenBackAsZero) {
  testing::ScratchFolder folder;
  const std::string path = folder.Write("f.ini", "[Folder]\nOverWrite=2\n");
  ASSERT_EQ(SaveOptionsFile(path, LoadOptionsFile(path)), 0);
  EXPECT_NE(folder.Read("f.ini").find("OverWrite=0\n"), std::string::npos);
}

TEST(SaveOptions, KeepsOtherSectionsAndKeys) {
  testing::ScratchFolder folder;
  const std::string path =
      folder.Write("f.ini", "[Window]\nX=10\n[Folder]\nCustom=keep\nOverWrite=1\n");
  ASSERT_EQ(SaveOptionsFile(path, ConversionOptions{}), 0);
  const std::string saved = folder.Read("f.ini");
  EXPECT_EQ(saved.substr(0, 44), "[Window]\nX=10\n[Folder]\nCustom=keep\nOverWrite");
  EXPECT_NE(saved.find("OverWrite=0\n"), std::string::npos);
}

TEST(SaveOptions, APathWithALineBreakIsRefusedAndNothingIsWritten) {
  testing::ScratchFolder folder;
  const std::string path = folder.Write("f.ini", "[Folder]\nOverWrite=1\n");
  ConversionOptions options;
  options.Destination = "/tmp\n[Folder]\nOverWrite=1";
  EXPECT_EQ(SaveOptionsFile(path, options), EINVAL);
  EXPECT_EQ(folder.Read("f.ini"), "[Folder]\nOverWrite=1\n");
}

// The settings file beside the executable.
struct BesideCase {
  const char* executable;
  const char* settings;
};

class SettingsBeside : public ::testing::TestWithParam<BesideCase> {};

TEST_P(SettingsBeside, ReplacesTheNamesExtension) {
  EXPECT_EQ(SettingsPathBeside(GetParam().executable), GetParam().settings);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SettingsBeside,
    ::testing::Values(BesideCase{"/usr/bin/ostrevin", "/usr/bin/ostrevin.ini"},
                      BesideCase{"/opt/tools/conv.exe", "/opt/tools/conv.ini"},
                      BesideCase{"/home/a.b/ostrevin", "/home/a.b/ostrevin.ini"},
                      BesideCase{"/x/ostrevin.1.2", "/x/ostrevin.1.ini"},
                      BesideCase{"/x/.hidden", "/x/.hidden.ini"}, BesideCase{"prog", "prog.ini"}));

// The path-length rule of both front ends.
TEST(PathLimit, FourThousandNinetyFiveBytesFit) {
  EXPECT_TRUE(FitsPathLimit(std::string(4095, 'a')));
  EXPECT_FALSE(FitsPathLimit(std::string(4096, 'a')));
  EXPECT_EQ(PathLimitMessage(), "4095 文字以内で入力してください。");
}

}  // namespace
}  // namespace ostrevin
