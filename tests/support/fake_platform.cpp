#include "support/fake_platform.h"

#include <cstring>

namespace cellshow::test {

void FakePlatform::PresentScreen(const ScreenCells& screen) {
  records.push_back(PresentOf(tick, screen));
}

FileHandle FakePlatform::OpenFile(const char* name) {
  calls.push_back(std::string("open ") + name);
  if (files.count(name) == 0) return InvalidFile;
  handles.push_back({name, 0, true});
  return static_cast<FileHandle>(handles.size() - 1);
}

uint32_t FakePlatform::ReadFile(FileHandle file, void* destination, uint32_t count) {
  calls.push_back("read " + std::to_string(file) + " " + std::to_string(count));
  if (file < 0 || static_cast<size_t>(file) >= handles.size() || !handles[file].open) return 0;
  OpenFileState& state = handles[file];
  const std::vector<uint8_t>& data = files[state.name];
  const size_t available = state.position < data.size() ? data.size() - state.position : 0;
  const size_t n = available < count ? available : count;
  if (n) std::memcpy(destination, data.data() + state.position, n);
  state.position += n;
  return static_cast<uint32_t>(n);
}

void FakePlatform::RewindFile(FileHandle file) {
  calls.push_back("rewind " + std::to_string(file));
  if (file >= 0 && static_cast<size_t>(file) < handles.size()) handles[file].position = 0;
}

void FakePlatform::CloseFile(FileHandle file) {
  calls.push_back("close " + std::to_string(file));
  if (file >= 0 && static_cast<size_t>(file) < handles.size()) handles[file].open = false;
}

void FakePlatform::SendMediaCommand(const char* command) {
  calls.push_back(std::string("media ") + command);
  Record record;
  record.tick = tick;
  record.kind = MediaRecord;
  record.command = command;
  records.push_back(record);
}

uint32_t FakePlatform::StartTimer(int32_t delay, int32_t resolution, TickCallback callback,
                                  void* context) {
  calls.push_back("timer " + std::to_string(delay) + " " + std::to_string(resolution));
  tickCallback = callback;
  tickContext = context;
  return 7;
}

int32_t FakePlatform::KeyHit() {
  ++polls;
  return polls >= keyAfterPolls ? 1 : 0;
}

void FakePlatform::RunTick() {
  if (tickCallback == nullptr || ticksKeptOut) return;
  ++tick;
  tickCallback(tickContext);
}

void FakePlatform::RunUntilExit(uint32_t limit) {
  for (uint32_t i = 0; i < limit && exitCode < 0; ++i) RunTick();
}

size_t FakePlatform::presents() const {
  size_t n = 0;
  for (const Record& r : records) n += r.kind == PresentRecord;
  return n;
}

}  // namespace cellshow::test
