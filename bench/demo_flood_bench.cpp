// The HID Demo under a flood: a simulated device sends 64-byte input reports at a fixed
// rate (8,000 per second by default) to the open window with the demo's own settings (log
// at dlDebug, safe mode, 20480-byte limit, the memo's limit of 100,000 lines). Checks that
// every report reaches the memo, which ends up holding the newest ones up to its limit,
// each a line of its own in order; reports the sustained rate, the event loop's longest
// stall, the memory growth per 100,000 lines until the memo is full and the memory after
// that; and tells apart reports the device's input buffer dropped because the monitoring
// thread was not scheduled in time from lines the window lost. Exit code 1 when a report
// is lost or garbled, or the loop stalled for more than 100 ms.
//
//   demo_flood_bench [reports [rate [memo-lines]]]   (default 200000 reports at 8000/s)
//
// For diagnosis only: FLOOD_LOG_DIR puts the log file elsewhere (default /tmp), and
// FLOOD_LOG_LEVEL=0|1|2 replaces the demo's dlDebug.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>

#include "presenter/memo_limit.h"
#include "presenter/report_text.h"
#include "qt/hid_demo_window.h"
#include "qzplatform/sim/sim_ground.h"
#include "ui/qt/qt_dispatcher.h"
#include "ui/qt/qt_text.h"

namespace {

// Report ID 1 and 63 data bytes: 64-byte input reports.
constexpr const char* kFloodDevice = R"({"devices": [{
  "name": "flood", "vendor_id": "0x1209", "product_id": "0x00F1", "version": "0x0100",
  "strings": {"product": "Flood Device"},
  "report_descriptor": "06 00 FF 09 01 A1 01 85 01 15 00 26 FF 00 75 08 95 3F 09 02 81 02 C0"
}]})";
constexpr std::size_t kReportLength = 64;

std::vector<std::uint8_t> Report(std::uint32_t sequence) {
  std::vector<std::uint8_t> r(kReportLength);
  r[0] = 1;
  for (int i = 0; i < 4; ++i) r[1 + i] = static_cast<std::uint8_t>(sequence >> (8 * i));
  for (std::size_t i = 5; i < kReportLength; ++i) r[i] = static_cast<std::uint8_t>(sequence + i);
  return r;
}

QString ExpectedLine(std::uint32_t sequence) {
  const auto bytes = Report(sequence);
  return qzui::ToQString(demo::ReceivedReportLine(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
}

// The sequence number a memo line carries, or -1 when it is not a report line.
long long SequenceOf(const QString& line) {
  static const qsizetype kFirstByte = QStringLiteral("HID Report is received:  64 bytes ").size();
  if (line.size() < kFirstByte + 15) return -1;
  bool ok = true;
  long long sequence = 0;
  for (int i = 3; i >= 0; --i) {
    sequence = sequence * 256 + line.mid(kFirstByte + 3 * (1 + i), 2).toInt(&ok, 16);
    if (!ok) return -1;
  }
  return sequence;
}

// Passes every report on to the window and counts them: what the monitoring loop delivered.
// Also keeps the loop's longest pause between two reports.
struct Tap {
  void OnReceive(qz::TqzBaseIO* com, const void* buffer, std::uint32_t count) {
    const auto now = std::chrono::steady_clock::now();
    if (delivered.load(std::memory_order_relaxed) > 0) {
      longest_pause = std::max(longest_pause, now - last);
      if (now - last > std::chrono::milliseconds(4)) ++long_pauses;
    }
    last = now;
    delivered.fetch_add(1, std::memory_order_relaxed);
    form->qzHid1AfterReceive(com, buffer, count);
  }
  demo::HidDemoForm* form = nullptr;
  std::atomic<std::uint32_t> delivered{0};
  std::chrono::steady_clock::time_point last;
  std::chrono::steady_clock::duration longest_pause{};  // read after the loop has ended
  std::uint32_t long_pauses = 0;
};

// CPU seconds each thread of this process has used, with its name, busiest first.
std::vector<std::pair<double, std::string>> ThreadTimes() {
  std::vector<std::pair<double, std::string>> times;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream stat(task.path() / "stat");
    std::string line;
    std::getline(stat, line);
    const auto open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
      if (i == 14) utime = std::stoul(field);
      if (i == 15) stime = std::stoul(field);
    }
    times.emplace_back((utime + stime) / tick,
                       line.substr(open + 1, close - open - 1) + " " + task.path().filename().string());
  }
  std::sort(times.rbegin(), times.rend());
  return times;
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(1 << 12, '\n');
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint32_t total = argc > 1 ? static_cast<std::uint32_t>(std::atol(argv[1])) : 200000;
  const double rate = argc > 2 ? std::atof(argv[2]) : 8000.0;
  const std::size_t memo_limit =
      argc > 3 ? static_cast<std::size_t>(std::atol(argv[3])) : demo::MemoLimit::kDefaultLines;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  qzui::QtDispatcher dispatcher;
  qz::Dispatcher::Install(&dispatcher);
  auto machine = qzplatform::sim::Install(qzplatform::sim::Machine::LoadJson(kFloodDevice));

  const char* log_dir = std::getenv("FLOOD_LOG_DIR");  // default: beside the other temporary files
  const std::string log_path =
      std::string(log_dir ? log_dir : "/tmp") + "/demo_flood_bench_" + std::to_string(getpid()) + ".log";
  demo::DemoSettings settings;
  settings.logFileName = qz::TextFromUtf8(log_path);
  settings.memoLines = memo_limit;
  int failures = 0;
  {
    demoqt::HidDemoWindow window(settings);
    window.show();
    QCoreApplication::processEvents();
    if (std::getenv("FLOOD_LOG_LEVEL")) {
      window.Form().Log().SetDetailLevel(static_cast<qz::TDetailLevel>(std::atoi(std::getenv("FLOOD_LOG_LEVEL"))));
    }
    Tap tap;
    tap.form = &window.Form();
    window.Form().Hid().SetOnAfterReceive(qz::TOnReceived::Bind<&Tap::OnReceive>(&tap));
    auto* active = window.findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    active->setChecked(true);
    if (!window.Form().Hid().GetActive()) {
      std::fprintf(stderr, "demo_flood_bench: the flood device did not open\n");
      return 2;
    }
    QTextDocument* memo = window.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->document();
    auto lines = [memo] { return memo->isEmpty() ? 0 : memo->blockCount(); };

    // The stall probe: a 5 ms timer on the window thread; the longest gap between ticks.
    QElapsedTimer clock;
    clock.start();
    qint64 last_tick = clock.elapsed();
    qint64 longest_gap = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      longest_gap = std::max(longest_gap, now - last_tick);
      last_tick = now;
    });
    probe.start(5);

    const long rss_before = ResidentKiB();
    // Taken when the memo first drops lines: it holds as many as it keeps.
    long rss_at_limit = 0;
    std::size_t lines_at_limit = 0;
    const demo::MemoLimit& memo_limit_state = window.Form().Memo();
    std::atomic<bool> produced{false};
    std::atomic<std::uint32_t> refused{0};
    const auto start = std::chrono::steady_clock::now();
    std::thread device([&] {
      // Paced in 1 ms steps: the reports due by then are sent together.
      const double per_ms = rate / 1000.0;
      std::uint32_t sent = 0;
      for (std::uint64_t tick = 1; sent < total; ++tick) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(tick));
        const auto due = std::min<std::uint64_t>(total, static_cast<std::uint64_t>(per_ms * tick));
        for (; sent < due; ++sent) {
          if (!machine->PushInput(0, Report(sent))) ++refused;
        }
      }
      produced = true;
    });
    // The window's own event loop runs until every delivered report has its line.
    const auto deadline = std::chrono::duration<double>(total / rate + 10.0);
    QTimer watch;
    const auto handed = [&] { return memo_limit_state.Lines() + memo_limit_state.Dropped(); };
    std::uint32_t delivered_before = 0;  // the loop may still read reports queued for it
    QObject::connect(&watch, &QTimer::timeout, [&] {
      const std::uint32_t delivered_now = tap.delivered.load();
      const bool loop_idle = std::exchange(delivered_before, delivered_now) == delivered_now;
      if (rss_at_limit == 0 && memo_limit_state.Dropped() > 0) {
        rss_at_limit = ResidentKiB();
        lines_at_limit = static_cast<std::size_t>(lines());
      }
      const bool settled = produced && loop_idle && window.Form().PendingMemoLines() == 0 &&
                           handed() >= delivered_now &&
                           static_cast<std::size_t>(lines()) == memo_limit_state.Lines();
      if (settled || std::chrono::steady_clock::now() - start > deadline) QCoreApplication::quit();
    });
    watch.start(20);
    QCoreApplication::exec();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    device.join();
    probe.stop();
    const auto thread_times = ThreadTimes();
    const long rss_after = ResidentKiB();

    // Every line a report of its own, exactly as sent, in order; gaps are reports the
    // device's input buffer dropped before the monitoring loop read them.
    std::uint32_t garbled = 0, out_of_order = 0;
    long long previous = -1;
    for (QTextBlock b = memo->begin(); b.isValid(); b = b.next()) {
      const long long sequence = SequenceOf(b.text());
      if (sequence < 0 || b.text() != ExpectedLine(static_cast<std::uint32_t>(sequence))) {
        if (garbled++ < 3) std::fprintf(stderr, "unexpected line: %s\n", b.text().left(80).toUtf8().constData());
        continue;
      }
      if (sequence <= previous) ++out_of_order;
      previous = sequence;
    }
    const int shown = lines();
    const std::uint32_t delivered = tap.delivered.load();
    const std::size_t reached = handed();  // every line that reached the memo, dropped or not
    const bool full = rss_at_limit != 0;
    const long rss_full = full ? rss_at_limit : rss_after;
    const std::size_t lines_full = full ? lines_at_limit : static_cast<std::size_t>(shown);
    const double per_100k = lines_full > 0 ? (rss_full - rss_before) / 1024.0 * 100000.0 / lines_full : 0.0;
    std::printf("reports sent            %u at %.0f/s, %u-byte reports (%u refused)\n", total, rate,
                static_cast<unsigned>(kReportLength), refused.load());
    std::printf("read by the loop        %u (%u dropped by the handle's input buffer)\n",
                delivered, total - delivered);
    std::printf("monitoring loop         longest pause between reports %.1f ms, %u pauses over 4 ms\n",
                std::chrono::duration<double, std::milli>(tap.longest_pause).count(), tap.long_pauses);
    std::printf("lines in the memo       %d of %zu reached (limit %zu, %zu oldest dropped; lost after"
                " reading: %lld, not a report of its own: %u, out of order: %u)\n",
                shown, reached, memo_limit, memo_limit_state.Dropped(),
                static_cast<long long>(delivered) - static_cast<long long>(reached), garbled, out_of_order);
    std::printf("newest line             report %lld of %u\n", previous, total - 1);
    std::printf("sustained rate          %.0f lines/s over %.2f s\n", reached / seconds, seconds);
    std::printf("longest loop stall      %lld ms (probe timer every 5 ms)\n",
                static_cast<long long>(longest_gap));
    std::printf("memory growth           %.1f MiB per 100,000 lines until the memo is full (RSS %ld -> %ld KiB"
                " at %zu lines)\n",
                per_100k, rss_before, rss_full, lines_full);
    if (full) {
      std::printf("memory at the limit     RSS %ld KiB when full, %ld KiB at the end (%+.1f MiB over %zu more lines)\n",
                  rss_at_limit, rss_after, (rss_after - rss_at_limit) / 1024.0, reached - lines_at_limit);
    }
    for (const auto& [used, name] : thread_times) {
      if (used < 0.05) continue;
      std::printf("cpu                     %.2f s, %.1f us per report: thread %s\n", used,
                  used * 1e6 / total, name.c_str());
    }
    failures = (reached != total) + (static_cast<std::size_t>(shown) != memo_limit_state.Lines()) +
               (shown > 0 && previous != static_cast<long long>(total) - 1) + (garbled != 0) +
               (out_of_order != 0) + (longest_gap > 100) + (refused != 0);
    active->setChecked(false);
  }
  qz::Dispatcher::Install(nullptr);
  std::remove(log_path.c_str());
  std::printf("%s\n", failures == 0 ? "PASS" : "FAIL");
  return failures == 0 ? 0 : 1;
}
