// hidcaps: shows what Windows reports for a HID report descriptor, as text or JSON.
// Exit status: 0 done, 1 descriptor rejected by the parser or output not written, 2 bad
// arguments or input.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "decode_command.h"
#include "descriptor_input.h"
#include "hidparse/dump.h"
#include "hidparse/hidparse.h"
#include "hidparse/json.h"
#include "hidparse/report.h"

namespace {

constexpr int kRejected = 1;
constexpr int kWriteFailed = 1;
constexpr int kUsageError = 2;

const char kUsage[] =
    "usage: hidcaps [--json] [--collection N] [--hex | --binary] FILE\n"
    "       hidcaps [--json] [--collection N] FILE --decode REPORT [--kind KIND]\n"
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
    "  --hex, --binary read FILE as hex text or as raw bytes (default: guess)\n"
    "  --decode REPORT the fields of one report (hex, blanks allowed; byte 0 the\n"
    "                  report ID, 00 when the device uses none), as HidP_GetData\n"
    "                  lists them, with usage names and values\n"
    "  --kind KIND     the report's type for --decode: input (default), output,\n"
    "                  feature\n";

struct Options {
  bool json = false;
  std::size_t collection = 0;  // 0: all
  hidcaps::InputFormat format = hidcaps::InputFormat::kAuto;
  std::string path;
  bool decode = false;
  bool kind_given = false;
  hidcaps::DecodeRequest request;
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
    } else if (arg == "--decode") {
      if (i + 1 >= argc) return Fail("--decode needs a REPORT\n" + std::string(kUsage), kUsageError);
      options.decode = true;
      options.request.report_hex = argv[++i];
    } else if (arg == "--kind") {
      if (i + 1 >= argc || !hidcaps::ParseKind(argv[i + 1], &options.request.type)) {
        return Fail("--kind needs input, output or feature\n" + std::string(kUsage), kUsageError);
      }
      options.kind_given = true;
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
  if (options.kind_given && !options.decode) {
    return Fail(std::string("--kind goes with --decode\n") + kUsage, kUsageError);
  }
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

// The caps, and how long the lists of HidP_GetUsages (every page) and HidP_GetData
// must be for one report of each type.
nlohmann::ordered_json CollectionJson(const hidparse::PreparsedData& data) {
  nlohmann::ordered_json out = hidparse::CapsToJson(data);
  for (HIDP_REPORT_TYPE type : {HidP_Input, HidP_Output, HidP_Feature}) {
    out["list_lengths"][hidcaps::KindName(type)] = {
        {"MaxUsageListLength", hidparse::MaxUsageListLength(type, 0, &data)},
        {"MaxDataListLength", hidparse::MaxDataListLength(type, &data)}};
  }
  return out;
}

void PrintJson(const hidparse::ParseResult& result, std::size_t collection) {
  nlohmann::ordered_json out;
  if (collection != 0) {
    out = CollectionJson(*result.collections[collection - 1]);
  } else if (result.collections.size() == 1) {
    out = CollectionJson(*result.collections.front());
  } else {
    out = nlohmann::ordered_json::array();
    for (const auto& data : result.collections) out.push_back(CollectionJson(*data));
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
  if (options.decode) {
    options.request.collection = options.collection;
    options.request.json = options.json;
    const hidcaps::DecodeOutcome outcome = hidcaps::RunDecode(result, options.request);
    if (!outcome.error.empty()) return Fail(outcome.error, outcome.exit_status);
  } else if (options.json) {
    PrintJson(result, options.collection);
  } else {
    PrintText(result, options.collection);
  }
  return FinishOutput();
}
