// The channel bar of a multichannel K41R-family recorder (a recorder button, one button per
// channel and two page arrows) and of a K40R video server (two channel buttons). It asks the
// recorder to switch channels and follows the channel the stream reports.
//
// The state is kept here under a lock and may change on the stream's threads; the buttons
// are changed only on the GUI thread (ApplyToButtons, queued by the owner window).
#pragma once
#include <QRect>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/UiInterfaces.h"

class CVtxButton;
class QWidget;

enum ChannelButtonKind : std::uint32_t { CBK_CHANNEL = 1, CBK_PAGELEFT = 2, CBK_PAGERIGHT = 4 };

struct ChannelButtonDesc {
  std::uint16_t wWidth;
  std::uint16_t wHeight;
  std::uint32_t dwKind;
  std::uint16_t wTipId;
  std::uint16_t wCtrlId;
  std::uint32_t dwIndex;
};

constexpr int kChannelButtonMax = 19;
constexpr int kChannelBarTop = 32;
constexpr int kChannelArrowTop = 37;

// The descriptors of a model (K41R 19, K42R 11, K43R 7, K40R 2); empty for other models.
std::vector<ChannelButtonDesc> ChannelButtonsOf(const std::string& productId);
// The four pictures of a descriptor: selected, selected-hover, unselected, unselected-hover.
std::vector<std::string> ChannelButtonPictures(const ChannelButtonDesc& d);

class CChannelBar : public IChannelBar {
 public:
  CChannelBar() = default;

  // Where a button should be and what it shows; the result of the bar's state.
  struct Placement {
    bool visible = false;
    QRect rect;
    int image = 1;
  };

  // Sets the bar up for the connected model (clamps the settings' selected channel). With a
  // parent the buttons are created (GUI thread) into `buttons` (19 slots). Returns 1.
  int Create(QWidget* parent, CVtxButton** buttons);
  // Recomputes the placement of a multichannel bar; the owner applies it. Returns 1.
  void Arrange() override;
  int GetPageStart(std::uint8_t anchor) const;
  int GetPageSize() const;
  int GetChannelCount() const override;
  plat::BYTE GetCurrentChannel() const override { return Current(); }
  int PagePrev();
  int PageNext();
  int SwitchChannel(plat::BYTE channel) override;
  void SetCurrentChannel(plat::BYTE channel) override;
  // hide != 0: every button hidden; 0: shown (a multichannel bar by its page). Returns 1.
  int Show(int hide);

  // GUI thread: moves, shows and pictures the buttons as the state says.
  void ApplyToButtons(CVtxButton** buttons) const;

  // Inspection.
  std::vector<Placement> Placements() const;
  bool IsActive() const;
  std::uint8_t Current() const;
  std::uint8_t Page() const;
  int Count() const;

  // The owner's hook: called (any thread) whenever the buttons need ApplyToButtons.
  std::function<void()> onChanged;
  // The owner's hook: the current device changed (ChangeItemPositionForDeviceModified).
  std::function<void()> onDeviceChanged;

 private:
  void ArrangeLocked();
  int PageStartLocked(std::uint8_t anchor) const;
  int PageSizeLocked() const;
  void Notify() const;

  mutable std::mutex mutex_;
  std::string product_;
  std::vector<ChannelButtonDesc> buttons_;
  std::vector<Placement> placements_;
  bool hidden_ = false;
  bool multi_ = false;  // multichannel K41R family (paged) rather than K40R
  std::uint8_t m_byCurrent = 0;
  int m_fActive = 0;
  std::uint8_t m_byCount = 0;
  std::uint8_t m_byPage = 0;
  std::uint16_t m_wLeft = 0;
  std::uint16_t m_wRightQvga = 0;
  std::uint16_t m_wRightVga = 0;
};
