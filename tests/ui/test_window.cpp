#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QPushButton>
#include <QLineEdit>
#include <QTimer>
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "tests/support/QtWait.h"
#include "ui/Surface.h"
#include "ui/Window.h"

namespace {

TEST(WindowLayer, PostedMessagesArriveInOrderOnTheGuiThread) {
  ui::Window w;
  std::vector<int> seen;
  std::atomic<int> wrongThread{0};
  const auto gui = std::this_thread::get_id();
  w.OnMessage(0x500, [&](plat::WPARAM wp, plat::LPARAM lp) {
    if (std::this_thread::get_id() != gui) ++wrongThread;
    seen.push_back(static_cast<int>(wp * 1000 + lp));
    return 0;
  });
  std::vector<std::thread> workers;
  for (int t = 0; t < 3; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < 100; ++i) plat::PostMessage(w.Hwnd(), 0x500, t, i);
    });
  }
  for (auto& th : workers) th.join();
  WaitUntil([&] { return seen.size() == 300; }, 3000, PumpEvents);
  ASSERT_EQ(seen.size(), 300u);
  EXPECT_EQ(wrongThread.load(), 0);
  // Each poster's messages keep their order.
  int last[3] = {-1, -1, -1};
  for (int v : seen) {
    const int t = v / 1000, i = v % 1000;
    EXPECT_GT(i, last[t]);
    last[t] = i;
  }
}

TEST(WindowLayer, MessagesToADestroyedWindowAreDropped) {
  plat::HWND hwnd;
  {
    ui::Window w;
    hwnd = w.Hwnd();
    w.OnMessage(0x501, [](plat::WPARAM, plat::LPARAM) -> plat::LPARAM { ADD_FAILURE(); return 0; });
    EXPECT_TRUE(plat::PostMessage(hwnd, 0x501, 0, 0));
  }  // queued but never delivered
  EXPECT_FALSE(plat::PostMessage(hwnd, 0x501, 0, 0));
  ProcessEvents();
}

TEST(WindowLayer, ControlsAreFoundByIdAndClicksReachCommands) {
  ui::Window w;
  auto* edit = new QLineEdit(&w);
  auto* button = new QPushButton(&w);
  w.AddControl(1001, edit);
  w.AddControl(1002, button);
  int clicks = 0;
  w.OnCommand(1002, [&] { ++clicks; });
  w.SetDlgItemText(1001, "192.0.2.1");
  EXPECT_EQ(w.GetDlgItemText(1001), "192.0.2.1");
  EXPECT_EQ(w.Item<QLineEdit>(1001), edit);
  EXPECT_EQ(w.GetDlgItem(9999), nullptr);
  button->click();
  EXPECT_EQ(clicks, 1);
  w.EnableDlgItem(1002, false);
  EXPECT_FALSE(button->isEnabled());
}

TEST(WindowLayer, ModalRunAnswersTheEndCode) {
  struct Timed : ui::Window {
    bool OnInitDialog() override { SetTimer(7, 10); return true; }
    void OnTimer(int id) override { if (id == 7) EndDialog(42); }
  } w;
  EXPECT_EQ(w.DoModal(), 42);
}

TEST(WindowLayer, MessageBoxesCanBeIntercepted) {
  std::vector<std::string> texts;
  auto previous = plat::SetMessageBoxHandler([&](plat::HWND, const std::string& text, const std::string&, unsigned) {
    texts.push_back(text);
    return plat::IDYES;
  });
  EXPECT_EQ(plat::MessageBox(0, "Send command timeout", "", plat::MB_YESNO), plat::IDYES);
  plat::SetMessageBoxHandler(previous);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], "Send command timeout");
}

// The program's own handler: a box asked for on a worker is shown on the GUI thread. An OK box
// is handed over without waiting; a question waits for the operator's answer.
TEST(WindowLayer, BoxesAskedForOnWorkersAreShownOnTheGuiThread) {
  const auto previous = plat::SetMessageBoxHandler({});
  ui::InstallMessageBoxHandler();
  const auto gui = std::this_thread::get_id();
  std::vector<QString> shown;
  bool shownOnGui = true;
  // Answers every box as it opens (inside the box's own loop): No where there is one, else OK.
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    shown.push_back(box->text());
    shownOnGui = shownOnGui && std::this_thread::get_id() == gui;
    QAbstractButton* no = box->button(QMessageBox::No);
    (no ? no : box->button(QMessageBox::Ok))->click();
  });
  answerer.start(5);

  std::atomic<int> okAnswer{0};
  std::thread told([&] { okAnswer = plat::MessageBox(0, "Apply setting is successfully"); });
  // Answered before the GUI thread has run a single event.
  WaitUntil([&] { return okAnswer != 0; }, 2000);
  EXPECT_EQ(okAnswer.load(), plat::IDOK);
  told.join();
  WaitUntil([&] { return shown.size() == 1; }, 3000, PumpEvents);

  std::atomic<int> question{0};
  std::thread asked([&] { question = plat::MessageBox(0, "Delete the entry?", "", plat::MB_YESNO); });
  WaitUntil([&] { return question != 0; }, 3000, PumpEvents);
  asked.join();
  EXPECT_EQ(question.load(), plat::IDNO);
  plat::SetMessageBoxHandler(previous);
  EXPECT_EQ(shown, (std::vector<QString>{"Apply setting is successfully", "Delete the entry?"}));
  EXPECT_TRUE(shownOnGui);
}

// A question asked from a worker does not hold the worker's cancellation: cancelling the
// worker ends its wait at once and closes the box it asked for.
TEST(WindowLayer, CancellingAWorkerClosesTheQuestionItAsked) {
  const auto previous = plat::SetMessageBoxHandler({});
  ui::InstallMessageBoxHandler();
  std::atomic<bool> returned{false};
  plat::HANDLE worker = plat::CreateThread([&]() -> plat::DWORD {
    plat::MessageBox(0, "Overwrite the file?", "", plat::MB_YESNO);
    returned = true;  // a cancelled wait never gets here
    return 0;
  });
  ASSERT_NE(worker, 0u);
  // The box runs its own loop inside the pump's event processing: the worker is cancelled from
  // there, as soon as the box shows.
  QString shown;
  QTimer canceller;
  QObject::connect(&canceller, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || !shown.isEmpty()) return;
    shown = box->text();
    plat::CancelThread(worker, 31);
  });
  canceller.start(5);
  WaitUntil([&] { return !shown.isEmpty() && plat::WaitForSingleObject(worker, 0) == plat::WAIT_OBJECT_0; }, 3000, PumpEvents);
  canceller.stop();
  EXPECT_EQ(shown, "Overwrite the file?");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // the box closed with the wait
  EXPECT_EQ(plat::WaitForSingleObject(worker, 2000), plat::WAIT_OBJECT_0);
  plat::DWORD code = 0;
  EXPECT_TRUE(plat::GetExitCodeThread(worker, &code));
  EXPECT_EQ(code, 31u);
  EXPECT_FALSE(returned.load());
  plat::CloseHandle(worker);
  plat::SetMessageBoxHandler(previous);
}

TEST(WindowLayer, AFramelessWindowIsDraggedByItsSurface) {
  ui::Window w;
  w.MakeFrameless();
  w.setGeometry(100, 100, 200, 100);
  w.show();
  auto mouse = [&](QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent ev(type, QPointF(local), QPointF(w.mapToGlobal(local)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &ev);
  };
  auto drag = [&] {
    mouse(QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(40, 30), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, QPoint(10, 10), Qt::NoButton);
  };
  drag();  // not draggable yet
  EXPECT_EQ(w.pos(), QPoint(100, 100));
  w.SetDragBySurface(true);
  drag();
  EXPECT_EQ(w.pos(), QPoint(130, 120));
  mouse(QEvent::MouseMove, QPoint(80, 80), Qt::NoButton);  // released: the window stays
  EXPECT_EQ(w.pos(), QPoint(130, 120));
}

TEST(WindowLayer, RoundedRegionCutsTheCorners) {
  QRegion r = ui::RoundRectRegion(0, 0, 200, 100, 40, 40);
  EXPECT_TRUE(r.contains(QPoint(100, 50)));
  EXPECT_TRUE(r.contains(QPoint(100, 1)));
  EXPECT_FALSE(r.contains(QPoint(1, 1)));
  EXPECT_FALSE(r.contains(QPoint(198, 98)));
  QRegion plain = ui::RectRegion(10, 10, 20, 20);
  EXPECT_TRUE(plain.contains(QPoint(10, 10)));
  EXPECT_FALSE(plain.contains(QPoint(20, 20)));
}

TEST(Surface, BottomUpPicturesAreDrawnUprightAndLinesSkipTheirLastPixel) {
  // 2x2 bottom-up BGR, rows padded to 8 bytes: bottom row red, top row blue.
  const std::uint8_t pixels[16] = {0, 0, 255, 0, 0, 255, 0, 0,  255, 0, 0, 255, 0, 0, 0, 0};
  ui::Surface s(4, 4);
  s.StretchBgrBottomUp(pixels, 2, 2, 0, QRect(0, 0, 2, 2));
  EXPECT_EQ(QColor(s.Image().pixel(0, 0)), QColor(0, 0, 255));
  EXPECT_EQ(QColor(s.Image().pixel(1, 1)), QColor(255, 0, 0));

  ui::Surface l(10, 1);
  l.Fill(QRect(0, 0, 10, 1), Qt::black);
  l.Line(QPoint(0, 0), QPoint(5, 0), Qt::white);
  EXPECT_EQ(QColor(l.Image().pixel(4, 0)), QColor(Qt::white));
  EXPECT_EQ(QColor(l.Image().pixel(5, 0)), QColor(Qt::black));
}

// Bitmaps from BMP files stretched into their rectangle, filled polygons, and text whose cell (not
// its baseline) stands at the point given.
TEST(Surface, BitmapsPolygonsAndTextLandWhereAsked) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QImage two(2, 1, QImage::Format_RGB32);
  two.setPixel(0, 0, qRgb(0, 0, 255));
  two.setPixel(1, 0, qRgb(0, 255, 0));
  const QString file = dir.filePath("two.bmp");
  ASSERT_TRUE(two.save(file, "BMP"));
  ui::Bitmap bitmap;
  ASSERT_TRUE(bitmap.Load(file.toStdString()));
  EXPECT_EQ(QSize(bitmap.Width(), bitmap.Height()), QSize(2, 1));
  EXPECT_FALSE(ui::Bitmap().Load(dir.filePath("missing.bmp").toStdString()));

  ui::Surface s(60, 40);
  s.Fill(QRect(0, 0, 60, 40), Qt::white);
  s.Stretch(bitmap, QRect(0, 0, 4, 2));
  EXPECT_EQ(QColor(s.Image().pixel(1, 1)), QColor(0, 0, 255));
  EXPECT_EQ(QColor(s.Image().pixel(3, 0)), QColor(0, 255, 0));
  EXPECT_EQ(QColor(s.Image().pixel(4, 0)), QColor(Qt::white));

  s.Polygon({QPoint(0, 10), QPoint(20, 10), QPoint(0, 30)}, Qt::red, Qt::red);
  EXPECT_EQ(QColor(s.Image().pixel(3, 13)), QColor(Qt::red));
  EXPECT_EQ(QColor(s.Image().pixel(18, 28)), QColor(Qt::white));

  ui::Surface t(60, 40);
  t.Fill(QRect(0, 0, 60, 40), Qt::white);
  t.Text(25, 12, "H", QFont(), Qt::black);
  bool inked = false;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 60; ++x) {
      if (QColor(t.Image().pixel(x, y)) == QColor(Qt::white)) continue;
      EXPECT_GE(y, 12) << x;
      EXPECT_GE(x, 25) << y;
      inked = true;
    }
  }
  EXPECT_TRUE(inked);
}

// A picture drawn at its own size goes straight into the surface's rows: the same pixels as the
// converted copy drawn with a painter, cut at every edge; other sizes are still stretched.
TEST(Surface, BottomUpPictureAtItsOwnSizeMatchesPainterAndIsCut) {
  const int w = 23, h = 7, pitch = (w * 3 + 3) & ~3;
  std::vector<std::uint8_t> pixels(std::size_t(pitch) * h);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 37 + 11);
  const QImage picture = ui::ImageFromBgrBottomUp(pixels.data(), w, h, 0);
  ASSERT_EQ(picture.pixel(0, 0), qRgb(pixels[std::size_t(h - 1) * pitch + 2], pixels[std::size_t(h - 1) * pitch + 1],
                                      pixels[std::size_t(h - 1) * pitch]));
  for (const QPoint at : {QPoint(0, 0), QPoint(5, 3), QPoint(-4, -2), QPoint(20, 6), QPoint(40, 0)}) {
    SCOPED_TRACE(std::to_string(at.x()) + "," + std::to_string(at.y()));
    ui::Surface s(30, 10);
    s.Fill(QRect(0, 0, 30, 10), Qt::green);
    QImage want = s.Image().copy();
    {
      QPainter p(&want);
      p.drawImage(at, picture);
    }
    s.StretchBgrBottomUp(pixels.data(), w, h, pitch, QRect(at, QSize(w, h)));
    EXPECT_EQ(s.Image(), want);
  }
  // A different size is scaled: a 1x1 picture fills its whole rectangle.
  const std::uint8_t one[4] = {10, 20, 30, 0};
  ui::Surface s(6, 6);
  s.Fill(QRect(0, 0, 6, 6), Qt::black);
  s.StretchBgrBottomUp(one, 1, 1, 0, QRect(1, 1, 4, 4));
  EXPECT_EQ(s.Image().pixel(4, 4), qRgb(30, 20, 10));
  EXPECT_EQ(s.Image().pixel(5, 5), qRgb(0, 0, 0));
}

// Row conversion for every count up to 40, from a source of exactly 3 * count bytes: the words
// written equal the pixel-by-pixel formula and the word after the row is left alone.
TEST(Surface, RowConversionEveryCount) {
  for (int n = 0; n <= 40; ++n) {
    std::vector<std::uint8_t> src(std::size_t(n) * 3);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 91 + n);
    std::vector<std::uint32_t> dst(std::size_t(n) + 1, 0x12345678u);
    ui::BgrRowToRgb32(dst.data(), src.data(), n);
    for (int x = 0; x < n; ++x)
      ASSERT_EQ(dst[x], qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x])) << n << " pixel " << x;
    EXPECT_EQ(dst[n], 0x12345678u) << n;
  }
}

}  // namespace
