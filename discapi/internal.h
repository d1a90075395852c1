// Inside the disc-writing library: allocations, the error log, devices and the optical
// drive layer (libburn, kept in its own file because libburn.h puts its C++ declarations
// in a namespace of its own).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "discapi/discapi.h"

namespace discapi {

// Library allocations carry a header so DiscFreeMem can check them; DiscDone reports how
// many are still alive (allocations and objects together).
void* Alloc(std::size_t size);
char* AllocText(const std::string& text);
bool Free(void* p);  // false for a pointer the library did not allocate
void CountObject(int delta);
int AliveCount();

void Log(const std::string& line);

// The callbacks DiscInit kept.
int CallIdle();
int CallUserDialog(int request, void* data);

}  // namespace discapi

struct DiscDevice {
  std::uint32_t kind = DISC_DRIVE_IMAGE;
  std::string name;
  std::string address;
  std::uint64_t capacity = 0;  // file drives
  void* optical = nullptr;     // the grabbed libburn drive
};

namespace discapi::optical {

struct Drive {
  std::string address;
  std::string vendor;
  std::string product;
};

// The optical drives libburn finds (none when libburn cannot start).
std::vector<Drive> Scan();
// Releases what the optical-drive back end holds for the process (after the last use).
void FinishOptical();
// Grabs the drive at `address`; nullptr on failure.
void* Grab(const std::string& address);
void Release(void* drive);
// Fills the disc information of the grabbed drive; false without a medium.
bool Info(void* drive, DiscCDInfo& info, bool withTracks);
// Reads `count` 2048-byte blocks from `lba`; false on a read error.
bool Read(void* drive, std::uint32_t lba, std::uint8_t* buffer, std::uint32_t count);
// The next writable block (the start of a new session); -1 when none.
long long NextWritable(void* drive);
// Writes the image from `source` (a libisofs burn_source) as one session; `close` closes
// the disc. `poll` is called about every megabyte with the bytes written and answers
// non-zero to abort. Result as DiscBurn.
int Write(void* drive, void* source, bool close, int (*poll)(void* user, std::uint64_t done), void* user);

}  // namespace discapi::optical
