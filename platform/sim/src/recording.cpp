// Reading recordings in the hid-tools recorder's text format, line by line, each fault
// reported with its line, and turning a recorded device into a simulated one.
#include "qzplatform/sim/recording.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>

#include "hidparse/hidparse.h"
#include "qzplatform/ascii_text.h"
#include "qzplatform/sim/machine.h"

namespace qzplatform::sim {
namespace {

// A recording of a long session may be large, but not without end (/dev/zero).
constexpr std::size_t kMaxRecordingBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxDevices = 64;

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : text) {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

// What the descriptor allows: the longest input report as hidraw reads it, and the
// input report IDs when the reports are numbered.
struct InputLimits {
  std::size_t longest = 0;
  bool numbered = false;
  std::vector<std::uint8_t> ids;
};

class Reader {
 public:
  explicit Reader(std::string source) : source_(std::move(source)) {}

  void Line(std::string_view raw, std::size_t number) {
    line_ = number;
    const std::string_view text = Trim(raw);
    if (text.empty() || text.front() == '#') return;
    if (text.size() < 2 || text[1] != ':') Fail("expected a line such as 'E: ...' or a # comment");
    const std::string_view rest = Trim(text.substr(2));
    switch (text[0]) {
      case 'D': Choose(rest); break;
      case 'N': Current().name = std::string(rest); break;
      case 'P': Current().physical_path = std::string(rest); break;
      case 'I': Identity(rest); break;
      case 'R': Descriptor(rest); break;
      case 'E': Event(rest); break;
      default: Fail("unknown line type '" + std::string(1, text[0]) + ":'");
    }
  }

  std::vector<RecordedDevice> Finish() {
    if (devices_.empty()) throw LoadError(source_ + ": no device in the recording (no R: line)");
    for (std::size_t i = 0; i < devices_.size(); ++i) {
      if (devices_[i].descriptor.empty())
        throw LoadError(source_ + ": device " + std::to_string(i) +
                        " has no report descriptor (R: line); is the recording truncated?");
    }
    return std::move(devices_);
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw LoadError(source_ + ":" + std::to_string(line_) + ": " + what);
  }

  // Digits of `base` only: no sign, blank or 0x.
  unsigned long Number(const std::string& word, int base, unsigned long max, const char* what) {
    const auto n = ParseUnsigned(word, static_cast<unsigned>(base), max);
    if (!n)
      Fail(std::string(what) + " '" + word + "' is not a number up to " + std::to_string(max));
    return static_cast<unsigned long>(*n);
  }

  std::vector<std::uint8_t> Bytes(const std::vector<std::string>& words, std::size_t from,
                                  std::size_t declared) {
    if (words.size() - from != declared)
      Fail(std::to_string(declared) + " bytes declared but " + std::to_string(words.size() - from) +
           " given (is the line truncated?)");
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = from; i < words.size(); ++i) {
      if (words[i].size() > 2) Fail("'" + words[i] + "' is not one byte in hex");
      bytes.push_back(static_cast<std::uint8_t>(Number(words[i], 16, 0xFF, "byte")));
    }
    return bytes;
  }

  RecordedDevice& Current() {
    if (devices_.empty()) Choose("0");
    return devices_[current_];
  }

  void Choose(std::string_view rest) {
    const unsigned long n = Number(std::string(rest), 10, 1000000, "device number");
    const auto [it, added] = numbers_.emplace(n, devices_.size());
    if (added) {
      if (devices_.size() == kMaxDevices)
        Fail("more than " + std::to_string(kMaxDevices) + " devices in one recording");
      devices_.emplace_back();
      limits_.emplace_back();
    }
    current_ = it->second;
  }

  void Identity(std::string_view rest) {
    const std::vector<std::string> words = Words(rest);
    if (words.size() != 3) Fail("expected 'I: bus vendor product' in hex");
    RecordedDevice& d = Current();
    d.bus = static_cast<unsigned>(Number(words[0], 16, 0xFFFF, "bus"));
    d.vendor_id = static_cast<std::uint16_t>(Number(words[1], 16, 0xFFFF, "vendor ID"));
    d.product_id = static_cast<std::uint16_t>(Number(words[2], 16, 0xFFFF, "product ID"));
  }

  void Descriptor(std::string_view rest) {
    const std::vector<std::string> words = Words(rest);
    if (words.empty()) Fail("expected 'R: length bytes...'");
    RecordedDevice& d = Current();
    if (!d.descriptor.empty()) Fail("a second report descriptor for the same device");
    const auto length = Number(words[0], 10, 65535, "descriptor length");
    if (length == 0) Fail("the report descriptor is empty");
    d.descriptor = Bytes(words, 1, length);
    const hidparse::ParseResult parsed = hidparse::Parse(d.descriptor);
    if (!parsed.ok())
      Fail("the report descriptor does not parse: " + parsed.error + " (byte " +
           std::to_string(parsed.error_offset) + ")");
    InputLimits& limits = limits_[current_];
    for (const auto& c : parsed.collections) {
      for (const std::uint8_t id : c->report_ids[HidP_Input]) {
        limits.numbered = limits.numbered || id != 0;
        limits.ids.push_back(id);
      }
      limits.longest = std::max<std::size_t>(limits.longest, c->caps.InputReportByteLength);
    }
    // Windows' length counts an ID byte that unnumbered reports do not have.
    if (!limits.numbered && limits.longest > 0) --limits.longest;
  }

  std::chrono::microseconds Time(const std::string& word) {
    const std::size_t dot = word.find('.');
    const std::string whole = word.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "0" : word.substr(dot + 1);
    if (fraction.empty() || fraction.size() > 6) Fail("time stamp '" + word + "' is not seconds.microseconds");
    const auto seconds = Number(whole, 10, 100000000, "time stamp");
    fraction.resize(6, '0');  // ".5" is half a second
    return std::chrono::seconds(seconds) +
           std::chrono::microseconds(Number(fraction, 10, 999999, "time stamp"));
  }

  void Event(std::string_view rest) {
    const std::vector<std::string> words = Words(rest);
    if (words.size() < 2) Fail("expected 'E: seconds.microseconds length bytes...'");
    RecordedDevice& d = Current();
    if (d.descriptor.empty()) Fail("an event before the device's report descriptor (R: line)");
    RecordedEvent event;
    event.time = Time(words[0]);
    event.line = line_;
    if (event.time < last_time_) Fail("the time stamp " + words[0] + " is earlier than the one before");
    last_time_ = event.time;
    event.bytes = Bytes(words, 2, Number(words[1], 10, 65535, "event length"));
    const InputLimits& limits = limits_[current_];
    if (event.bytes.empty()) Fail("an event without bytes");
    if (event.bytes.size() > limits.longest)
      Fail("an event of " + std::to_string(event.bytes.size()) + " bytes; the descriptor's input reports have at most " +
           std::to_string(limits.longest));
    if (limits.numbered &&
        std::find(limits.ids.begin(), limits.ids.end(), event.bytes[0]) == limits.ids.end())
      Fail("report ID " + std::to_string(event.bytes[0]) + " is no input report of the descriptor");
    d.events.push_back(std::move(event));
  }

  const std::string source_;
  std::size_t line_ = 0;
  std::vector<RecordedDevice> devices_;
  std::vector<InputLimits> limits_;
  std::map<unsigned long, std::size_t> numbers_;
  std::size_t current_ = 0;
  std::chrono::microseconds last_time_{0};
};

}  // namespace

std::vector<RecordedDevice> ParseRecording(std::string_view text, const std::string& source) {
  Reader reader(source);
  std::size_t number = 1;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    reader.Line(text.substr(0, end), number++);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return reader.Finish();
}

std::vector<RecordedDevice> LoadRecording(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw LoadError(path.string() + ": cannot read the recording: " + std::strerror(errno));
  std::string text;
  char piece[65536];
  while (text.size() <= kMaxRecordingBytes && in.read(piece, sizeof piece).gcount() > 0)
    text.append(piece, static_cast<std::size_t>(in.gcount()));
  if (in.bad()) throw LoadError(path.string() + ": cannot read the recording: " + std::strerror(errno));
  if (text.size() > kMaxRecordingBytes)
    throw LoadError(path.string() + ": larger than " + std::to_string(kMaxRecordingBytes >> 20) +
                    " MiB; that is no recording");
  return ParseRecording(text, path.string());
}

DeviceDescription DeviceFromRecording(const RecordedDevice& recorded) {
  DeviceDescription desc;
  desc.name = recorded.name;
  desc.vendor_id = recorded.vendor_id;
  desc.product_id = recorded.product_id;
  std::u16string product = FromUtf8(recorded.name);
  if (product.size() > kMaxStringLength) product.resize(kMaxStringLength);
  if (!product.empty()) desc.product = product;
  desc.report_descriptor = recorded.descriptor;
  bool numbered = false;
  for (const auto& c : hidparse::Parse(recorded.descriptor).collections)
    for (const std::uint8_t id : c->report_ids[HidP_Input]) numbered = numbered || id != 0;
  std::chrono::microseconds before{0};
  for (const RecordedEvent& e : recorded.events) {
    std::vector<std::uint8_t> report = e.bytes;
    // The machine takes reports ID byte first, 0 for unnumbered ones.
    if (!numbered) report.insert(report.begin(), 0);
    desc.input_script.reports.push_back(std::move(report));
    desc.input_script.delays.push_back(e.time - before);
    before = e.time;
  }
  return desc;
}

}  // namespace qzplatform::sim
