#include "session/Rs485.h"

#include "session/SessionRecord.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "session/Command.h"
#include "session/ControlDeviceTable.h"

Rs485Values MakeRs485Values(const CControlDeviceTable& table, const std::string& productId, bool multiChannel,
                            std::uint8_t accessMode) {
  Rs485Values v;
  v.videoDeviceId = table.GetVideoDeviceId();
  v.accessLevel = Rs485AccessLevel(accessMode);
  // On a K41R-family recorder without MULTICH the bus device is the PTZ head chosen last.
  v.busDeviceId = (IsModelFamilyK41(productId) && !multiChannel) ? table.GetPtzDeviceId() : v.videoDeviceId;
  return v;
}

CCgiRequest BuildRs485AddressedRequest(const CControlDeviceTable& table, const std::string& productId,
                                       bool multiChannel, Rs485Pelco pelco, const std::string& sessionId) {
  CCgiRequest req(CGI_RS485CMD);
  // `video`: the addressed device is the video device, where Pelco-D may count as well.
  auto addPelco = [&req, pelco](std::uint8_t type, bool video) {
    const bool pelcoD = video && pelco == Rs485Pelco::PelcoHeadsAndVideoD && type == DT_PTZ_PELCO_D;
    if (pelco == Rs485Pelco::Never || (type != DT_PTZ_PELCO && !pelcoD)) return;
    req.AddParam("PELOCO", "1");
    req.AddParam("PROTOCOL", "PELCO");
  };
  req.AddParam("Control", "K41R");
  const int o = table.GetCurrentOrdinal();
  if (IsModelFamilyK41(productId) && multiChannel) {
    if (o == 0) {
      req.AddParam("MASTER", "1");
    } else {
      req.AddParamInt("CH", o - 1);
      req.AddParam("MASTER", "0");
      addPelco(table.GetCurrentType(), false);
    }
  } else if (!table.IsCurrentVideo()) {
    req.AddParamInt("CH", o);
    req.AddParam("MASTER", "0");
    addPelco(table.GetNthPtzType(o), false);
  } else {
    if (IsModelK40R(productId) || IsModelFamilyK44(productId) || IsModelK47R(productId)) {
      req.AddParamInt("CH", o);
      addPelco(table.GetVideoDeviceType(), true);
    }
    req.AddParam("MASTER", "1");
  }
  req.AddCookie(sessionId);
  return req;
}

CCgiRequest BuildRs485Request(const CControlDeviceTable& table, const std::string& productId, bool multiChannel,
                              std::uint16_t keyFlags, const std::string& sessionId) {
  const Rs485Pelco pelco = (keyFlags & SBF_NOPELCO) ? Rs485Pelco::Never : Rs485Pelco::PelcoHeadsAndVideoD;
  return BuildRs485AddressedRequest(table, productId, multiChannel, pelco, sessionId);
}

int SendRS485Command(const CtrlCommandSlot& slot, std::uint8_t repeat, std::uint16_t keyFlags) {
  SessionRecord* app = g_lpSession;
  if (!app) return 0;
  const std::string productId = app->GetProductID();
  const bool multi = app->by_MultiChannel.load() != 0;
  const Rs485Values values = MakeRs485Values(app->C_ControlD, productId, multi, app->by_AccessMode.load());
  std::vector<std::uint8_t> body;
  switch (BuildRs485Packet(slot, repeat, app->f_PresetMode.load() != 0, values, body)) {
    case Rs485Build::Empty:
      MessageBoxById(app->h_MainDialogHandle.load(), kMsgUnsupportedCommand);
      return 0;
    case Rs485Build::Bad:
      MessageBoxById(app->h_MainDialogHandle.load(), kMsgBadCommandLine);
      return 0;
    case Rs485Build::Ok:
      break;
  }
  const CCgiRequest req = BuildRs485Request(app->C_ControlD, productId, multi, keyFlags, GetSessionId());
  CgiReplyRecord reply;
  if (!ZududSendCommand(req, body.data(), static_cast<plat::DWORD>(body.size()), &reply, nullptr, 0, nullptr, 20,
                        20)) {
    MessageBoxById(app->h_MainDialogHandle.load(), kMsgSendFailed);
    return 0;
  }
  return 1;
}

int DoDeviceCommand(int turbo, std::uint16_t key) {
  SessionRecord* app = g_lpSession;
  if (!app || key >= kPanelKeyCount) return 0;
  const std::uint8_t type = app->C_ControlD.GetCurrentType();
  if (type >= kDeviceTypeCount) {
    MessageBoxById(app->h_MainDialogHandle.load(), kMsgNoProtocol);
    return 0;
  }
  const DeviceTypeEntry& entry = DeviceTypeTable[type];
  const CtrlDeviceRecord* record = entry.pCtrlRecord;
  if (!record) {
    MessageBoxById(app->h_MainDialogHandle.load(), kMsgNoProtocol);
    return 0;
  }
  const std::uint8_t repeat = turbo ? app->by_TurboRepeatStep.load() : 1;
  return SendRS485Command(record->Keys[key], repeat, entry.Rows[key].wFlags);
}
