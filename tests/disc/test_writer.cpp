// The disc writer against a scripted stand-in library that records every call.
#include <sys/stat.h>
#include <utime.h>

#include <atomic>
#include <thread>

#include "platform/kernel.h"
#include "platform/thread.h"
#include "tests/disc/disc_fixture.h"
#include "tests/support/WaitUntil.h"

namespace disctest {
namespace {

class WriterTest : public DiscTestBase {
 protected:
  void SetUp() override {
    DiscTestBase::SetUp();
    UseLibraryIn(FakeFolder("script"));
    // Our own reference keeps the stand-in (and its script) loaded across the writer's loads.
    handle_ = dlopen((FakeFolder("script") + "/" + kDiscApiFileName).c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    s = reinterpret_cast<FakeDiscScript* (*)()>(dlsym(handle_, "FakeDiscScriptOf"))();
    *s = FakeDiscScript{};
    source = dir / "CH01_0001.dvr";
    TempDir::Write(source, "backup bytes");
  }
  void TearDown() override {
    writer.reset();
    if (s) {
      EXPECT_EQ(s->alive, 0) << s->log;
      EXPECT_EQ(s->leakedStrings, 0);
    }
    DiscTestBase::TearDown();
    if (handle_) dlclose(handle_);
  }
  // Initialised, the drive chosen and the name given, as the setting dialog leaves it.
  void Ready(int drive, const std::string& name = "CH01_0001.dvr", std::uint32_t size = 1000) {
    ASSERT_EQ(writer->InitDiscApi(source, &Notifications::Callback), 1) << Boxes();
    writer->m_nSelectedDrive = drive;
    writer->m_strFileName = dir.Folder() + name;
    writer->m_dwFileSize = size;
    s->log.clear();
  }
  std::string Boxes() const {
    std::string all;
    for (const std::string& t : boxes.Texts()) all += t + "|";
    return all;
  }
  void SetupFile(time_t mtime) {
    const std::string path = dir / kPlayerSetupFile;
    TempDir::Write(path, "setup");
    struct utimbuf times {mtime, mtime};
    utime(path.c_str(), &times);
  }
  static DiscDateTime Date(int year) { return {static_cast<std::uint16_t>(year), 6, 1, 12, 0, 0, 0}; }

  std::unique_ptr<CWriteCD> writer = std::make_unique<CWriteCD>(&settings);
  FakeDiscScript* s = nullptr;
  std::string source;
  void* handle_ = nullptr;
};

TEST_F(WriterTest, InitLoadsStartsAndListsDrives) {
  ASSERT_EQ(writer->InitDiscApi(source, &Notifications::Callback), 1);
  EXPECT_EQ(s->log,
            "DiscSetExpectedAPIVersionEx 6.6.0.14\n"
            "DiscInit OvistraBackup Ovistra DiscApi.txt\n"
            "DiscGetAvailableDrivesEx 1\n");
  EXPECT_STREQ(s->settings.company, "");
  EXPECT_EQ(s->settings.idle_user, writer.get());
  EXPECT_EQ(s->settings.user_dialog_user, writer.get());
  ASSERT_EQ(writer->m_nDriveCount, 2);
  EXPECT_STREQ(writer->m_lpDriveNames[0], "Image Recorder");
  EXPECT_STREQ(writer->m_lpDriveNames[1], "Optical One");
  EXPECT_EQ(writer->m_fInitialised, 1);
  // A second call only refreshes the list.
  s->log.clear();
  ASSERT_EQ(writer->InitDiscApi(source, &Notifications::Callback), 1);
  EXPECT_EQ(s->log, "DiscGetAvailableDrivesEx 1\n");
  writer->ExitDiscApi();
  EXPECT_NE(s->log.find("DiscClearErrors\nDiscDone\n"), std::string::npos);
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(WriterTest, InitRefusals) {
  struct Case {
    std::string file;
    int initResult, driveCount;
    const char* message;
    bool stillLoaded;
  } cases[] = {
      {"", 0, 2, "File name is not valid", false},
      {"x.dvr", 1, 2, "The arguments are not valid.", false},
      {"x.dvr", 7, 2, "An error occured. The type of error cannot be determined.", false},
      {"x.dvr", 0, -1, "No available devices.", true},
      {"x.dvr", 0, 0, "The number of available devices is 0.", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    s->initResult = c.initResult;
    s->driveCount = c.driveCount;
    CWriteCD w(&settings);
    MessageBoxRecorder local;
    EXPECT_EQ(w.InitDiscApi(c.file, &Notifications::Callback), 0);
    ASSERT_EQ(local.Texts().size(), 1u);
    EXPECT_EQ(local.Texts()[0], c.message);
    EXPECT_EQ(g_hDiscApi != nullptr, c.stillLoaded);
    EXPECT_EQ(w.m_fInitialised, 0);
  }
  UseLibraryIn(dir.path());  // no library there
  MessageBoxRecorder local;
  CWriteCD w(&settings);
  EXPECT_EQ(w.InitDiscApi("x.dvr", &Notifications::Callback), 0);
  ASSERT_EQ(local.Texts().size(), 1u);
  EXPECT_EQ(local.Texts()[0].rfind("You should download DiscStudio first.\n" + dir.path() + "/libdiscapi.so: ", 0), 0u);
}

TEST_F(WriterTest, CheckRefusals) {
  struct Case {
    const char* name;
    int drive;
    std::function<void(FakeDiscScript&)> script;
    const char* message;
  } cases[] = {
      {"CH01_0001.avi", 1, [](FakeDiscScript&) {}, "The extension of file name should be (dvr)"},
      {"CH01_0001.dvr", 1, [](FakeDiscScript& f) { f.openFails = 1; }, "Device could not be opened: Optical One"},
      {"CH01_0001.dvr", 0, [](FakeDiscScript& f) { f.openFails = 1; }, "Device could not be opened: Image Recorder"},
      {"CH01_0001.dvr", 1, [](FakeDiscScript& f) { f.freeBlocks = 2; }, "No available space for writing CD."},
      {"CH01_0001.dvr", 1, [](FakeDiscScript& f) { f.hasDisc = 0; }, "NO DISC"},
      {"CH01_0001.dvr", 1, [](FakeDiscScript& f) { f.infoMask = 0; }, "NO DISC"},
      {"CH01_0001.dvr", 1, [](FakeDiscScript& f) { f.infoMask = DISC_MEDIA_ROM; }, "Disc is non writable"},
      {"CH01_0001.dvr", 1,
       [](FakeDiscScript& f) {
         f.trackCount = 2;
         f.importCount = 1;
         std::strcpy(f.importNames[0], "ch01_0001.DVR;1");
       },
       "FileName is tha same as other existed file,please modify it"},
      {"CH01_0001.dvr", 1,
       [](FakeDiscScript& f) {
         f.trackCount = 1;
         f.importError = 3;
       },
       "There was a read error while importing the track!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    *s = FakeDiscScript{};
    MessageBoxRecorder local;
    Ready(c.drive, c.name, 1000);
    c.script(*s);
    EXPECT_EQ(writer->CheckDiscAndFile(), 0);
    ASSERT_EQ(local.Texts().size(), 1u);
    EXPECT_EQ(local.Texts()[0], c.message);
    writer->ExitDiscApi();
  }
}

TEST_F(WriterTest, CheckPassesAndSkipsDiscChecksOnTheImageRecorder) {
  Ready(0, "ch01_0001.DvR", 1u << 30);  // any case; the image recorder has no space limit
  EXPECT_EQ(writer->CheckDiscAndFile(), 1);
  EXPECT_EQ(s->log, "DiscOpenDevice Image Recorder\nDiscGetCDInfo 0\nDiscCloseDevice\n");
  // An optical drive: space (the file, the setup file when appended, 4096) and the last session.
  SetupFile(1000);
  settings.m_nWriteCDAddPlayer = 1;
  s->log.clear();
  s->trackCount = 3;
  s->importCount = 1;
  std::strcpy(s->importNames[0], "CH02_0001.dvr");
  s->freeBlocks = 2;  // 4096 bytes
  writer->m_dwFileSize = 0;
  writer->m_nSelectedDrive = 1;
  writer->m_strFileName = dir.Folder() + "CH01_0001.dvr";
  EXPECT_EQ(writer->CheckDiscAndFile(), 0);  // 5 bytes of setup file too many
  s->freeBlocks = 3;
  EXPECT_EQ(writer->CheckDiscAndFile(), 1) << Boxes();
  EXPECT_NE(s->log.find("DiscGetCDInfo 1\nDiscGetCDInfo 0\nDiscImportDataTrack 2 16 0\nDiscFreeCDStamp\n"
                        "DiscCloseDevice\n"),
            std::string::npos)
      << s->log;
}

TEST_F(WriterTest, WriteSequenceFlagsAndProgress) {
  struct Case {
    int close;
    const char* burnLine;
  } cases[] = {{0, "DiscBurn 0 20 1 nostamp"}, {1, "DiscBurn 0 4 1 nostamp"}};
  for (const Case& c : cases) {
    Ready(0);
    writer->m_fCloseDisc = c.close;
    EXPECT_EQ(writer->WriteCD(), 1);
    EXPECT_EQ(s->log, std::string("DiscOpenDevice Image Recorder\n"
                                  "DiscCreateIsoItemOfSize 592\n"
                                  "DiscGetCDInfo 0\n"
                                  "DiscCreateIsoTrackEx OvistraBackup 11 CH01_0001.dvr\n") +
                          c.burnLine + "\nDiscFreeIsoTrack\nDiscCloseDevice\nDiscGetErrorLog\n");
    EXPECT_EQ(Notifications::Instance().Take(),
              (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {1, 50}, {1, 100}, {2, 0}}));
    writer->ExitDiscApi();
  }
  EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
}

TEST_F(WriterTest, MediaTypeFromTheDisc) {
  struct Case {
    std::uint32_t mask;
    const char* burnLine;
  } cases[] = {{DISC_MEDIA_CD, "DiscBurn 0 20 1 "}, {0x10, "DiscBurn 0 20 786460 "}, {0x80000, "DiscBurn 0 20 786460 "}};
  for (const Case& c : cases) {
    *s = FakeDiscScript{};
    Ready(1);
    s->infoMask = c.mask;
    EXPECT_EQ(writer->WriteCD(), 1);
    EXPECT_NE(s->log.find(c.burnLine), std::string::npos) << s->log;
    writer->ExitDiscApi();
  }
}

TEST_F(WriterTest, MergesWithTheLastSessionNewerSetupFileWins) {
  const time_t setupTime = 1600000000;  // 2020-09-13
  SetupFile(setupTime);
  struct Case {
    int discYear;
    const char* names;  // as the track is made
  } cases[] = {
      {2019, " CH01_0001.dvr Parvilo_setup.exe OLD.DVR"},  // the disc's copy is older: replaced
      {2021, " CH01_0001.dvr PARVILO_SETUP.EXE OLD.DVR"},  // the disc's copy is newer: kept
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.discYear);
    *s = FakeDiscScript{};
    settings.m_nWriteCDAddPlayer = 1;
    Ready(1);
    s->trackCount = 2;
    s->importCount = 2;
    std::strcpy(s->importNames[0], "PARVILO_SETUP.EXE");
    s->importDates[0] = Date(c.discYear);
    std::strcpy(s->importNames[1], "OLD.DVR");
    s->importDates[1] = Date(2018);
    EXPECT_EQ(writer->WriteCD(), 1);
    EXPECT_NE(s->log.find(std::string("DiscImportDataTrack 1 16 0\nDiscCreateIsoTrackEx OvistraBackup 11") + c.names +
                          "\nDiscBurn 0 20 1 stamp\n"),
              std::string::npos)
        << s->log;
    writer->ExitDiscApi();
  }
  EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
}

TEST_F(WriterTest, MissingSetupFileAddsNoItem) {
  settings.m_nWriteCDAddPlayer = 1;  // but no setup file in the program folder
  Ready(0);
  EXPECT_EQ(writer->WriteCD(), 1);
  EXPECT_NE(s->log.find("DiscCreateIsoTrackEx OvistraBackup 11 CH01_0001.dvr\n"), std::string::npos) << s->log;
}

TEST_F(WriterTest, ImportProblemsWriteNothing) {
  struct Case {
    int importCount, importError;
    const char* message;
  } cases[] = {
      {1, 2, "There was a drive error while importing the track!"},
      {1, 9, "There was an unknown error while importing the track!"},
      {0, 4, "There was a filesystem error while importing the track!"},  // tracks, but nothing came back
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    *s = FakeDiscScript{};
    MessageBoxRecorder local;
    Ready(1);
    s->trackCount = 1;
    s->importCount = c.importCount;
    std::strcpy(s->importNames[0], "OLD.DVR");
    s->importError = c.importError;
    EXPECT_EQ(writer->WriteCD(), 1);
    EXPECT_EQ(s->log.find("DiscBurn"), std::string::npos);
    EXPECT_EQ(local.Texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(Notifications::Instance().Take(), (std::vector<std::pair<int, int>>{{0, 0}, {2, 0}}));
    writer->ExitDiscApi();
  }
}

TEST_F(WriterTest, BurnResultsAndOtherEnds) {
  const char* texts[] = {"Write CD Error : unknown CD format", "Write CD Error : invalid drive",
                         "Write CD Error : burn failed",       "Write CD Error : function not allowed",
                         "Write CD Error : drive not allowed", "Write CD Error : user aborted",
                         "Write CD Error : bad message file",  "Write CD Error : unknown error"};
  for (int result = 1; result <= 8; ++result) {
    *s = FakeDiscScript{};
    MessageBoxRecorder local;
    Ready(0);
    s->burnResult = result;
    EXPECT_EQ(writer->WriteCD(), 1);
    EXPECT_EQ(local.Texts(), std::vector<std::string>{texts[result - 1]});
    writer->ExitDiscApi();
  }
  struct End {
    std::function<void(FakeDiscScript&, CWriteCD&)> script;
    int result;
    const char* message;
  } ends[] = {
      {[](FakeDiscScript& f, CWriteCD&) { f.openFails = 1; }, 1, "Device could not be opened: Optical One"},
      {[](FakeDiscScript& f, CWriteCD&) { f.hasDisc = 0; }, 0, "NO DISC"},
      {[](FakeDiscScript& f, CWriteCD&) { f.trackFails = 1; }, 1, "Write CD Error : burn failed"},
      {[](FakeDiscScript&, CWriteCD& w) { w.m_strFileName.clear(); }, 0, "Filename is not valid!"},
  };
  for (const End& e : ends) {
    SCOPED_TRACE(e.message);
    *s = FakeDiscScript{};
    MessageBoxRecorder local;
    Ready(1);
    e.script(*s, *writer);
    EXPECT_EQ(writer->WriteCD(), e.result);
    EXPECT_EQ(local.Texts(), std::vector<std::string>{e.message});
    const auto notes = Notifications::Instance().Take();
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back(), std::make_pair(2, 0));  // the bar is cleared on every path
    writer->ExitDiscApi();
  }
  CWriteCD idle(&settings);
  EXPECT_EQ(idle.WriteCD(), 0);  // never initialised
}

TEST_F(WriterTest, UserDialogAnswers) {
  Ready(0);
  char buffer[DISC_PATH_BUFFER];
  struct Case {
    int request, answer;
  } cases[] = {{2, 5}, {7, 5}, {12, 5}, {6, 3}, {13, 1}, {15, 0}, {99, 0}, {0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(CWriteCD::DiscUserDialogCallback(writer.get(), c.request, buffer), c.answer) << c.request;
  }
  EXPECT_EQ(s->log, "DiscGetLocalizedWaitCDTexts\n");  // fetched and freed for request 15

  chooser.answer = dir / "disc.iso";
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(CWriteCD::DiscUserDialogCallback(writer.get(), DISC_REQUEST_IMAGE_PATH, buffer), 1);
  EXPECT_STREQ(buffer, (dir / "disc.iso").c_str());
  EXPECT_EQ(chooser.proposedName, "Image.iso");
  chooser.answer.clear();
  EXPECT_EQ(CWriteCD::DiscUserDialogCallback(writer.get(), DISC_REQUEST_IMAGE_PATH, buffer), 21);
  chooser.answer = "/" + std::string(DISC_PATH_BUFFER, 'p');  // would not fit: refused, not cut
  EXPECT_EQ(CWriteCD::DiscUserDialogCallback(writer.get(), DISC_REQUEST_IMAGE_PATH, buffer), 21);
  SetDiscImageFileChooser(nullptr);
  MessageBoxRecorder local;
  EXPECT_EQ(CWriteCD::DiscUserDialogCallback(writer.get(), DISC_REQUEST_IMAGE_PATH, buffer), 21);
  EXPECT_EQ(local.Texts().size(), 1u);  // says why nothing happens

  // Asked by the library during the burn.
  SetDiscImageFileChooser(&chooser);
  chooser.answer = dir / "disc.iso";
  s->askRequest = DISC_REQUEST_IMAGE_PATH;
  EXPECT_EQ(writer->WriteCD(), 1);
  EXPECT_EQ(s->requestAnswer, 1);
  EXPECT_STREQ(s->requestData, (dir / "disc.iso").c_str());
}

TEST_F(WriterTest, CancelMakesTheCallbacksAnswerAbort) {
  Ready(0);
  s->waitForAbort = 1;
  EXPECT_EQ(CWriteCD::DiscIdleCallback(writer.get()), 0);
  EXPECT_EQ(CWriteCD::DiscAbortedCallback(writer.get()), 0);
  std::thread burn([this] { writer->WriteCD(); });
  ASSERT_TRUE(WaitUntil([] {
    // The burn has started once the first progress arrived.
    static std::vector<std::pair<int, int>> seen;
    for (auto n : Notifications::Instance().Take()) seen.push_back(n);
    for (auto n : seen) {
      if (n.first == 1) return true;
    }
    return false;
  }));
  writer->m_byAbort = 1;  // the download dialog's cancel
  burn.join();
  EXPECT_EQ(s->idleAfterAbort, 1);
  EXPECT_EQ(writer->m_byAbort.load(), 0);  // cleared after the burn
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Write CD Error : user aborted"});
}

// The burning thread is cancelled while it waits for the image file: the library is told
// "cancel" (no exception crosses it) and frees what it made; the thread then ends cancelled,
// with no burn message. Abort answers a question being asked "no".
TEST_F(WriterTest, ACancelWhileAskingForTheImageFileStopsTheBurnAndEndsTheThread) {
  // A chooser that waits for its answer with a platform wait, as the program's does.
  class WaitingChooser : public IDiscImageFileChooser {
   public:
    WaitingChooser() : answered_(plat::CreateEvent(true, false)) {}
    ~WaitingChooser() override { plat::CloseHandle(answered_); }
    bool ChooseImageFile(const std::string&, std::string&) override {
      asked = true;
      plat::WaitForSingleObject(answered_, plat::INFINITE);
      return false;
    }
    void CancelChoice() override { plat::SetEvent(answered_); }
    std::atomic<bool> asked{false};

   private:
    plat::HANDLE answered_;
  };
  for (const bool cancelThread : {true, false}) {
    SCOPED_TRACE(cancelThread ? "thread cancelled" : "writer aborted");
    WaitingChooser waiting;
    SetDiscImageFileChooser(&waiting);
    Ready(0);
    s->askRequest = DISC_REQUEST_IMAGE_PATH;
    const int alive = s->alive;
    CWriteCD* w = writer.get();
    const plat::HANDLE thread = plat::CreateThread([w] { return static_cast<plat::DWORD>(w->WriteCD()); });
    ASSERT_NE(thread, 0u);
    ASSERT_TRUE(WaitUntil([&] { return waiting.asked.load(); }));
    if (cancelThread) {
      plat::CancelThread(thread, 31);
    } else {
      writer->Abort();
    }
    ASSERT_EQ(plat::WaitForSingleObject(thread, 5000), plat::WAIT_OBJECT_0);
    plat::DWORD code = 0;
    plat::GetExitCodeThread(thread, &code);
    plat::CloseHandle(thread);
    EXPECT_EQ(code, cancelThread ? 31u : 1u);
    EXPECT_EQ(s->requestAnswer, DISC_ANSWER_IMAGE_CANCEL);
    EXPECT_EQ(writer->m_byAbort.load(), 0);
    EXPECT_EQ(s->alive, alive) << s->log;  // the burn freed all it made
    SetDiscImageFileChooser(&chooser);
  }
  EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
}

TEST_F(WriterTest, LeaksReportedAtExit) {
  Ready(0);
  s->doneResult = 3;
  writer->ExitDiscApi();
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Detected memory leaks"});
  EXPECT_EQ(g_hDiscApi, nullptr);
}

}  // namespace
}  // namespace disctest
