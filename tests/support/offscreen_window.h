#pragma once
// The window host for tests that run the show in this process: the show's
// own shutdown closes the window and keeps the exit code, without ending
// the test's process.
#include "platform/window/window_platform.h"

namespace cellshow::test {

class OffscreenWindow : public WindowPlatform {
 public:
  using WindowPlatform::WindowPlatform;
  int exitCode = -1;

 protected:
  void EndProcess(int code) override {
    CloseWindow();
    exitCode = code;
  }
};

}  // namespace cellshow::test
