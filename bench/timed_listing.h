// The timed loop both discovery benchmarks share: a listing as `hid-demo --list` makes it,
// after `change` (not timed; may be empty), and the time per listed interface.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <functional>

#include "qzhid/hid.h"
#include "qzplatform/ground.h"

inline void TimeListings(benchmark::State& state, std::size_t interfaces,
                         const std::function<void()>& change) {
  for (auto _ : state) {
    if (change) {
      state.PauseTiming();
      change();
      state.ResumeTiming();
    }
    qz::TqzHid hid(nullptr);
    hid.SetEnumFullMode(true);
    hid.DeviceListLoad();
    if (static_cast<std::size_t>(hid.GetDeviceCount()) != interfaces) {
      state.SkipWithError("the listing missed interfaces");
      break;
    }
  }
  state.counters["per_interface"] = benchmark::Counter(
      static_cast<double>(interfaces),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  qzplatform::SetGround(nullptr);
}
