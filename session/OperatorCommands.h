// The requests the main window's operator commands send, and the readers of their replies:
// picture resolution and quality, the channel shown, the colour values, the R.E.T.R. switch,
// the image-sensor window and rotation, the PTZ slave list, the PTZ selection packets and the
// hot point.
//
// Every sender runs synchronously on the caller's thread (15 s to send, 15 s to receive) and
// answers 1 on a 200 reply, 0 otherwise; the caller shows the failure.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "session/CgiRequest.h"

class CControlDeviceTable;

constexpr unsigned kCommandTimeoutSec = 15;

// ---- resolution, quality ----
int SendResolution(int res);  // /Setresolution.cgi RES
int SendQuality(int quality);  // /Setquality.cgi QUA

// ---- channel ----
int SendSetChannel(std::uint8_t channel);  // /SetChannel.cgi CH

// ---- colour ----
struct ColorValues {
  int contrast = 128;
  int brightness = 0;
  int hue = 0;
};
constexpr std::size_t kColorReplyCapacity = 264;
// Reads "CON", "BRI" and "HUE" from a /GetColor.cgi reply. A key counts only as a whole word
// (at the start or after ';' or a blank) followed by one separator character; its value runs
// to the next ';' (or the end). A missing key or a value that is not a decimal number keeps
// the default (contrast 128, brightness 0, hue 0); numbers are clamped to 0..255.
ColorValues ParseColorReply(std::string_view text);
// 1 and the values, or 0 when the request failed.
int GetColorValues(ColorValues& out);
// /SetColor.cgi with CON, BRI and HUE in that order.
int SendColorValues(int contrast, int brightness, int hue);

// The values the colour popup shows for the device's values and back. Video servers (K40R, the
// K44R family, K47R) keep brightness and hue with 0 in the middle of the scale: the popup shows
// them swapped by 128; other recorders show their values as they are.
int ColorSwap(int v);
bool ColorUsesSwap(std::string_view productId);
ColorValues DeviceToShown(std::string_view productId, const ColorValues& device);
ColorValues ShownToDevice(std::string_view productId, const ColorValues& shown);
// The Default control's values: {brightness, contrast, hue, saturation}.
struct ColorDefaults {
  int brightness, contrast, hue, saturation;
};
ColorDefaults ColorDefaultsFor(std::string_view productId);

// ---- R.E.T.R. ----
// /SetRetr.cgi SET: 0 when the recorder reports the state on, else 1.
int SendRetrSwitch(std::uint8_t reportedState);

// ---- image sensor (K47R) ----
int SendSensorZoom(int mode);  // /OV9653Zoom.cgi MODE
// /OV9653Rotate.cgi: HR then VR for the horizontal key, VR then HR for the vertical one.
int SendSensorRotate(bool horizontalKey, int hr, int vr);

// ---- PTZ slaves ----
struct PtzSlave {
  std::uint8_t id = 0;
  std::uint8_t type = 0;
};
constexpr std::size_t kPtzSlaveReplyCapacity = 1024;
// Reads the slave list of a /PTZReset.cgi reply: SLAVENUM, then per slave SID, STYPE and an
// optional SPROTOCOL, each "KEY=value;" (keys whole words). STYPE 1 is type 11, and 11 with
// protocol 1 type 18; a type outside the device-type table becomes 0, so the later slaves keep
// their numbers. The list ends after SLAVENUM slaves, at the first slave without SID or STYPE,
// at a value that is not a number of 0..255, or after `maxSlaves`.
std::vector<PtzSlave> ParsePtzSlaveList(std::string_view text, std::size_t maxSlaves);
// Sends /PTZReset.cgi; with `slaves` the reply is read (1024 bytes) and parsed into it.
int RequestPtzSlaves(std::vector<PtzSlave>* slaves, std::size_t maxSlaves);

// ---- PTZ selection ----
// The RS-485 packet that tells the recorder to steer PTZ device n (1-16); empty outside.
std::vector<std::uint8_t> PtzSelectPacket(int n);
// The packet that hands the keys back to the recorder itself.
std::vector<std::uint8_t> PtzBackPacket();
// /RS485Cmd.cgi with Control=K41R, MASTER=1 and the packet as body.
int SendPtzSelection(const std::vector<std::uint8_t>& packet);

// ---- hot point ----
struct HotPointArea {
  int left = 0, top = 0, right = 0, bottom = 0;  // R: the video rectangle, or the client in full screen
  bool fullScreen = false;
  int videoLeft = 0, videoTop = 0, videoRight = 0, videoBottom = 0;  // L12-L15
};
struct HotPointCell {
  bool accepted = false;
  int column = 0;
  int row = 0;
  std::uint16_t markerX = 0;
  std::uint16_t markerY = 0;
  std::uint8_t Cell() const { return static_cast<std::uint8_t>(column + 16 * row); }
};
// The 16 x 12 cell of a click and where the marker goes (in video-rectangle pixels). A click
// on the border of the video rectangle, or within 8 pixels of the edge in full screen, is not
// accepted.
HotPointCell LocateHotPoint(int x, int y, const HotPointArea& area);
// The positioning packet for a device type (8; 11, 18, 25; any other: 0, 0, 0).
std::vector<std::uint8_t> HotPointPacket(std::uint8_t type, std::uint8_t id, std::uint8_t level, std::uint8_t cell);
// The /RS485Cmd.cgi request of the hot point for the table's current device. Unlike the key
// requests, a video device adds the Pelco parameters for type 18 only.
CCgiRequest BuildHotPointRequest(const CControlDeviceTable& table, const std::string& productId, bool multiChannel,
                                 const std::string& sessionId);
// Sends the packet of `cell` to the current device; 1 on success.
int SendHotPoint(std::uint8_t cell);
