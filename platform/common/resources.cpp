// The program's resources off Windows: a table of named byte blocks that images
// embedded at build time register in, searched by FindResourceW. A resource handle is
// the address of its table entry and a loaded resource the address of its bytes; the
// entries and every block of bytes they pointed at live until the program ends.
#include <deque>
#include <mutex>
#include <optional>

#include "qzplatform/ground.h"
#include "qzplatform/program_resources.h"

namespace qzplatform {
namespace {

struct Resource {
  WORD type = 0;
  std::u16string name;  // upper case; "#<number>" for an integer name
  const BYTE* built_data = nullptr;  // the build's image, when it has one
  std::size_t built_size = 0;
  const BYTE* data = nullptr;  // what FindResourceW hands out now
  std::size_t size = 0;
  bool hidden = false;
};

struct Table {
  std::mutex mutex;
  std::deque<Resource> entries;
  std::deque<std::vector<BYTE>> replacements;  // never freed: handed-out pointers stay valid
};

Table& Resources() {
  static Table table;
  return table;
}

std::u16string Upper(std::u16string_view s) {
  std::u16string r(s);
  for (char16_t& c : r)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return r;
}

// A resource name or type as the table keys it: integer values as "#<number>".
std::u16string KeyOf(LPCWSTR name) {
  if (IS_INTRESOURCE(name))
    return u"#" + FromUtf8(std::to_string(reinterpret_cast<ULONG_PTR>(name)));
  return Upper(AsChar16(name));
}

std::optional<WORD> TypeOf(LPCWSTR type) {
  if (IS_INTRESOURCE(type)) return static_cast<WORD>(reinterpret_cast<ULONG_PTR>(type));
  const std::u16string key = Upper(AsChar16(type));
  if (key.size() < 2 || key[0] != u'#' || key.size() > 6) return std::nullopt;
  unsigned value = 0;
  for (std::size_t i = 1; i < key.size(); ++i) {
    if (key[i] < u'0' || key[i] > u'9') return std::nullopt;
    value = value * 10 + (key[i] - u'0');
  }
  if (value > 0xFFFF) return std::nullopt;
  return static_cast<WORD>(value);
}

Resource* Find(Table& t, WORD type, std::u16string_view upper_name) {
  for (Resource& r : t.entries)
    if (r.type == type && r.name == upper_name) return &r;
  return nullptr;
}

Resource& Entry(Table& t, WORD type, std::u16string_view name) {
  const std::u16string key = Upper(name);
  if (Resource* r = Find(t, type, key)) return *r;
  t.entries.push_back(Resource{type, key});
  Resource& r = t.entries.back();
  r.hidden = true;
  return r;
}

}  // namespace

bool RegisterProgramResource(WORD type, std::u16string_view name, const void* data,
                             std::size_t size) {
  Table& t = Resources();
  std::lock_guard lock(t.mutex);
  Resource& r = Entry(t, type, name);
  r.built_data = r.data = static_cast<const BYTE*>(data);
  r.built_size = r.size = size;
  r.hidden = false;
  return true;
}

void SetProgramResource(WORD type, std::u16string_view name, std::vector<BYTE> bytes) {
  Table& t = Resources();
  std::lock_guard lock(t.mutex);
  Resource& r = Entry(t, type, name);
  t.replacements.push_back(std::move(bytes));
  r.data = t.replacements.back().data();
  r.size = t.replacements.back().size();
  r.hidden = false;
}

void HideProgramResource(WORD type, std::u16string_view name) {
  Table& t = Resources();
  std::lock_guard lock(t.mutex);
  if (Resource* r = Find(t, type, Upper(name))) r->hidden = true;
}

void RestoreProgramResources() {
  Table& t = Resources();
  std::lock_guard lock(t.mutex);
  for (Resource& r : t.entries) {
    r.data = r.built_data;
    r.size = r.built_size;
    r.hidden = r.built_data == nullptr;
  }
}

}  // namespace qzplatform

HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
  // Only the program itself carries resources here.
  if (hModule) {
    qzplatform::Failed(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  if (!lpName || !lpType) {
    qzplatform::Failed(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const auto type = qzplatform::TypeOf(lpType);
  const std::u16string name = qzplatform::KeyOf(lpName);
  auto& t = qzplatform::Resources();
  std::lock_guard lock(t.mutex);
  bool type_found = false;
  for (qzplatform::Resource& r : t.entries) {
    if (r.hidden || !type || r.type != *type) continue;
    type_found = true;
    if (r.name == name) return reinterpret_cast<HRSRC>(&r);
  }
  qzplatform::Failed(type_found ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

namespace {

// `read` of the entry a resource handle names, under the table's lock; `missing` with
// ERROR_RESOURCE_DATA_NOT_FOUND when it names none (or another module's).
template <typename T, typename Read>
T ReadEntry(HMODULE module, HRSRC handle, T missing, Read read) {
  auto& t = qzplatform::Resources();
  std::lock_guard lock(t.mutex);
  if (!module)
    for (const qzplatform::Resource& r : t.entries)
      if (reinterpret_cast<HRSRC>(const_cast<qzplatform::Resource*>(&r)) == handle) return read(r);
  qzplatform::Failed(ERROR_RESOURCE_DATA_NOT_FOUND);
  return missing;
}

}  // namespace

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
  return ReadEntry<HGLOBAL>(hModule, hResInfo, nullptr, [](const qzplatform::Resource& r) {
    return const_cast<BYTE*>(r.data);
  });
}

LPVOID WINAPI LockResource(HGLOBAL hResData) { return hResData; }

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
  return ReadEntry<DWORD>(hModule, hResInfo, 0, [](const qzplatform::Resource& r) {
    return static_cast<DWORD>(r.size);
  });
}
