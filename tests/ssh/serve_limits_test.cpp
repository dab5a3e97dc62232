// The server's limits, its host key and its command line: over a limit a
// connection is refused with a line its client shows (OpenSSH's client
// prints it), and a place freed is taken again; a host key others may read
// is refused as sshd refuses one; a new key is the owner's alone, and the
// fingerprint printed is the one ssh-keygen reads.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/options.h"
#include "platform/ssh/admission.h"
#include "platform/ssh/host_key.h"
#include "raw_connection.h"
#include "served_show.h"
#include "support/shell_run.h"
#include "support/show_binary.h"
#include "test_client.h"

namespace cellshow {
namespace {

using test::RawConnection;
using test::RunShell;
using test::ServedShow;
using test::ShellQuote;

TEST(ServeLimits, APastALimitIsRefusedWithItsReasonAndAFreedPlaceIsTaken) {
  // With `option` given, `holders` connections take places first,
  // `perAddress` from each address from 127.0.0.10 on; then one from `probe`
  // is refused for `reason`.
  struct Case {
    const char* name;
    std::string option;
    int holders, perAddress;
    const char* probe;
    const char* reason;
  } cases[] = {
      {"the ninth from one address", "", 8, 8, "127.0.0.10",
       "your address already has 8 connections"},
      {"--max-per-address 2", "--max-per-address=2", 2, 2, "127.0.0.10",
       "your address already has 2 connections"},
      {"one past --max-viewers", "--max-viewers=10", 10, 5, "127.0.0.20",
       "the show is full (10 viewers)"},
      {"the 51st handshake at once", "", 50, 8, "127.0.0.20",
       "too many viewers are connecting at once"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ServedShow server(c.option.empty() ? std::vector<std::string>{}
                                       : std::vector<std::string>{c.option});
    ASSERT_TRUE(server.ok()) << server.Log();
    // Places held by connections that have not finished their handshake: the
    // server has taken each once it has sent its version line.
    std::vector<std::unique_ptr<RawConnection>> held;
    for (int i = 0; i < c.holders; ++i) {
      const std::string from = "127.0.0." + std::to_string(10 + i / c.perAddress);
      held.push_back(std::make_unique<RawConnection>(server.port(), from));
      ASSERT_TRUE(held.back()->ReadUntil("SSH-2.0-", 20000));
    }
    RawConnection refused(server.port(), c.probe);
    EXPECT_TRUE(refused.ReadToClose(20000));
    EXPECT_NE(refused.received().find(c.reason), std::string::npos) << refused.received();
    // OpenSSH's client shows the line.
    const test::ShellRun ssh =
        RunShell("timeout 60 " + server.Ssh("-T -b " + std::string(c.probe)));
    EXPECT_EQ(ssh.status, 255);
    EXPECT_NE(ssh.err.find(c.reason), std::string::npos) << ssh.err;
    // One place freed: the next viewer from there is let in.
    held.back().reset();
    ASSERT_TRUE(server.WaitForLog("left before any show", 20000));
    test::TestClient viewer(server.port(), c.probe);
    EXPECT_TRUE(viewer.ok()) << viewer.refusal() << server.Log();
  }
}

TEST(ServeLimits, AdmissionCountsConnectionsAndHandshakes) {
  using Verdict = Admission::Verdict;
  Admission admission(ServeLimits{3, 2, 2});
  EXPECT_EQ(admission.Admit("a"), Verdict::Admitted);
  EXPECT_EQ(admission.Admit("a"), Verdict::Admitted);
  EXPECT_EQ(admission.Admit("a"), Verdict::AddressFull);
  EXPECT_EQ(admission.Admit("b"), Verdict::Busy);  // two handshakes at once
  admission.HandshakeDone();
  EXPECT_EQ(admission.Admit("b"), Verdict::Admitted);
  EXPECT_EQ(admission.Admit("c"), Verdict::Full);
  admission.Left("a", true);
  EXPECT_EQ(admission.from("a"), 1);
  EXPECT_EQ(admission.handshakes(), 1);
  EXPECT_EQ(admission.Admit("c"), Verdict::Admitted);
  admission.Stop();
  admission.Left("c", true);
  EXPECT_EQ(admission.Admit("d"), Verdict::Stopping);
  EXPECT_EQ(admission.connections(), 2);
}

TEST(ServeHostKey, TheDefaultPlaceFollowsSystemdThenXdgThenHome) {
  struct Case {
    const char* state;
    const char* xdg;
    const char* home;
    std::string path;
  } cases[] = {
      {"/var/lib/cellshow", "/x", "/h", "/var/lib/cellshow/ssh_host_ed25519_key"},
      {"/var/lib/one:/var/lib/two", nullptr, nullptr, "/var/lib/one/ssh_host_ed25519_key"},
      {"", "/x/state", "/h", "/x/state/cellshow/ssh_host_ed25519_key"},
      {nullptr, "relative", "/h", "/h/.local/state/cellshow/ssh_host_ed25519_key"},
      {nullptr, nullptr, "/h", "/h/.local/state/cellshow/ssh_host_ed25519_key"},
      {nullptr, nullptr, nullptr, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DefaultHostKeyPath(c.state, c.xdg, c.home), c.path) << c.path;
}

TEST(ServeHostKey, ANewKeyIsTheOwnersAloneAndAKeyOthersMayReadIsRefused) {
  const test::TempDir folder;
  const std::string key = (folder.path() / "made/here/ssh_host_ed25519_key").string();
  HostKey made;
  std::string error;
  ASSERT_TRUE(LoadHostKey(key, true, made, error)) << error;
  EXPECT_TRUE(made.made);
  struct stat st {};
  ASSERT_EQ(stat(key.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_EQ(stat((folder.path() / "made").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  // The fingerprint is the one ssh-keygen reads from the file.
  const test::ShellRun keygen = RunShell("ssh-keygen -lf " + ShellQuote(key));
  EXPECT_NE(keygen.out.find(made.fingerprint), std::string::npos) << keygen.out;
  ssh_key_free(made.key);

  for (const mode_t mode : {0600, 0400, 0640, 0604, 0660, 0602}) {
    SCOPED_TRACE(mode);
    chmod(key.c_str(), mode);
    const bool open = (mode & 077) != 0;
    HostKey loaded;
    EXPECT_EQ(LoadHostKey(key, false, loaded, error), !open) << error;
    if (loaded.key != nullptr) ssh_key_free(loaded.key);
    if (!open) continue;
    // The program refuses it with one line, before it listens.
    const test::ShellRun run = RunShell(ShellQuote(test::ShowBinary()) + " --data " +
                                        ShellQuote(std::string(CELLSHOW_BUILD_DIR) + "/data") +
                                        " --serve 127.0.0.1:0 --host-key " + ShellQuote(key));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("so others may read it"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("chmod 600"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  // Not a key at all.
  test::WriteFile(folder.path() / "junk", {'n', 'o', '\n'});
  chmod((folder.path() / "junk").c_str(), 0600);
  HostKey junk;
  EXPECT_FALSE(LoadHostKey((folder.path() / "junk").string(), false, junk, error));
  EXPECT_NE(error.find("cannot be read as a private key"), std::string::npos) << error;
}

TEST(ServeOptions, TheAddressAndTheUsageErrors) {
  struct Address {
    const char* value;
    const char* address;
    int port;  // -1: refused
  } addresses[] = {
      {"2222", "", 2222},
      {"0", "", 0},
      {"127.0.0.1:22", "127.0.0.1", 22},
      {"[::1]:2222", "::1", 2222},
      {"localhost:8022", "localhost", 8022},
      {"65536", "", -1},
      {"-1", "", -1},
      {"::1:22", "", -1},
      {":22", "", -1},
      {"host:", "", -1},
      {"[::1]", "", -1},
      {"22x", "", -1},
  };
  for (const Address& a : addresses) {
    std::string address, error;
    int port = -1;
    EXPECT_EQ(ParseServeAddress(a.value, address, port, error), a.port >= 0) << a.value << error;
    if (a.port < 0) continue;
    EXPECT_EQ(address, a.address) << a.value;
    EXPECT_EQ(port, a.port) << a.value;
  }
  struct Line {
    std::vector<const char*> args;
    bool ok;
    const char* error;
  } lines[] = {
      {{"--serve"}, true, ""},
      {{"--serve", "--max-viewers", "5", "--max-per-address=2", "--host-key", "k"}, true, ""},
      {{"--serve", "--record", "x"}, false, "leave out --record"},
      {{"--serve", "--window"}, false, "leave out --window"},
      {{"--serve", "--loop"}, false, "--loop does not go with --serve"},
      {{"--serve", "--start", "30"}, false, "--start does not go with --serve"},
      {{"--serve", "--volume=50"}, false, "--volume does not go with --serve"},
      {{"--host-key", "k"}, false, "--host-key goes with --serve"},
      {{"--serve", "--max-viewers", "0"}, false, "--max-viewers needs a count"},
      {{"--serve", "--max-per-address", "many"}, false, "--max-per-address needs a count"},
      {{"--serve=70000"}, false, "port from 0 to 65535"},
  };
  for (const Line& l : lines) {
    std::vector<const char*> argv = {"cellshow"};
    argv.insert(argv.end(), l.args.begin(), l.args.end());
    Options options;
    std::string error;
    const ParseResult result =
        ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error);
    EXPECT_EQ(result == ParseResult::Run, l.ok) << l.args[0] << " " << error;
    EXPECT_NE(error.find(l.error), std::string::npos) << error;
    if (l.ok) {
      EXPECT_TRUE(options.serve);
    }
  }
  Options defaults;
  std::string error;
  const char* plain[] = {"cellshow", "--serve"};
  ASSERT_EQ(ParseOptions(2, plain, defaults, error), ParseResult::Run);
  EXPECT_EQ(defaults.servePort, 2222);
  EXPECT_EQ(defaults.maxViewers, 1000);
  EXPECT_EQ(defaults.maxPerAddress, 8);
}

}  // namespace
}  // namespace cellshow
