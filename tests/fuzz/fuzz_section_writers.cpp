// The configuration sheet's section writers: any page values (numbers of any size, texts of
// any length and bytes, channels in and outside the layouts) laid over sections of any
// received bytes. A writer stays inside its section (the guard bytes behind it never change),
// an unchanged page changes nothing, and what the writers answer stays within its bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "session/SectionWriters.h"

namespace {

const sect::Device kDevices[] = {{"K41R", "1000"}, {"K42R", "1027"}, {"K43R", "3000"}, {"K40R", "1002"},
                                 {"K40R", "1010"}, {"K47R", "1003"}, {"K44R", "0002"}, {"XXXX", "12"}};

// Takes values from the input in order; past its end every value is zero.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint32_t Word() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
    return v;
  }
  int Int() { return static_cast<int>(Word()); }
  bool Flag() { return (Byte() & 1) != 0; }
  std::string Text() {
    const std::size_t n = Byte() % 80;
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(Byte()));
    return s;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

constexpr std::size_t kGuard = 16;

// A received section of `size` bytes followed by guard bytes.
struct Block {
  Block(Input& in, std::size_t size) : bytes(size + kGuard, 0xA5), size_(size) {
    for (std::size_t i = 0; i < size; ++i) bytes[i] = in.Byte();
  }
  std::uint8_t* data() { return bytes.data(); }
  void CheckGuard() const {
    for (std::size_t i = size_; i < bytes.size(); ++i) {
      if (bytes[i] != 0xA5) __builtin_trap();
    }
  }
  std::vector<std::uint8_t> bytes;
  std::size_t size_;
};

void Same(const Block& a, const std::vector<std::uint8_t>& before) {
  if (a.bytes != before) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  const sect::Device& d = kDevices[in.Byte() % (sizeof kDevices / sizeof kDevices[0])];
  using namespace sect;

  {  // SECURE
    Block b(in, SecureSection::kSize);
    AccountValues v;
    v.slotsModified = in.Flag();
    for (AccountSlotValues& s : v.accounts) s = {in.Flag(), in.Byte(), in.Int(), in.Text(), in.Text()};
    v.maxUsers = in.Word();
    WriteAccountPage(b.data(), v);
    b.CheckGuard();
  }
  {  // SMTP, SYSTEM, SNTP
    Block smtp(in, SmtpSection::kSize), sys(in, SystemSection::kSize), sntp(in, SntpSection::kSize);
    MailValues page, opened;
    for (MailValues* m : {&page, &opened}) {
      m->mailFrom = in.Text();
      m->smtpServer = in.Text();
      m->smtpPassword = in.Text();
      m->smtpUser = in.Text();
      m->smtpVerify = in.Byte();
    }
    page.recipientsChanged = in.Flag();
    for (int i = in.Byte() % 8; i > 0; --i) page.recipients.push_back(in.Text());
    WriteMailPage(d, page, opened, smtp.data(), sys.data(), sntp.data());
    smtp.CheckGuard();
    sys.CheckGuard();
    sntp.CheckGuard();
    const std::string from = ReadMailFrom(d, smtp.data(), sys.data(), sntp.data());
    if (from.size() > 15 + 28) __builtin_trap();
  }
  {  // FTP
    Block b(in, FtpSection::kSize);
    FtpValues page{in.Text(), in.Text(), in.Text(), in.Text(), in.Word()};
    const auto before = b.bytes;
    if (WriteFtpPage(b.data(), page, page)) __builtin_trap();
    Same(b, before);
    const FtpValues opened{in.Text(), in.Text(), in.Text(), in.Text(), in.Word()};
    WriteFtpPage(b.data(), page, opened);
    b.CheckGuard();
  }
  {  // DNS, SMTP
    Block dns(in, DnsSection::kSize), smtp(in, SmtpSection::kSize);
    DnsPageValues page, opened;
    for (DnsPageValues* v : {&page, &opened}) {
      v->dnsServer = in.Word();
      v->autoDns = in.Flag();
      v->ddnsEnable = in.Flag();
      v->ddnsUser = in.Text();
      v->ddnsPassword = in.Text();
      v->ddnsDomain = in.Text();
      v->provider = in.Int();
      v->providerPicked = in.Flag();
    }
    const auto rule = static_cast<DdnsProviderRule>(in.Byte() % 3);
    WriteDnsPage(dns.data(), smtp.data(), page, opened, rule);
    dns.CheckGuard();
    smtp.CheckGuard();
  }
  {  // PPPOE, IP
    Block pppoe(in, PppoeSection::kSize), ip(in, IpSection::kSize);
    const bool newLayout = in.Flag();
    const PppoeValues account{in.Text(), in.Text()};
    const PppoeValues accountOpened{in.Text(), in.Text()};
    WritePppoeAccount(pppoe.data(), newLayout, account, accountOpened);
    pppoe.CheckGuard();
    IpPageValues page, opened;
    for (IpPageValues* v : {&page, &opened}) {
      v->ipAddress = in.Word();
      v->gateway = in.Word();
      v->netMask = in.Word();
      v->webPort = in.Int();
      v->ipType = in.Byte();
      v->bitRate = in.Int();
    }
    const std::string domain = in.Text();
    const IpPageWrite w = WriteIpPage(ip.data(), d, page, opened, domain);
    ip.CheckGuard();
    if (w.newServer.size() > 15 && w.newServer != domain) __builtin_trap();
    if (w.portChanged && (w.newPort == 0 || w.refused)) __builtin_trap();
  }
  {  // ALARM, RS485, PERI, SYSTEM
    Block alarm(in, AlarmSection::kSize);
    AlarmPageValues page{in.Byte(), in.Byte(), in.Int(), in.Byte(), in.Int()};
    AlarmPageValues opened{in.Byte(), in.Byte(), in.Int(), in.Byte(), in.Int()};
    WriteAlarmPage(alarm.data(), d, page, opened);
    alarm.CheckGuard();

    Block rs(in, Rs485Section::kSize);
    Rs485DeviceValues devices;
    for (std::size_t c = 0; c < Rs485Section::kChannels; ++c) {
      devices.kind[c] = in.Byte();
      devices.deviceId[c] = in.Byte();
      devices.protocol[c] = in.Byte();
      devices.baud[c] = in.Word();
    }
    WriteRs485Devices(rs.data(), d, devices);
    rs.CheckGuard();

    Block peri(in, PeriSection::kSize);
    PeriPageValues now, was;
    for (PeriPageValues* v : {&now, &was}) {
      for (PeriDeviceValues& dev : v->device) dev = {in.Int(), in.Int(), in.Int()};
    }
    const PeriPageWrite pw = WritePeriPage(peri.data(), now, was);
    if (pw.tableChanged && !pw.changed) __builtin_trap();
    peri.CheckGuard();

    Block sys(in, SystemSection::kSize);
    const GeneralPageValues general{in.Text(), in.Text(), in.Text()};
    const GeneralPageValues generalOpened{in.Text(), in.Text(), in.Text()};
    const bool fetched = in.Flag();
    WriteGeneralPage(sys.data(), rs.data(), d, general, generalOpened, fetched);
    sys.CheckGuard();
    rs.CheckGuard();
  }
  {  // SNTP
    Block b(in, SntpSection::kSize);
    const SntpPageValues opened = ReadSntpPage(b.data());
    const auto before = b.bytes;
    if (WriteSntpPage(b.data(), opened, opened)) __builtin_trap();
    Same(b, before);
    SntpPageValues page{in.Byte(), in.Int(), in.Byte(), in.Text()};
    WriteSntpPage(b.data(), page, opened);
    WriteSntpSync(b.data(), page);
    b.CheckGuard();
    // A choice written once is written: the second time changes nothing.
    if (WriteSntpSync(b.data(), page)) __builtin_trap();
  }
  {  // DVRREC
    Block b(in, DvrRecSection::kSize);
    TimerSlots timer;
    for (std::size_t i = 0; i < DvrRecSection::kSlots; ++i) {
      timer.day[i] = in.Byte();
      const int hour = in.Int();
      const int minute = in.Int();
      timer.start[i] = TimerWord(hour, minute);
      timer.end[i] = static_cast<std::uint16_t>(in.Word());
      if (TimerWordHour(timer.start[i]) > 255 || TimerWordMinute(timer.start[i]) > 255) __builtin_trap();
    }
    WriteTimerSlots(b.data(), timer);
    b.CheckGuard();
    if (!(ReadTimerSlots(b.data()) == timer)) __builtin_trap();
  }
  {  // DVRLIVE, DVRREC, ALARM: one channel of the camera and detection pages
    Block live(in, DvrLiveSection::kSize), rec(in, DvrRecSection::kSize), alarm(in, AlarmSection::kSize);
    // Mostly a channel of the layout, sometimes one outside it (negative or past 15).
    const int channel = static_cast<int>(static_cast<std::int8_t>(in.Byte())) % 24;
    const bool inLayout = channel >= 0 && channel < static_cast<int>(DvrLiveSection::kChannels);

    // Reading a channel and writing it back changes nothing.
    const auto liveBefore = live.bytes, recBefore = rec.bytes, alarmBefore = alarm.bytes;
    const CameraChannelValues cameraRead = ReadCameraChannel(live.data(), rec.data(), channel);
    WriteCameraChannel(live.data(), rec.data(), channel, cameraRead);
    const DetectionChannelValues detectionRead = ReadDetectionChannel(live.data(), alarm.data(), channel);
    WriteDetectionChannel(live.data(), alarm.data(), channel, detectionRead);
    Same(live, liveBefore);
    Same(rec, recBefore);
    Same(alarm, alarmBefore);
    if (!inLayout && !(cameraRead == CameraChannelValues{} && detectionRead == DetectionChannelValues{})) __builtin_trap();

    CameraChannelValues camera;
    for (std::uint8_t& b : camera.title) b = in.Byte();
    camera.brightness = in.Byte();
    camera.contrast = in.Byte();
    camera.saturation = in.Byte();
    camera.hue = in.Byte();
    camera.covert = in.Byte();
    camera.recordEnable = in.Byte();
    DetectionChannelValues detection;
    detection.detect = in.Byte();
    detection.ls = in.Byte();
    detection.ss = in.Byte();
    detection.ts = in.Byte();
    detection.re = in.Byte();
    for (std::uint8_t& b : detection.area) b = in.Byte();
    detection.alarmInputType = in.Byte();
    const bool withAlarm = in.Flag();
    WriteCameraChannel(live.data(), rec.data(), channel, camera);
    WriteDetectionChannel(live.data(), withAlarm ? alarm.data() : nullptr, channel, detection);
    live.CheckGuard();
    rec.CheckGuard();
    alarm.CheckGuard();
    if (!inLayout) {
      Same(live, liveBefore);
      Same(rec, recBefore);
      Same(alarm, alarmBefore);
    } else {
      // The two pages' fields of a channel do not overlap: each reads back what it wrote.
      if (!(ReadCameraChannel(live.data(), rec.data(), channel) == camera)) __builtin_trap();
      DetectionChannelValues back = ReadDetectionChannel(live.data(), alarm.data(), channel);
      if (!withAlarm) {
        if (alarm.bytes != alarmBefore) __builtin_trap();
        back.alarmInputType = detection.alarmInputType;
      }
      if (!(back == detection)) __builtin_trap();
    }
  }
  {  // the video-setting block
    Block b(in, VideoSettingLayout::kSize);
    const VideoSettingValues page{in.Int(), in.Int(), in.Int(), in.Int()};
    const VideoSettingOpened opened{static_cast<std::uint16_t>(in.Word()), static_cast<std::uint16_t>(in.Word()),
                                    in.Int(), in.Int(), in.Int()};
    const bool pal = in.Flag();
    WriteVideoSetting(b.data(), pal, page, opened);
    b.CheckGuard();
    const int choice = VideoSettingLayout::BitRateChoice(VideoSettingLayout::RateCode(b.data()));
    if (choice < 0 || choice > 6) __builtin_trap();
  }
  return 0;
}
