// qzhid: the command-line explorer of HID devices.
#include <iostream>
#include <string>
#include <vector>

#include "qzhid_run.h"

int main(int argc, char** argv) {
  return qzhid::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
