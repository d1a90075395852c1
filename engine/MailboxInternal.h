// Bookkeeping shared by the requesters (engine/Mailbox.cpp) and the teardown and rebuild
// workers (engine/ProcessThreads.cpp): every request gets a number, every answer says up to
// which number it answers, so a late reply to a request that timed out never answers the
// next request.
#pragma once
#include <cstdint>
#include <mutex>

struct Handshake {
  std::mutex mutex;
  std::uint64_t requested = 0;
  std::uint64_t answered = 0;
  bool result = false;

  // The worker, when it wakes: the newest request number it is about to serve.
  std::uint64_t Take();
  // The worker, when done: answers every request up to `upTo` with `ok`.
  void Answer(std::uint64_t upTo, bool ok);
  void Reset();
};

extern Handshake g_teardownHandshake;
extern Handshake g_rebuildHandshake;
