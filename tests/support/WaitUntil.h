// Waiting in a test for what another thread does: polls `cond` until it holds or `ms` real
// milliseconds have passed, and answers whether it holds. `step` runs between the polls in
// place of a short sleep (a window test processes its events there).
#pragma once
#include <chrono>
#include <functional>
#include <thread>

inline bool WaitUntil(const std::function<bool()>& cond, int ms = 5000, const std::function<void()>& step = {}) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!cond()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    if (step) {
      step();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  return true;
}

// Real milliseconds since `t`.
inline long long MsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
}
