// The system error text and the operating-system and file version texts.
#include <vector>

#include "qzclasses/errors.h"
#include "qzclasses/format.h"
#include "qzsysutils/qzsysutils.h"

namespace qz {
namespace {

// Windows' names by major version, minor version, platform and product type.
Text WindowsName(const OSVERSIONINFOEXW& v) {
  switch (v.dwMajorVersion) {
    case 3:
      return u"NT 3.51";
    case 4:
      if (v.dwMinorVersion == 10) return u"98";
      if (v.dwMinorVersion == 90) return u"Me";
      return v.dwPlatformId == VER_PLATFORM_WIN32_NT ? u"NT 4" : u"95";
    case 5:
      switch (v.dwMinorVersion) {
        case 0: return u"2000";
        case 1: return u"XP";
        case 2: return u"2003";
        default: return u"";
      }
    case 6:
      if (v.wProductType == VER_NT_WORKSTATION) {
        if (v.dwMinorVersion == 0) return u"Vista";
        if (v.dwMinorVersion == 1) return u"7";
        return u"Future Workstation";
      }
      if (v.dwMinorVersion == 0) return u"Server 2008";
      if (v.dwMinorVersion == 1) return u"Server 2008 R2";
      return u"Future Server";
    default:
      return u"";
  }
}

Text OsVersionText() {
  OSVERSIONINFOEXW v{};
  v.dwOSVersionInfoSize = sizeof(v);
  if (!GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&v))) return u"";
  // szCSDVersion is a fixed array that a faulty record may leave unterminated.
  Text servicePack;
  for (WCHAR c : v.szCSDVersion) {
    if (c == 0) break;
    servicePack += static_cast<char16_t>(c);
  }
  return u"Windows " + WindowsName(v) + u" [" +
         Format(u"%u.%u.%u", {v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber}) + u"] " +
         servicePack;
}

Text FileVersionText(const Text& fileName, const Text& format) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(qzplatform::AsWide(fileName), &ignored);
  if (size == 0) return u"";
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(qzplatform::AsWide(fileName), 0, size, block.data())) return u"";
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  const Text root = u"\\";
  // A block without a root entry gives no version rather than an unset record.
  if (!VerQueryValueW(block.data(), qzplatform::AsWide(root), reinterpret_cast<LPVOID*>(&info),
                      &length) ||
      !info || length < sizeof(VS_FIXEDFILEINFO))
    return u"";
  const Text& f = format.empty() ? Text(u"%u.%u.%u.%u") : format;
  try {
    return Format(f, {info->dwFileVersionMS >> 16, info->dwFileVersionMS & 0xFFFF,
                      info->dwFileVersionLS >> 16, info->dwFileVersionLS & 0xFFFF});
  } catch (const Error&) {
    return u"";  // a caller's format that does not fit four numbers
  }
}

}  // namespace

Text SysErrorMessage(DWORD code) {
  WCHAR buffer[512];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, buffer, 512, nullptr);
  Text text(reinterpret_cast<const char16_t*>(buffer), n);
  while (!text.empty() && (text.back() <= 32 || text.back() == u'.')) text.pop_back();
  return text;
}

Text GetVersionText(const Text& fileName, const Text& format) {
  return fileName.empty() ? OsVersionText() : FileVersionText(fileName, format);
}

}  // namespace qz
