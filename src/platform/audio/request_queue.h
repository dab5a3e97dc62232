#pragma once
// The music player's requests, from the threads that send media commands to
// its control thread (music.cpp).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cellshow {

constexpr size_t MaxNameBytes = 256;

enum class Request : uint8_t { PlayShowMusic, PlayFile, Stop };

// Bounded lock-free queue of requests (many producers, one consumer): a slot
// is claimed by its sequence number, so no producer ever waits for another.
class RequestQueue {
 public:
  static constexpr size_t Capacity = 8;

  RequestQueue() {
    for (size_t k = 0; k < Capacity; ++k) slots_[k].sequence.store(k, std::memory_order_relaxed);
  }

  bool Push(Request request, const char* name, size_t nameLength, uint32_t fromMs = 0) {
    size_t position = tail_.load(std::memory_order_relaxed);
    Slot* slot = nullptr;
    for (;;) {
      slot = &slots_[position % Capacity];
      const size_t sequence = slot->sequence.load(std::memory_order_acquire);
      const auto lag = static_cast<intptr_t>(sequence - position);
      if (lag == 0) {
        if (tail_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) break;
      } else if (lag < 0) {
        return false;  // full
      } else {
        position = tail_.load(std::memory_order_relaxed);
      }
    }
    slot->request = request;
    slot->fromMs = fromMs;
    std::memcpy(slot->name, name, nameLength);
    slot->name[nameLength] = '\0';
    slot->sequence.store(position + 1, std::memory_order_release);
    return true;
  }

  // Consumer side only.
  bool Pop(Request& request, char (&name)[MaxNameBytes], uint32_t& fromMs) {
    const size_t position = head_;
    Slot& slot = slots_[position % Capacity];
    if (slot.sequence.load(std::memory_order_acquire) != position + 1) return false;
    request = slot.request;
    fromMs = slot.fromMs;
    std::memcpy(name, slot.name, MaxNameBytes);
    head_ = position + 1;
    slot.sequence.store(position + Capacity, std::memory_order_release);
    return true;
  }

 private:
  struct Slot {
    std::atomic<size_t> sequence{0};
    Request request = Request::PlayFile;
    uint32_t fromMs = 0;
    char name[MaxNameBytes] = {};
  };
  Slot slots_[Capacity];
  std::atomic<size_t> tail_{0};
  size_t head_ = 0;
};

}  // namespace cellshow
