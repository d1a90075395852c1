// The seven function buttons right of the title (connect, resolution, quality, colour,
// snapshot, record, configuration), filtered by model family and by the user's access mode.
// SetStates may come from worker threads: it stores the picture and the owner applies it on
// the GUI thread.
#pragma once
#include <QRect>
#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/UiInterfaces.h"

class CVtxButton;
class QWidget;

struct SideButtonDesc {
  QRect rcVga;   // layout modes 0 and 2
  QRect rcQvga;  // layout modes 1 and 3
  std::uint16_t wFamilyMask;
  std::uint16_t wTipId;
  const char* pszNormal[6];
  const char* pszUnavailable[6];
  std::uint8_t byStyle;
  std::uint8_t byAccessMask;  // bit n: usable in access mode n
  std::uint16_t wCtrlId;
  std::uint32_t dwStateBit;
};

constexpr int kSideButtonTableSize = 7;
constexpr int kSideButtonMax = 10;
extern const std::array<SideButtonDesc, kSideButtonTableSize> SideButtonTable;

class CSideButtonBar : public ISideButtonBar {
 public:
  CSideButtonBar() = default;

  // Chooses the buttons for the model and, with a parent, creates them (GUI thread) into
  // `buttons`. 0 for a model without side buttons.
  int Create(const std::string& model, QWidget* parent, CVtxButton** buttons);
  // Pictures by the access mode: a button the mode may not use is disabled and gets its
  // unavailable pictures. Returns 1.
  int LoadBitmaps(CVtxButton** buttons, unsigned accessMode);
  // Right to left from the first entry's rectangle of the layout mode.
  void Place(CVtxButton** buttons, unsigned layoutMode) const;
  void Show(CVtxButton** buttons, int flag) const;
  int SetStates(unsigned mask, unsigned picture) override;
  // GUI thread: shows the pictures SetStates stored.
  void ApplyStates(CVtxButton** buttons);

  std::uint8_t GetFamilyMask() const { return m_byFamilyMask; }
  int Count() const { return m_byCount; }
  // The table entries of the buttons, in order.
  const std::vector<int>& Entries() const { return entries_; }
  // Where button i goes in a layout mode.
  QRect ButtonRect(int i, unsigned layoutMode) const;
  int PendingImage(int i) const;

  std::function<void()> onChanged;

 private:
  std::uint8_t m_byCount = 0;
  std::uint8_t m_byFamilyMask = 0;
  std::vector<int> entries_;
  mutable std::mutex mutex_;
  std::array<int, kSideButtonMax> pending_{};  // picture to show, -1 none
};
