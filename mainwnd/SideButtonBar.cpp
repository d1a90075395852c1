#include "mainwnd/SideButtonBar.h"

#include <QWidget>

#include "core/Model.h"
#include "core/Strings.h"
#include "ui/VtxButton.h"

namespace {
const QRect kVga(688, 34, 26, 26);
const QRect kQvga(336, 35, 26, 26);
}  // namespace

const std::array<SideButtonDesc, kSideButtonTableSize> SideButtonTable = {{
    {kVga, kQvga, 1 | 2 | 4, 1002,
     {"BMP\\link.bmp", "BMP\\link_over.bmp", "BMP\\link_off.bmp", "BMP\\link_off_over.bmp"},
     {"BMP\\link_n.bmp", "BMP\\link_n.bmp", "BMP\\link_off_n.bmp", "BMP\\link_off_n.bmp"}, 0x40, 0x0F, 1002, 0x01},
    {kVga, kQvga, 1 | 2 | 4, 1007,
     {"BMP\\qvga.bmp", "BMP\\qvga_over.bmp", "BMP\\vga.bmp", "BMP\\vga_over.bmp"},
     {"BMP\\qvga_n.bmp", "BMP\\qvga_n.bmp", "BMP\\vga_n.bmp", "BMP\\vga_n.bmp"}, 0x10, 0x03, 1007, 0x02},
    {kVga, kQvga, 1 | 2 | 4, 1008,
     {"BMP\\high.bmp", "BMP\\mid_over.bmp", "BMP\\mid.bmp", "BMP\\low_over.bmp", "BMP\\low.bmp", "BMP\\high_over.bmp"},
     {"BMP\\high_n.bmp", "BMP\\high_n.bmp", "BMP\\mid_n.bmp", "BMP\\mid_n.bmp", "BMP\\low_n.bmp", "BMP\\low_n.bmp"},
     0x10, 0x03, 1008, 0x04},
    {kVga, kQvga, 2 | 4, 999,
     {"BMP\\Image_Quality.bmp", "BMP\\Image_Quality_over.bmp", "BMP\\Image_Quality_over.bmp"},
     {"BMP\\Image_Quality_n.bmp", "BMP\\Image_Quality_n.bmp", "BMP\\Image_Quality_n.bmp"}, 0x01, 0x03, 999, 0x08},
    {kVga, kQvga, 1 | 2 | 4, 1004,
     {"BMP\\snapshoot.bmp", "BMP\\snapshoot_over.bmp", "BMP\\snapshoot_down.bmp"},
     {"BMP\\snapshoot_n.bmp", "BMP\\snapshoot_n.bmp", "BMP\\snapshoot_n.bmp"}, 0x20, 0x0B, 1004, 0x10},
    {kVga, kQvga, 1 | 2 | 4, 1005,
     {"BMP\\Record_Button.bmp", "BMP\\Record_Button_over.bmp", "BMP\\Recording_Button.bmp",
      "BMP\\Recording_Button_over.bmp"},
     {"BMP\\Record_Button_n.bmp", "BMP\\Record_Button_n.bmp", "BMP\\Recording_Button_n.bmp",
      "BMP\\Recording_Button_n.bmp"},
     0x40, 0x0B, 1005, 0x20},
    {kVga, kQvga, 1 | 2 | 4, 1006,
     {"BMP\\system_setting.bmp", "BMP\\system_setting_over.bmp", "BMP\\system_setting_over.bmp"},
     {"BMP\\system_setting_n.bmp", "BMP\\system_setting_n.bmp", "BMP\\system_setting_n.bmp"}, 0x01, 0x01, 1006,
     0x40},
}};

int CSideButtonBar::Create(const std::string& model, QWidget* parent, CVtxButton** buttons) {
  entries_.clear();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.fill(-1);
  }
  if (model == "K41R" || model == "K42R" || model == "K43R") {
    const bool multi = IsMultiChannel() != 0;
    m_byFamilyMask = multi ? 2 : 1;
    m_byCount = multi ? 7 : 6;
  } else if (model == "K40R" || model == "K47R") {
    m_byFamilyMask = 2;
    m_byCount = 7;
  } else if (model == "K44R" || model == "K45R" || model == "K46R") {
    m_byFamilyMask = 4;
    m_byCount = 7;
  } else {
    m_byFamilyMask = 0;
    m_byCount = 0;
    return 0;
  }
  for (int e = 0; e < kSideButtonTableSize; ++e) {
    if (SideButtonTable[e].wFamilyMask & m_byFamilyMask) entries_.push_back(e);
  }
  m_byCount = static_cast<std::uint8_t>(entries_.size());
  if (parent && buttons) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const SideButtonDesc& d = SideButtonTable[entries_[i]];
      auto* b = new CVtxButton(parent);
      b->Create(ButtonRect(static_cast<int>(i), 0), parent, d.wCtrlId);
      std::string tip = LoadStr(d.wTipId);
      if (d.dwStateBit == 0x20) {
        std::string first, second;
        SplitResourceString(d.wTipId, first, second);
        tip = first;
      }
      b->setToolTip(QString::fromStdString(tip));
      b->show();
      buttons[i] = b;
    }
  }
  return 1;
}

int CSideButtonBar::LoadBitmaps(CVtxButton** buttons, unsigned accessMode) {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    CVtxButton* b = buttons ? buttons[i] : nullptr;
    if (!b) continue;
    const SideButtonDesc& d = SideButtonTable[entries_[i]];
    const bool usable = (d.byAccessMask >> (accessMode & 7)) & 1u;
    const char* const* names = usable ? d.pszNormal : d.pszUnavailable;
    b->setEnabled(usable);
    int n = 0;
    while (n < 6 && names[n] != nullptr) ++n;
    if (d.byStyle == 0x10 || d.byStyle == 0x40) {
      std::vector<std::string> files(names, names + n);
      b->LoadButtonBitmap(static_cast<std::uint16_t>((n + 1) / 2), files, d.byStyle);
    } else if ((d.byStyle == 0x01 || d.byStyle == 0x20) && n >= 3) {
      b->LoadButtonBitmap(names[0], names[1], names[2], d.byStyle);
    }
  }
  return 1;
}

QRect CSideButtonBar::ButtonRect(int i, unsigned layoutMode) const {
  const int cls = static_cast<int>(layoutMode % 6);
  const QRect& first = (cls == 0 || cls == 2) ? SideButtonTable[0].rcVga : SideButtonTable[0].rcQvga;
  const int n = static_cast<int>(entries_.size());
  return QRect(first.left() - (n - 1 - i) * first.width(), first.top(), first.width(), first.height());
}

void CSideButtonBar::Place(CVtxButton** buttons, unsigned layoutMode) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (buttons && buttons[i]) buttons[i]->setGeometry(ButtonRect(static_cast<int>(i), layoutMode));
  }
}

void CSideButtonBar::Show(CVtxButton** buttons, int flag) const {
  if (flag != 0 && flag != 1) return;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (buttons && buttons[i]) buttons[i]->setVisible(flag == 1);
  }
}

int CSideButtonBar::SetStates(unsigned mask, unsigned picture) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (SideButtonTable[entries_[i]].dwStateBit & mask) {
        pending_[i] = static_cast<int>(picture);
        break;
      }
    }
  }
  if (onChanged) onChanged();
  return 1;
}

void CSideButtonBar::ApplyStates(CVtxButton** buttons) {
  std::array<int, kSideButtonMax> pending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending = pending_;
    pending_.fill(-1);
  }
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (pending[i] >= 0 && buttons && buttons[i]) buttons[i]->SetImageIndex(pending[i]);
  }
}

int CSideButtonBar::PendingImage(int i) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return i >= 0 && i < kSideButtonMax ? pending_[i] : -1;
}
