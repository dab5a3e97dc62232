#pragma once
// The few tests whose point is a real-time bound allow this many times more
// under the sanitizers, which slow every thread down several times.
namespace cellshow::test {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int TimingScale = 3;
#else
constexpr int TimingScale = 1;
#endif

}  // namespace cellshow::test
