// GetRegKeyPath and RegReadString over a scripted registry and key query: hive
// prefixes, odd and unterminated values, and failures that give empty texts.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "qzplatform/ground.h"
#include "qzplatform/test_hooks.h"
#include "qzplatform/setupapi.h"
#include "qzsysutils/qzsysutils.h"

namespace {

using qzplatform::RegistryKeyData;
using qzplatform::RegistryValue;

std::vector<BYTE> Bytes(std::u16string_view text, std::size_t extra_bytes = 0) {
  std::vector<BYTE> b(text.size() * 2 + extra_bytes, 0);
  std::memcpy(b.data(), text.data(), text.size() * 2);
  return b;
}

// What the scripted ZwQueryKey answers.
struct KeyQuery {
  std::u16string name;              // the key's kernel name
  ULONG reported_length_extra = 0;  // added to NameLength, as a faulty system might
  bool fail_second_call = false;
  bool report_size = true;
  int calls = 0;
};
KeyQuery& query() {
  static KeyQuery q;
  return q;
}

NTSTATUS WINAPI ScriptedZwQueryKey(HANDLE, KEY_INFORMATION_CLASS, PVOID info, ULONG length,
                                   PULONG result) {
  KeyQuery& q = query();
  ++q.calls;
  const ULONG name_bytes = static_cast<ULONG>(q.name.size() * 2);
  if (q.report_size && result) *result = 4 + name_bytes;
  if (!info || length < 4 + name_bytes) return STATUS_BUFFER_TOO_SMALL;
  if (q.fail_second_call) return STATUS_INVALID_HANDLE;
  const ULONG reported = name_bytes + q.reported_length_extra;
  std::memcpy(info, &reported, 4);
  std::memcpy(static_cast<BYTE*>(info) + 4, q.name.data(), name_bytes);
  return STATUS_SUCCESS;
}

class ScriptedGround : public qzplatform::Ground {
 public:
  std::u16string_view Name() const override { return u"scripted"; }
  std::shared_ptr<qzplatform::FileObject> OpenDevice(std::u16string_view, DWORD, DWORD, DWORD,
                                                     bool* is_device, DWORD*) override {
    *is_device = false;
    return nullptr;
  }
  std::shared_ptr<const qzplatform::Module> FindModule(std::u16string_view name) override {
    if (name != u"ntdll.dll") return nullptr;
    return std::make_shared<qzplatform::Module>(
        u"ntdll.dll", std::vector<qzplatform::Module::Entry>{
                          {"ZwQueryKey", qzplatform::Proc(ScriptedZwQueryKey)}});
  }
  bool GetVersion(OSVERSIONINFOEXW*) override { return false; }
  std::optional<RegistryKeyData> ReadRegistryKey(HKEY root, std::u16string_view path) override {
    if (root != HKEY_LOCAL_MACHINE) return std::nullopt;
    auto it = keys.find(std::u16string(path));
    if (it == keys.end()) return std::nullopt;
    return it->second;
  }
  std::map<std::u16string, RegistryKeyData> keys;
};

class RegistryTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    query() = {};
    ground = std::make_shared<ScriptedGround>();
    ground->keys[u"SOFTWARE\\Sim"] = {
        u"\\REGISTRY\\MACHINE\\SOFTWARE\\Sim",
        {
            {u"Terminated", REG_SZ, Bytes(u"COM4", 2)},
            {u"Unterminated", REG_SZ, Bytes(u"COM5")},
            {u"Expand", REG_EXPAND_SZ, Bytes(u"%X%", 2)},
            {u"Odd", REG_SZ, {'A', 0, 'B', 0, 'C'}},
            {u"Empty", REG_SZ, {}},
            {u"OnlyNul", REG_SZ, {0, 0}},
            {u"Multi", REG_MULTI_SZ, Bytes(std::u16string_view(u"A\0B\0", 4), 2)},
        }};
    qzplatform::SetGround(ground);
    handles = qzplatform::OpenHandleCount();
  }
  void TearDown() override {
    EXPECT_EQ(qzplatform::OpenHandleCount(), handles) << "a key was left open";
    qzplatform::RevealAll();
    qzplatform::SetGround(nullptr);
  }
  qz::Text Read(const char16_t* value) {
    return qz::RegReadString(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Sim", value);
  }

  // GetRegKeyPath of an open key whose kernel name is `name`.
  qz::Text PathOf(const std::u16string& name, HKEY* root) {
    query().name = name;
    HKEY key = nullptr;
    EXPECT_EQ(
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, qzplatform::AsWide(std::u16string(u"SOFTWARE\\Sim")), 0,
                      KEY_READ, &key),
        ERROR_SUCCESS);
    qz::Text path = qz::GetRegKeyPath(key, root);
    RegCloseKey(key);
    return path;
  }

  std::shared_ptr<ScriptedGround> ground;
  std::size_t handles = 0;
};

TEST_F(RegistryTexts, ReadsStringValuesByType) {
  EXPECT_EQ(Read(u"Terminated"), u"COM4");
  EXPECT_EQ(Read(u"terminated"), u"COM4");    // value names ignore case
  EXPECT_EQ(Read(u"Unterminated"), u"COM5");  // nothing is cut from a value without NUL
  EXPECT_EQ(Read(u"Expand"), std::u16string(u"%X%\0", 4));  // only REG_SZ loses its NUL
  EXPECT_EQ(Read(u"Odd"), u"AB");                           // a stray last byte is no character
  EXPECT_EQ(Read(u"Empty"), u"");
  EXPECT_EQ(Read(u"OnlyNul"), u"");
  EXPECT_EQ(Read(u"Multi"), std::u16string(u"A\0B\0\0", 5));
}

TEST_F(RegistryTexts, MissingKeysAndValuesGiveEmptyTexts) {
  EXPECT_EQ(Read(u"Absent"), u"");
  EXPECT_EQ(qz::RegReadString(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Other", u"Terminated"), u"");
  EXPECT_EQ(qz::RegReadString(HKEY_CURRENT_USER, u"SOFTWARE\\Sim", u"Terminated"), u"");
  qzplatform::SetGround(nullptr);
  EXPECT_EQ(Read(u"Terminated"), u"");
}

TEST_F(RegistryTexts, KeyPathsLoseTheirHivePrefixWhenTheRootIsAskedFor) {
  HKEY root = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(PathOf(u"\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\\Enum\\X", &root),
            u"SYSTEM\\ControlSet001\\Enum\\X");
  EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(PathOf(u"\\REGISTRY\\USER\\S-1-5-21-7-8-9-1001\\Software\\X", &root), u"Software\\X");
  EXPECT_EQ(root, HKEY_CURRENT_USER);
  // The user's hive itself: nothing below the root.
  EXPECT_EQ(PathOf(u"\\REGISTRY\\USER\\S-1-5-21-7-8-9-1001", &root), u"");
  EXPECT_EQ(root, HKEY_CURRENT_USER);
  EXPECT_EQ(PathOf(u"\\REGISTRY\\A\\MACHINE\\X", &root), u"\\REGISTRY\\A\\MACHINE\\X");
  EXPECT_EQ(root, nullptr);
  // Without a root output the path stays whole.
  EXPECT_EQ(PathOf(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Sim", nullptr),
            u"\\REGISTRY\\MACHINE\\SOFTWARE\\Sim");
  EXPECT_EQ(query().calls, 10);  // a size query, then the read, every time
}

TEST_F(RegistryTexts, AFaultyKeyQueryNeverReadsPastItsBlock) {
  HKEY root = nullptr;
  query().reported_length_extra = 4000;  // claims more than it wrote
  EXPECT_EQ(PathOf(u"\\REGISTRY\\MACHINE\\A", &root), u"A");
  query() = {};
  query().fail_second_call = true;
  EXPECT_EQ(PathOf(u"\\REGISTRY\\MACHINE\\A", &root), u"");
  query() = {};
  query().report_size = false;  // no size: nothing to read
  EXPECT_EQ(PathOf(u"\\REGISTRY\\MACHINE\\A", &root), u"");
}

TEST_F(RegistryTexts, NoKeyNoLibraryOrNoEntryGivesAnEmptyPath) {
  HKEY root = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(qz::GetRegKeyPath(reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE), &root), u"");
  EXPECT_EQ(root, nullptr);
  EXPECT_EQ(query().calls, 0);
  qzplatform::HideEntry(u"ntdll.dll", "ZwQueryKey");
  EXPECT_EQ(PathOf(u"\\REGISTRY\\MACHINE\\A", &root), u"");
  qzplatform::HideModule(u"ntdll.dll");
  EXPECT_EQ(PathOf(u"\\REGISTRY\\MACHINE\\A", &root), u"");
  EXPECT_EQ(query().calls, 0);
}

}  // namespace
