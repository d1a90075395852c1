#include "config/PageModel.h"

#include <mutex>

#include "engine/AppRecord.h"
#include "platform/kernel.h"

namespace pagemodel {

sect::Device ConnectedDevice() {
  IModel* m = Current();
  return m ? m->Device() : sect::Device();
}

std::string ProductId() { return ConnectedDevice().productId; }

int DvrChannelCount(const std::string& productId) {
  if (productId == "K41R") return 16;
  if (productId == "K42R") return 8;
  if (productId == "K43R") return 4;
  return 0;
}

int DvrChannelCount() { return DvrChannelCount(ProductId()); }

double Scale() {
  IModel* m = Current();
  const float s = m ? m->DpiScale() : 0.0f;
  return s > 0.0f ? s : 1.0;
}

QString DigitsOf(const QString& text) {
  QString digits;
  for (QChar c : text) {
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) digits += c;
  }
  return digits;
}

// ---- the installed model ------------------------------------------------------------------------

std::vector<std::uint8_t> IModel::ReadSection(SysCfgOption option) {
  std::vector<std::uint8_t> copy;
  WithSections([&](const Sections& s) { copy.assign(s[option].begin(), s[option].end()); });
  return copy;
}

namespace {

// The model of the running client: every call reads g_lpApp, which lives from start-up to the
// exit step and so outlasts every window that asks.
class RecordModel final : public IModel {
 public:
  sect::Device Device() const override {
    sect::Device d;
    d.productId = App().GetProductID();
    d.firmware = App().GetFWVersion();
    return d;
  }
  std::string BootVersion() const override { return App().strBootVersion.Get(); }
  std::string Version2041() const override { return App().str2041Version.Get(); }
  std::string MacAddress() const override { return App().sz_MacAddress.Text(); }
  void SetDeviceName(const std::string& name) override { App().strDeviceName.Set(name); }
  std::string SessionId() const override { return App().GetSessionId(); }
  std::string LocalIp() const override { return App().GetLocalIP(); }

  float DpiScale() const override { return App().fl_DpiScale.load(); }
  int VideoMode() const override { return App().by_VideoMode.load(); }
  int VideoModeAtInit() const override { return App().by_VideoModeAtInit.load(); }
  int FrameWidth() const override { return App().w_FrameWidth.load(); }
  int FrameHeight() const override { return App().w_FrameHeight.load(); }
  void ResetPictureThread() override {
    plat::SetEvent(App().h_NotifyGetJPEGImageThreadResetEvent.load());
    plat::WaitForSingleObject(App().h_FeedBackForNotifyResetEvent.load(), 30);
  }

  void WithSections(const std::function<void(const Sections&)>& fn) override {
    AppRecord& a = App();
    Sections s;
    for (int o = 0; o < SYSCFG_ALL; ++o) s.block[o] = a.SectionBlock(static_cast<SysCfgOption>(o));
    s.pppoeNew = a.SysCfg_PPPOE_New;
    s.videoSetting = a.VideoSettingBlock;
    std::lock_guard<std::mutex> lock(a.mtx_SysCfg);
    fn(s);
  }

  CSettingINI& Settings() override { return App().CSettingINI; }
  std::atomic<std::uint8_t>& TurboRepeatStep() override { return App().by_TurboRepeatStep; }
  CSchRecord& Schedule() override { return App().C_SchRecord; }
  CWriteCD& DiscWriter() override { return App().C_WriteCD; }
  CControlDeviceTable& Devices() override { return App().C_ControlD; }
  std::span<AccountSlot, kAccountSlotCount> Accounts() override { return App().AccountSlots; }
  player::PlayerLinkBlock& Player() override { return App().PlayerLink; }
  IChannelBar* ChannelBar() const override { return App().C_ChannelBar.load(); }
  IMainWindow* MainWindow() const override { return App().lp_MainDialog.load(); }
  void AckAlarm() override { App().m_RTPH_Struct.AckAlarm(); }

  void SetUploadVersion(std::string_view version) override { App().sz_FWVersionChars.Set(version); }
  std::array<char, 4> UploadVersion() const override { return App().sz_FWVersionChars.Get(); }
  std::atomic<plat::HANDLE>& FirmwareUploadThread() override { return App().h_UpgradeFirmwareThread; }

  void SetGrabRequest(int on) override { App().f_GrabRequest = on; }
  plat::HANDLE GrabDoneSemaphore() const override { return App().h_GrabDoneSem.load(); }
  GrabbedPicture Grabbed() const override {
    const AppRecord& a = App();
    return {a.w_GrabWidth.load(), a.w_GrabHeight.load(), a.lp_GrabBuffer.load()};
  }

 private:
  static AppRecord& App() { return *g_lpApp; }
};

std::atomic<IModel*> g_installed{nullptr};

}  // namespace

IModel* Current() {
  if (IModel* m = g_installed.load()) return m;
  if (!g_lpApp) return nullptr;
  static RecordModel record;
  return &record;
}

ScopedModel::ScopedModel(IModel& model) : previous_(g_installed.exchange(&model)) {}
ScopedModel::~ScopedModel() { g_installed.store(previous_); }

}  // namespace pagemodel
