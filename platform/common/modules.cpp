// Run-time binding: LoadLibraryW hands out the active ground's modules, GetProcAddress
// their entries by name. Tests hide a module or an entry to reach the "missing" paths.
#include <algorithm>
#include <mutex>
#include <set>
#include <utility>

#include "qzplatform/ascii_text.h"
#include "qzplatform/ground.h"
#include "qzplatform/test_hooks.h"

namespace qzplatform {
namespace {

struct Loaded {
  std::shared_ptr<const Module> module;
  int references = 0;
};

struct ModuleTable {
  std::mutex mutex;
  std::vector<std::unique_ptr<Loaded>> loaded;  // HMODULE = address of the Loaded record
  std::set<std::u16string> hidden_modules;
  std::set<std::pair<std::u16string, std::string>> hidden_entries;
};

ModuleTable& Modules() {
  static ModuleTable table;
  return table;
}

}  // namespace

Module::Module(std::u16string name, std::vector<Entry> entries)
    : name_(std::move(name)), entries_(std::move(entries)) {}

FARPROC Module::Find(std::string_view entry) const {
  for (const Entry& e : entries_)
    if (e.name == entry) return e.proc;
  return nullptr;
}

void HideModule(std::u16string_view module) {
  std::lock_guard lock(Modules().mutex);
  Modules().hidden_modules.insert(LowerAsciiText(module));
}

void HideEntry(std::u16string_view module, std::string_view entry) {
  std::lock_guard lock(Modules().mutex);
  Modules().hidden_entries.emplace(LowerAsciiText(module), std::string(entry));
}

void RevealAll() {
  std::lock_guard lock(Modules().mutex);
  Modules().hidden_modules.clear();
  Modules().hidden_entries.clear();
}

}  // namespace qzplatform

using qzplatform::Loaded;

HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) {
  if (!lpLibFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::u16string key = qzplatform::LowerAsciiText(qzplatform::AsChar16(lpLibFileName));
  auto& table = qzplatform::Modules();
  {
    std::lock_guard lock(table.mutex);
    if (table.hidden_modules.count(key)) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    for (auto& l : table.loaded)
      if (qzplatform::LowerAsciiText(l->module->name()) == key) {
        ++l->references;
        return reinterpret_cast<HMODULE>(l.get());
      }
  }
  auto ground = qzplatform::CurrentGround();
  auto module = ground ? ground->FindModule(key) : nullptr;
  if (!module) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::lock_guard lock(table.mutex);
  auto record = std::make_unique<Loaded>(Loaded{std::move(module), 1});
  HMODULE handle = reinterpret_cast<HMODULE>(record.get());
  table.loaded.push_back(std::move(record));
  return handle;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  auto& table = qzplatform::Modules();
  std::lock_guard lock(table.mutex);
  auto it = std::find_if(table.loaded.begin(), table.loaded.end(), [&](const auto& l) {
    return reinterpret_cast<HMODULE>(l.get()) == hModule;
  });
  if (it == table.loaded.end() || !lpProcName) {
    SetLastError(it == table.loaded.end() ? ERROR_INVALID_HANDLE : ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  const auto& module = (*it)->module;
  if (table.hidden_entries.count({qzplatform::LowerAsciiText(module->name()), lpProcName})) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  FARPROC proc = module->Find(lpProcName);
  if (!proc) SetLastError(ERROR_PROC_NOT_FOUND);
  return proc;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  auto& table = qzplatform::Modules();
  std::lock_guard lock(table.mutex);
  auto it = std::find_if(table.loaded.begin(), table.loaded.end(), [&](const auto& l) {
    return reinterpret_cast<HMODULE>(l.get()) == hLibModule;
  });
  if (it == table.loaded.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--(*it)->references == 0) table.loaded.erase(it);
  return TRUE;
}
