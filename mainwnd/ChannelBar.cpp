#include "mainwnd/ChannelBar.h"

#include <QWidget>

#include "engine/AppRecord.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "ui/VtxButton.h"
#include "session/Command.h"
#include "session/OperatorCommands.h"

namespace {

constexpr std::uint16_t kRecorderButtonId = 8410;
constexpr std::uint16_t kFirstChannelId = 8411;
constexpr std::uint16_t kPageLeftId = 8427;
constexpr std::uint16_t kPageRightId = 8428;

std::vector<ChannelButtonDesc> RecorderTable(int channels) {
  std::vector<ChannelButtonDesc> t;
  t.push_back({40, 28, CBK_CHANNEL, kRecorderButtonId, kRecorderButtonId, 0});
  for (int c = 1; c <= channels; ++c) {
    const auto id = static_cast<std::uint16_t>(kFirstChannelId + c - 1);
    t.push_back({35, 28, CBK_CHANNEL, id, id, static_cast<std::uint32_t>(c)});
  }
  t.push_back({9, 16, CBK_PAGELEFT, kPageLeftId, kPageLeftId, static_cast<std::uint32_t>(channels + 1)});
  t.push_back({9, 16, CBK_PAGERIGHT, kPageRightId, kPageRightId, static_cast<std::uint32_t>(channels + 2)});
  return t;
}

bool IsQvgaMode(std::uint8_t mode) { return mode == 1 || mode == 3; }

std::uint8_t ResolutionModeNow() { return g_lpApp ? g_lpApp->by_ResolutionMode.load() : 0; }

}  // namespace

std::vector<ChannelButtonDesc> ChannelButtonsOf(const std::string& productId) {
  if (productId == "K41R") return RecorderTable(16);
  if (productId == "K42R") return RecorderTable(8);
  if (productId == "K43R") return RecorderTable(4);
  if (productId == "K40R") {
    return {{35, 28, CBK_CHANNEL, kFirstChannelId, kFirstChannelId, 1},
            {35, 28, CBK_CHANNEL, kFirstChannelId + 1, kFirstChannelId + 1, 2}};
  }
  return {};
}

std::vector<std::string> ChannelButtonPictures(const ChannelButtonDesc& d) {
  if (d.dwKind == CBK_PAGELEFT) {
    return {"BMP\\Channel_Left.bmp", "BMP\\Channel_Left.bmp", "BMP\\Channel_Left_Down.bmp", "BMP\\Channel_Left.bmp"};
  }
  if (d.dwKind == CBK_PAGERIGHT) {
    return {"BMP\\Channel_Right.bmp", "BMP\\Channel_Right.bmp", "BMP\\Channel_Right_Down.bmp",
            "BMP\\Channel_Right.bmp"};
  }
  const std::string base =
      d.wCtrlId == kRecorderButtonId ? "BMP\\Channel_dvr" : "BMP\\Channel_" + std::to_string(d.wCtrlId - kFirstChannelId + 1);
  return {base + "_Enable.bmp", base + "_Enable_over.bmp", base + "_Disable.bmp", base + "_Disable_over.bmp"};
}

int CChannelBar::Create(QWidget* parent, CVtxButton** buttons) {
  AppRecord* app = g_lpApp;
  if (!app) return 1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    product_ = app->GetProductID();
    buttons_.clear();
    placements_.clear();
    m_fActive = 0;
    m_byCount = 0;
    multi_ = false;
    std::uint8_t selected = app->CSettingINI.m_bySelectedChannel.load();
    if (IsModelFamilyK41(product_) && IsMultiChannel()) {
      buttons_ = ChannelButtonsOf(product_);
      multi_ = true;
      m_fActive = 1;
      m_byCount = static_cast<std::uint8_t>(buttons_.size());
      const int channels = static_cast<int>(buttons_.size()) - 3;
      m_wLeft = product_ == "K43R" ? 1 : 21;
      m_wRightQvga = product_ == "K43R" ? 200 : 160;
      m_wRightVga = product_ == "K41R" ? 340 : 350;
      if (selected > channels) selected = 0;
      app->CSettingINI.m_bySelectedChannel = selected;
      for (std::size_t i = 0; i < buttons_.size(); ++i) {
        Placement p;
        p.rect = QRect(m_wLeft, kChannelBarTop, buttons_[i].wWidth, buttons_[i].wHeight);
        p.image = i == selected ? 0 : 1;
        placements_.push_back(p);
      }
      m_byCurrent = selected;
      m_byPage = selected;
      ArrangeLocked();
    } else if (IsModelK40R(product_)) {
      buttons_ = ChannelButtonsOf(product_);
      m_fActive = 1;
      m_byCount = 2;
      if (selected < 1 || selected > 2) selected = 1;
      app->CSettingINI.m_bySelectedChannel = selected;
      for (std::size_t i = 0; i < buttons_.size(); ++i) {
        Placement p;
        p.visible = true;
        p.rect = QRect(20 + 35 * static_cast<int>(i), kChannelBarTop, 35, 28);
        p.image = i + 1 == selected ? 0 : 1;
        placements_.push_back(p);
      }
      m_byCurrent = selected;
    }
  }
  if (parent && buttons) {
    const std::vector<ChannelButtonDesc> descs = buttons_;
    for (std::size_t i = 0; i < descs.size() && i < kChannelButtonMax; ++i) {
      auto* b = new CVtxButton(parent);
      b->Create(QRect(m_wLeft, kChannelBarTop, descs[i].wWidth, descs[i].wHeight), parent, descs[i].wCtrlId);
      b->setToolTip(QString::fromLatin1(LoadStr(descs[i].wTipId)));
      b->LoadButtonBitmap(2, ChannelButtonPictures(descs[i]), 0x40);
      b->hide();
      buttons[i] = b;
    }
    ApplyToButtons(buttons);
  }
  return 1;
}

void CChannelBar::ArrangeLocked() {
  if (!m_fActive || !multi_) return;
  const int limit = IsQvgaMode(ResolutionModeNow()) ? m_wRightQvga : m_wRightVga;
  const int s = PageStartLocked(m_byPage);
  int x = m_wLeft;
  std::size_t next = static_cast<std::size_t>(s);
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    Placement& p = placements_[i];
    const ChannelButtonDesc& d = buttons_[i];
    if (d.dwKind == CBK_CHANNEL) {
      if (static_cast<int>(i) >= s && x < limit) {
        p.visible = true;
        p.rect = QRect(x, kChannelBarTop, d.wWidth, d.wHeight);
        x += d.wWidth;
        ++next;
      } else {
        p.visible = false;
      }
    }
  }
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    Placement& p = placements_[i];
    const ChannelButtonDesc& d = buttons_[i];
    if (d.dwKind == CBK_PAGELEFT) {
      p.visible = s != 0;
      p.rect = QRect(m_wLeft - 12, kChannelArrowTop, d.wWidth, d.wHeight);
    } else if (d.dwKind == CBK_PAGERIGHT) {
      p.visible = next < buttons_.size() && buttons_[next].dwKind == CBK_CHANNEL;
      p.rect = QRect(x + 3, kChannelArrowTop, d.wWidth, d.wHeight);
    }
  }
}

void CChannelBar::Arrange() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ArrangeLocked();
  }
  Notify();
}

int CChannelBar::PageStartLocked(std::uint8_t anchor) const {
  const bool qvga = IsQvgaMode(ResolutionModeNow());
  if (product_ == "K41R") return qvga ? (anchor & ~3) : (anchor <= 8 ? 0 : 9);
  if (product_ == "K42R") return qvga ? (anchor & ~3) : 0;
  return 0;
}

int CChannelBar::PageSizeLocked() const {
  const bool qvga = IsQvgaMode(ResolutionModeNow());
  if (product_ == "K41R") return qvga ? 4 : 9;
  if (product_ == "K42R" || product_ == "K43R") return qvga ? 4 : 0;
  return 0;
}

int CChannelBar::GetPageStart(std::uint8_t anchor) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return PageStartLocked(anchor);
}

int CChannelBar::GetPageSize() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return PageSizeLocked();
}

int CChannelBar::GetChannelCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (product_ == "K41R") return 16;
  if (product_ == "K42R") return 8;
  if (product_ == "K43R") return 4;
  return 0;
}

int CChannelBar::PagePrev() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!m_fActive) return 1;
    const int s = PageStartLocked(m_byPage);
    const int size = PageSizeLocked();
    if (size == 0 || s < size) return 1;
    m_byPage = static_cast<std::uint8_t>(s - size);
    ArrangeLocked();
  }
  Notify();
  return 1;
}

int CChannelBar::PageNext() {
  const int count = GetChannelCount();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!m_fActive) return 1;
    const int s = PageStartLocked(m_byPage);
    const int size = PageSizeLocked();
    if (size == 0 || s + size > count) return 1;
    m_byPage = static_cast<std::uint8_t>(s + size);
    ArrangeLocked();
  }
  Notify();
  return 1;
}

int CChannelBar::SwitchChannel(plat::BYTE channel) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool eligible = (multi_ || IsModelK40R(product_)) && m_fActive;
    if (!eligible || channel == m_byCurrent) return 1;
  }
  if (!SendSetChannel(channel)) {
    // From a worker (an alarm) the box is handed over and answered at once.
    plat::HWND owner = 0;
    if (g_lpApp) owner = g_lpApp->h_MainDialogHandle.load();
    MessageBoxById(owner, 4064);
    return 0;
  }
  return 1;
}

void CChannelBar::SetCurrentChannel(plat::BYTE channel) {
  AppRecord* app = g_lpApp;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!m_fActive || channel == m_byCurrent) return;
    if (app) app->CSettingINI.m_bySelectedChannel = channel;
    m_byCurrent = channel;
    for (std::size_t i = 0; i < placements_.size(); ++i) {
      const bool on = multi_ ? i == channel : i + 1 == channel;
      placements_[i].image = on ? 0 : 1;
    }
    if (app) {
      const int nth = multi_ ? channel : (channel == 1 ? 0 : 1);
      app->C_ControlD.MakeCurrent(CDF_VIDEO, nth);
    }
  }
  Notify();
  if (onDeviceChanged) onDeviceChanged();
}

int CChannelBar::Show(int hide) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!m_fActive) return 1;
    hidden_ = hide != 0;
    if (!hidden_) {
      if (multi_) {
        ArrangeLocked();
      } else {
        for (Placement& p : placements_) p.visible = true;
      }
    }
  }
  Notify();
  return 1;
}

void CChannelBar::ApplyToButtons(CVtxButton** buttons) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = 0; i < placements_.size() && i < kChannelButtonMax; ++i) {
    CVtxButton* b = buttons[i];
    if (!b) continue;
    const Placement& p = placements_[i];
    b->setGeometry(p.rect);
    if (b->m_wImageIndex != p.image) b->SetImageIndex(p.image);
    b->setVisible(p.visible && !hidden_);
  }
}

std::vector<CChannelBar::Placement> CChannelBar::Placements() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Placement> out = placements_;
  if (hidden_) {
    for (Placement& p : out) p.visible = false;
  }
  return out;
}

bool CChannelBar::IsActive() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return m_fActive != 0;
}
std::uint8_t CChannelBar::Current() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return m_byCurrent;
}
std::uint8_t CChannelBar::Page() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return m_byPage;
}
int CChannelBar::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return m_byCount;
}

void CChannelBar::Notify() const {
  if (onChanged) onChanged();
}
