// Private window messages between the engine's threads and the windows, with the ids the
// windows' handler tables use. Posted with plat::PostMessage.
#pragma once
#include "platform/messages.h"

namespace msg {

constexpr unsigned WM_POSTALARMAUDIO = 0x402;     // alarm sound: lParam 0 start, 2 stop
constexpr unsigned WM_SETRECORDBUTTON = 0x403;
constexpr unsigned WM_RECONNECT = 0x404;
constexpr unsigned WM_UNUSED405 = 0x405;
constexpr unsigned WM_SHOWMESSAGE = 0x406;        // wParam: string id of a message box
constexpr unsigned WM_UNUSED408 = 0x408;
constexpr unsigned WM_UNUSED409 = 0x409;
constexpr unsigned WM_HOTPOINTCLICK = 0x40A;
constexpr unsigned WM_LEAVEPTZMODE = 0x40B;
constexpr unsigned WM_CLOSEMAIN = 0x40C;          // life time is up: close the main window
constexpr unsigned WM_LOGINFAILED = 0x40F;
constexpr unsigned WM_ANIMATETICK = 0x410;
constexpr unsigned WM_SERVERLOGDONE = 0x411;
constexpr unsigned WM_DOWNLOADSTATUS = 0x412;
constexpr unsigned WM_CHECKSTATUSHOVER = 0x413;
constexpr unsigned WM_PLAYDOWNLOADEDFILE = 0x414;
constexpr unsigned WM_OPENNETWORKBACKUP = 0x415;
constexpr unsigned WM_SHOWSTATUS = 0x41B;         // lParam: status action code
constexpr unsigned WM_SYNCTIMEDONE = 0x41C;
constexpr unsigned WM_SENSORSTATE = 0x420;        // wParam: image-sensor state byte
constexpr unsigned WM_ENTERCONNECT = 0x421;
constexpr unsigned WM_LOGINSUCCEEDED = 0x422;
constexpr unsigned WM_UPGRADEEND = 0x428;
constexpr unsigned WM_UPGRADEBEGIN = 0x429;
constexpr unsigned WM_UPGRADECLOSE = 0x42A;
constexpr unsigned WM_LOGINFINISHED = 0x42B;

// Messages exchanged with the external player program.
constexpr unsigned WM_PLAYERATTACH = 0x1200;
constexpr unsigned WM_PLAYERACK = 0x1201;
constexpr unsigned WM_PLAYERDATAADDED = 0x1202;
constexpr unsigned WM_PLAYERDOWNLOADEND = 0x1203;
constexpr unsigned WM_PLAYERSTOP = 0x1204;

// WM_SHOWSTATUS action codes (lParam).
enum ShowStatusCode : int {
  STATUS_ESCAPED_TIME = 0,     // wParam: seconds
  STATUS_START_LOGIN = 1,
  STATUS_SERVER_BUSY = 2,
  STATUS_LOGIN_FAILED_WAIT = 3,
  STATUS_NOTHING = 4,
  STATUS_CONNECTED_PICTURE = 5,
  STATUS_DISCONNECTED_PICTURE = 6,
  STATUS_TOO_MANY_USERS = 7,
  STATUS_REPAINT = 8,
};

// WM_POSTALARMAUDIO actions (lParam).
constexpr int ALARM_AUDIO_START = 0;
constexpr int ALARM_AUDIO_STOP = 2;

}  // namespace msg

// The familiar names at global scope, for code that posts them.
using msg::WM_ANIMATETICK;
using msg::WM_CHECKSTATUSHOVER;
using msg::WM_CLOSEMAIN;
using msg::WM_DOWNLOADSTATUS;
using msg::WM_ENTERCONNECT;
using msg::WM_HOTPOINTCLICK;
using msg::WM_LEAVEPTZMODE;
using msg::WM_LOGINFAILED;
using msg::WM_LOGINFINISHED;
using msg::WM_LOGINSUCCEEDED;
using msg::WM_OPENNETWORKBACKUP;
using msg::WM_PLAYDOWNLOADEDFILE;
using msg::WM_PLAYERACK;
using msg::WM_PLAYERATTACH;
using msg::WM_PLAYERDATAADDED;
using msg::WM_PLAYERDOWNLOADEND;
using msg::WM_PLAYERSTOP;
using msg::WM_POSTALARMAUDIO;
using msg::WM_RECONNECT;
using msg::WM_SENSORSTATE;
using msg::WM_SERVERLOGDONE;
using msg::WM_SETRECORDBUTTON;
using msg::WM_SHOWMESSAGE;
using msg::WM_SHOWSTATUS;
using msg::WM_SYNCTIMEDONE;
using msg::WM_UNUSED405;
using msg::WM_UNUSED408;
using msg::WM_UNUSED409;
using msg::WM_UPGRADEBEGIN;
using msg::WM_UPGRADECLOSE;
using msg::WM_UPGRADEEND;
