// The binding table: each entry's stored name, whether the binding needs it, and where
// it goes in SetupApiEntries. Names stored with a final "A" are looked up as their "W"
// variants.
#include "qzwin32di/setupapi_binding.h"

#include <string>
#include <type_traits>

#include "qzclasses/text.h"
#include "qzsysutils/qzsysutils.h"

namespace qz {
namespace {

struct Row {
  const char* stored;
  bool required;
  void (*store)(SetupApiEntries& entries, FARPROC proc);
};

template <auto Member>
void Store(SetupApiEntries& entries, FARPROC proc) {
  using Pointer = std::remove_reference_t<decltype(entries.*Member)>;
  entries.*Member = reinterpret_cast<Pointer>(reinterpret_cast<void*>(proc));
}

using E = SetupApiEntries;

// Entries 1 to 17: SetupAPI.dll, in lookup order.
constexpr Row kSetupApiRows[] = {
    {"SetupDiGetClassDevsA", true, Store<&E::SetupDiGetClassDevsW>},
    {"SetupDiDestroyDeviceInfoList", true, Store<&E::SetupDiDestroyDeviceInfoList>},
    {"SetupDiEnumDeviceInfo", true, Store<&E::SetupDiEnumDeviceInfo>},
    {"SetupDiGetDeviceRegistryPropertyA", true, Store<&E::SetupDiGetDeviceRegistryPropertyW>},
    {"SetupDiOpenDevRegKey", true, Store<&E::SetupDiOpenDevRegKey>},
    {"SetupDiEnumDeviceInterfaces", true, Store<&E::SetupDiEnumDeviceInterfaces>},
    {"SetupDiGetDeviceInterfaceDetailA", true, Store<&E::SetupDiGetDeviceInterfaceDetailW>},
    {"SetupDiCreateDeviceInfoList", true, Store<&E::SetupDiCreateDeviceInfoList>},
    {"SetupDiCreateDeviceInfoA", true, Store<&E::SetupDiCreateDeviceInfoW>},
    {"SetupDiGetINFClassA", true, Store<&E::SetupDiGetINFClassW>},
    {"SetupDiSetDeviceRegistryPropertyA", true, Store<&E::SetupDiSetDeviceRegistryPropertyW>},
    {"SetupDiCallClassInstaller", true, Store<&E::SetupDiCallClassInstaller>},
    {"SetupDiGetDeviceInstanceIdA", true, Store<&E::SetupDiGetDeviceInstanceIdW>},
    {"SetupDiRemoveDevice", false, Store<&E::SetupDiRemoveDevice>},
    {"SetupDiUnremoveDevice", false, Store<&E::SetupDiUnremoveDevice>},
    {"SetupDiOpenDeviceInfoA", false, Store<&E::SetupDiOpenDeviceInfoW>},
    {"SetupDiSetClassInstallParamsA", true, Store<&E::SetupDiSetClassInstallParamsW>},
};

// Entry 18 decides where entries 18 to 25 come from.
constexpr Row kLocateRow = {"CM_Locate_DevNodeA", true, Store<&E::CM_Locate_DevNodeW>};

// Entries 19 to 25: the configuration manager.
constexpr Row kConfigManagerRows[] = {
    {"CM_Get_DevNode_Registry_PropertyA", true, Store<&E::CM_Get_DevNode_Registry_PropertyW>},
    {"CM_Get_Parent", true, Store<&E::CM_Get_Parent>},
    {"CM_Get_Device_ID_List_SizeA", true, Store<&E::CM_Get_Device_ID_List_SizeW>},
    {"CM_Get_Device_ID_ListA", true, Store<&E::CM_Get_Device_ID_ListW>},
    {"CM_Get_Child", true, Store<&E::CM_Get_Child>},
    {"CM_Get_Sibling", true, Store<&E::CM_Get_Sibling>},
    {"CM_Request_Device_EjectA", false, Store<&E::CM_Request_Device_EjectW>},
};

struct Binding {
  HMODULE setupapi = nullptr;
  HMODULE cfgmgr = nullptr;
  SetupApiEntries entries;
};
Binding binding;

std::string LookupName(const char* stored) {
  const std::string_view name(stored);
  return !name.empty() && name.back() == 'A' ? WideEntryName(name) : std::string(name);
}

FARPROC Find(HMODULE module, const Row& row) {
  return module ? GetProcAddress(module, LookupName(row.stored).c_str()) : nullptr;
}

// Stores the entry `row` names from `module`; false when a required entry is missing.
bool Bind(HMODULE module, const Row& row) {
  FARPROC proc = Find(module, row);
  row.store(binding.entries, proc);
  return proc != nullptr || !row.required;
}

HMODULE Load(const char16_t* name) { return LoadLibraryW(qzplatform::AsWide(Text(name))); }

// Frees the modules at process end. Created after the first successful binding, so it
// is destroyed before the system interface's own state.
struct Unloader {
  ~Unloader() { FreeSetupApi(); }
};

}  // namespace

bool LoadSetupApi() {
  if (binding.setupapi) return true;
  binding.setupapi = Load(u"SetupAPI.dll");
  if (!binding.setupapi) return false;

  bool complete = true;
  for (const Row& row : kSetupApiRows) complete = Bind(binding.setupapi, row) && complete;

  // Older systems keep the configuration manager in SetupAPI.dll, newer ones in
  // cfgmgr32.dll only.
  HMODULE manager = binding.setupapi;
  if (!Find(manager, kLocateRow)) {
    if (!binding.cfgmgr) binding.cfgmgr = Load(u"cfgmgr32.dll");
    manager = binding.cfgmgr;
  }
  complete = Bind(manager, kLocateRow) && complete;
  for (const Row& row : kConfigManagerRows) complete = Bind(manager, row) && complete;

  if (!complete) {
    FreeSetupApi();
    return false;
  }
  static Unloader unloader;
  return true;
}

const SetupApiEntries& SetupApi() { return binding.entries; }

void FreeSetupApi() {
  if (binding.setupapi) FreeLibrary(binding.setupapi);
  if (binding.cfgmgr) FreeLibrary(binding.cfgmgr);
  binding = Binding{};
}

}  // namespace qz
