#include "session/StreamParser.h"

#include <algorithm>
#include <cstring>

StreamParser::StreamParser(std::size_t slotCapacity) : slotCapacity_(slotCapacity) {}

void StreamParser::Commit(std::size_t n) { end_ += std::min(n, WriteSpace()); }

std::size_t StreamParser::Append(const std::uint8_t* data, std::size_t n) {
  const std::size_t take = std::min(n, WriteSpace());
  if (take) std::memcpy(buf_ + end_, data, take);
  end_ += take;
  return take;
}

void StreamParser::EnterResync() {
  state_ = State::Resync;
  ++resyncs_;
}

// Called only before answering NeedData: what is left then is a partial header (< 48 bytes),
// a partial picture start (< 4 bytes) or a trailing FF while resynchronising.
void StreamParser::Compact() {
  const std::size_t left = end_ - begin_;
  if (left && begin_) std::memmove(buf_, buf_ + begin_, left);
  begin_ = 0;
  end_ = left;
}

StreamParser::Step StreamParser::Run(std::uint8_t* slot) {
  for (;;) {
    const std::size_t avail = end_ - begin_;
    switch (state_) {
      case State::Header: {
        if (avail == 0) {
          Compact();
          return Step::NeedData;
        }
        const HeaderScan s = ScanFrameHeader(buf_ + begin_, avail, v1_, lengthCountsHeader_, cur_);
        if (s == HeaderScan::NeedMore) {
          Compact();
          return Step::NeedData;
        }
        if (s == HeaderScan::Bad) {
          ++badHeaders_;
          EnterResync();
          break;
        }
        begin_ += cur_.headerLength;
        if (cur_.hdr.dwFrameLength > slotCapacity_) {
          ++badHeaders_;
          EnterResync();
          break;
        }
        if (onHeader_) onHeader_(cur_);
        if (cur_.hdr.dwFrameLength == 0) break;  // no picture: the next header follows
        target_ = cur_.hdr.dwFrameLength;
        fill_ = 0;
        checked_ = false;
        accepted_ = false;
        state_ = State::Picture;
        break;
      }
      case State::Picture: {
        if (!checked_) {
          // Look at the picture's own first bytes before taking any of them.
          const std::size_t need = std::min<std::size_t>(4, target_);
          if (avail < need) {
            Compact();
            return Step::NeedData;
          }
          const std::uint8_t* q = buf_ + begin_;
          if (need >= 2 && !(q[0] == 0xFF && q[1] == 0xD8)) {
            EnterResync();
            break;
          }
          accepted_ = need == 4 && q[2] == 0xFF && q[3] == 0xDB;
          checked_ = true;
        }
        if (avail == 0) {
          Compact();
          return Step::NeedData;
        }
        const std::size_t take = std::min<std::size_t>(avail, target_ - fill_);
        if (accepted_) std::memcpy(slot + fill_, buf_ + begin_, take);
        fill_ += static_cast<std::uint32_t>(take);
        begin_ += take;
        if (fill_ == target_) {
          state_ = State::Header;
          if (accepted_) {
            last_ = cur_;
            ++frames_;
            return Step::Frame;
          }
          ++dropped_;
        }
        break;
      }
      case State::Resync: {
        const std::uint8_t* q = buf_ + begin_;
        const std::uint8_t* stop = buf_ + end_;
        bool found = false;
        while (q < stop) {
          const void* ff = std::memchr(q, 0xFF, static_cast<std::size_t>(stop - q));
          if (!ff) {
            q = stop;
            break;
          }
          q = static_cast<const std::uint8_t*>(ff);
          if (q + 1 == stop) break;  // keep a trailing FF: its D9 may come with the next read
          if (q[1] == 0xD9) {
            q += 2;
            found = true;
            break;
          }
          ++q;
        }
        begin_ = static_cast<std::size_t>(q - buf_);
        if (found) {
          state_ = State::Header;
          break;
        }
        Compact();
        return Step::NeedData;
      }
    }
  }
}
