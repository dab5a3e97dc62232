// Asset names on this machine: separator mapping, the data folder lookup and
// files that cannot block or be misread.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/files/asset_paths.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/recording.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

using test::TempDir;

TEST(AssetPaths, BuiltInNamesMapIntoTheDataFolder) {
  EXPECT_EQ(MapAssetName("/opt/show", "data\\img.txt"), "/opt/show/img.txt");
  EXPECT_EQ(MapAssetName("data", "data\\03.mp3"), "data/03.mp3");
  EXPECT_EQ(MapAssetName("/d", "other\\x.bin"), "other/x.bin");
  EXPECT_EQ(MapAssetName("/d", "database\\x"), "database/x");
  EXPECT_EQ(ResolveDataDir("/explicit"), "/explicit");
}

TEST(AssetPaths, TheCurrentFoldersDataComesFirst) {
  TempDir dir;
  const auto previous = std::filesystem::current_path();
  std::filesystem::create_directory(dir.path() / "data");
  std::filesystem::current_path(dir.path());
  EXPECT_EQ(ResolveDataDir(""), "data");
  std::filesystem::current_path(previous);
}

TEST(PosixFiles, ReadsFixedCountsAndRefusesWhatIsNotAFile) {
  TempDir dir;
  std::vector<uint8_t> bytes(10000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  dir.Write("img.txt", bytes);
  std::filesystem::create_directory(dir.path() / "hit.img");
  ASSERT_EQ(mkfifo((dir.path() / "bl.img").c_str(), 0600), 0);
  RecordingWriter unused(stdout);
  HeadlessPlatform files(dir.path().string(), unused, -1);

  const FileHandle img = files.OpenFile("data\\img.txt");
  ASSERT_NE(img, InvalidFile);
  uint8_t buffer[8000];
  EXPECT_EQ(files.ReadFile(img, buffer, 8000), 8000u);
  EXPECT_EQ(buffer[7999], 7999 & 255);
  std::fill(std::begin(buffer), std::end(buffer), 0xAA);
  EXPECT_EQ(files.ReadFile(img, buffer, 8000), 2000u);  // a short read
  EXPECT_EQ(buffer[0], 8000 & 255);
  EXPECT_EQ(buffer[2000], 0xAA);  // untouched past what arrived
  EXPECT_EQ(files.ReadFile(img, buffer, 8000), 0u);
  files.RewindFile(img);
  EXPECT_EQ(files.ReadFile(img, buffer, 1), 1u);
  EXPECT_EQ(buffer[0], 0);
  files.CloseFile(img);

  // A folder, a pipe (which would block a read) and a missing file are all
  // simply missing.
  EXPECT_EQ(files.OpenFile("data\\hit.img"), InvalidFile);
  EXPECT_EQ(files.OpenFile("data\\bl.img"), InvalidFile);
  EXPECT_EQ(files.OpenFile("data\\lc1.txt"), InvalidFile);
  EXPECT_EQ(files.ReadFile(InvalidFile, buffer, 8000), 0u);
  files.RewindFile(InvalidFile);
  files.CloseFile(InvalidFile);
}

}  // namespace
}  // namespace cellshow
