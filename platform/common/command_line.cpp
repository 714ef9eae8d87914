// Command lines off Windows: CommandLineToArgvW splits by Windows' rules, and
// GetCommandLineW gives this program's arguments back as a Windows command line that
// splits into exactly those arguments. Also LocalFree (for the split's block) and
// CLSIDFromString.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#include "qzplatform/ascii_text.h"
#include "qzplatform/ground.h"
#include "qzplatform/helper_calls.h"

namespace qzplatform {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// The program name: a quoted name runs to the next quote, backslashes and all; an
// unquoted one to the first blank.
std::size_t ReadProgramName(std::u16string_view s, std::u16string* out) {
  std::size_t i = 0;
  if (!s.empty() && s[0] == u'"') {
    const std::size_t close = s.find(u'"', 1);
    *out = std::u16string(s.substr(1, close == std::u16string_view::npos ? close : close - 1));
    i = close == std::u16string_view::npos ? s.size() : close + 1;
  } else {
    while (i < s.size() && !IsBlank(s[i])) ++i;
    *out = std::u16string(s.substr(0, i));
  }
  return i;
}

// One argument after the name: 2n backslashes before a quote give n and the quote opens
// or closes a quoted part, 2n+1 give n and a literal quote; other backslashes are
// literal; a doubled quote inside a quoted part is a literal quote.
std::size_t ReadArgument(std::u16string_view s, std::size_t i, std::u16string* out) {
  bool quoted = false;
  while (i < s.size() && (quoted || !IsBlank(s[i]))) {
    if (s[i] == u'\\') {
      std::size_t n = 0;
      while (i < s.size() && s[i] == u'\\') ++n, ++i;
      if (i < s.size() && s[i] == u'"') {
        out->append(n / 2, u'\\');
        if (n % 2) {
          *out += u'"';
          ++i;
        }
      } else {
        out->append(n, u'\\');
      }
      continue;
    }
    if (s[i] == u'"') {
      if (quoted && i + 1 < s.size() && s[i + 1] == u'"') {
        *out += u'"';
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    *out += s[i++];
  }
  return i;
}

std::vector<std::u16string> Split(std::u16string_view s) {
  std::vector<std::u16string> args(1);
  std::size_t i = ReadProgramName(s, &args[0]);
  for (;;) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i >= s.size()) break;
    args.emplace_back();
    i = ReadArgument(s, i, &args.back());
  }
  return args;
}

// An argument as the rules above read it back: quoted when it is empty or holds a
// blank or a quote, with the backslashes before a quote (or the closing one) doubled.
std::u16string Quote(const std::u16string& arg) {
  if (!arg.empty() && arg.find_first_of(u" \t\"") == std::u16string::npos) return arg;
  std::u16string out = u"\"";
  std::size_t slashes = 0;
  for (char16_t c : arg) {
    if (c == u'\\') {
      ++slashes;
    } else if (c == u'"') {
      out.append(slashes + 1, u'\\');
      slashes = 0;
    } else {
      slashes = 0;
    }
    out += c;
  }
  out.append(slashes, u'\\');
  return out + u"\"";
}

std::u16string ProgramArgumentsAsCommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::u16string> args;
  std::size_t start = 0;
  while (start < raw.size()) {
    const std::size_t end = raw.find('\0', start);
    args.push_back(FromUtf8(raw.substr(start, end - start)));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::u16string line;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i == 0) {
      // A program name cannot hold a quote on Windows; it is quoted whole when it has blanks.
      std::u16string name = args[0];
      std::erase(name, u'"');
      line = name.empty() || name.find_first_of(u" \t") != std::u16string::npos
                 ? u"\"" + name + u"\""
                 : name;
    } else {
      line += u" " + Quote(args[i]);
    }
  }
  return line;
}

}  // namespace
}  // namespace qzplatform

LPWSTR* WINAPI CommandLineToArgvW(LPCWSTR lpCmdLine, int* pNumArgs) {
  if (!pNumArgs) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::vector<std::u16string> args;
  if (!lpCmdLine || !*lpCmdLine) {
    // As on Windows: an empty line gives the program's own path.
    WCHAR path[4096] = {};
    GetModuleFileNameW(nullptr, path, 4096);
    args.emplace_back(qzplatform::AsChar16(path));
  } else {
    args = qzplatform::Split(qzplatform::AsChar16(lpCmdLine));
  }
  // One block, freed by LocalFree: the pointers, then the texts.
  std::size_t units = 0;
  for (const auto& a : args) units += a.size() + 1;
  const std::size_t table = (args.size() + 1) * sizeof(LPWSTR);
  auto* block = static_cast<char*>(std::malloc(table + units * sizeof(WCHAR)));
  if (!block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto** argv = reinterpret_cast<LPWSTR*>(block);
  auto* text = reinterpret_cast<WCHAR*>(block + table);
  for (std::size_t i = 0; i < args.size(); ++i) {
    argv[i] = text;
    std::memcpy(text, args[i].c_str(), (args[i].size() + 1) * sizeof(WCHAR));
    text += args[i].size() + 1;
  }
  argv[args.size()] = nullptr;
  *pNumArgs = static_cast<int>(args.size());
  return argv;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  std::free(hMem);
  return nullptr;
}

LPWSTR WINAPI GetCommandLineW() {
  static std::u16string line = qzplatform::ProgramArgumentsAsCommandLine();
  return qzplatform::AsWide(line.data());
}

// Only the registry form "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (this system has no
// class names to look up).
HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (!pclsid) return static_cast<HRESULT>(0x80070057u);  // E_INVALIDARG
  *pclsid = GUID{};
  if (!lpsz) return S_OK;  // Windows gives the null GUID for a null text
  const std::u16string_view s(qzplatform::AsChar16(lpsz));
  if (s.size() != 38 || s.front() != u'{' || s.back() != u'}') return CO_E_CLASSSTRING;
  const auto guid = qzplatform::ParseGuidText<GUID>(s.substr(1, 36));
  if (!guid) return CO_E_CLASSSTRING;
  *pclsid = *guid;
  return S_OK;
}
