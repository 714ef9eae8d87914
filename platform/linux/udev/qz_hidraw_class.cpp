// qz-hidraw-class: run by the udev rule for each hidraw node; prints what kind of device
// the node's report descriptor describes as udev properties (QZ_HID_VENDOR=1, ...).
// Usage: qz-hidraw-class hidrawN [sysfs root]
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "device_class.h"

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]).find('/') != std::string::npos) {
    std::fprintf(stderr, "usage: qz-hidraw-class hidrawN [sysfs root]\n");
    return 2;
  }
  const std::string sysfs = argc > 2 ? argv[2] : "/sys";
  std::ifstream in(sysfs + "/class/hidraw/" + argv[1] + "/device/report_descriptor",
                   std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "qz-hidraw-class: no report descriptor for %s\n", argv[1]);
    return 1;
  }
  const std::vector<std::uint8_t> descriptor((std::istreambuf_iterator<char>(in)),
                                             std::istreambuf_iterator<char>());
  std::fputs(qzplatform::linux_ground::UdevProperties(
                 qzplatform::linux_ground::ClassifyDescriptor(descriptor))
                 .c_str(),
             stdout);
  return 0;
}
