// Registry texts: the kernel path of an open key (ntdll's key query) and one value read
// as text.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "qzplatform/setupapi.h"
#include "qzsysutils/qzsysutils.h"

namespace qz {
namespace {

constexpr std::size_t kNameOffset = offsetof(KEY_NAME_INFORMATION, Name);

// Characters of a UTF-16 byte block, up to the first NUL.
Text TextOfBytes(const BYTE* bytes, std::size_t count) {
  Text text(count, u'\0');
  if (count) std::memcpy(text.data(), bytes, count * sizeof(char16_t));
  const std::size_t nul = text.find(u'\0');
  if (nul != Text::npos) text.resize(nul);
  return text;
}

// The key's name as ZwQueryKey reports it: the first call only asks for the size.
Text QueryKeyName(PFN_ZwQueryKey query, HKEY key) {
  ULONG size = 0;
  query(key, KeyNameInformation, nullptr, 0, &size);
  if (size <= kNameOffset) return {};
  // Two spare zero bytes end a name that fills the block.
  std::vector<BYTE> block(size + 2, 0);
  ULONG written = 0;
  if (query(key, KeyNameInformation, block.data(), size, &written) < 0) return {};
  ULONG nameBytes = 0;
  std::memcpy(&nameBytes, block.data(), sizeof nameBytes);
  const std::size_t chars = std::min<std::size_t>(nameBytes, size - kNameOffset) / 2;
  return TextOfBytes(block.data() + kNameOffset, chars);
}

// Cuts the hive prefix off a kernel path; null when the path is in neither hive.
HKEY SplitRoot(Text& path) {
  if (path.find(u"\\MACHINE\\") == 9) {  // \REGISTRY\MACHINE\...
    path.erase(0, 18);
    return HKEY_LOCAL_MACHINE;
  }
  if (path.find(u"\\USER\\") == 9) {  // \REGISTRY\USER\<SID>\...
    path.erase(0, 15);
    const std::size_t sid_end = path.find(u'\\');
    // A key that is the user's hive itself is the root: no path is left.
    path.erase(0, sid_end == Text::npos ? path.size() : sid_end + 1);
    return HKEY_CURRENT_USER;
  }
  return nullptr;
}

}  // namespace

Text GetRegKeyPath(HKEY key, HKEY* root) {
  if (root) *root = nullptr;
  if (!key || key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) return {};
  HMODULE ntdll = LoadLibraryW(qzplatform::AsWide(Text(u"ntdll.dll")));
  if (!ntdll) return {};
  Text path;
  if (FARPROC proc = GetProcAddress(ntdll, "ZwQueryKey"))
    path = QueryKeyName(reinterpret_cast<PFN_ZwQueryKey>(reinterpret_cast<void*>(proc)), key);
  FreeLibrary(ntdll);
  if (root) *root = SplitRoot(path);
  return path;
}

Text RegReadString(HKEY root, const Text& subKey, const Text& valueName) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, qzplatform::AsWide(subKey), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return {};
  Text text;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, qzplatform::AsWide(valueName), nullptr, &type, nullptr, &size) ==
      ERROR_SUCCESS) {
    std::vector<BYTE> bytes(static_cast<std::size_t>(size) + 2, 0);
    DWORD got = size;
    if (RegQueryValueExW(key, qzplatform::AsWide(valueName), nullptr, &type, bytes.data(), &got) ==
        ERROR_SUCCESS) {
      // An odd byte count leaves its last byte out: only whole characters count.
      text.resize(std::min(got, size) / 2);
      if (!text.empty()) std::memcpy(text.data(), bytes.data(), text.size() * sizeof(char16_t));
      if (type == REG_SZ && !text.empty() && text.back() == u'\0') text.pop_back();
    }
  }
  RegCloseKey(key);
  return text;
}

}  // namespace qz
