// The two readers the benchmark compares on one uhid device: hidapi's blocking read loop
// and the HID component receiving on its I/O thread.
#pragma once

#include <string>

#include "bench_input.h"
#include "qzclasses/console_dispatcher.h"

namespace vmtest {

// Sends reports through `device` from a writer process (rate 0: flood) for `seconds`
// while the reader takes them from the hidraw node `node`.
Tally::Result ReadWithHidapi(UhidDevice& device, const std::string& node, double rate,
                             double seconds);
// The main thread waits in `dispatcher`, as a console program using the component does.
Tally::Result ReadWithComponent(qz::ConsoleDispatcher& dispatcher, UhidDevice& device,
                                const std::string& node, double rate, double seconds);

}  // namespace vmtest
