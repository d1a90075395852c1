// Optical drives through libburn. libburn's C++ declarations live in namespace burn, so its
// burn_source is a type of its own here: the image from libisofs is handed over by cast.
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <libburn/libburn.h>

#include "discapi/internal.h"

namespace discapi::optical {
namespace {

std::mutex g_mutex;
int g_started = 0;  // 1 running, -1 failed

bool Start() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_started == 0) {
    g_started = burn::burn_initialize() ? 1 : -1;
    if (g_started == 1) {
      char never[] = "NEVER";
      char tag[] = "discapi";
      burn::burn_msgs_set_severities(never, never, tag);
    }
  }
  return g_started == 1;
}

struct Grabbed {
  burn::burn_drive_info* infos = nullptr;
  burn::burn_drive* drive = nullptr;
};

burn::burn_drive* DriveOf(void* d) { return static_cast<Grabbed*>(d)->drive; }

bool IsCd(int profile) { return profile >= 0x09 && profile <= 0x0a; }
bool IsWritableDvd(int profile) {
  return (profile >= 0x11 && profile <= 0x15) || profile == 0x1a || profile == 0x1b || profile == 0x2a ||
         profile == 0x2b || profile == 0x13 || profile == 0x14;
}

}  // namespace

void FinishOptical() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_started == 1) burn::burn_finish();
  g_started = 0;
}

std::vector<Drive> Scan() {
  std::vector<Drive> out;
  if (!Start()) return out;
  burn::burn_drive_info* infos = nullptr;
  unsigned int count = 0;
  for (int tries = 0; tries < 200; ++tries) {
    if (burn::burn_drive_scan(&infos, &count) != 0) break;
    usleep(10000);
  }
  for (unsigned int i = 0; infos && i < count; ++i) {
    char adr[BURN_DRIVE_ADR_LEN] = {0};
    if (burn::burn_drive_d_get_adr(infos[i].drive, adr) <= 0) continue;
    out.push_back({adr, std::string(infos[i].vendor), std::string(infos[i].product)});
    burn::burn_drive_info_forget(&infos[i], 0);
  }
  if (infos) burn::burn_drive_info_free(infos);
  return out;
}

void* Grab(const std::string& address) {
  if (!Start() || address.empty()) return nullptr;
  auto* g = new Grabbed;
  std::vector<char> adr(address.begin(), address.end());
  adr.push_back(0);
  if (burn::burn_drive_scan_and_grab(&g->infos, adr.data(), 1) != 1 || !g->infos) {
    delete g;
    return nullptr;
  }
  g->drive = g->infos[0].drive;
  return g;
}

void Release(void* d) {
  auto* g = static_cast<Grabbed*>(d);
  if (!g) return;
  burn::burn_drive_release(g->drive, 0);
  burn::burn_drive_info_free(g->infos);
  delete g;
}

bool Info(void* d, DiscCDInfo& info, bool withTracks) {
  burn::burn_drive* drive = DriveOf(d);
  const burn::burn_disc_status status = burn::burn_disc_get_status(drive);
  if (status != burn::BURN_DISC_BLANK && status != burn::BURN_DISC_APPENDABLE && status != burn::BURN_DISC_FULL) {
    return false;
  }
  int profile = 0;
  char name[80] = {0};
  burn::burn_disc_get_profile(drive, &profile, name);
  if (status == burn::BURN_DISC_FULL) {
    info.media_mask = DISC_MEDIA_ROM;
    info.closed = 1;
  } else if (IsCd(profile)) {
    info.media_mask = DISC_MEDIA_CD;
  } else if (IsWritableDvd(profile)) {
    info.media_mask = DISC_MEDIA_DVD;
  } else {
    info.media_mask = DISC_MEDIA_ROM;
  }
  if (status != burn::BURN_DISC_FULL) {
    const off_t space = burn::burn_disc_available_space(drive, nullptr);
    info.free_blocks = space > 0 ? static_cast<std::uint32_t>(space / 2048) : 0;
  }
  burn::burn_disc* disc = burn::burn_drive_get_disc(drive);
  if (!disc) return true;
  int sessions = 0;
  burn::burn_session** s = burn::burn_disc_get_sessions(disc, &sessions);
  info.session_count = static_cast<std::uint32_t>(sessions);
  for (int i = 0; withTracks && s && i < sessions; ++i) {
    int tracks = 0;
    burn::burn_track** t = burn::burn_session_get_tracks(s[i], &tracks);
    for (int k = 0; t && k < tracks && info.track_count < DISC_MAX_TRACKS; ++k) {
      burn::burn_toc_entry e{};
      burn::burn_track_get_entry(t[k], &e);
      if (!(e.extensions_valid & 1)) continue;
      info.tracks[info.track_count++] = {static_cast<std::uint32_t>(e.start_lba),
                                         static_cast<std::uint32_t>(e.track_blocks),
                                         static_cast<std::uint32_t>(i + 1), 0};
      info.used_blocks = static_cast<std::uint32_t>(e.start_lba + e.track_blocks);
    }
  }
  burn::burn_disc_free(disc);
  return true;
}

bool Read(void* d, std::uint32_t lba, std::uint8_t* buffer, std::uint32_t count) {
  off_t got = 0;
  const off_t want = static_cast<off_t>(count) * 2048;
  return burn::burn_read_data(DriveOf(d), static_cast<off_t>(lba) * 2048, reinterpret_cast<char*>(buffer), want,
                              &got, 2) == 1 &&
         got == want;
}

long long NextWritable(void* d) {
  burn::burn_drive* drive = DriveOf(d);
  const burn::burn_disc_status status = burn::burn_disc_get_status(drive);
  if (status == burn::BURN_DISC_BLANK) return 0;
  if (status != burn::BURN_DISC_APPENDABLE) return -1;
  burn::burn_write_opts* o = burn::burn_write_opts_new(drive);
  if (!o) return -1;
  int lba = 0, nwa = 0;
  const int r = burn::burn_disc_track_lba_nwa(drive, o, 0, &lba, &nwa);
  burn::burn_write_opts_free(o);
  return r > 0 ? nwa : -1;
}

int Write(void* d, void* source, bool close, int (*poll)(void* user, std::uint64_t done), void* user) {
  burn::burn_drive* drive = DriveOf(d);
  burn::burn_disc* disc = burn::burn_disc_create();
  burn::burn_session* session = burn::burn_session_create();
  burn::burn_track* track = burn::burn_track_create();
  burn::burn_disc_add_session(disc, session, BURN_POS_END);
  burn::burn_track_define_data(track, 0, 0, 1, BURN_MODE1);
  // The image goes straight to the drive: libburn's FIFO would only slow the writing.
  burn::burn_track_set_source(track, reinterpret_cast<burn::burn_source*>(source));
  burn::burn_session_add_track(session, track, BURN_POS_END);
  burn::burn_write_opts* o = burn::burn_write_opts_new(drive);
  burn::burn_write_opts_set_perform_opc(o, 0);
  burn::burn_write_opts_set_multi(o, close ? 0 : 1);
  char reasons[BURN_REASONS_LEN] = {0};
  int result = DISC_BURN_OK;
  if (burn::burn_write_opts_auto_write_type(o, disc, reasons, 0) == burn::BURN_WRITE_NONE) {
    Log(std::string("the drive cannot write this disc: ") + reasons);
    result = DISC_BURN_DRIVE_NOT_ALLOWED;
  } else {
    burn::burn_disc_write(o, disc);
    burn::burn_progress p{};
    bool cancelled = false;
    std::uint64_t nextPoll = 0;
    while (burn::burn_drive_get_status(drive, &p) != burn::BURN_DRIVE_IDLE) {
      const std::uint64_t done = static_cast<std::uint64_t>(p.sector > 0 ? p.sector : 0) * 2048;
      if (!cancelled && done >= nextPoll) {
        nextPoll = done + 1024 * 1024;
        if (poll(user, done)) {
          burn::burn_drive_cancel(drive);
          cancelled = true;
        }
      }
      usleep(100000);
    }
    if (cancelled) result = DISC_BURN_ABORTED;
    else if (!burn::burn_drive_wrote_well(drive)) result = DISC_BURN_FAILED;
  }
  burn::burn_write_opts_free(o);
  burn::burn_track_free(track);
  burn::burn_session_free(session);
  burn::burn_disc_free(disc);
  return result;
}

}  // namespace discapi::optical
