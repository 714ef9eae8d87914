// The names every program uses: usb.ids from the environment, the system or the program.
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "qzusbids/usb_ids.h"
#ifdef QZUSBIDS_EMBEDDED
#include "qzusbids/embedded_text.h"
#endif

namespace qzusbids {
namespace {

std::optional<std::string> ReadWholeFile(const char* path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return std::nullopt;
  const std::streamoff size = file.tellg();
  if (size < 0) return std::nullopt;
  std::string text(static_cast<std::size_t>(size), '\0');
  file.seekg(0);
  if (!file.read(text.data(), size)) return std::nullopt;
  return text;
}

UsbIds LoadSystem() {
  const char* chosen = std::getenv("QZ_USB_IDS");
  if (chosen != nullptr && *chosen != '\0') {
    if (const auto text = ReadWholeFile(chosen)) return UsbIds::Parse(*text);
  }
#ifdef QZUSBIDS_EMBEDDED
  return UsbIds::Parse(std::string_view(kEmbeddedUsbIdsText, kEmbeddedUsbIdsSize));
#else
  for (const char* path : {"/usr/share/misc/usb.ids", "/var/lib/usbutils/usb.ids"}) {
    if (const auto text = ReadWholeFile(path)) return UsbIds::Parse(*text);
  }
  return UsbIds::Parse({});
#endif
}

}  // namespace

const UsbIds& UsbIds::System() {
  static const UsbIds ids = LoadSystem();  // C++ makes this first-use initialisation thread-safe
  return ids;
}

}  // namespace qzusbids
