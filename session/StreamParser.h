// Cuts the live stream's byte stream into frames: header, then the picture, whatever the TCP
// segment boundaries are (a header split across reads, a header alone, several frames in one
// read and a byte-by-byte drip all give the same frames).
//
// The parser owns the receive buffer: the caller receives straight into WritePtr() (at most
// WriteSpace() bytes, at least kReadChunk after every NeedData), Commit()s the count, and calls
// Run() with the packet slot to fill until it answers NeedData. Pictures are copied from the
// buffer into the slot once; nothing is allocated per frame.
//
// Rules kept from the recorder protocol:
//  - a picture is accepted only when it begins with FF D8 FF DB; a picture that begins FF D8
//    but not FF DB (e.g. JFIF first) is skipped by its length and the stream goes on with the
//    next header;
//  - a picture that does not begin with FF D8 makes the parser drop everything up to and
//    including the next FF D9 and read a header right after it (resynchronisation);
//  - a header that is not a header (wrong version word), a frame length larger than the slot,
//    or a frame length shorter than the header it counts, is a bad header: counted, then
//    resynchronisation. It has no side effects.
//  - a header with frame length 0 carries no picture; the next header follows at once.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include "session/RtpHeader.h"

class StreamParser {
 public:
  static constexpr std::size_t kReadChunk = 1400;  // the largest chunk read at once
  static constexpr std::size_t kBufferSize = 2048;

  enum class Step {
    NeedData,  // every buffered byte is used: receive more
    Frame,     // the slot holds a complete accepted picture (LastHeader() describes it)
  };

  // `slotCapacity`: the size of a packet slot; longer frames are bad headers.
  explicit StreamParser(std::size_t slotCapacity);

  // Header format for the next headers: V1 or V0, and whether the V1 frame length counts the
  // header (K47R recorders).
  void SetFormat(bool v1, bool lengthCountsHeader) {
    v1_ = v1;
    lengthCountsHeader_ = lengthCountsHeader;
  }

  // Called for every well-formed header, before its picture is gathered (its side effects:
  // alarm triggers, channel switch, clock ...). May throw plat::ThreadCancelled.
  void SetHeaderHandler(std::function<void(const FrameHeaderFields&)> handler) {
    onHeader_ = std::move(handler);
  }

  std::uint8_t* WritePtr() { return buf_ + end_; }
  std::size_t WriteSpace() const { return kBufferSize - end_; }
  void Commit(std::size_t n);
  // Copies what fits (at most WriteSpace()) and answers the count taken.
  std::size_t Append(const std::uint8_t* data, std::size_t n);

  // Parses the buffered bytes. `slot` (capacity as constructed) receives the picture being
  // gathered; the same slot must be passed until Frame is answered.
  Step Run(std::uint8_t* slot);

  const RtpFrameHeader& LastHeader() const { return last_.hdr; }
  std::uint32_t LastFrameLength() const { return last_.hdr.dwFrameLength; }
  std::uint32_t LastHeaderLength() const { return last_.headerLength; }

  // Counters since construction.
  std::uint64_t Frames() const { return frames_; }
  std::uint64_t BadHeaders() const { return badHeaders_; }
  std::uint64_t Resyncs() const { return resyncs_; }
  std::uint64_t DroppedPictures() const { return dropped_; }
  bool InResync() const { return state_ == State::Resync; }
  // An accepted picture is being gathered into the slot (its first bytes are in).
  bool PictureStarted() const { return state_ == State::Picture && checked_ && accepted_; }
  std::size_t Buffered() const { return end_ - begin_; }

 private:
  enum class State { Header, Picture, Resync };

  void EnterResync();
  void Compact();

  std::size_t slotCapacity_;
  bool v1_ = false;
  bool lengthCountsHeader_ = false;
  std::function<void(const FrameHeaderFields&)> onHeader_;

  std::uint8_t buf_[kBufferSize];
  std::size_t begin_ = 0, end_ = 0;

  State state_ = State::Header;
  FrameHeaderFields cur_;   // header of the picture being gathered
  FrameHeaderFields last_;  // header of the last accepted picture
  std::uint32_t target_ = 0, fill_ = 0;
  bool checked_ = false, accepted_ = false;

  std::uint64_t frames_ = 0, badHeaders_ = 0, resyncs_ = 0, dropped_ = 0;
};
