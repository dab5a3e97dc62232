// Installing the program as a user would, and its Debian package: each copy,
// run from a folder that has nothing to do with it, finds its data and
// records the build's show; the manual page, the desktop entry and the
// package's metadata pass the tools that read them. Nothing is installed on
// the machine: prefixes and the unpacked package live in a temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "help_options.h"
#include "support/shell_run.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

namespace fs = std::filesystem;
using test::RunShell;
using test::ShellQuote;
using test::ShellRun;
using test::TempDir;

const std::string BuildDir = CELLSHOW_BUILD_DIR;

// Records the whole show with `program`, run in `folder`.
struct Recording {
  ShellRun run;
  std::vector<uint8_t> bytes;
};
Recording Record(const std::string& program, const fs::path& folder) {
  const fs::path file = folder / "show.bin";
  fs::remove(file);
  Recording r;
  r.run =
      RunShell("cd " + ShellQuote(folder) + " && " + ShellQuote(program) + " --record show.bin");
  r.bytes = test::ReadBytes(file);
  return r;
}

// Every file under `root`, as paths relative to it.
std::set<std::string> FilesUnder(const fs::path& root) {
  std::set<std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (!entry.is_directory()) files.insert(fs::relative(entry.path(), root).string());
  return files;
}

// The files that make an installation under a prefix.
const char* const InstalledFiles[] = {
    "bin/cellshow",
    "bin/cellshow-data",
    "share/cellshow/data/img.txt",
    "share/cellshow/data/03.mp3",
    "share/man/man1/cellshow.1.gz",
    "share/man/man1/cellshow-data.1.gz",
    "share/bash-completion/completions/cellshow",
    "share/bash-completion/completions/cellshow-data",
    "share/applications/cellshow.desktop",
    "share/doc/cellshow/copyright",
    "share/icons/hicolor/256x256/apps/cellshow.png",
    "share/icons/hicolor/48x48/apps/cellshow.png",
};

// The installed copy under `prefix` records what the build records, with no
// word on stderr, from a folder without data; its manual page renders
// without a warning and its desktop entry is valid.
void ExpectAWorkingInstallation(const fs::path& prefix, const fs::path& elsewhere,
                                const std::vector<uint8_t>& reference) {
  SCOPED_TRACE(prefix.string());
  for (const char* file : InstalledFiles) EXPECT_TRUE(fs::exists(prefix / file)) << file;

  const Recording installed = Record((prefix / "bin/cellshow").string(), elsewhere);
  EXPECT_EQ(installed.run.status, 0);
  EXPECT_EQ(installed.run.err, "");
  EXPECT_TRUE(installed.bytes == reference) << "the installed program plays another show";

  for (const char* page : {"cellshow", "cellshow-data"}) {
    const ShellRun man =
        RunShell("zcat " + ShellQuote(prefix / "share/man/man1" / (std::string(page) + ".1.gz")) +
                 " | groff -ww -man -Tutf8 >/dev/null");
    EXPECT_EQ(man.status, 0) << page;
    EXPECT_EQ(man.err, "") << "groff warns about the manual page " << page;
  }
  // The installed data tool finds its libraries and holds its data complete.
  const ShellRun check = RunShell(ShellQuote(prefix / "bin/cellshow-data") + " check " +
                                  ShellQuote(prefix / "share/cellshow/data"));
  EXPECT_EQ(check.status, 0) << check.out << check.err;

  const ShellRun desktop = RunShell("desktop-file-validate " +
                                    ShellQuote(prefix / "share/applications/cellshow.desktop"));
  EXPECT_EQ(desktop.status, 0);
  EXPECT_EQ(desktop.out + desktop.err, "");
}

// "libc6 (>= 2.34), libsdl2-2.0-0 (>= 2.0.12)" -> {libc6, libsdl2-2.0-0}
std::set<std::string> PackageNames(const std::string& depends) {
  std::set<std::string> names;
  static const std::regex name(R"((?:^|,)\s*([a-z0-9][a-z0-9.+-]*))");
  for (auto it = std::sregex_iterator(depends.begin(), depends.end(), name);
       it != std::sregex_iterator(); ++it)
    names.insert((*it)[1].str());
  return names;
}

std::string Trimmed(const ShellRun& run) {
  std::string text = run.out;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// The Debian packages that hold the shared libraries `binary` needs, as dpkg
// on this machine knows them: the copy in this architecture's library folder
// (/lib/x86_64-linux-gnu/libc.so.6, say), not that of another (/usr/lib32).
std::set<std::string> PackagesOfNeededLibraries(const std::string& binary) {
  const std::string multiarch = Trimmed(RunShell("dpkg-architecture -qDEB_HOST_MULTIARCH"));
  EXPECT_FALSE(multiarch.empty());
  std::set<std::string> packages;
  const ShellRun needed =
      RunShell("objdump -p " + ShellQuote(binary) + " | awk '$1 == \"NEEDED\" {print $2}'");
  EXPECT_EQ(needed.status, 0);
  std::istringstream sonames(needed.out);
  for (std::string soname; std::getline(sonames, soname);) {
    const ShellRun owner = RunShell("dpkg -S " + ShellQuote("*/" + multiarch + "/" + soname));
    EXPECT_EQ(owner.status, 0) << "no package holds " << soname;
    // "libc6:amd64: /lib/x86_64-linux-gnu/libc.so.6"
    std::istringstream lines(owner.out);
    for (std::string line; std::getline(lines, line);)
      packages.insert(line.substr(0, line.find_first_of(":")));
  }
  return packages;
}

std::string ControlField(const std::string& info, const std::string& field) {
  const std::regex line("(^|\\n) " + field + ": ([^\\n]*)");
  std::smatch m;
  return std::regex_search(info, m, line) ? m[2].str() : std::string();
}

TEST(Install, TwoPrefixesAndThePackageRecordTheBuildsShowFromAnyFolder) {
  const TempDir temp;
  const fs::path elsewhere = temp.path() / "elsewhere";
  fs::create_directories(elsewhere);

  const Recording build = Record(CELLSHOW_BINARY, elsewhere);
  ASSERT_EQ(build.run.status, 0) << build.run.err;
  const std::string music = "data\\03.mp3";  // the music starts: the show has its data
  ASSERT_NE(std::search(build.bytes.begin(), build.bytes.end(), music.begin(), music.end()),
            build.bytes.end());

  // A prefix that is not the one the program was built for, with cmake.
  const fs::path one = temp.path() / "one";
  const ShellRun cmake =
      RunShell("cmake --install " + ShellQuote(BuildDir) + " --prefix " + ShellQuote(one));
  ASSERT_EQ(cmake.status, 0) << cmake.err;
  ExpectAWorkingInstallation(one, elsewhere, build.bytes);

  // Another, with make install under DESTDIR; make uninstall then leaves no
  // file behind.
  const fs::path root = temp.path() / "root";
  const std::string prefix = "/opt/cellshow-test";
  // A make of its own, not a part of the `make test` that may run this.
  const std::string make = "env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL make -s -C " +
                           ShellQuote(CELLSHOW_SOURCE_DIR) + " BUILD=" + ShellQuote(BuildDir) +
                           " PREFIX=" + prefix + " DESTDIR=" + ShellQuote(root);
  const ShellRun install = RunShell(make + " install");
  ASSERT_EQ(install.status, 0) << install.out << install.err;
  ExpectAWorkingInstallation(root / prefix.substr(1), elsewhere, build.bytes);
  const ShellRun uninstall = RunShell(make + " uninstall");
  EXPECT_EQ(uninstall.status, 0) << uninstall.err;
  EXPECT_EQ(FilesUnder(root), std::set<std::string>{}) << "make uninstall left files";
  EXPECT_FALSE(fs::exists(root / prefix.substr(1) / "share/cellshow"));

  // Without its data anywhere, the program says where it looked and still
  // plays (a blank show).
  const fs::path lonely = temp.path() / "lonely/bin/cellshow";
  fs::create_directories(lonely.parent_path());
  fs::copy_file(one / "bin/cellshow", lonely);
  if (!fs::exists(std::string(CELLSHOW_CONFIGURED_DATA_DIR))) {
    const Recording blank = Record(lonely.string(), elsewhere);
    EXPECT_EQ(blank.run.status, 0);
    EXPECT_NE(
        blank.run.err.find("no show files in data, " + (temp.path() / "lonely/bin/data").string() +
                           ", " + (temp.path() / "lonely/share/cellshow/data").string()),
        std::string::npos)
        << blank.run.err;
    EXPECT_FALSE(blank.bytes == build.bytes);
  }

  // The Debian package, made as `make deb` makes it but into the temporary
  // folder, and unpacked there.
  const fs::path packages = temp.path() / "packages";
  const ShellRun cpack =
      RunShell("cd " + ShellQuote(BuildDir) + " && cpack -G DEB -B " + ShellQuote(packages));
  ASSERT_EQ(cpack.status, 0) << cpack.out << cpack.err;
  const std::string version = CELLSHOW_VERSION;
  const std::string architecture = Trimmed(RunShell("dpkg --print-architecture"));
  const fs::path deb = packages / ("cellshow_" + version + "_" + architecture + ".deb");
  ASSERT_TRUE(fs::exists(deb)) << cpack.out;
  const fs::path unpacked = temp.path() / "unpacked";
  ASSERT_EQ(RunShell("dpkg-deb -x " + ShellQuote(deb) + " " + ShellQuote(unpacked)).status, 0);
  ExpectAWorkingInstallation(unpacked / "usr", elsewhere, build.bytes);

  const ShellRun info = RunShell("dpkg-deb -I " + ShellQuote(deb));
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(ControlField(info.out, "Package"), "cellshow");
  EXPECT_EQ(ControlField(info.out, "Version"), version);
  const ShellRun shown = RunShell(ShellQuote(unpacked / "usr/bin/cellshow") + " --version");
  EXPECT_EQ(shown.out, "cellshow " + version + "\n");
  // Depends names exactly the packages of the libraries the programs link.
  const std::string depends = ControlField(info.out, "Depends");
  std::set<std::string> needed =
      PackagesOfNeededLibraries((unpacked / "usr/bin/cellshow").string());
  needed.merge(PackagesOfNeededLibraries((unpacked / "usr/bin/cellshow-data").string()));
  EXPECT_EQ(PackageNames(depends), needed) << "Depends: " << depends;
  EXPECT_NE(depends.find("libc6 (>= "), std::string::npos) << depends;

  const ShellRun lintian = RunShell("lintian --fail-on error " + ShellQuote(deb));
  EXPECT_EQ(lintian.status, 0) << lintian.out;
  EXPECT_EQ(lintian.out.find("E: "), std::string::npos) << lintian.out;
}

}  // namespace
}  // namespace cellshow
