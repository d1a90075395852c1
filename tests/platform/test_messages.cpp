// Posted messages and the message-box route.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "tests/support/WaitUntil.h"

using namespace plat;

namespace {

struct RecordingSink : MessageSink {
  std::mutex mutex;
  std::vector<std::pair<unsigned, WPARAM>> got;
  std::atomic<bool> dead{false};
  std::atomic<int> callsAfterDeath{0};
  void OnPostedMessage(unsigned msg, WPARAM w, LPARAM) override {
    if (dead) ++callsAfterDeath;
    std::lock_guard<std::mutex> lock(mutex);
    got.emplace_back(msg, w);
  }
};

TEST(Messages, EachWorkersPostsArriveInOrder) {
  RecordingSink sink;
  HWND w = RegisterMessageSink(&sink);
  ASSERT_NE(w, 0u);
  EXPECT_TRUE(IsWindowAlive(w));
  constexpr int kThreads = 4, kEach = 500;
  std::vector<HANDLE> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.push_back(CreateThread([w, t]() -> DWORD {
      for (int i = 0; i < kEach; ++i)
        if (!PostMessage(w, WM_USER + t, static_cast<WPARAM>(i), 0)) return 1;
      return 0;
    }));
  }
  ASSERT_EQ(WaitForMultipleObjects(kThreads, threads.data(), TRUE_, 10000), WAIT_OBJECT_0);
  for (HANDLE h : threads) CloseHandle(h);
  UnregisterMessageSink(w);
  ASSERT_EQ(sink.got.size(), static_cast<std::size_t>(kThreads * kEach));
  std::vector<WPARAM> next(kThreads, 0);
  for (auto& [msg, w2] : sink.got) {
    int t = static_cast<int>(msg - WM_USER);
    ASSERT_TRUE(t >= 0 && t < kThreads);
    EXPECT_EQ(w2, next[t]) << "thread " << t;
    next[t] = w2 + 1;
  }
}

TEST(Messages, NothingIsDeliveredAfterUnregisterReturns) {
  RecordingSink sink;
  HWND w = RegisterMessageSink(&sink);
  std::atomic<bool> stop{false};
  HANDLE poster = CreateThread([&]() -> DWORD {
    while (!stop) PostMessage(w, WM_USER, 0, 0);
    return 0;
  });
  EXPECT_TRUE(WaitUntil([&] {
    std::lock_guard<std::mutex> lock(sink.mutex);
    return sink.got.size() > 100;
  }, 5000));
  UnregisterMessageSink(w);
  sink.dead = true;
  EXPECT_FALSE(IsWindowAlive(w));
  EXPECT_FALSE(PostMessage(w, WM_USER, 0, 0));
  stop = true;
  WaitForSingleObject(poster, 5000);
  CloseHandle(poster);
  EXPECT_EQ(sink.callsAfterDeath.load(), 0);
  UnregisterMessageSink(w);  // twice is harmless
}

TEST(Messages, GoneOrUnknownWindowsDrop) {
  EXPECT_FALSE(PostMessage(0, WM_USER, 0, 0));
  EXPECT_FALSE(PostMessage(0xFFFFFFF0u, WM_USER, 0, 0));
  EXPECT_FALSE(IsWindowAlive(0));
  EXPECT_EQ(RegisterMessageSink(nullptr), 0u);
}

TEST(Messages, ACancelledThreadPostsNothing) {
  RecordingSink sink;
  HWND w = RegisterMessageSink(&sink);
  HANDLE gate = CreateEvent(true, false);
  std::atomic<BOOL> posted{TRUE_};
  HANDLE t = CreateThread([&]() -> DWORD {
    try {
      WaitForSingleObject(gate, INFINITE);
    } catch (const ThreadCancelled&) {
      posted = PostMessage(w, WM_USER, 1, 0);  // e.g. from a clean-up on the way out
      throw;
    }
    return 0;
  });
  Sleep(20);
  CancelThread(t);
  ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  EXPECT_FALSE(posted.load());
  EXPECT_TRUE(sink.got.empty());
  UnregisterMessageSink(w);
  CloseHandle(t);
  CloseHandle(gate);
}

TEST(Messages, SinkMayUnregisterItselfFromItsCall) {
  struct SelfRemoving : MessageSink {
    HWND self = 0;
    int calls = 0;
    void OnPostedMessage(unsigned, WPARAM, LPARAM) override {
      ++calls;
      UnregisterMessageSink(self);
    }
  } sink;
  sink.self = RegisterMessageSink(&sink);
  EXPECT_TRUE(PostMessage(sink.self, WM_USER, 0, 0));
  EXPECT_FALSE(PostMessage(sink.self, WM_USER, 0, 0));
  EXPECT_EQ(sink.calls, 1);
}

TEST(MessageBoxRoute, HandlerAnswersAndIsRestored) {
  std::vector<std::string> seen;
  auto previous = SetMessageBoxHandler([&](HWND owner, const std::string& text,
                                           const std::string& caption, unsigned type) {
    seen.push_back(std::to_string(owner) + "|" + text + "|" + caption + "|" + std::to_string(type));
    return IDNO;
  });
  EXPECT_EQ(MessageBox(3, "Delete?", "Ask", MB_YESNO | MB_ICONQUESTION), IDNO);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "3|Delete?|Ask|36");
  SetMessageBoxHandler(previous);
  // Without a handler the text goes to stderr and the answer is OK.
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox(0, "No handler", "Cap"), IDOK);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("No handler"), std::string::npos);
}

}  // namespace
