// Error messages naming a device field, GUID parsing and comparing, ASCII widening.
#include "field_error.h"

namespace qzplatform::sim {

void ThrowFieldError(std::size_t device, std::string_view name, std::string_view field,
                     std::string_view what) {
  std::string message = "device " + std::to_string(device);
  if (!name.empty()) message += " (\"" + std::string(name) + "\")";
  if (!field.empty()) message += ", field \"" + std::string(field) + "\"";
  message += ": ";
  message += what;
  throw LoadError(message);
}

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::optional<GUID> ParseGuid(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  return ParseGuidText<GUID>(text);
}

}  // namespace qzplatform::sim
