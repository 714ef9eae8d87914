// A log written from a worker thread to a visual output only, and the check that its
// entries reached that output whole and in order: shared by both toolkits' edit tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "qzclasses/text.h"
#include "qzlogfile/log_file.h"

namespace qztest {

constexpr int kWorkerEntries = 100;

inline qz::Text WorkerEntry(int i) { return qz::TextFromUtf8("entry " + std::to_string(i)); }

// Points `log` (no file, no stamp) at `out` and adds kWorkerEntries entries to it from a
// worker thread, which has ended on return. Delivery to `out` is the toolkit's business.
inline void LogFromWorker(qz::TqzLogFile& log, qz::EditControl* out) {
  log.SetOptions(qz::TLogOptions{});
  log.SetFileName(u"");
  log.SetVisualOut(out);
  std::thread([&] {
    for (int i = 0; i < kWorkerEntries; ++i) log.Add(WorkerEntry(i));
  }).join();
}

// Success when `text` holds every worker entry, in the order they were added.
inline testing::AssertionResult HoldsWorkerEntriesInOrder(const qz::Text& text) {
  std::size_t at = 0;
  for (int i = 0; i < kWorkerEntries; ++i) {
    const qz::Text entry = WorkerEntry(i);
    const std::size_t found = text.find(entry, at);
    if (found == qz::Text::npos) {
      return testing::AssertionFailure() << "entry " << i << " missing or out of order";
    }
    at = found + entry.size();
  }
  return testing::AssertionSuccess();
}

}  // namespace qztest
