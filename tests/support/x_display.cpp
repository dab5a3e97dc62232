#include "support/x_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "support/shell_run.h"
#include "support/temp_dir.h"

// Last: Xlib defines macros (Status, Bool) that other headers use as names.
#include <X11/Xlib.h>

namespace cellshow::test {
namespace {

bool Reap(pid_t pid, int& status, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return true;
    if (done < 0) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

}  // namespace

XvfbServer::XvfbServer(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) return;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const std::string displayFd = std::to_string(fds[1]);
  pid_ = fork();
  if (pid_ == 0) {
    close(fds[0]);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    execlp("Xvfb", "Xvfb", "-displayfd", displayFd.c_str(), "-screen", "0", screen.c_str(),
           "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // Xvfb writes the display number once it accepts connections.
  std::string number;
  pollfd wait{fds[0], POLLIN, 0};
  char c = 0;
  while (poll(&wait, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (!number.empty()) display_ = ":" + number;
}

XvfbServer::~XvfbServer() { Kill(); }

bool XvfbServer::StartWindowManager(int timeoutMs) {
  if (!ok()) return false;
  manager_ = fork();
  if (manager_ == 0) {
    setenv("DISPLAY", display_.c_str(), 1);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
    _exit(127);
  }
  // A window manager announces itself on the root window.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string check =
        RunOnDisplay(display_, "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null");
    if (check.find("window id") != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

void XvfbServer::Kill() {
  if (manager_ > 0) {
    kill(manager_, SIGKILL);
    int status = 0;
    Reap(manager_, status, 5000);
    manager_ = -1;
  }
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  Reap(pid_, status, 5000);
  pid_ = -1;
}

DisplayChild::DisplayChild(const std::string& display, const std::vector<std::string>& argv,
                           const std::string& stderrFile) {
  pid_ = fork();
  if (pid_ == 0) {
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    const int null = open("/dev/null", O_RDWR);
    const int err = open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(null, 0);
    dup2(null, 1);
    dup2(err >= 0 ? err : null, 2);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
}

DisplayChild::~DisplayChild() {
  if (pid_ > 0 && !ended_) {
    kill(pid_, SIGKILL);
    Reap(pid_, status_, 5000);
  }
}

bool DisplayChild::WaitExit(int timeoutMs) {
  if (ended_) return true;
  if (pid_ <= 0) return false;
  ended_ = Reap(pid_, status_, timeoutMs);
  return ended_;
}

bool DisplayChild::running() { return !WaitExit(0); }

int DisplayChild::exitCode() const {
  return ended_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

std::string RunOnDisplay(const std::string& display, const std::string& command, int* status) {
  const std::string full = "DISPLAY=" + ShellQuote(display) + " " + command;
  std::FILE* pipe = popen(full.c_str(), "r");
  std::string out;
  if (pipe == nullptr) {
    if (status) *status = -1;
    return out;
  }
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int result = pclose(pipe);
  if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return out;
}

WindowGeometry FindWindow(const std::string& display, const std::string& title, int timeoutMs) {
  WindowGeometry found;
  const std::string seconds = std::to_string((timeoutMs + 999) / 1000);
  const std::string id =
      RunOnDisplay(display, "timeout " + seconds + " xdotool search --sync --onlyvisible --name " +
                                ShellQuote("^" + title + "$") + " 2>/dev/null | head -n 1");
  found.id = std::strtoull(id.c_str(), nullptr, 10);
  if (found.id == 0) return found;
  // xwininfo, as xdotool counts a window manager's frame twice in the place.
  std::istringstream info(RunOnDisplay(display, "xwininfo -id " + std::to_string(found.id)));
  std::string line;
  while (std::getline(info, line)) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = line.substr(line.find_first_not_of(' '), colon);
    const int value = std::atoi(line.c_str() + colon + 1);
    if (key.starts_with("Absolute upper-left X")) found.x = value;
    if (key.starts_with("Absolute upper-left Y")) found.y = value;
    if (key.starts_with("Width")) found.width = value;
    if (key.starts_with("Height")) found.height = value;
  }
  return found;
}

bool SendCloseRequest(const std::string& display, uint64_t window) {
  Display* connection = XOpenDisplay(display.c_str());
  if (connection == nullptr) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = static_cast<Window>(window);
  event.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(connection, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const bool sent = XSendEvent(connection, static_cast<Window>(window), False, NoEventMask, &event);
  XFlush(connection);
  XCloseDisplay(connection);
  return sent;
}

// The XWD file: a header of big-endian 32-bit fields, the window name, the
// colour map, then the pixels, rows of bytes_per_line.
bool TakeScreenshot(const std::string& display, Screenshot& shot, std::string& error) {
  TempDir dir;
  const std::string file = (dir.path() / "screen.xwd").string();
  int status = 0;
  RunOnDisplay(display, "xwd -root -silent -out " + ShellQuote(file), &status);
  if (status != 0) {
    error = "xwd failed";
    return false;
  }
  const std::vector<uint8_t> b = ReadBytes(file);
  if (b.size() < 100) {
    error = "no xwd header";
    return false;
  }
  const uint32_t headerSize = Be32(b, 0), format = Be32(b, 8), width = Be32(b, 16),
                 height = Be32(b, 20), byteOrder = Be32(b, 28), bitsPerPixel = Be32(b, 44),
                 bytesPerLine = Be32(b, 48), redMask = Be32(b, 56), greenMask = Be32(b, 60),
                 blueMask = Be32(b, 64), colours = Be32(b, 76);
  if (format != 2 || (bitsPerPixel != 24 && bitsPerPixel != 32) || redMask != 0xFF0000 ||
      greenMask != 0xFF00 || blueMask != 0xFF) {
    error = "unexpected xwd pixel format";
    return false;
  }
  const size_t start = size_t{headerSize} + size_t{colours} * 12;
  if (b.size() < start + size_t{bytesPerLine} * height) {
    error = "xwd file too short";
    return false;
  }
  const size_t pixelBytes = bitsPerPixel / 8;
  shot.width = static_cast<int>(width);
  shot.height = static_cast<int>(height);
  shot.rgb.resize(size_t{width} * height * 3);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = &b[start + size_t{y} * bytesPerLine + x * pixelBytes];
      uint32_t v = 0;
      for (size_t i = 0; i < pixelBytes; ++i)
        v |= uint32_t{p[i]} << (8 * (byteOrder == 0 ? i : pixelBytes - 1 - i));
      uint8_t* out = &shot.rgb[(size_t{y} * width + x) * 3];
      out[0] = static_cast<uint8_t>(v >> 16);
      out[1] = static_cast<uint8_t>(v >> 8);
      out[2] = static_cast<uint8_t>(v);
    }
  }
  return true;
}

}  // namespace cellshow::test
