// The log file's option set: seven flags kept in one byte, bit 0 first.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace qz {

enum TLogOption : std::uint8_t {
  loSafeMode,       // save after every entry
  loAutoFileName,   // the file is the program's path with the extension ".log"
  loSharedLogFile,  // others may read an existing file while it is open
  loDate,           // the stamp holds the date
  loTime,           // the stamp holds the time of day
  loMSec,           // the stamp holds the milliseconds
  loDebugOut,       // every entry also goes to the debugger output
};

class TLogOptions {
 public:
  constexpr TLogOptions() = default;
  constexpr TLogOptions(std::initializer_list<TLogOption> options) {
    for (TLogOption option : options) Include(option);
  }
  // Only the seven defined bits are kept.
  static constexpr TLogOptions FromBits(std::uint8_t bits) {
    TLogOptions options;
    options.bits_ = bits & 0x7F;
    return options;
  }

  constexpr std::uint8_t Bits() const { return bits_; }
  constexpr bool Contains(TLogOption option) const { return (bits_ & Bit(option)) != 0; }
  constexpr TLogOptions& Include(TLogOption option) {
    bits_ = static_cast<std::uint8_t>(bits_ | Bit(option));
    return *this;
  }
  constexpr TLogOptions& Exclude(TLogOption option) {
    bits_ = static_cast<std::uint8_t>(bits_ & ~Bit(option));
    return *this;
  }
  friend constexpr bool operator==(TLogOptions a, TLogOptions b) = default;

 private:
  static constexpr std::uint8_t Bit(TLogOption option) {
    return static_cast<std::uint8_t>(1u << option);
  }
  std::uint8_t bits_ = 0;
};

}  // namespace qz
