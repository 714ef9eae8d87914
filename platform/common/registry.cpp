// The registry calls (RegOpenKeyExW, RegQueryValueExW, RegCloseKey) over the active
// ground's registry. An open key is a handle holding the key as it was when opened.
#include <algorithm>
#include <cstring>

#include "qzplatform/ascii_text.h"
#include "qzplatform/ground.h"
#include "qzplatform/setupapi.h"

namespace qzplatform {
namespace {

class RegistryKey : public KernelObject {
 public:
  RegistryKey(HKEY root, std::u16string path, RegistryKeyData data)
      : root(root), path(std::move(path)), data(std::move(data)) {}
  const HKEY root;
  const std::u16string path;  // below `root`, as it was asked for
  const RegistryKeyData data;
};

bool IsPredefined(HKEY key) {
  return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
         key == HKEY_USERS;
}

std::u16string PredefinedName(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) return u"\\REGISTRY\\MACHINE";
  if (key == HKEY_USERS) return u"\\REGISTRY\\USER";
  if (key == HKEY_CLASSES_ROOT) return u"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes";
  return u"\\REGISTRY\\USER\\S-1-5-21-0-0-0-1000";  // the current user's hive
}

std::u16string Join(std::u16string_view base, std::u16string_view sub) {
  if (base.empty()) return std::u16string(sub);
  if (sub.empty()) return std::u16string(base);
  return std::u16string(base) + u"\\" + std::u16string(sub);
}

// The key a handle names: an open key, or a predefined root read from the ground now.
std::shared_ptr<const RegistryKey> KeyOf(HKEY key) {
  if (IsPredefined(key)) {
    auto ground = CurrentGround();
    auto data = ground ? ground->ReadRegistryKey(key, u"") : std::nullopt;
    if (!data) data = RegistryKeyData{PredefinedName(key), {}};
    return std::make_shared<RegistryKey>(key, u"", std::move(*data));
  }
  return LookupHandleAs<RegistryKey>(reinterpret_cast<HANDLE>(key));
}

}  // namespace

std::optional<RegistryKeyData> Ground::ReadRegistryKey(HKEY, std::u16string_view) {
  return std::nullopt;
}

bool RegistryKeyName(HKEY key, std::u16string* name) {
  auto k = KeyOf(key);
  if (!k) return false;
  *name = k->data.kernel_name;
  return true;
}

}  // namespace qzplatform

using qzplatform::RegistryKey;

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  auto base = qzplatform::KeyOf(hKey);
  if (!base) return ERROR_INVALID_HANDLE;
  const std::u16string sub = lpSubKey ? qzplatform::AsChar16(lpSubKey) : u"";
  const std::u16string path = qzplatform::Join(base->path, sub);
  auto ground = qzplatform::CurrentGround();
  auto data = ground ? ground->ReadRegistryKey(base->root, path) : std::nullopt;
  if (!data) return ERROR_FILE_NOT_FOUND;
  *phkResult = reinterpret_cast<HKEY>(
      qzplatform::InsertHandle(std::make_shared<RegistryKey>(base->root, path, std::move(*data))));
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  auto key = qzplatform::KeyOf(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  const std::u16string name = lpValueName ? qzplatform::AsChar16(lpValueName) : u"";
  const auto& values = key->data.values;
  auto it = std::find_if(values.begin(), values.end(), [&](const qzplatform::RegistryValue& v) {
    return qzplatform::EqualAsciiNoCase(v.name, name);
  });
  if (it == values.end()) return ERROR_FILE_NOT_FOUND;
  if (lpType) *lpType = it->type;
  const DWORD size = static_cast<DWORD>(it->data.size());
  if (!lpcbData) return ERROR_SUCCESS;
  if (!lpData) {
    *lpcbData = size;
    return ERROR_SUCCESS;
  }
  const DWORD room = *lpcbData;
  *lpcbData = size;
  if (room < size) return ERROR_MORE_DATA;
  if (size) std::memcpy(lpData, it->data.data(), size);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  if (qzplatform::IsPredefined(hKey)) return ERROR_SUCCESS;
  HANDLE handle = reinterpret_cast<HANDLE>(hKey);
  if (!qzplatform::LookupHandleAs<RegistryKey>(handle)) return ERROR_INVALID_HANDLE;
  CloseHandle(handle);
  return ERROR_SUCCESS;
}
