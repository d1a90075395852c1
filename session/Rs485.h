// RS-485 commands: a key's CtrlFile.ini template, filled in with the substitution codes, is
// sent as the body of /RS485Cmd.cgi; the recorder puts the bytes on its bus.
//
// Body: N, N command bytes, the repeat count and the repeat interval 0x32 (N + 3 bytes, at
// most 64). Variable templates supply everything after the count themselves.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "session/CgiRequest.h"
#include "session/CtrlFile.h"

class CControlDeviceTable;

constexpr std::uint8_t kRs485RepeatInterval = 0x32;
constexpr unsigned kMsgSendFailed = 4065;  // "Send command to device is failed !!"

// Substitution codes with their own meaning; every other code n reads byParam[n].
enum Rs485Code : std::uint8_t {
  RC_ACCESS_LEVEL = 1,
  RC_SUM_FROM_1 = 2,
  RC_VARIABLE = 3,
  RC_LITERAL_NEXT = 4,  // variable templates: the next byte as it stands
  RC_LITERAL_LAST = 5,  // variable templates: the next byte, then the packet ends
  RC_SUM_FROM_2 = 6,
  RC_ACTION_PRESET = 7,
  RC_TWO_ALTERNATIVE = 10,
  RC_BUS_DEVICE = 11,
  RC_VIDEO_DEVICE = 13,
};

// The values the codes of one press stand for.
struct Rs485Values {
  std::uint8_t videoDeviceId = 0;  // code 13
  std::uint8_t accessLevel = 0;    // code 1
  std::uint8_t busDeviceId = 0;    // code 11
};

enum class Rs485Build { Ok, Empty, Bad };

// Builds the request body of a template. Empty: the slot has no command. Bad: the template
// cannot form a packet (its list is missing, runs past the template or could not fit).
Rs485Build BuildRs485Packet(const CtrlCommandSlot& slot, std::uint8_t repeat, bool presetMode,
                            const Rs485Values& values, std::vector<std::uint8_t>& body);

// The access level byte of the user's access mode (rows 0-3: 60, 40, 4, 20); an unknown mode
// gets the guest's level.
std::uint8_t Rs485AccessLevel(std::uint8_t accessMode);

// The values of a press for the connected recorder (`productId`, MULTICH) and the table.
Rs485Values MakeRs485Values(const CControlDeviceTable& table, const std::string& productId, bool multiChannel,
                            std::uint8_t accessMode);

// Which addressed devices get the Pelco fields (PELOCO=1&PROTOCOL=PELCO).
enum class Rs485Pelco {
  Never,                // the key forbids them (SBF_NOPELCO)
  PelcoHeads,           // a device of type DT_PTZ_PELCO
  PelcoHeadsAndVideoD,  // as PelcoHeads; the video device also as DT_PTZ_PELCO_D
};

// A /RS485Cmd.cgi request addressed to the current device of the table: Control=K41R, then CH
// and MASTER as the recorder (`productId`, MULTICH) numbers its devices, the Pelco fields as
// `pelco` says, and the session cookie.
CCgiRequest BuildRs485AddressedRequest(const CControlDeviceTable& table, const std::string& productId,
                                       bool multiChannel, Rs485Pelco pelco, const std::string& sessionId);

// The /RS485Cmd.cgi request of a panel key that addresses the current device of the table.
CCgiRequest BuildRs485Request(const CControlDeviceTable& table, const std::string& productId, bool multiChannel,
                              std::uint16_t keyFlags, const std::string& sessionId);

// Builds the packet for the connected recorder and sends it (20 s to send, 20 s to receive).
// 1 on a 200 reply; 0 after the message of the failure: 4084 empty template, 4051 a template
// that cannot form a packet, 4065 the request failed.
int SendRS485Command(const CtrlCommandSlot& slot, std::uint8_t repeat, std::uint16_t keyFlags);

// Sends panel key `key` of the current control device (turbo: the turbo repeat step instead
// of 1). Message 4093 when the device's type has no control-file record.
int DoDeviceCommand(int turbo, std::uint16_t key);
