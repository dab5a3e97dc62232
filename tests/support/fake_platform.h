#pragma once
// An in-memory platform for core tests: files from a map, every call logged,
// ticks run by hand.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/headless/recording.h"
#include "shell/host.h"

namespace cellshow::test {

class FakePlatform : public Host {
 public:
  struct OpenFileState {
    std::string name;
    size_t position = 0;
    bool open = true;
  };

  std::map<std::string, std::vector<uint8_t>> files;  // by built-in name
  std::vector<OpenFileState> handles;
  std::vector<std::string> calls;  // "open data\tr.img", "read 3 1280", ...
  std::vector<Record> records;     // presents and media commands
  uint32_t tick = 0;
  TickCallback tickCallback = nullptr;
  void* tickContext = nullptr;
  bool ticksKeptOut = false;
  int exitCode = -1;
  int32_t keyAfterPolls = 1;  // KeyHit returns 1 from this poll on (1: first)
  int32_t polls = 0;

  void PrepareConsole() override { calls.push_back("console"); }
  void PresentScreen(const ScreenCells& screen) override;
  FileHandle OpenFile(const char* name) override;
  uint32_t ReadFile(FileHandle file, void* destination, uint32_t count) override;
  void RewindFile(FileHandle file) override;
  void CloseFile(FileHandle file) override;
  void SendMediaCommand(const char* command) override;
  void BeginTimerPeriod(int32_t ms) override { calls.push_back("begin " + std::to_string(ms)); }
  uint32_t StartTimer(int32_t delay, int32_t resolution, TickCallback tick, void* context) override;
  void KillTimer(uint32_t id) override { calls.push_back("kill " + std::to_string(id)); }
  void EndTimerPeriod(int32_t ms) override { calls.push_back("end " + std::to_string(ms)); }
  int32_t KeyHit() override;
  void KeepTicksOut() override {
    ticksKeptOut = true;
    calls.push_back("keep ticks out");
  }
  void AwaitExit() override { calls.push_back("await exit"); }
  void ExitProcess(int code) override {
    exitCode = code;
    calls.push_back("exit " + std::to_string(code));
  }

  // Runs one tick as the timer would.
  void RunTick();
  // Runs ticks until the show exits or `limit` ticks have run.
  void RunUntilExit(uint32_t limit = 100000);
  // Number of present records.
  size_t presents() const;
};

}  // namespace cellshow::test
