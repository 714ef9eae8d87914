// The sim ground's "ntdll.dll": the key query, which names registry keys opened over
// any ground's registry.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "qzplatform/setupapi.h"
#include "qzplatform/sim/sim_ground.h"

namespace qzplatform::sim {
namespace {

NTSTATUS WINAPI ZwQueryKey(HANDLE KeyHandle, KEY_INFORMATION_CLASS KeyInformationClass,
                           PVOID KeyInformation, ULONG Length, PULONG ResultLength) {
  if (KeyInformationClass != KeyNameInformation) return STATUS_NOT_IMPLEMENTED;
  std::u16string name;
  if (!RegistryKeyName(reinterpret_cast<HKEY>(KeyHandle), &name)) return STATUS_INVALID_HANDLE;
  constexpr std::size_t kNameOffset = offsetof(KEY_NAME_INFORMATION, Name);
  const ULONG name_bytes = static_cast<ULONG>(name.size() * sizeof(WCHAR));
  const ULONG needed = static_cast<ULONG>(kNameOffset) + name_bytes;
  if (ResultLength) *ResultLength = needed;
  if (!KeyInformation || Length < kNameOffset) return STATUS_BUFFER_TOO_SMALL;
  // The length always fits; the name only as far as the buffer reaches.
  auto* out = static_cast<BYTE*>(KeyInformation);
  std::memcpy(out, &name_bytes, sizeof name_bytes);
  const std::size_t copied = std::min<std::size_t>(name_bytes, Length - kNameOffset);
  std::memcpy(out + kNameOffset, name.data(), copied);
  return copied == name_bytes ? STATUS_SUCCESS : STATUS_BUFFER_OVERFLOW;
}

}  // namespace

std::shared_ptr<const Module> NtdllModule() {
  static const auto module = std::make_shared<const Module>(
      u"ntdll.dll", std::vector<Module::Entry>{{"ZwQueryKey", Proc(ZwQueryKey)}});
  return module;
}

}  // namespace qzplatform::sim
