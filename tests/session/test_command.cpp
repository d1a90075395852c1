#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "tests/support/WaitUntil.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/Receiver.h"
#include "session_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kFixedHeaders[] =
    "Accept-Encoding: gzip, deflate\r\n"
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)\r\n"
    "Host: 127.0.0.1\r\nConnection: Keep-Alive\r\n\r\n";

struct Call {
  int result = 0;
  CgiReplyRecord record{0, 0xDEAD};
  std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(64, 0xEE);
  plat::DWORD length = 0xABCD;
};

Call Send(const CCgiRequest& r, std::size_t capacity = 64, plat::WORD timeout = 2) {
  Call c;
  c.buffer.assign(capacity, 0xEE);
  c.result = ZududSendCommand(r, nullptr, 0, &c.record, c.buffer.data(), c.buffer.size(), &c.length, timeout, timeout);
  return c;
}

// A command as every sender but login builds it: with the session identifier.
CCgiRequest WithCookie(unsigned command) {
  CCgiRequest r(command);
  r.AddCookie(GetSessionId());
  return r;
}

std::string BodyOf(const Call& c) { return std::string(c.buffer.begin(), c.buffer.begin() + c.length); }

}  // namespace

// ---- the request builder ----------------------------------------------------------------------

TEST(CgiRequest, TableAndBuilderRules) {
  EXPECT_STREQ(CgiCommandTable[CGI_LOGIN].path, "/Login.cgi");
  EXPECT_STREQ(CgiCommandTable[CGI_SETPENTA].path, "/SetZudud.cgi");
  EXPECT_STREQ(CgiCommandTable[CGI_GETDEFAULTLANG].path, "/getDefaultLang.cgi");
  EXPECT_STREQ(CgiCommandTable[CGI_SEARCHPLAYBACK].path, "/SearchPlayBack.cgi");
  for (unsigned i = 0; i < CGI_COMMAND_COUNT; ++i) {
    EXPECT_EQ(CgiCommandTable[i].index, i);
    EXPECT_EQ(CgiCommandTable[i].path[0], '/');
  }
  EXPECT_EQ(CCgiRequest(CGI_GETVERSION).Url(), CCgiRequest(CGI_GETVERSION2).Url());
  EXPECT_EQ(CCgiRequest(40).Url(), "");  // outside the table: refused by the request function

  CCgiRequest r(CGI_GETSYSCFG);
  r.AddParam("Option", "INF");
  r.AddParamInt("Size", 44);
  r.AddParamInt("N", -7);
  // Values are not escaped: recorders rely on that. Ampersands, equal signs and blanks stay
  // as they are; only CR, LF and NUL are refused, when the head is built.
  r.AddParam("P", "a&b=c d");
  EXPECT_EQ(r.Url(), "/GetSysCfg.cgi?Option=INF&Size=44&N=-7&P=a&b=c d");
  EXPECT_EQ(r.GetLength(), r.Url().size());
  EXPECT_EQ(r.AddCookie(""), 0);
  EXPECT_EQ(r.Url().find("Cookie"), std::string::npos);
  r.Reset();
  r.AddCookie("XYZ");
  EXPECT_EQ(r.Url(), "/GetSysCfg.cgi?Cookie=XYZ");
}

// ---- reply head parsing -----------------------------------------------------------------------

TEST(ReplyHead, StatusAndContentLengthForms) {
  struct Case {
    const char* head;
    bool ok;
    int status;
    bool hasLength;
    std::uint64_t length;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n", true, 200, true, 12},
      {"HTTP/1.1 200 OK\r\ncontent-length:12\r\n\r\n", true, 200, true, 12},  // no blank: whole value
      {"HTTP/1.1 200 OK\r\nCONTENT-LENGTH :   7\r\n\r\n", true, 200, true, 7},
      {"HTTP/1.1 202 Accepted\r\n\r\n", true, 202, false, 0},
      {"HTTP/1.1 200\r\nContent-Length: 3\r\n\r\n", true, 200, true, 3},  // no second blank
      {"HTTP/1.1 200 OK\r\nX-Content-Length: 9\r\n\r\n", true, 200, false, 0},  // whole name only
      {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", true, 200, true, UINT64_MAX},
      {"HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\n", true, 200, true, 0},
      {"HTTP/1.1 OK\r\n\r\n", true, 0, false, 0},
      {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", false, 0, false, 0},  // no blank line yet
  };
  for (const Case& c : cases) {
    ReplyHead h;
    const bool ok = ParseReplyHead(c.head, std::strlen(c.head), h);
    EXPECT_EQ(ok, c.ok) << c.head;
    if (!ok) continue;
    EXPECT_EQ(h.status, c.status) << c.head;
    EXPECT_EQ(h.hasContentLength, c.hasLength) << c.head;
    EXPECT_EQ(h.contentLength, c.length) << c.head;
    EXPECT_EQ(h.headLength, std::strlen(c.head)) << c.head;
  }
}

TEST(ReplyHead, IsIPAddressString) {
  EXPECT_EQ(IsIPAddressString("192.168.1.10"), 2);
  EXPECT_EQ(IsIPAddressString(""), 2);
  EXPECT_EQ(IsIPAddressString("recorder"), 1);
  EXPECT_EQ(IsIPAddressString("10-0-0-1"), 1);
}

// ---- exchanges with the fake recorder ------------------------------------------------------------

using CommandTest = RecorderFixture;

TEST_F(CommandTest, RequestHeadsAreByteExact) {
  CCgiRequest login(CGI_LOGIN);
  login.AddParam("Username", "admin");
  login.AddParam("Password", "1234");
  ASSERT_EQ(Send(login, 256).result, 1);

  UseSession();
  const std::uint8_t body[3] = {1, 2, 0};
  CCgiRequest set(CGI_SETSYSCFG);
  set.AddParam("Option", "DNS");
  ASSERT_EQ(ZududSendCommand(set, body, 3, nullptr, nullptr, 0, nullptr, 2, 2), 0);  // wrong size: 400

  const auto requests = recorder_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].head, std::string("GET /Login.cgi?Username=admin&Password=1234 HTTP/1.1\r\n"
                                          "Accept: */* \r\nAccept-Language: zh-tw\r\n") +
                                  kFixedHeaders);
  EXPECT_EQ(requests[0].body, "");
  EXPECT_EQ(requests[1].head, std::string("GET /SetSysCfg.cgi?Option=DNS HTTP/1.1\r\n"
                                          "Accept: */* \r\nAccept-Language: zh-tw\r\nContent-Length: 3\r\n") +
                                  kFixedHeaders);
  EXPECT_EQ(requests[1].body, std::string("\x01\x02\x00", 3));
}

TEST(CommandHead, LineBreaksAndNulInTargetOrHostBuildNoHead) {
  const std::string good = "/Login.cgi?Username=a&b=c d%0D";
  EXPECT_EQ(BuildCommandHead(good.data(), good.size(), false, 0, "10.0.0.1")
                .rfind("GET " + good + " HTTP/1.1\r\n", 0),
            0u);
  const std::string bad[] = {"/Login.cgi?Username=a\r\nX-Injected: 1", "/Login.cgi?Username=a\nb",
                             "/Login.cgi?Username=a\rb", std::string("/Login.cgi?Password=a\0b", 24)};
  for (const std::string& t : bad) EXPECT_EQ(BuildCommandHead(t.data(), t.size(), false, 0, "10.0.0.1"), "") << t;
  EXPECT_EQ(BuildCommandHead(good.data(), good.size(), false, 0, "10.0.0.1\r\nX: y"), "");
  EXPECT_EQ(BuildCommandHead(good.data(), 0, false, 0, "10.0.0.1"), "");
  EXPECT_EQ(BuildGetVideoRequest("ab\r\ncd", "10.0.0.1"), "");
  EXPECT_EQ(BuildGetVideoRequest(std::string("ab\0cd", 5), "10.0.0.1"), "");
}

TEST_F(CommandTest, TargetWithLineBreakFailsWithNothingSent) {
  const std::pair<const char*, std::string> fields[] = {
      {"Username", "admin\r\nX-Injected: 1"}, {"Password", "12\n34"}, {"Password", std::string("12\0" "34", 5)}};
  for (const auto& f : fields) {
    CCgiRequest login(CGI_LOGIN);
    login.AddParam(f.first, f.second);
    const Call c = Send(login, 256);
    EXPECT_EQ(c.result, 0) << f.first;
    EXPECT_EQ(c.length, 0xABCDu);
  }
  g_szSessionCookie.Set("S1\r\nHost: elsewhere");
  EXPECT_EQ(Send(WithCookie(CGI_GETCOLOR)).result, 0);
  app_->CSettingINI.m_strServerName = std::string("127.0.0.1\r\n");
  EXPECT_EQ(Send(CCgiRequest(CGI_GETVERSION)).result, 0);
  EXPECT_TRUE(recorder_.Requests().empty());
}

TEST_F(CommandTest, RequestsHaveNoFixedSizeLimit) {
  UseSession();
  std::string body(10000, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 31);
  CCgiRequest r = WithCookie(CGI_RS485CMD);
  r.AddParam("Data", std::string(5000, 'd'));
  recorder_.SetCommandBody("/RS485Cmd.cgi", "");  // any body is taken, not only a packet
  EXPECT_EQ(ZududSendCommand(r, reinterpret_cast<const std::uint8_t*>(body.data()),
                             static_cast<plat::DWORD>(body.size()), nullptr, nullptr, 0, nullptr, 2, 2),
            1);
  const auto requests = recorder_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].body, body);
  EXPECT_EQ(requests[0].query.at("Data").size(), 5000u);
}

TEST_F(CommandTest, StatusRules) {
  struct Case {
    const char* reply;
    int result;
    plat::DWORD status;  // record's status afterwards (0xDEAD: untouched)
    const char* body;    // nullptr: reply length untouched
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", 1, 0xDEAD, "hello"},
      {"HTTP/1.1 200 OK\r\ncontent-length:5\r\n\r\nworld", 1, 0xDEAD, "world"},
      {"HTTP/1.1 200 OK\r\n\r\nignored", 1, 0xDEAD, ""},  // no Content-Length: body dropped
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", 1, 0xDEAD, ""},
      {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef", 1, 0xDEAD, "abc"},  // never more than announced
      {"HTTP/1.1 202 Accepted\r\nContent-Length: 2\r\n\r\nxx", 0, 202, nullptr},
      {"HTTP/1.1 500 Error\r\n\r\n", 0, 500, nullptr},
      {"HTTP/1.1 404 Not Found\r\n\r\n", 0, 404, nullptr},
      {"HTTP/1.1 2000 OK\r\n\r\n", 0, 2000, nullptr},
      {"garbage\r\n\r\n", 0, 0, nullptr},
  };
  UseSession();
  for (const Case& c : cases) {
    fake::RawReply raw;
    raw.bytes = c.reply;
    recorder_.SetRawReply("/GetColor.cgi", raw);
    CCgiRequest r(CGI_GETCOLOR);
    const Call call = Send(r);
    EXPECT_EQ(call.result, c.result) << c.reply;
    EXPECT_EQ(call.record.dwStatus, c.status) << c.reply;
    if (c.body) {
      EXPECT_EQ(BodyOf(call), c.body) << c.reply;
    } else {
      EXPECT_EQ(call.length, 0xABCDu) << c.reply;
      EXPECT_EQ(call.buffer[0], 0xEE) << c.reply;
    }
  }
}

TEST_F(CommandTest, HeadAndBodyInOneSegmentOrMany) {
  const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789";
  UseSession();
  struct Case {
    std::vector<std::size_t> cuts;
    int result;
  } cases[] = {
      {{}, 1},
      {{5, 20, reply.size() - 4}, 1},                           // head split, body split
      {{reply.size() - 10}, 1},                                 // head, then body
      {{reply.size() - 12, reply.size() - 11, reply.size() - 3}, 1},  // blank line split across reads
  };
  for (const Case& c : cases) {
    fake::RawReply raw;
    raw.bytes = reply;
    raw.cuts = c.cuts;
    recorder_.SetRawReply("/GetColor.cgi", raw);
    const Call call = Send(WithCookie(CGI_GETCOLOR));
    EXPECT_EQ(call.result, c.result);
    EXPECT_EQ(BodyOf(call), "0123456789");
  }
  // More than 30 pieces of head: the head reads are bounded.
  fake::RawReply many;
  many.bytes = "HTTP/1.1 200 OK\r\nX: " + std::string(40, 'a') + "\r\nContent-Length: 2\r\n\r\nok";
  for (std::size_t i = 1; i <= 40; ++i) many.cuts.push_back(i);
  recorder_.SetRawReply("/GetColor.cgi", many);
  EXPECT_EQ(Send(WithCookie(CGI_GETCOLOR)).result, 0);
}

TEST_F(CommandTest, RebootReturnsAfterTheSend) {
  UseSession();
  recorder_.SetNeverAnswer(true);
  const auto start = Clock::now();
  EXPECT_EQ(Send(CCgiRequest(CGI_REBOOT), 64, 5).result, 1);
  EXPECT_LT(MsSince(start), 2000);
  recorder_.SetNeverAnswer(false);
  Call c = Send(CCgiRequest(CGI_REBOOT));
  EXPECT_EQ(c.result, 1);
  EXPECT_EQ(c.length, 0xABCDu);
  ASSERT_TRUE(recorder_.WaitForRequests(2, 2000));
}

TEST_F(CommandTest, PendingPortChangeAppliedOnFirst200Only) {
  UseSession();
  SetPendingWebPort(8123);
  SetPendingServer("10.1.2.3");
  fake::RawReply busy;
  busy.bytes = "HTTP/1.1 202 Accepted\r\n\r\n";
  recorder_.SetRawReply("/GetColor.cgi", busy);
  EXPECT_EQ(Send(WithCookie(CGI_GETCOLOR)).result, 0);
  EXPECT_EQ(app_->CSettingINI.m_wWebPort.load(), recorder_.Port());
  EXPECT_EQ(app_->CSettingINI.m_strServerName.Get(), "127.0.0.1");
  EXPECT_TRUE(HasPendingNetworkChange());

  recorder_.ClearRawReply("/GetColor.cgi");
  EXPECT_EQ(Send(WithCookie(CGI_GETCOLOR)).result, 1);
  EXPECT_EQ(app_->CSettingINI.m_wWebPort.load(), 8123);
  EXPECT_EQ(app_->CSettingINI.m_strServerName.Get(), "10.1.2.3");
  EXPECT_FALSE(HasPendingNetworkChange());
}

// A change left by one thread is not applied by a reply another thread receives: that reply
// comes from where the client was, not from where the change leads.
TEST_F(CommandTest, PendingChangeIsAppliedOnlyByItsOwnThread) {
  UseSession();
  SetPendingWebPort(8124);
  plat::HANDLE other = plat::CreateThread([&]() -> plat::DWORD { return Send(WithCookie(CGI_GETCOLOR)).result; });
  ASSERT_NE(other, 0u);
  EXPECT_EQ(plat::WaitForSingleObject(other, 20000), plat::WAIT_OBJECT_0);
  plat::DWORD code = 0;
  plat::GetExitCodeThread(other, &code);
  plat::CloseHandle(other);
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(app_->CSettingINI.m_wWebPort.load(), recorder_.Port());
  EXPECT_TRUE(HasPendingNetworkChange());
  EXPECT_EQ(Send(WithCookie(CGI_GETCOLOR)).result, 1);
  EXPECT_EQ(app_->CSettingINI.m_wWebPort.load(), 8124);
  EXPECT_FALSE(HasPendingNetworkChange());
}

TEST_F(CommandTest, LoginToAHostNameKeepsTheNameEvenWhenRefused) {
  app_->CSettingINI.m_strServerName = "localhost";
  recorder_.SetLoginBusy(true);
  CCgiRequest login(CGI_LOGIN);
  login.AddParam("Username", "admin");
  login.AddParam("Password", "1234");
  const Call c = Send(login);
  EXPECT_EQ(c.result, 0);
  EXPECT_EQ(c.record.dwStatus, 202u);
  EXPECT_EQ(app_->CSettingINI.m_strServerName.Get(), "127.0.0.1");
  EXPECT_EQ(app_->CSettingINI.m_szHostName.Text(), "localhost");

  // Another command to a name resolves it but changes nothing stored.
  app_->CSettingINI.m_strServerName = "localhost";
  app_->CSettingINI.m_szHostName.Clear();
  UseSession();
  EXPECT_EQ(Send(WithCookie(CGI_GETCOLOR)).result, 1);
  EXPECT_EQ(app_->CSettingINI.m_strServerName.Get(), "localhost");
  EXPECT_EQ(app_->CSettingINI.m_szHostName.Text(), "");
}

TEST_F(CommandTest, BadRepliesFailWithoutOverrun) {
  UseSession();
  struct Case {
    const char* name;
    std::string reply;
    bool hold;
    int result;
    plat::DWORD length;  // 0xABCD: untouched
  } cases[] = {
      {"endless head", "HTTP/1.1 200 OK\r\n" + std::string(5000, 'h'), true, 0, 0xABCD},
      {"huge content length", "HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551615\r\n\r\nabc", false, 0, 0xABCD},
      {"body larger than the buffer", "HTTP/1.1 200 OK\r\nContent-Length: 65\r\n\r\n" + std::string(65, 'b'), false,
       0, 0xABCD},
      {"closed mid-body", "HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\n" + std::string(15, 'p'), false, 0, 0xABCD},
      {"closed mid-head", "HTTP/1.1 200 OK\r\nContent-Le", false, 0, 0xABCD},
      {"closed at once", "", false, 0, 0xABCD},
  };
  for (const Case& c : cases) {
    fake::RawReply raw;
    raw.bytes = c.reply;
    raw.closeAfter = !c.hold;
    recorder_.SetRawReply("/GetColor.cgi", raw);
    const auto start = Clock::now();
    const Call call = Send(WithCookie(CGI_GETCOLOR), 64, 1);
    EXPECT_EQ(call.result, c.result) << c.name;
    EXPECT_EQ(call.length, c.length) << c.name;
    EXPECT_EQ(call.record.dwStatus, 0xDEADu) << c.name;
    // Nothing but the cut body itself may have reached the caller's buffer.
    if (c.length == 0xABCD && c.reply.find("Content-Length: 40") == std::string::npos) {
      EXPECT_EQ(call.buffer[0], 0xEE) << c.name;
    }
    EXPECT_LT(MsSince(start), 3000) << c.name;
  }
}

TEST_F(CommandTest, ConnectionFailuresAreBoundedByTheTimeOuts) {
  UseSession();
  // Nothing listens.
  const plat::WORD port = recorder_.Port();
  recorder_.RefuseConnectionsFor(1500);
  auto start = Clock::now();
  EXPECT_EQ(Send(WithCookie(CGI_GETCOLOR)).result, 0);
  EXPECT_LT(MsSince(start), 1000);
  plat::Sleep(1600);
  EXPECT_EQ(Send(WithCookie(CGI_GETCOLOR)).result, 1);  // listening again on the same port
  EXPECT_EQ(recorder_.Port(), port);

  // A recorder that reads the request and never answers: the receive time-out ends it.
  recorder_.SetNeverAnswer(true);
  start = Clock::now();
  EXPECT_EQ(Send(WithCookie(CGI_GETCOLOR), 64, 1).result, 0);
  const long long ms = MsSince(start);
  EXPECT_GE(ms, 900);
  EXPECT_LT(ms, 3000);

  app_->CSettingINI.m_strServerName = "";
  EXPECT_EQ(Send(WithCookie(CGI_GETCOLOR)).result, 0);
  app_->CSettingINI.m_strServerName = "name.invalid";
  EXPECT_EQ(Send(WithCookie(CGI_GETCOLOR)).result, 0);
  EXPECT_EQ(Send(CCgiRequest(40)).result, 0);  // empty target
}

TEST_F(CommandTest, CancellingTheCallerEndsAWaitingRequest) {
  UseSession();
  recorder_.SetNeverAnswer(true);
  std::atomic<int> result{-1};
  const plat::HANDLE t = plat::CreateThread([&]() -> plat::DWORD {
    result = Send(WithCookie(CGI_GETCOLOR), 64, 30).result;
    return 0;
  });
  ASSERT_NE(t, 0u);
  ASSERT_TRUE(recorder_.WaitForRequests(1, 3000));
  const auto start = Clock::now();
  plat::CancelThread(t, 31);
  EXPECT_EQ(plat::WaitForSingleObject(t, 3000), plat::WAIT_OBJECT_0);
  EXPECT_LT(MsSince(start), 1500);
  plat::DWORD code = 0;
  plat::GetExitCodeThread(t, &code);
  EXPECT_EQ(code, 31u);
  EXPECT_EQ(result.load(), -1);  // the call unwound, it did not report
  plat::CloseHandle(t);
}

// Commands run on several threads at once (window, login and download threads): each call
// has its own connection and buffers, and a login to a host name that rewrites the stored
// address meanwhile disturbs none of them.
TEST_F(CommandTest, CommandsFromSeveralThreadsAtOnce) {
  UseSession();
  recorder_.SetCommandBody("/GetColor.cgi", "COLOR=1;");
  app_->CSettingINI.m_strServerName = "localhost";
  constexpr int kThreads = 4;
  constexpr int kCalls = 5;
  std::atomic<int> good{0};
  std::vector<plat::HANDLE> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.push_back(plat::CreateThread([&, t]() -> plat::DWORD {
      for (int i = 0; i < kCalls; ++i) {
        if (t == 0 && i == 0) {
          // Left by this thread: applied by its own reply while the others send.
          SetPendingWebPort(recorder_.Port());
          CCgiRequest login(CGI_LOGIN);
          login.AddParam("Username", "admin");
          login.AddParam("Password", "1234");
          good += Send(login, 256).result;
          continue;
        }
        const Call c = Send(WithCookie(CGI_GETCOLOR));
        good += c.result == 1 && BodyOf(c) == "COLOR=1;";
      }
      return 0;
    }));
    ASSERT_NE(threads.back(), 0u);
  }
  for (plat::HANDLE h : threads) {
    EXPECT_EQ(plat::WaitForSingleObject(h, 20000), plat::WAIT_OBJECT_0);
    plat::CloseHandle(h);
  }
  EXPECT_EQ(good.load(), kThreads * kCalls);
  EXPECT_EQ(recorder_.RequestCount(), static_cast<std::size_t>(kThreads * kCalls));
  EXPECT_EQ(app_->CSettingINI.m_strServerName.Get(), "127.0.0.1");
  EXPECT_EQ(app_->CSettingINI.m_szHostName.Text(), "localhost");
  EXPECT_FALSE(HasPendingNetworkChange());
}
