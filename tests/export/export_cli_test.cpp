// The program's --export: usage errors, targets that cannot be written, an
// interrupted export, the progress line, and what a finished one leaves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "export/export_checks.h"
#include "support/pty_child.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct Outcome {
  int status = -1;
  std::string err;
};

// Runs the program in `dir` with `arguments`, stderr to a file outside it.
Outcome Cellshow(const TempDir& dir, const std::string& arguments,
                 const std::string& data = test::DataDir()) {
  static const TempDir logs;
  const fs::path err = logs.path() / "stderr";
  Outcome run;
  run.status =
      test::RunCommand("cd '" + dir.path().string() + "' && " + CELLSHOW_BINARY + " --data '" +
                       data + "' " + arguments + " 2>'" + err.string() + "'");
  const std::vector<uint8_t> bytes = test::ReadBytes(err);
  run.err.assign(bytes.begin(), bytes.end());
  return run;
}

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

bool OneLine(const std::string& text) {
  return !text.empty() && text.find('\n') == text.size() - 1;
}

TEST(ExportCli, UsageErrorsExitTwoWithOneLineAndWriteNothing) {
  struct Case {
    const char* arguments;
    const char* says;
  };
  const Case cases[] = {
      {"--export show.avi", "show.avi"},
      {"--export show", "name it .mp4"},
      {"--export show.png", "--at"},
      {"--export show.gif --at 3", "--at"},
      {"--export show.png --at abc", "--at"},
      {"--export show.png --at -1", "--at"},
      {"--export show.png --at 1e3", "--at"},
      {"--export show.png --at 64.2", "past the end of the show (64.158 s)"},
      {"--export show.png --at 64.159", "past the end of the show (64.158 s)"},
      {"--export show.png --at 64.1581", "past the end of the show (64.158 s)"},
      {"--export show.png --at 2 --key-after 100", "past the end of the show (1.717 s)"},
      {"--export show.xb --at 64.159", "past the end of the show (64.158 s)"},
      {"--export show.ans --at 5 --start 3", "a .ans export shows the moment --at names"},
      {"--at 3", "--at goes with --export"},
      {"--export show.gif --record r.bin", "cannot be used together"},
      {"--export show.mp4 --aspect=4:3", "--aspect goes with a .png or .gif export"},
      {"--export show.cast --aspect 4:3", "--aspect goes with a .png or .gif export"},
      {"--export show.gif --aspect=5:4", "--aspect must be 16:10 or 4:3, not '5:4'"},
      {"--aspect=4:3", "--aspect goes with --export"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const Outcome run = Cellshow(dir, c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_TRUE(OneLine(run.err)) << c.arguments << ": " << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.arguments << ": " << run.err;
    EXPECT_TRUE(Entries(dir.path()).empty()) << c.arguments;
  }
}

TEST(ExportCli, UnwritableTargetsExitOneWithTheSystemsReason) {
  TempDir dir;
  Outcome run = Cellshow(dir, "--export missing/show.gif --key-after 10");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(OneLine(run.err)) << run.err;
  EXPECT_NE(run.err.find("No such file or directory"), std::string::npos) << run.err;

  fs::create_directory(dir.path() / "folder.gif");
  run = Cellshow(dir, "--export folder.gif --key-after 10");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Is a directory"), std::string::npos) << run.err;

  // A full disk: a device named as the target is written in place.
  for (const char* arguments :
       {"full.gif --key-after 300", "full.cast --key-after 300", "full.png --at 1"}) {
    const std::string name = std::string(arguments).substr(0, std::string(arguments).find(' '));
    fs::create_symlink("/dev/full", dir.path() / name);
    run = Cellshow(dir, std::string("--export ") + arguments);
    EXPECT_EQ(run.status, 1) << name;
    EXPECT_TRUE(OneLine(run.err)) << name << ": " << run.err;
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos)
        << name << ": " << run.err;
  }
}

// A small file system of its own, mounted in a private mount namespace (as
// root, or in a user namespace where the kernel allows it): a disk that
// fills up, and one that is read-only.
std::string InPrivateMount(const std::string& options, const std::string& script) {
  TempDir dir;
  const fs::path out = dir.path() / "out";
  const std::string mount = (dir.path() / "mnt").string();
  fs::create_directory(mount);
  // The script's output starts with a marker only once the mount is made;
  // without it (no namespaces in a container or chroot, no tmpfs) the caller
  // skips.
  const std::string marker = "mounted\n";
  const std::string command = "unshare -rm sh -c 'mount -t tmpfs -o " + options + " tmpfs " +
                              mount + " || exit 99; cd " + mount + " && echo mounted && " + script +
                              "' >'" + out.string() + "' 2>&1";
  test::RunCommand(command);
  const std::vector<uint8_t> bytes = test::ReadBytes(out);
  const std::string text(bytes.begin(), bytes.end());
  return text.rfind(marker, 0) == 0 ? text.substr(marker.size()) : "";
}

TEST(ExportCli, AFullOrReadOnlyDiskLeavesTheOldFileAndNoOther) {
  const std::string program = std::string(CELLSHOW_BINARY) + " --data " + test::DataDir();
  const std::string full = InPrivateMount(
      "size=256k", "echo old >show.mp4; " + program +
                       " --export show.mp4 --key-after 200; echo status $?; ls -A; cat show.mp4");
  if (full.empty()) GTEST_SKIP() << "no private tmpfs mount here (unshare -rm)";
  EXPECT_NE(full.find("writing show.mp4 failed: No space left on device"), std::string::npos)
      << full;
  EXPECT_NE(full.find("status 1\nshow.mp4\nold\n"), std::string::npos) << full;

  const std::string readOnly =
      InPrivateMount("ro", program + " --export show.gif --key-after 10; echo status $?; ls -A");
  ASSERT_FALSE(readOnly.empty()) << "the read-only mount failed where the full one worked";
  EXPECT_NE(readOnly.find("cannot write show.gif: Read-only file system"), std::string::npos)
      << readOnly;
  EXPECT_NE(readOnly.find("status 1\n"), std::string::npos) << readOnly;
  EXPECT_EQ(readOnly.find("show.gif\n"), std::string::npos) << readOnly;
}

// Ctrl-C typed at the terminal while the progress line runs: the export
// ends between two ticks, with the signal's exit code, leaving the old file
// as it was and no other.
TEST(ExportCli, CtrlCLeavesNoPartialFile) {
  TempDir dir;
  dir.Write("show.mp4", {'o', 'l', 'd'});
  test::PtyChild::Setup setup;
  setup.args = {"--data", test::DataDir(), "--export", "show.mp4"};
  setup.workingDirectory = dir.path().string();
  test::PtyChild child(CELLSHOW_BINARY, setup);
  ASSERT_TRUE(child.ReadUntil(" frames ", 60000)) << child.output();
  child.Type("\x03");
  ASSERT_TRUE(child.WaitExit(30000));
  ASSERT_TRUE(WIFEXITED(child.status()));
  EXPECT_EQ(WEXITSTATUS(child.status()), 128 + SIGINT);
  EXPECT_NE(child.output().find("export interrupted; show.mp4 was not written"), std::string::npos);
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"show.mp4"});
  EXPECT_EQ(test::ReadBytes(dir.path() / "show.mp4"), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

// On a terminal the progress line is redrawn in place and erased at the end,
// and one line names the file, its length, frames and size; elsewhere an
// export says nothing.
TEST(ExportCli, ProgressAndTheLastLineOnlyOnATerminal) {
  struct Case {
    std::vector<std::string> arguments;
    const char* progress;  // nullptr: too quick for one
    const char* written;   // the last line, up to the size
  };
  const Case cases[] = {
      {{"--export", "show.mp4", "--key-after", "200"},
       "/201 frames  0:",
       "cellshow: wrote show.mp4: 3.417 s, 201 frames, "},
      {{"--export", "show.png", "--at", "64.158", "--aspect=4:3"},
       nullptr,
       "cellshow: wrote show.png: the screen at 64.141 s (frame 3773), 1280x960, "},
      {{"--export", "show.cast", "--key-after", "100"},
       nullptr,
       "cellshow: wrote show.cast: 1.717 s, 101 frames, "},
  };
  for (const Case& c : cases) {
    TempDir dir;
    test::PtyChild::Setup setup;
    setup.args = {"--data", test::DataDir()};
    setup.args.insert(setup.args.end(), c.arguments.begin(), c.arguments.end());
    setup.workingDirectory = dir.path().string();
    test::PtyChild child(CELLSHOW_BINARY, setup);
    ASSERT_TRUE(child.WaitExit(120000)) << c.written;
    EXPECT_EQ(child.status(), 0) << c.written;
    const std::string& out = child.output();
    if (c.progress != nullptr) {
      EXPECT_NE(out.find("\rshow.mp4  "), std::string::npos) << out;
      EXPECT_NE(out.find(c.progress), std::string::npos) << out;
      EXPECT_NE(out.find(" elapsed  0:"), std::string::npos) << out;
      EXPECT_NE(out.find(" left\x1b[K"), std::string::npos) << out;
    }
    // The line comes after the progress line is erased, and its size is the
    // file's.
    const size_t at = out.rfind(c.written);
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
    const std::string size = out.substr(at + std::strlen(c.written));
    const uintmax_t bytes = fs::file_size(dir.path() / c.arguments[1]);
    char want[32];
    std::snprintf(want, sizeof want, bytes < 1000000 ? "%.1f kB\r\n" : "%.1f MB\r\n",
                  static_cast<double>(bytes) / (bytes < 1000000 ? 1e3 : 1e6));
    EXPECT_EQ(size, want) << out;
  }

  TempDir dir;
  const Outcome quiet = Cellshow(dir, "--export quiet.gif --key-after 600");
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
}

// --at at the show's end itself (the length the messages give) is its last
// frame.
TEST(ExportCli, AtTheShowsEndIsItsLastFrame) {
  TempDir dir;
  const Outcome run = Cellshow(dir, "--export end.png --at 64.158000");
  ASSERT_EQ(run.status, 0) << run.err;
  test::CheckPngFile((dir.path() / "end.png").string(), test::WholeShowScreens().back());
}

// A finished export replaces the target whole: a new file gets the usual
// permissions, an old one keeps its own, and a link keeps pointing at it.
TEST(ExportCli, AFinishedExportReplacesTheTarget) {
  TempDir dir;
  Outcome run = Cellshow(dir, "--export new.cast --key-after 30");
  EXPECT_EQ(run.status, 0) << run.err;
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(fs::status(dir.path() / "new.cast").permissions(),
            static_cast<fs::perms>(0666 & ~mask));

  dir.Write("real.cast", {'o', 'l', 'd'});
  fs::permissions(dir.path() / "real.cast", static_cast<fs::perms>(0640));
  fs::create_symlink("real.cast", dir.path() / "link.cast");
  run = Cellshow(dir, "--export link.cast --key-after 30");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.cast"));
  EXPECT_EQ(fs::status(dir.path() / "real.cast").permissions(), static_cast<fs::perms>(0640));
  const std::vector<uint8_t> cast = test::ReadBytes(dir.path() / "real.cast");
  EXPECT_EQ(cast.size(), test::ReadBytes(dir.path() / "new.cast").size());
  EXPECT_EQ(std::string(cast.begin(), cast.begin() + 12), "{\"version\":2");
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"link.cast", "new.cast", "real.cast"}));
}

}  // namespace
}  // namespace cellshow
