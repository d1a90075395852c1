#include "session/NetworkBackup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/Messages.h"
#include "platform/bytes.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/ProgressJobs.h"
#include "session/SessionRecord.h"
#include "session/Socket.h"

namespace nb {

std::string DiskName(unsigned diskNumber) {
  static const char* const kFixed[] = {"MASTER1", "SLAVE1", "MASTER2", "SLAVE2"};
  if (diskNumber < 4) return kFixed[diskNumber];
  char text[16];
  std::snprintf(text, sizeof text, "EXT-%.2u", diskNumber - 3);
  return text;
}

std::vector<unsigned> ListDisks(const DiskMask& mask) {
  std::vector<unsigned> disks;
  for (unsigned b = 0; b < 256; ++b) {
    if (mask[b / 8] & (1u << (b % 8))) disks.push_back(b);
  }
  return disks;
}

int DiskOfPosition(const DiskMask& mask, int position) {
  if (position < 0) return -1;
  const std::vector<unsigned> disks = ListDisks(mask);
  return static_cast<std::size_t>(position) < disks.size() ? static_cast<int>(disks[static_cast<std::size_t>(position)]) : -1;
}

int DiskNumberOfName(const std::string& name) {
  for (unsigned b = 0; b < 4; ++b) {
    if (name == DiskName(b)) return static_cast<int>(b);
  }
  if (name.size() >= 6 && name.compare(0, 4, "EXT-") == 0) {
    int k = 0;
    for (std::size_t i = 4; i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9' || k > 1000) return -1;
      k = k * 10 + (name[i] - '0');
    }
    if (k >= 1 && k + 3 < 256 && name == DiskName(static_cast<unsigned>(k + 3))) return k + 3;
  }
  return -1;
}

bool ParseDiskMask(const std::uint8_t* data, std::size_t length, DiskMask& mask) {
  mask.fill(0);
  if (data == nullptr || length < mask.size()) return false;
  std::memcpy(mask.data(), data, mask.size());
  return true;
}

bool RequestDiskMask(DiskMask& mask) {
  mask.fill(0);
  CCgiRequest request(CGI_GETDVRHDD);
  request.AddCookie(GetSessionId());
  std::uint8_t reply[1024] = {};
  plat::DWORD length = 0;
  if (!ZududSendCommand(request, nullptr, 0, nullptr, reply, sizeof reply, &length, 15, 15)) return false;
  return ParseDiskMask(reply, length, mask);
}

std::string BuildBackupRequest(const BackupRequest& r) {
  char query[512];
  std::snprintf(query, sizeof query,
                "/NetworkBk.cgi?Cookie=%s&Year=%d&Month=%d&Day=%d&Hour=%d&Minute=%d&Second=%d&Num=%d&CH=%d&Size=%d",
                r.sessionId.c_str(), r.year, r.month, r.day, r.hour, r.minute, r.second, r.hddNumber, r.channel,
                r.sizeMB);
  // The identifier is not cut: a longer one than the buffer holds is refused.
  if (r.sessionId.size() > 63) return std::string();
  return BuildCommandHead(query, std::strlen(query), false, 0, r.host);
}

std::string MakeBackupFileName(const std::string& folder, int channel) {
  // Every name tried is as long as the one the loop ends with; a folder too long for it is
  // refused as a whole, never cut to a name the operator did not choose.
  if (folder.empty() || folder.size() > MaxBackupFolderLength(channel)) return std::string();
  char name[32];
  for (int n = 1; n <= 9999; ++n) {
    std::snprintf(name, sizeof name, "/CH%.2d_%.4d.dvr", channel, n);
    const std::string path = folder + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return path;
  }
  std::snprintf(name, sizeof name, "/CH%.2d_Temp.dvr", channel);
  return folder + name;
}

std::size_t MaxBackupFolderLength(int channel) {
  char name[32];
  std::snprintf(name, sizeof name, "/CH%.2d_Temp.dvr", channel);
  return kMaxPlayerPath - std::strlen(name);
}

std::uint64_t BackupByteLimit(int sizeMB) {
  return kOverrunFactor * 1048576u * static_cast<std::uint64_t>(sizeMB > 1 ? sizeMB : 1);
}

int BackupPercent(std::uint64_t total, int sizeMB) {
  if (sizeMB <= 0) return 100;
  const std::uint64_t p = (total * 100 / 1048576) / static_cast<std::uint64_t>(sizeMB);
  return p > 100 ? 100 : static_cast<int>(p);
}

namespace {

bool ReceiveExactly(IByteSource& source, std::uint8_t* buffer, std::size_t length) {
  std::size_t got = 0;
  while (got < length) {
    const int n = source.Receive(buffer + got, length - got);
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

// The backup file, open for the whole download; every append is one write.
class BackupFile {
 public:
  ~BackupFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Create(const std::string& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd_ >= 0;
  }
  bool Append(const std::uint8_t* data, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
      const ssize_t n = ::write(fd_, data + done, length - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

 private:
  int fd_ = -1;
};

class FileLockScope {
 public:
  explicit FileLockScope(IBackupPlayer* player) : player_(player) {
    if (player_) player_->LockFile();
  }
  ~FileLockScope() {
    if (player_) player_->UnlockFile();
  }
  FileLockScope(const FileLockScope&) = delete;
  FileLockScope& operator=(const FileLockScope&) = delete;

 private:
  IBackupPlayer* player_;
};

}  // namespace

int ReceiveBackupStream(IByteSource& source, const std::string& filePath, int sizeMB, StreamHooks& hooks) {
  IBackupPlayer* player = hooks.player;
  auto status = [&](int s, int v = 0) {
    if (hooks.status) hooks.status(s, v);
  };
  auto progress = [&](int job, int v = 0) {
    if (hooks.progress) hooks.progress(job, v);
  };
  auto stop = [&] { return hooks.stopRequested && hooks.stopRequested(); };
  auto ready = [&] { return player && player->Ready(); };
  auto tellStop = [&](std::uint32_t why) {
    if (player && player->Linked()) player->Post(msg::WM_PLAYERSTOP, 0, why);
  };

  BackupFile file;
  if (!file.Create(filePath)) {
    status(DS_FILE_FAILED);
    tellStop(kPlayerStopFile);
    return DS_FILE_FAILED;
  }
  std::uint64_t total = 0, notified = 0;
  const std::uint64_t limit = BackupByteLimit(sizeMB);
  bool first = true;
  progress(PROGRESS_JOB_EMPTY);
  progress(PROGRESS_JOB_MAXIMUM, 100);
  std::uint8_t header[8];
  std::uint8_t buffer[kChunkBuffer];
  for (;;) {
    if (stop()) {
      if (ready()) player->Post(msg::WM_PLAYERDOWNLOADEND, 1, 0);
      progress(PROGRESS_JOB_CLEAR);
      return 0;
    }
    if (!ReceiveExactly(source, header, sizeof header)) {
      status(DS_RECEIVE_FAILED);
      tellStop(kPlayerStopNetwork);
      progress(PROGRESS_JOB_CLEAR);
      return DS_RECEIVE_FAILED;
    }
    // A recorder that refuses the command answers with an HTTP head instead of chunks.
    if (first && std::memcmp(header, "HTTP/", 5) == 0) {
      status(DS_SEND_FAILED);
      tellStop(kPlayerStopNetwork);
      progress(PROGRESS_JOB_CLEAR);
      return DS_SEND_FAILED;
    }
    first = false;
    if (stop()) {
      { FileLockScope lock(player); }
      if (ready()) player->Post(msg::WM_PLAYERDOWNLOADEND, 1, 0);
      progress(PROGRESS_JOB_CLEAR);
      return 0;
    }
    std::uint32_t length = 0, type = 0;
    plat::ByteReader chunk(header, sizeof header);
    chunk.U32(length);
    chunk.U32(type);
    if (type == NB_CHUNK_DATA) {
      std::uint32_t left = length;
      while (left > 0) {
        if (total >= limit) {
          // Far more than was asked for: what came so far stays in the file.
          if (ready() && total > notified) player->Post(msg::WM_PLAYERDATAADDED, 0, total - notified);
          status(DS_OVERRUN);
          tellStop(kPlayerStopNetwork);
          progress(PROGRESS_JOB_CLEAR);
          return DS_OVERRUN;
        }
        std::size_t piece = left < kChunkBuffer ? left : kChunkBuffer;
        if (piece > limit - total) piece = static_cast<std::size_t>(limit - total);
        if (!ReceiveExactly(source, buffer, piece)) {
          status(DS_RECEIVE_FAILED);
          tellStop(kPlayerStopNetwork);
          progress(PROGRESS_JOB_CLEAR);
          return DS_RECEIVE_FAILED;
        }
        bool written;
        {
          FileLockScope lock(player);
          written = file.Append(buffer, piece);
        }
        if (!written) {
          status(DS_FILE_FAILED);
          tellStop(kPlayerStopFile);
          progress(PROGRESS_JOB_CLEAR);
          return DS_FILE_FAILED;
        }
        left -= static_cast<std::uint32_t>(piece);
        total += piece;
      }
      if (ready() && total > notified + player->BufferBytes()) {
        player->Post(msg::WM_PLAYERDATAADDED, 0, total - notified);
        notified = total;
      }
      const int p = BackupPercent(total, sizeMB);
      status(DS_PROGRESS, p);
      progress(PROGRESS_JOB_VALUE, p);
    } else if (type == NB_CHUNK_END) {
      { FileLockScope lock(player); }
      if (total == 0) {
        status(DS_NO_DATA);
        if (ready()) player->Post(msg::WM_PLAYERDOWNLOADEND, 1, 0);
        if (hooks.finished) hooks.finished->store(1);
        progress(PROGRESS_JOB_CLEAR);
        return DS_NO_DATA;
      }
      if (ready() && total > notified) player->Post(msg::WM_PLAYERDATAADDED, 0, total - notified);
      if (ready()) player->Post(msg::WM_PLAYERDOWNLOADEND, 0, 0);
      if (hooks.finished) hooks.finished->store(1);
      progress(PROGRESS_JOB_CLEAR);
      if (hooks.writeDisc) {
        status(DS_WRITING_CD);
        hooks.writeDisc();
      }
      status(DS_FINISHED);
      return DS_FINISHED;
    } else if (type == NB_CHUNK_ABORT) {
      { FileLockScope lock(player); }
      status(DS_ABORTED);
      if (ready()) player->Post(msg::WM_PLAYERDOWNLOADEND, 1, 0);
      progress(PROGRESS_JOB_CLEAR);
      return DS_ABORTED;
    }
    // Any other type carries nothing we read: the next 8 bytes are the next header.
  }
}

namespace {

class SocketSource : public IByteSource {
 public:
  explicit SocketSource(CBlockingSocket& socket) : socket_(socket) {}
  int Receive(void* buffer, std::size_t capacity) override { return socket_.Receive(buffer, capacity, 10); }

 private:
  CBlockingSocket& socket_;
};

}  // namespace

plat::DWORD DownloadFileThread(DownloadContext* context) {
  const plat::HANDLE events[2] = {context->startEvent, context->stopEvent};
  if (plat::WaitForMultipleObjects(2, events, plat::FALSE_, plat::INFINITE) != plat::WAIT_OBJECT_0) return 0;
  StreamHooks& hooks = context->hooks;
  auto sendFailed = [&] {
    if (hooks.status) hooks.status(DS_SEND_FAILED, 0);
    if (hooks.player && hooks.player->Linked()) hooks.player->Post(msg::WM_PLAYERSTOP, 0, kPlayerStopNetwork);
    return 0;
  };
  CBlockingSocket socket;
  try {
    const std::string request = BuildBackupRequest(context->request);
    if (request.empty()) return sendFailed();
    socket.Create(CBlockingSocket::kStream);
    CSockAddr address = context->server.empty() || IsIPAddressString(context->server) != 2
                            ? CBlockingSocket::GetHostByName(context->server.c_str(), context->port)
                            : CSockAddr(context->server.c_str(), context->port);
    socket.Connect(address, 10);
    socket.WriteAll(request.data(), request.size(), 10);
  } catch (const CBlockingSocketException&) {
    socket.Cleanup();
    return sendFailed();
  }
  SocketSource source(socket);
  ReceiveBackupStream(source, context->filePath, context->request.sizeMB, hooks);
  socket.Cleanup();
  return 0;
}

}  // namespace nb
