// Removing the oldest 1,000 of 100,000 report lines from the Qt window's memo: the
// demo's cut by text position against the document's own block limit (Qt's way for log
// views), on the same memo shown at the window's size. Lines are appended untimed before
// each removal, so the memo stays full.
#include <QApplication>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <functional>

#include "qt/memo_lines.h"
#include "ratio_reporter.h"

namespace {

constexpr int kLines = 100000;
constexpr int kDrop = 1000;

// A line as the memo shows a 64-byte input report.
QString ReportLine(int number) {
  QString line = QStringLiteral("HID Report is received:  64 bytes");
  for (int i = 0; i < 64; ++i)
    line += QStringLiteral(" %1").arg((number + i) & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
  return line;
}

QString Lines(int first, int count) {
  QStringList lines;
  for (int i = 0; i < count; ++i) lines.push_back(ReportLine(first + i));
  return lines.join(QLatin1Char('\n'));
}

void DropFromFullMemo(benchmark::State& state,
                      const std::function<void(QPlainTextEdit&)>& drop) {
  QPlainTextEdit memo;
  memo.resize(449, 73);
  memo.document()->setUndoRedoEnabled(false);
  memo.show();
  memo.appendPlainText(Lines(0, kLines));
  int next = kLines;
  for (auto _ : state) {
    state.PauseTiming();
    memo.appendPlainText(Lines(next, kDrop));
    next += kDrop;
    QApplication::processEvents();
    state.ResumeTiming();
    drop(memo);
  }
  if (memo.document()->blockCount() != kLines) state.SkipWithError("the memo lost count");
  state.counters["lines/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kDrop, benchmark::Counter::kIsRate);
}

void Cut(benchmark::State& state) {
  DropFromFullMemo(state, [](QPlainTextEdit& memo) { demo::DropOldestLines(memo, kDrop); });
}

void BlockLimit(benchmark::State& state) {
  DropFromFullMemo(state, [](QPlainTextEdit& memo) {
    QTextDocument* document = memo.document();
    document->setMaximumBlockCount(document->blockCount() - kDrop);
    document->setMaximumBlockCount(0);
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::RegisterBenchmark("cut/drop-1000-of-100000", Cut)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("blocklimit/drop-1000-of-100000", BlockLimit)
      ->Unit(benchmark::kMillisecond);
  return RunWithRatios(
      argc, argv,
      RatioReporter(
          "cut", "blocklimit",
          "cut time / block-limit time for the same removal (lower is better):", "removals/s"));
}
