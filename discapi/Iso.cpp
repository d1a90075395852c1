// ISO items, importing a session, building the ISO track and burning it (libisofs makes
// the image; the library writes it to an image file, a file drive or an optical drive).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

// This file does not include libburn.h: libisofs then declares struct burn_source itself.
#define LIBISOFS_WITHOUT_LIBBURN 1
#include <libisofs/libisofs.h>

#include "discapi/drives.h"
#include "discapi/internal.h"

#define DISCAPI_EXPORT extern "C" __attribute__((visibility("default")))

struct DiscCDStamp {
  IsoImage* image = nullptr;
  std::uint32_t kind = 0;
  std::string address;
  std::uint32_t sessionStart = 0;
  std::uint32_t nextBlock = 0;  // where the next session goes
};

struct DiscIsoTrack {
  IsoImage* image = nullptr;
  bool imported = false;  // built on an imported session: written as its continuation
  std::uint32_t flags = 0;
};

namespace discapi {
namespace {

DiscDateTime DateOf(time_t t) {
  DiscDateTime d{};
  struct tm tmv {};
  if (t <= 0 || !gmtime_r(&t, &tmv)) return d;
  d.year = static_cast<std::uint16_t>(tmv.tm_year + 1900);
  d.month = static_cast<std::uint8_t>(tmv.tm_mon + 1);
  d.day = static_cast<std::uint8_t>(tmv.tm_mday);
  d.hour = static_cast<std::uint8_t>(tmv.tm_hour);
  d.minute = static_cast<std::uint8_t>(tmv.tm_min);
  d.second = static_cast<std::uint8_t>(tmv.tm_sec);
  return d;
}

time_t TimeOf(const DiscDateTime& d) {
  if (d.year < 1970 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31) return 0;
  struct tm tmv {};
  tmv.tm_year = d.year - 1900;
  tmv.tm_mon = d.month - 1;
  tmv.tm_mday = d.day;
  tmv.tm_hour = d.hour;
  tmv.tm_min = d.minute;
  tmv.tm_sec = d.second;
  return timegm(&tmv);
}

std::string NameOf(const DiscIsoItem* item) {
  if (item->long_name) return item->long_name;
  return std::string(item->short_name, strnlen(item->short_name, sizeof item->short_name));
}

std::string SourceOf(const DiscIsoItem* item) {
  if (item->long_source) return item->long_source;
  return std::string(item->source, strnlen(item->source, sizeof item->source));
}

void FreeItem(DiscIsoItem* item) {
  if (item->is_reference) {
    Free(item->long_name);
    Free(item->long_source);
    if (item->reference) iso_node_unref(static_cast<IsoNode*>(item->reference));
  }
  Free(item);
}

// An IsoDataSource reading the blocks of an optical disc.
struct OpticalSource {
  void* drive;
};

int OptOpen(IsoDataSource*) { return ISO_SUCCESS; }
int OptClose(IsoDataSource*) { return ISO_SUCCESS; }
int OptRead(IsoDataSource* src, uint32_t lba, uint8_t* buffer) {
  auto* s = static_cast<OpticalSource*>(src->data);
  return optical::Read(s->drive, lba, buffer, 1) ? ISO_SUCCESS : ISO_DATA_SOURCE_FAILURE;
}
void OptFree(IsoDataSource* src) { delete static_cast<OpticalSource*>(src->data); }

IsoDataSource* NewOpticalSource(void* drive) {
  auto* src = static_cast<IsoDataSource*>(std::calloc(1, sizeof(IsoDataSource)));
  if (!src) return nullptr;
  src->version = 0;
  src->refcount = 1;
  src->open = OptOpen;
  src->close = OptClose;
  src->read_block = OptRead;
  src->free_data = OptFree;
  src->data = new OpticalSource{drive};
  return src;
}

// Adds a caller's item (and a directory's items) under `parent`; false after logging.
bool AddItem(IsoImage* image, IsoDir* parent, const DiscIsoItem* item) {
  const std::string name = NameOf(item);
  if (name.empty()) {
    Log("an item without a name");
    return false;
  }
  IsoNode* node = nullptr;
  int r;
  if (item->is_directory) {
    IsoDir* dir = nullptr;
    r = iso_tree_add_new_dir(parent, name.c_str(), &dir);
    node = reinterpret_cast<IsoNode*>(dir);
    if (r >= 0) {
      for (const DiscIsoItem* c = item->children; c; c = c->next) {
        if (!AddItem(image, dir, c)) return false;
      }
    }
  } else {
    const std::string source = SourceOf(item);
    struct stat sb {};
    if (stat(source.c_str(), &sb) != 0 || !S_ISREG(sb.st_mode)) {
      Log("cannot read the file " + source);
      return false;
    }
    // libisofs reaches local files by absolute path only.
    char* absolute = realpath(source.c_str(), nullptr);
    if (!absolute) {
      Log("cannot read the file " + source);
      return false;
    }
    r = iso_tree_add_new_node(image, parent, name.c_str(), absolute, &node);
    std::free(absolute);
  }
  if (r < 0) {
    Log(r == static_cast<int>(ISO_NODE_NAME_NOT_UNIQUE) ? "two items named " + name
                                                        : "cannot add " + name + " (" + std::to_string(r) + ")");
    return false;
  }
  const time_t t = TimeOf(item->entry);
  if (t > 0 && node) iso_node_set_mtime(node, t);
  return true;
}

}  // namespace
}  // namespace discapi

using namespace discapi;

DISCAPI_EXPORT void DiscFreeIsoItem(DiscIsoItem* item) {
  if (item) FreeItem(item);
}

DISCAPI_EXPORT void DiscFreeIsoItemTree(DiscIsoItem* item) {
  while (item) {
    DiscIsoItem* next = item->next;
    DiscFreeIsoItemTree(item->children);
    FreeItem(item);
    item = next;
  }
}

DISCAPI_EXPORT DiscIsoItem* DiscCopyIsoItem(const DiscIsoItem* item) {
  if (!item) return nullptr;
  auto* copy = static_cast<DiscIsoItem*>(Alloc(sizeof(DiscIsoItem)));
  if (!copy) return nullptr;
  *copy = *item;
  copy->next = nullptr;
  copy->children = nullptr;
  if (item->is_reference) {
    copy->long_name = item->long_name ? AllocText(item->long_name) : nullptr;
    copy->long_source = item->long_source ? AllocText(item->long_source) : nullptr;
    if (copy->reference) iso_node_ref(static_cast<IsoNode*>(copy->reference));
  }
  return copy;
}

DISCAPI_EXPORT void DiscFreeCDStamp(DiscCDStamp* stamp) {
  if (!stamp) return;
  if (stamp->image) iso_image_unref(stamp->image);
  delete stamp;
  CountObject(-1);
}

DISCAPI_EXPORT DiscIsoItem* DiscImportDataTrack(DiscDevice* d, int track, DiscCDStamp** stamp,
                                                DiscImportRecord* record, uint32_t, int* error, void*) {
  int dummy = 0;
  int& err = error ? *error : dummy;
  err = DISC_IMPORT_UNKNOWN;
  if (stamp) *stamp = nullptr;
  if (!d || !stamp) {
    err = DISC_IMPORT_GENERIC;
    return nullptr;
  }
  // What is on the disc.
  std::uint32_t start = 0, next = 0;
  IsoDataSource* src = nullptr;
  if (d->kind == DISC_DRIVE_FILE) {
    const int fd = open(d->address.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno != ENOENT) {
      err = DISC_IMPORT_DRIVE;
      return nullptr;
    }
    FileDiscState st;  // no file yet: a blank disc
    if (fd >= 0) {
      st = ReadFileDisc(fd);
      close(fd);
    }
    if (track < 0 || static_cast<std::size_t>(track) >= st.sessions.size()) {
      err = DISC_IMPORT_INVALID_TRACK;
      return nullptr;
    }
    start = st.sessions[static_cast<std::size_t>(track)].start;
    next = st.nextBlock;
    if (iso_data_source_new_from_file(d->address.c_str(), &src) < 0) {
      err = DISC_IMPORT_READ;
      return nullptr;
    }
  } else if (d->kind == DISC_DRIVE_OPTICAL) {
    DiscCDInfo cd{};
    if (!optical::Info(d->optical, cd, true) || track < 0 || static_cast<std::uint32_t>(track) >= cd.track_count) {
      err = DISC_IMPORT_INVALID_TRACK;
      return nullptr;
    }
    start = cd.tracks[track].start_block;
    const long long nwa = optical::NextWritable(d->optical);
    next = nwa > 0 ? static_cast<std::uint32_t>(nwa) : 0;
    src = NewOpticalSource(d->optical);
    if (!src) {
      err = DISC_IMPORT_GENERIC;
      return nullptr;
    }
  } else {
    err = DISC_IMPORT_INVALID_TRACK;  // the image recorder's disc is always blank
    return nullptr;
  }

  IsoImage* image = nullptr;
  IsoReadOpts* ropts = nullptr;
  int r = iso_image_new("", &image);
  if (r >= 0) r = iso_read_opts_new(&ropts, 0);
  if (r >= 0) {
    iso_read_opts_set_start_block(ropts, start);
    r = iso_image_import(image, src, ropts, nullptr);
  }
  if (ropts) iso_read_opts_free(ropts);
  iso_data_source_unref(src);
  if (r < 0) {
    if (image) iso_image_unref(image);
    Log("the session at block " + std::to_string(start) + " cannot be read");
    const unsigned code = static_cast<unsigned>(r);
    err = code == ISO_DATA_SOURCE_FAILURE || code == ISO_DATA_SOURCE_SORRY || code == ISO_DATA_SOURCE_MISHAP ||
                  code == ISO_DATA_SOURCE_FATAL
              ? DISC_IMPORT_READ
              : DISC_IMPORT_FILESYSTEM;
    return nullptr;
  }

  auto* s = new DiscCDStamp;
  CountObject(1);
  s->image = image;
  s->kind = d->kind;
  s->address = d->address;
  s->sessionStart = start;
  s->nextBlock = next;

  DiscIsoItem* head = nullptr;
  DiscIsoItem** tail = &head;
  IsoDirIter* iter = nullptr;
  if (iso_dir_get_children(iso_image_get_root(image), &iter) >= 0) {
    IsoNode* node = nullptr;
    while (iso_dir_iter_next(iter, &node) == 1) {
      auto* item = static_cast<DiscIsoItem*>(Alloc(sizeof(DiscIsoItem)));
      if (!item) break;
      item->is_reference = 1;
      item->long_name = AllocText(iso_node_get_name(node));
      item->is_directory = iso_node_get_type(node) == LIBISO_DIR;
      item->entry = DateOf(iso_node_get_mtime(node));
      if (iso_node_get_type(node) == LIBISO_FILE) item->size = iso_file_get_size(reinterpret_cast<IsoFile*>(node));
      iso_node_ref(node);
      item->reference = node;
      item->stamp = s;
      *tail = item;
      tail = &item->next;
    }
    iso_dir_iter_free(iter);
  }
  if (record && record->size >= sizeof(DiscImportRecord)) {
    const char* volume = iso_image_get_volume_id(image);
    record->note = AllocText(volume ? volume : "");
  }
  *stamp = s;
  return head;
}

DISCAPI_EXPORT DiscIsoItem* DiscImportIsoTrackEx(DiscDevice* d, int track, DiscCDStamp** stamp, uint32_t flags) {
  int error = 0;
  return DiscImportDataTrack(d, track, stamp, nullptr, flags, &error, nullptr);
}

DISCAPI_EXPORT DiscIsoTrack* DiscCreateIsoTrackEx(DiscIsoItem* root, const char* name, uint32_t flags) {
  if (!name || (flags & DISC_ISO_NAME_RECORD)) {
    Log("DiscCreateIsoTrackEx: bad arguments");
    return nullptr;
  }
  // The stamp the references come from (all from one).
  DiscCDStamp* stamp = nullptr;
  for (DiscIsoItem* i = root; i; i = i->next) {
    if (!i->is_reference) continue;
    auto* s = static_cast<DiscCDStamp*>(i->stamp);
    if (!s || !i->reference || (stamp && s != stamp)) {
      Log("DiscCreateIsoTrackEx: references from different sessions");
      return nullptr;
    }
    stamp = s;
  }
  IsoImage* image = nullptr;
  if (stamp) {
    image = stamp->image;
    iso_image_ref(image);
    // Files of the session the caller left out are dropped from the new tree.
    IsoDir* top = iso_image_get_root(image);
    std::vector<IsoNode*> drop;
    IsoDirIter* iter = nullptr;
    if (iso_dir_get_children(top, &iter) >= 0) {
      IsoNode* node = nullptr;
      while (iso_dir_iter_next(iter, &node) == 1) {
        bool kept = false;
        for (DiscIsoItem* i = root; i && !kept; i = i->next) kept = i->is_reference && i->reference == node;
        if (!kept) drop.push_back(node);
      }
      iso_dir_iter_free(iter);
    }
    for (IsoNode* n : drop) iso_node_remove(n);
  } else if (iso_image_new(name, &image) < 0) {
    Log("DiscCreateIsoTrackEx: no memory");
    return nullptr;
  }
  iso_image_set_volume_id(image, name);
  iso_tree_set_follow_symlinks(image, 1);
  for (DiscIsoItem* i = root; i; i = i->next) {
    if (i->is_reference) continue;
    if (!AddItem(image, iso_image_get_root(image), i)) {
      iso_image_unref(image);
      return nullptr;
    }
  }
  auto* t = new DiscIsoTrack;
  CountObject(1);
  t->image = image;
  t->imported = stamp != nullptr;
  t->flags = flags;
  return t;
}

DISCAPI_EXPORT void DiscFreeIsoTrack(DiscIsoTrack* track) {
  if (!track) return;
  if (track->image) iso_image_unref(track->image);
  delete track;
  CountObject(-1);
}

namespace {

struct BurnPoll {
  const DiscProgress* progress;
  std::uint64_t total;
  int lastPercent;
};

// Progress, aborted and idle callbacks: non-zero stops the burn.
int Poll(void* user, std::uint64_t done) {
  auto* p = static_cast<BurnPoll*>(user);
  const int percent = p->total ? static_cast<int>(done * 100 / p->total) : 100;
  if (p->progress && p->progress->progress && percent != p->lastPercent) {
    p->lastPercent = percent;
    p->progress->progress(percent, p->progress->user);
  }
  if (p->progress && p->progress->aborted && p->progress->aborted(p->progress->user)) return 1;
  return CallIdle();
}

void ReleaseSource(burn_source* src) {
  if (!src) return;
  if (src->free_data) src->free_data(src);
  std::free(src);
}

int ReadSource(burn_source* src, unsigned char* buf, int size) {
  if (src->version >= 1 && src->read_xt) return src->read_xt(src, buf, size);
  return src->read ? src->read(src, buf, size) : -1;
}

// Copies the whole image into `fd` at `offset`; result as DiscBurn.
int CopyImage(burn_source* src, int fd, std::uint64_t offset, BurnPoll& poll) {
  std::vector<unsigned char> buf(64 * 1024);
  std::uint64_t done = 0, nextPoll = 0;
  while (done < poll.total) {
    const int want = static_cast<int>(std::min<std::uint64_t>(buf.size(), poll.total - done));
    const int n = ReadSource(src, buf.data(), want);
    if (n <= 0) {
      Log("the image could not be made");
      return DISC_BURN_FAILED;
    }
    std::size_t off = 0;
    while (off < static_cast<std::size_t>(n)) {
      const ssize_t w = pwrite(fd, buf.data() + off, static_cast<std::size_t>(n) - off,
                               static_cast<off_t>(offset + done + off));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        Log(std::string("write failed: ") + std::strerror(errno));
        return DISC_BURN_FAILED;
      }
      off += static_cast<std::size_t>(w);
    }
    done += static_cast<std::uint64_t>(n);
    if (done >= nextPoll || done == poll.total) {
      nextPoll = done + 1024 * 1024;
      if (Poll(&poll, done)) return DISC_BURN_ABORTED;
    }
  }
  return DISC_BURN_OK;
}

// The image recorder's file, asked of the caller; empty when it cancelled.
std::string AskImagePath() {
  std::vector<char> path(DISC_PATH_BUFFER, 0);
  const int answer = CallUserDialog(DISC_REQUEST_IMAGE_PATH, path.data());
  path[DISC_PATH_BUFFER - 1] = 0;
  return answer == 1 ? std::string(path.data()) : std::string();
}

int WriteImageFile(burn_source* src, const std::string& target, BurnPoll& poll) {
  const std::string part = target + ".part";
  const int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    Log("cannot create " + part + ": " + std::strerror(errno));
    return DISC_BURN_FAILED;
  }
  int result = CopyImage(src, fd, 0, poll);
  if (fsync(fd) != 0 && result == DISC_BURN_OK) result = DISC_BURN_FAILED;
  close(fd);
  if (result == DISC_BURN_OK && rename(part.c_str(), target.c_str()) != 0) {
    Log("cannot rename to " + target);
    result = DISC_BURN_FAILED;
  }
  if (result != DISC_BURN_OK) unlink(part.c_str());
  return result;
}

}  // namespace

DISCAPI_EXPORT int DiscBurn(DiscDevice* d, int format, void* record, uint32_t flags, int, const DiscProgress* progress) {
  if (!d) return DISC_BURN_INVALID_DRIVE;
  if (format != 0 || !record) return DISC_BURN_UNKNOWN_FORMAT;
  auto* rec = static_cast<DiscBurnRecord*>(record);
  auto* track = static_cast<DiscIsoTrack*>(rec->iso_track);
  auto* stamp = static_cast<DiscCDStamp*>(rec->stamp);
  if (!track || !(flags & DISC_BURN_WRITE)) return DISC_BURN_NOT_ALLOWED;
  if (track->imported && (!stamp || stamp->image != track->image)) {
    Log("DiscBurn: the track continues a session the record does not name");
    return DISC_BURN_NOT_ALLOWED;
  }
  if (stamp && (stamp->kind != d->kind || stamp->address != d->address)) {
    Log("DiscBurn: the session was imported from another drive");
    return DISC_BURN_NOT_ALLOWED;
  }
  const bool close = !(flags & DISC_BURN_MULTISESSION);

  // Where the session starts.
  std::uint32_t start = 0;
  int fd = -1;
  FileDiscState st;
  std::uint64_t capacity = ~0ull;
  std::string imagePath;
  if (d->kind == DISC_DRIVE_IMAGE) {
    if (stamp) return DISC_BURN_NOT_ALLOWED;
    imagePath = AskImagePath();  // before any work: a cancel ends the burn at once
    if (imagePath.empty()) return DISC_BURN_ABORTED;
  } else if (d->kind == DISC_DRIVE_FILE) {
    fd = open(d->address.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      Log("cannot open " + d->address + ": " + std::strerror(errno));
      return DISC_BURN_INVALID_DRIVE;
    }
    st = ReadFileDisc(fd);
    if (st.closed || (stamp && stamp->nextBlock != st.nextBlock)) {
      Log(st.closed ? "the disc is closed" : "the disc changed since its session was imported");
      ::close(fd);
      return DISC_BURN_NOT_ALLOWED;
    }
    start = st.nextBlock;
    capacity = d->capacity;
  } else {
    const long long nwa = optical::NextWritable(d->optical);
    if (nwa < 0) return DISC_BURN_DRIVE_NOT_ALLOWED;
    start = static_cast<std::uint32_t>(nwa);
    if (stamp && stamp->nextBlock != start) return DISC_BURN_NOT_ALLOWED;
  }

  IsoWriteOpts* opts = nullptr;
  if (iso_write_opts_new(&opts, 0) < 0) {
    if (fd >= 0) ::close(fd);
    return DISC_BURN_FAILED;
  }
  iso_write_opts_set_iso_level(opts, 3);
  iso_write_opts_set_relaxed_vol_atts(opts, 1);  // the volume name keeps its case
  iso_write_opts_set_rockridge(opts, (track->flags & DISC_ISO_ROCKRIDGE) ? 1 : 0);
  iso_write_opts_set_joliet(opts, (track->flags & DISC_ISO_JOLIET) ? 1 : 0);
  if (track->flags & DISC_ISO_LONG_NAMES) {
    iso_write_opts_set_joliet_long_names(opts, 1);
    iso_write_opts_set_max_37_char_filenames(opts, 1);
  }
  iso_write_opts_set_appendable(opts, track->imported ? 1 : 0);
  iso_write_opts_set_ms_block(opts, start);
  std::vector<uint8_t> head;
  if (d->kind == DISC_DRIVE_FILE) {
    head.assign(32 * 2048, 0);
    iso_write_opts_set_overwrite_buf(opts, head.data());
  }
  burn_source* src = nullptr;
  int r = iso_image_create_burn_source(track->image, opts, &src);
  iso_write_opts_free(opts);
  if (r < 0 || !src) {
    Log("the image could not be made");
    if (fd >= 0) ::close(fd);
    return DISC_BURN_FAILED;
  }
  BurnPoll poll{progress, static_cast<std::uint64_t>(src->get_size(src)), -1};
  Poll(&poll, 0);

  int result = DISC_BURN_OK;
  if (d->kind == DISC_DRIVE_IMAGE) {
    result = WriteImageFile(src, imagePath, poll);
  } else if (d->kind == DISC_DRIVE_FILE) {
    if (static_cast<std::uint64_t>(start) * 2048 + poll.total > capacity) {
      Log("not enough space on the disc");
      result = DISC_BURN_FAILED;
    } else {
      result = CopyImage(src, fd, static_cast<std::uint64_t>(start) * 2048, poll);
    }
    if (result == DISC_BURN_OK && fsync(fd) != 0) result = DISC_BURN_FAILED;
    if (result == DISC_BURN_OK) {
      // Only now do the descriptors point at the new session.
      if (close) std::memcpy(head.data(), kClosedMark, sizeof kClosedMark);
      if (pwrite(fd, head.data(), head.size(), 0) != static_cast<ssize_t>(head.size()) || fsync(fd) != 0) {
        result = DISC_BURN_FAILED;
      }
    }
    if (result != DISC_BURN_OK && ftruncate(fd, static_cast<off_t>(st.fileSize)) != 0) {
      Log("the file drive could not be restored");
    }
    ::close(fd);
  } else {
    result = optical::Write(d->optical, src, close, Poll, &poll);
  }
  if (result != DISC_BURN_OK && src->cancel) src->cancel(src);
  ReleaseSource(src);
  if (result == DISC_BURN_OK) Poll(&poll, poll.total);
  return result;
}
