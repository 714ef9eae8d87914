// hidcaps: shows what Windows reports for a HID report descriptor, as text or JSON.
// Exit status: 0 done, 1 descriptor rejected by the parser or output not written, 2 bad
// arguments or input.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "descriptor_input.h"
#include "hidparse/dump.h"
#include "hidparse/hidparse.h"
#include "hidparse/json.h"

namespace {

constexpr int kRejected = 1;
constexpr int kWriteFailed = 1;
constexpr int kUsageError = 2;

const char kUsage[] =
    "usage: hidcaps [--json] [--collection N] [--hex | --binary] FILE\n"
    "\n"
    "Prints what Windows reports for a HID report descriptor: HIDP_CAPS, the\n"
    "button and value caps of each report type and the link collection nodes,\n"
    "for every top-level collection (Windows makes each one a device interface).\n"
    "\n"
    "  FILE            hex bytes (separated by blanks, commas or newlines, 0x\n"
    "                  prefixes and # or // comments allowed) or a binary file;\n"
    "                  - reads standard input\n"
    "  --json          one JSON object; an array of them for several collections\n"
    "  --collection N  only top-level collection N (1-based)\n"
    "  --hex, --binary read FILE as hex text or as raw bytes (default: guess)\n";

struct Options {
  bool json = false;
  std::size_t collection = 0;  // 0: all
  hidcaps::InputFormat format = hidcaps::InputFormat::kAuto;
  std::string path;
};

int Fail(const std::string& message, int status) {
  std::cerr << "hidcaps: " << message << "\n";
  return status;
}

// Standard output may be full or closed: a listing that did not arrive is a failure.
int FinishOutput() {
  errno = 0;
  std::cout.flush();
  if (std::fflush(stdout) == 0 && std::cout.good() && !std::ferror(stdout)) return EXIT_SUCCESS;
  const int error = errno;
  return Fail(std::string("cannot write the output") +
                  (error != 0 ? std::string(": ") + std::strerror(error) : std::string()),
              kWriteFailed);
}

bool ParseCollectionNumber(const std::string& text, std::size_t* number) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  *number = std::stoul(text);
  return *number > 0;
}

// Returns -1 when the arguments are complete, else the exit status to use.
int ParseArguments(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--hex") {
      options.format = hidcaps::InputFormat::kHex;
    } else if (arg == "--binary") {
      options.format = hidcaps::InputFormat::kBinary;
    } else if (arg == "--collection") {
      if (i + 1 >= argc || !ParseCollectionNumber(argv[i + 1], &options.collection)) {
        return Fail("--collection needs a number from 1 on\n" + std::string(kUsage), kUsageError);
      }
      ++i;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Fail("unknown option " + arg + "\n" + kUsage, kUsageError);
    } else if (!options.path.empty()) {
      return Fail("only one FILE, please\n" + std::string(kUsage), kUsageError);
    } else {
      options.path = arg;
    }
  }
  if (options.path.empty()) return Fail(std::string("no FILE given\n") + kUsage, kUsageError);
  return -1;
}

void PrintText(const hidparse::ParseResult& result, std::size_t collection) {
  if (collection == 0) {
    std::cout << hidparse::DumpCaps(result);
    return;
  }
  const hidparse::PreparsedData& data = *result.collections[collection - 1];
  std::printf("Top-level collection %zu of %zu: UsagePage 0x%04X Usage 0x%04X\n", collection,
              result.collections.size(), data.caps.UsagePage, data.caps.Usage);
  std::fflush(stdout);
  std::cout << hidparse::DumpCaps(data);
}

void PrintJson(const hidparse::ParseResult& result, std::size_t collection) {
  nlohmann::ordered_json out;
  if (collection != 0) {
    out = hidparse::CapsToJson(*result.collections[collection - 1]);
  } else if (result.collections.size() == 1) {
    out = hidparse::CapsToJson(*result.collections.front());
  } else {
    out = nlohmann::ordered_json::array();
    for (const auto& data : result.collections) out.push_back(hidparse::CapsToJson(*data));
  }
  std::cout << out.dump(2) << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int status = ParseArguments(argc, argv, options); status >= 0) {
    return status == 0 ? FinishOutput() : status;  // 0: the usage was printed
  }

  const hidcaps::DescriptorInput input = hidcaps::ReadDescriptor(options.path, options.format);
  if (!input.ok()) return Fail(input.error, kUsageError);

  const hidparse::ParseResult result = hidparse::Parse(input.bytes);
  if (!result.ok()) {
    return Fail("descriptor rejected at " + result.error, kRejected);
  }
  if (options.collection > result.collections.size()) {
    return Fail("--collection " + std::to_string(options.collection) + ": the descriptor has " +
                    std::to_string(result.collections.size()) + " top-level collection(s)",
                kUsageError);
  }
  if (options.json) {
    PrintJson(result, options.collection);
  } else {
    PrintText(result, options.collection);
  }
  return FinishOutput();
}
