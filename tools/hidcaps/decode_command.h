// hidcaps --decode: one report decoded in the top-level collection that owns it.
#pragma once

#include <cstddef>
#include <string>

#include "hidparse/hidparse.h"

namespace hidcaps {

struct DecodeRequest {
  std::string report_hex;  // the report as hex text, blanks allowed
  HIDP_REPORT_TYPE type = HidP_Input;
  std::size_t collection = 0;  // 1-based; 0: the collection(s) declaring the report's ID
  bool json = false;
};

// Exit status 0 and the decoded fields printed, or the status to exit with and why.
struct DecodeOutcome {
  int exit_status = 0;
  std::string error;
};

inline constexpr int kDecodeRefused = 1;  // the report functions refused the report
inline constexpr int kDecodeBadInput = 2;

// "input", "output", "feature", and back.
const char* KindName(HIDP_REPORT_TYPE type);
bool ParseKind(const std::string& text, HIDP_REPORT_TYPE* type);

DecodeOutcome RunDecode(const hidparse::ParseResult& parsed, const DecodeRequest& request);

}  // namespace hidcaps
