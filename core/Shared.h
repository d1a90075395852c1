// Values that several threads read and write: every access takes the value's own lock and
// hands out a copy, so no caller ever holds a reference into shared storage.
#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

// A value guarded by its own lock. Get() copies out, Set() copies in; Update() runs a
// read-modify-write under the lock.
template <class T>
class Locked {
 public:
  Locked() = default;
  explicit Locked(T value) : value_(std::move(value)) {}
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

  T Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return value_;
  }
  void Set(T value) {
    std::lock_guard<std::mutex> lock(mutex_);
    value_ = std::move(value);
  }
  Locked& operator=(T value) {
    Set(std::move(value));
    return *this;
  }
  operator T() const { return Get(); }

  template <class F>
  auto Update(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f(value_);
  }

 private:
  mutable std::mutex mutex_;
  T value_{};
};

// A pointer that several threads read while one sets it: atomic loads and stores, with the
// pointer's own syntax (p->x, p[i], if (p)).
template <class T>
class AtomicPtr {
 public:
  AtomicPtr() = default;
  AtomicPtr(T* p) : p_(p) {}
  AtomicPtr(const AtomicPtr&) = delete;
  AtomicPtr& operator=(const AtomicPtr&) = delete;
  AtomicPtr& operator=(T* p) {
    p_.store(p);
    return *this;
  }
  T* load() const { return p_.load(); }
  void store(T* p) { p_.store(p); }
  T* exchange(T* p) { return p_.exchange(p); }
  // Replaces `expected` only: true when the pointer was `expected`.
  bool compare_exchange(T* expected, T* p) { return p_.compare_exchange_strong(expected, p); }
  operator T*() const { return p_.load(); }
  T* operator->() const { return p_.load(); }

 private:
  std::atomic<T*> p_{nullptr};
};

// A text shared between threads.
class SharedString {
 public:
  SharedString() = default;
  explicit SharedString(std::string_view text) : value_(text) {}
  SharedString(const SharedString&) = delete;
  SharedString& operator=(const SharedString&) = delete;

  std::string Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return value_;
  }
  void Set(std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    value_.assign(text.data(), text.size());
  }
  SharedString& operator=(std::string_view text) {
    Set(text);
    return *this;
  }
  SharedString& operator=(const std::string& text) {
    Set(text);
    return *this;
  }
  SharedString& operator=(const char* text) {
    Set(text ? std::string_view(text) : std::string_view());
    return *this;
  }
  operator std::string() const { return Get(); }

  bool Equals(std::string_view text) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return value_ == text;
  }
  bool Empty() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return value_.empty();
  }
  std::size_t Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return value_.size();
  }

  template <class F>
  auto Update(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f(value_);
  }

 private:
  mutable std::mutex mutex_;
  std::string value_;
};

inline bool operator==(const SharedString& a, std::string_view b) { return a.Equals(b); }

// A fixed run of N characters without terminator (the MAC text, the firmware digits).
// Set() copies at most N characters and zero-fills the rest; Text() stops at the first zero.
template <std::size_t N>
class SharedChars {
 public:
  SharedChars() { chars_.fill(0); }
  SharedChars(const SharedChars&) = delete;
  SharedChars& operator=(const SharedChars&) = delete;

  std::array<char, N> Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return chars_;
  }
  void Set(std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    chars_.fill(0);
    const std::size_t n = text.size() < N ? text.size() : N;
    if (n > 0) std::memcpy(chars_.data(), text.data(), n);
  }
  void Clear() { Set({}); }
  std::string Text() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t n = 0;
    while (n < N && chars_[n] != 0) ++n;
    return std::string(chars_.data(), n);
  }
  static constexpr std::size_t Capacity() { return N; }

 private:
  mutable std::mutex mutex_;
  std::array<char, N> chars_;
};
