// What the configuration pages need to know of the connected recorder, and the one way they
// reach it: the installed model (pagemodel::Current()). The program's model reads the running
// application record; a test installs a model of its own (ScopedModel) and hands the pages
// exactly the values it wants them to see, without building a whole record.
//
// The model is deliberately narrow: the connected model and firmware, the display, the
// configuration sections (only inside WithSections, under the record's configuration lock), the
// settings, the schedule recorder, the disc writer, the device table, the account slots, the
// player link and the detection editor's grab hand-off. Threads, sockets and frame buffers of
// the record stay out of a page's reach.
#pragma once
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"
#include "session/Sections.h"
#include "session/SessionRecord.h"  // AccountSlot, the section sizes, the record's object types
#include "session/SysCfg.h"

namespace player {
struct PlayerLinkBlock;
}

namespace pagemodel {

// The configuration sections as raw bytes. Valid only inside WithSections: the spans point into
// the model's own blocks and the configuration lock is held meanwhile.
struct Sections {
  std::span<std::uint8_t> block[SYSCFG_OPTION_COUNT];  // by option (ALL stays empty)
  std::span<std::uint8_t> pppoeNew;                    // the newer PPPOE layout; block[PPPOE] is the older
  std::span<std::uint8_t> videoSetting;                // the video setting block (type, quality, rate)

  std::span<std::uint8_t> operator[](SysCfgOption option) const { return block[option]; }
  std::uint8_t* Data(SysCfgOption option) const { return block[option].data(); }
};

// The last picture the drawing handed to the detection editor.
struct GrabbedPicture {
  int width = 0;
  int height = 0;
  const std::uint8_t* pixels = nullptr;
};

class IModel {
 public:
  virtual ~IModel() = default;

  // --- The connected recorder ---------------------------------------------------------------
  // The connected model and firmware in the form the section layouts take.
  virtual sect::Device Device() const = 0;
  virtual std::string BootVersion() const = 0;
  virtual std::string Version2041() const = 0;
  // The recorder's MAC address as it arrived (up to twelve characters).
  virtual std::string MacAddress() const = 0;
  // The name the sheet last wrote to the recorder's system section.
  virtual void SetDeviceName(const std::string& name) = 0;
  virtual std::string SessionId() const = 0;
  virtual std::string LocalIp() const = 0;

  // --- The picture --------------------------------------------------------------------------
  // The display's scale factor as measured (0 while not known).
  virtual float DpiScale() const = 0;
  // The video mode now and at the stream's start (0 NTSC, 1 PAL).
  virtual int VideoMode() const = 0;
  virtual int VideoModeAtInit() const = 0;
  virtual int FrameWidth() const = 0;
  virtual int FrameHeight() const = 0;
  // Asks the picture thread to start over after a video setting changed, and gives it up to
  // 30 ms to answer.
  virtual void ResetPictureThread() = 0;

  // --- The configuration sections -----------------------------------------------------------
  // Runs `fn` with the sections while the configuration lock is held; `fn` copies out or in
  // and returns (no request, no wait, no window inside).
  virtual void WithSections(const std::function<void(const Sections&)>& fn) = 0;
  // A copy of one section (empty for ALL).
  std::vector<std::uint8_t> ReadSection(SysCfgOption option);

  // --- Settings and the record's objects ----------------------------------------------------
  virtual CSettingINI& Settings() = 0;
  virtual std::atomic<std::uint8_t>& TurboRepeatStep() = 0;
  virtual CSchRecord& Schedule() = 0;
  virtual CWriteCD& DiscWriter() = 0;
  virtual CControlDeviceTable& Devices() = 0;
  virtual std::span<AccountSlot, kAccountSlotCount> Accounts() = 0;
  virtual player::PlayerLinkBlock& Player() = 0;
  // Windows the main window registered (null while it has none).
  virtual IChannelBar* ChannelBar() const = 0;
  virtual IMainWindow* MainWindow() const = 0;
  // Acknowledges the recorder's alarm on the stream.
  virtual void AckAlarm() = 0;

  // --- Firmware upload ----------------------------------------------------------------------
  // The four version characters the package upload checks against.
  virtual void SetUploadVersion(std::string_view version) = 0;
  virtual std::array<char, 4> UploadVersion() const = 0;
  // The running package upload's thread (0 when none runs).
  virtual std::atomic<plat::HANDLE>& FirmwareUploadThread() = 0;

  // --- The detection editor's grab hand-off -------------------------------------------------
  // Asks (1) or stops asking (0) the drawing for a copy of the next picture.
  virtual void SetGrabRequest(int on) = 0;
  // Released by the drawing after each copy (0 while there is no stream).
  virtual plat::HANDLE GrabDoneSemaphore() const = 0;
  // The copy; the buffer stays the requester's until it asks again.
  virtual GrabbedPicture Grabbed() const = 0;
};

// The installed model: a test's, else the one over the running record; null while there is
// no record (the pages then show their defaults).
IModel* Current();

// Installs a model for the lifetime of the guard (tests); the one before comes back after.
class ScopedModel {
 public:
  explicit ScopedModel(IModel& model);
  ~ScopedModel();
  ScopedModel(const ScopedModel&) = delete;
  ScopedModel& operator=(const ScopedModel&) = delete;

 private:
  IModel* previous_;
};

// The connected model and firmware in the form the section layouts take.
sect::Device ConnectedDevice();
// The connected model's product id (empty without a record).
std::string ProductId();
// Video channels of a DVR-family model: K41R 16, K42R 8, K43R 4; 0 for any other model.
int DvrChannelCount(const std::string& productId);
int DvrChannelCount();
// The display's scale factor for window sizes (1 when not known).
double Scale();
// The digits of a text, in order.
QString DigitsOf(const QString& text);

}  // namespace pagemodel
