// A page model of the test's own: what the configuration pages read of the connected recorder
// (model, firmware, display, sections, settings and the record's objects) as plain members,
// installed for the object's lifetime. A test gives a page exactly these values instead of
// building a whole application record.
#pragma once
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "config/PageModel.h"
#include "core/SettingINI.h"
#include "record/SchRecord.h"
#include "record/WriteCD.h"
#include "session/ControlDeviceTable.h"
#include "session/PlayerLink.h"
#include "session/SysCfg.h"

class TestPageModel final : public pagemodel::IModel {
 public:
  TestPageModel() {
    for (int o = 0; o < SYSCFG_ALL; ++o) sections_[std::size_t(o)].assign(SysCfgSectionSizes[o], 0);
  }
  TestPageModel(const TestPageModel&) = delete;
  TestPageModel& operator=(const TestPageModel&) = delete;

  // The connected recorder.
  void Connect(const std::string& model, const std::string& firmware = "1100") {
    device.productId = model;
    device.firmware = firmware;
  }
  // One section's bytes (the whole block; the model keeps its size).
  std::uint8_t* Section(SysCfgOption option) { return sections_[option].data(); }
  std::string SectionText(SysCfgOption option) const {
    return std::string(sections_[option].begin(), sections_[option].end());
  }
  // How many times WithSections ran (a page that reads or writes sections does it through here).
  int SectionVisits() const { return visits_; }

  // --- pagemodel::IModel ----------------------------------------------------------------------
  sect::Device Device() const override { return device; }
  std::string BootVersion() const override { return bootVersion; }
  std::string Version2041() const override { return version2041; }
  std::string MacAddress() const override { return mac; }
  void SetDeviceName(const std::string& name) override { deviceName = name; }
  std::string SessionId() const override { return sessionId; }
  std::string LocalIp() const override { return localIp; }
  float DpiScale() const override { return scale; }
  int VideoMode() const override { return videoMode; }
  int VideoModeAtInit() const override { return videoModeAtInit; }
  int FrameWidth() const override { return frameWidth; }
  int FrameHeight() const override { return frameHeight; }
  void ResetPictureThread() override { ++pictureResets; }
  void WithSections(const std::function<void(const pagemodel::Sections&)>& fn) override {
    std::lock_guard<std::mutex> lock(mutex_);
    pagemodel::Sections s;
    for (int o = 0; o < SYSCFG_ALL; ++o) s.block[o] = sections_[std::size_t(o)];
    s.pppoeNew = pppoeNew;
    s.videoSetting = videoSetting;
    ++visits_;
    fn(s);
  }
  CSettingINI& Settings() override { return settings; }
  std::atomic<std::uint8_t>& TurboRepeatStep() override { return turboRepeatStep; }
  CSchRecord& Schedule() override { return schedule; }
  CWriteCD& DiscWriter() override { return writer; }
  CControlDeviceTable& Devices() override { return devices; }
  std::span<AccountSlot, kAccountSlotCount> Accounts() override { return accounts; }
  player::PlayerLinkBlock& Player() override { return player; }
  IChannelBar* ChannelBar() const override { return channelBar; }
  IMainWindow* MainWindow() const override { return mainWindow; }
  void AckAlarm() override { ++alarmAcks; }
  void SetUploadVersion(std::string_view version) override {
    uploadVersion.fill(0);
    std::memcpy(uploadVersion.data(), version.data(), std::min<std::size_t>(version.size(), 4));
  }
  std::array<char, 4> UploadVersion() const override { return uploadVersion; }
  std::atomic<plat::HANDLE>& FirmwareUploadThread() override { return uploadThread; }
  void SetGrabRequest(int on) override { grabRequest = on; }
  plat::HANDLE GrabDoneSemaphore() const override { return grabDone; }
  pagemodel::GrabbedPicture Grabbed() const override { return {grabWidth.load(), grabHeight.load(), grabPixels.load()}; }

  // --- what a test sets and reads back ----------------------------------------------------------
  sect::Device device;
  std::string bootVersion, version2041, mac, deviceName, sessionId, localIp = "127.0.0.1";
  float scale = 1.0f;
  int videoMode = 0, videoModeAtInit = 0, frameWidth = 0, frameHeight = 0;
  int pictureResets = 0, alarmAcks = 0;
  std::uint8_t pppoeNew[kSysCfgSizePPPOE] = {};
  std::uint8_t videoSetting[kVideoSettingBlockSize] = {};
  CSettingINI settings;
  std::atomic<std::uint8_t> turboRepeatStep{0};
  CSchRecord schedule;
  CWriteCD writer{&settings};
  CControlDeviceTable devices;
  AccountSlot accounts[kAccountSlotCount];
  player::PlayerLinkBlock player;
  IChannelBar* channelBar = nullptr;
  IMainWindow* mainWindow = nullptr;
  std::array<char, 4> uploadVersion{};
  std::atomic<plat::HANDLE> uploadThread{0};
  std::atomic<int> grabRequest{0};
  plat::HANDLE grabDone = 0;
  std::atomic<int> grabWidth{0}, grabHeight{0};
  std::atomic<const std::uint8_t*> grabPixels{nullptr};

 private:
  std::mutex mutex_;
  std::array<std::vector<std::uint8_t>, SYSCFG_ALL> sections_;
  int visits_ = 0;
  // Installed last, taken away first: the pages see a whole model or none.
  pagemodel::ScopedModel installed_{*this};
};
