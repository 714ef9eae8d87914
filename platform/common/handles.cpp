// The handle table: HANDLE values are small numbers that name kernel objects, so a
// stale or forged handle is refused with ERROR_INVALID_HANDLE instead of crashing.
#include <mutex>
#include <unordered_map>

#include "qzplatform/ground.h"

namespace qzplatform {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
  std::uintptr_t next = 4;
};

HandleTable& Table() {
  static HandleTable table;
  return table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  HandleTable& t = Table();
  std::lock_guard lock(t.mutex);
  std::uintptr_t value = t.next;
  t.next += 4;  // multiples of four, as Windows hands them out
  t.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  HandleTable& t = Table();
  std::lock_guard lock(t.mutex);
  auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == t.objects.end() ? nullptr : it->second;
}

std::size_t OpenHandleCount() {
  HandleTable& t = Table();
  std::lock_guard lock(t.mutex);
  return t.objects.size();
}

}  // namespace qzplatform

BOOL WINAPI CloseHandle(HANDLE hObject) {
  std::shared_ptr<qzplatform::KernelObject> object;
  {
    auto& t = qzplatform::Table();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(hObject));
    if (it != t.objects.end()) {
      object = std::move(it->second);
      t.objects.erase(it);
    }
  }
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  object->OnClose();
  return TRUE;
}
