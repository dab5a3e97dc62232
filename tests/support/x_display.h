#pragma once
// Whole-program window tests on a virtual X display: an Xvfb server of the
// test's own, the program run on it, screenshots with xwd, and what a user
// or a window manager does to a window (xdotool, the close request).
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cellshow::test {

class XvfbServer {
 public:
  // Starts Xvfb on a free display number with one screen of this size.
  XvfbServer(int width, int height);
  ~XvfbServer();  // stops it
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool ok() const { return !display_.empty(); }
  // Runs a window manager (openbox) on the display, for what only a window
  // manager does (fullscreen); false if it did not take over in time.
  bool StartWindowManager(int timeoutMs);
  const std::string& display() const { return display_; }  // ":N"
  // The server goes away at once, as when a display connection is lost.
  void Kill();

 private:
  pid_t pid_ = -1;
  pid_t manager_ = -1;
  std::string display_;
};

// A program run with DISPLAY set; killed if it still runs at the end.
class DisplayChild {
 public:
  DisplayChild(const std::string& display, const std::vector<std::string>& argv,
               const std::string& stderrFile = "/dev/null");
  ~DisplayChild();
  DisplayChild(const DisplayChild&) = delete;
  DisplayChild& operator=(const DisplayChild&) = delete;

  // Waits for the program to end; false if it still runs after timeoutMs.
  bool WaitExit(int timeoutMs);
  // Its exit code once ended normally, else -1.
  int exitCode() const;
  bool running();
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int status_ = 0;
  bool ended_ = false;
};

// Runs a shell command with DISPLAY set and returns what it printed
// (stdout); `status` gets its exit status.
std::string RunOnDisplay(const std::string& display, const std::string& command,
                         int* status = nullptr);

struct WindowGeometry {
  uint64_t id = 0;
  int x = 0, y = 0, width = 0, height = 0;
};
// The visible window titled exactly `title`, waiting up to timeoutMs for it
// to appear, with its place on the screen and its size (without a window
// manager's frame); id 0 when none did.
WindowGeometry FindWindow(const std::string& display, const std::string& title, int timeoutMs);

// Sends the close request a window manager sends when the user closes a
// window (WM_PROTOCOLS / WM_DELETE_WINDOW).
bool SendCloseRequest(const std::string& display, uint64_t window);

// A screenshot of the whole screen taken with xwd: RGB per pixel, row-major.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};
bool TakeScreenshot(const std::string& display, Screenshot& shot, std::string& error);

}  // namespace cellshow::test
