// The event-log viewer's refill of 2048 records against inserting the same rows, prepared
// beforehand, into a bare list widget: the viewer's own cost on top of the widget's.
// Run once: bench_eventlog --benchmark_repetitions=1 (target: refill <= 1.5 x bare insert).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeWidget>
#include <cstdlib>
#include <string>

#include "session/EventLog.h"
#include "config/EventLogViewers.h"

namespace {

std::string Records() {
  std::string out;
  const std::uint32_t ids[] = {0x1, 0x2, 0x100, 0x4000, 0x800, 0x10000, 0x3};
  for (int i = 0; i < 2048; ++i) {
    std::string r(32, '\0');
    const std::uint32_t id = ids[i % 7];
    for (int b = 0; b < 4; ++b) r[b] = static_cast<char>(id >> (8 * b));
    const char when[7] = {26, 3, 9, 14, 5, static_cast<char>(i % 60), static_cast<char>(i % 5)};
    r.replace(4, 7, when, 7);
    r.replace(11, 7, "viewer2");
    out += r;
  }
  return out;
}

void BM_ViewerRefill(benchmark::State& state) {
  static const std::string records = Records();
  CDvrLogDlg viewer;
  viewer.m_pLogRecords = reinterpret_cast<const std::uint8_t*>(records.data());
  viewer.m_nRecordCount = 2048;
  viewer.List()->setColumnCount(4);
  for (auto _ : state) viewer.FillList();
  state.SetItemsProcessed(state.iterations() * 2048);
}
BENCHMARK(BM_ViewerRefill)->Unit(benchmark::kMillisecond);

void BM_BareListInsert(benchmark::State& state) {
  static const std::string records = Records();
  std::vector<EventLogRow> rows;
  ListEventLog(EventLogFamily::Dvr, reinterpret_cast<const std::uint8_t*>(records.data()), 2048, kDvrLogInitialMask,
               rows);
  std::vector<QStringList> prepared;
  for (const EventLogRow& r : rows) {
    prepared.push_back({QString::fromLatin1(r.number.c_str()), QString::fromLatin1(r.event.c_str()),
                        QString::fromLatin1(r.time.c_str()), QString::fromLatin1(r.channel.c_str())});
  }
  QTreeWidget list;
  list.setColumnCount(4);
  for (auto _ : state) {
    QList<QTreeWidgetItem*> items;
    for (const QStringList& cells : prepared) items.append(new QTreeWidgetItem(cells));
    list.clear();
    list.addTopLevelItems(items);
  }
  state.SetItemsProcessed(state.iterations() * 2048);
}
BENCHMARK(BM_BareListInsert)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
