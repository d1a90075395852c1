#include "config/CSetZududCmdPage.h"

#include <QLabel>
#include <QLineEdit>
#include <cstring>

#include "config/PageModel.h"
#include "ui/Controls.h"

CSetZududCmdPage::CSetZududCmdPage(QWidget* parent) : ui::PropertyPage(QStringLiteral("Video Setting"), parent) {}

int CSetZududCmdPage::ResolutionChoice(int w, int h) {
  if (w == 704 && (h == 480 || h == 576)) return 0;
  if (w == 352 && (h == 240 || h == 288)) return 1;
  if (w == 176 && (h == 112 || h == 144)) return 2;
  return -1;
}

int CSetZududCmdPage::QualityChoice(int q) { return Layout::QualityChoice(q); }

int CSetZududCmdPage::BitRateChoice(int r) { return Layout::BitRateChoice(r); }

bool CSetZududCmdPage::OnInitDialog() {
  auto list = [this](int id, int x, int y) {
    auto* l = new ui::DropList(this);
    l->setGeometry(x, y, 110, 22);
    AddControl(id, l);
    return l;
  };
  auto label = [this](int id, const char* text, int x, int y) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setGeometry(x, y, 80, 22);
    if (id) AddControl(id, l);
  };
  label(0, "Video Type :", 10, 10);
  auto* type = list(IDC_VIDEO_TYPE, 100, 10);
  label(0, "Resolution :", 10, 40);
  auto* resolution = list(IDC_VIDEO_RESOLUTION, 100, 40);
  label(IDC_VIDEO_QUALITY_LABEL, "Quality :", 10, 70);
  auto* quality = list(IDC_VIDEO_QUALITY, 100, 70);
  label(IDC_VIDEO_BITRATE_LABEL, "BitRate :", 10, 70);
  auto* rate = list(IDC_VIDEO_BITRATE, 100, 70);
  label(IDC_VIDEO_GOP_LABEL, "Gop :", 10, 100);
  auto* gop = new QLineEdit(this);
  gop->setGeometry(100, 100, 60, 22);
  AddControl(IDC_VIDEO_GOP, gop);
  ShowDlgItem(IDC_VIDEO_GOP_LABEL, false);
  ShowDlgItem(IDC_VIDEO_GOP, false);

  pagemodel::IModel* model = pagemodel::Current();
  std::uint8_t block[16] = {};
  std::uint8_t videoMode = 0;
  if (model) {
    m_wFrameWidth = static_cast<std::uint16_t>(model->FrameWidth());
    m_wFrameHeight = static_cast<std::uint16_t>(model->FrameHeight());
    videoMode = static_cast<std::uint8_t>(model->VideoMode());
    model->WithSections([&](const pagemodel::Sections& s) { std::memcpy(block, s.videoSetting.data(), sizeof block); });
  }
  const bool pal = videoMode == 1;
  static const char* const kNtsc[] = {"704 x 480", "352 x 240", "176 x 112"};
  static const char* const kPal[] = {"704 x 576", "352 x 288", "176 x 144"};
  for (const char* r : pal ? kPal : kNtsc) resolution->AddString(QString::fromLatin1(r));
  type->AddString(QStringLiteral("JPEG"));
  type->AddString(QStringLiteral("MPEG4"));
  for (const char* q : {"Low", "Middle", "High"}) quality->AddString(QString::fromLatin1(q));
  for (const char* r : {"512K", "640K", "1M", "1.5M", "2M", "3M", "Local"}) rate->AddString(QString::fromLatin1(r));

  m_nResolution = ResolutionChoice(m_wFrameWidth, m_wFrameHeight);
  m_nQuality = QualityChoice(block[kOffQuality]);
  m_nBitRate = BitRateChoice(sect::VideoSettingLayout::RateCode(block));
  if (block[kOffType] == 0) {
    m_nVideoType = 0;
    ShowTypeControls(0);
  } else if (block[kOffType] == 4) {
    m_nVideoType = 1;
    ShowTypeControls(1);
  }
  OnChange(IDC_VIDEO_TYPE, [this] { OnSelchangeVideoType(); });
  return ui::PropertyPage::OnInitDialog();
}

void CSetZududCmdPage::DoDataExchange(ui::DataExchange& dx) {
  dx.ListIndex(IDC_VIDEO_RESOLUTION, m_nResolution);
  dx.ListIndex(IDC_VIDEO_TYPE, m_nVideoType);
  dx.ListIndex(IDC_VIDEO_QUALITY, m_nQuality);
  dx.ListIndex(IDC_VIDEO_BITRATE, m_nBitRate);
}

void CSetZududCmdPage::ShowTypeControls(int type) {
  if (type != 0 && type != 1) return;
  ShowDlgItem(IDC_VIDEO_QUALITY, type == 0);
  ShowDlgItem(IDC_VIDEO_QUALITY_LABEL, type == 0);
  ShowDlgItem(IDC_VIDEO_BITRATE, type == 1);
  ShowDlgItem(IDC_VIDEO_BITRATE_LABEL, type == 1);
}

void CSetZududCmdPage::OnSelchangeVideoType() {
  UpdateData(true);
  ShowTypeControls(m_nVideoType);
}
