// Run-time binding bookkeeping, message texts, code-page conversion and debugger output.
#include <gtest/gtest.h>

#include "qzplatform/ground.h"
#include "qzplatform/test_hooks.h"

namespace {

INT_PTR WINAPI Answer() { return 42; }

class OneModuleGround : public qzplatform::Ground {
 public:
  std::u16string_view Name() const override { return u"one-module"; }
  std::shared_ptr<qzplatform::FileObject> OpenDevice(std::u16string_view, DWORD, DWORD, DWORD,
                                                     bool* is_device, DWORD*) override {
    *is_device = false;
    return nullptr;
  }
  std::shared_ptr<const qzplatform::Module> FindModule(std::u16string_view name) override {
    if (name != u"answer.dll") return nullptr;
    return std::make_shared<qzplatform::Module>(
        u"Answer.DLL", std::vector<qzplatform::Module::Entry>{{"Answer", qzplatform::Proc(Answer)}});
  }
  bool GetVersion(OSVERSIONINFOEXW*) override { return false; }
};

TEST(Modules, LoadFindHideAndFree) {
  qzplatform::SetGround(std::make_shared<OneModuleGround>());
  const std::u16string name = u"ANSWER.dll";  // names are not case-sensitive
  HMODULE m = LoadLibraryW(qzplatform::AsWide(name));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(LoadLibraryW(qzplatform::AsWide(name)), m);
  EXPECT_EQ(GetProcAddress(m, "Answer")(), 42);
  EXPECT_EQ(GetProcAddress(m, "Question"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  qzplatform::HideEntry(u"answer.dll", "Answer");
  EXPECT_EQ(GetProcAddress(m, "Answer"), nullptr);
  qzplatform::RevealAll();
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_FALSE(FreeLibrary(m));  // both references released
  EXPECT_EQ(GetProcAddress(m, "Answer"), nullptr);

  qzplatform::HideModule(u"Answer.dll");
  EXPECT_EQ(LoadLibraryW(qzplatform::AsWide(name)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  qzplatform::RevealAll();
  EXPECT_EQ(LoadLibraryW(qzplatform::AsWide(std::u16string(u"other.dll"))), nullptr);
  qzplatform::SetGround(nullptr);
}

TEST(MessageTexts, SystemTextsEndInALineBreakAndNeedRoom) {
  WCHAR buffer[128];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           ERROR_FILE_NOT_FOUND, 0, buffer, 128, nullptr);
  EXPECT_EQ(std::u16string(qzplatform::AsChar16(buffer), n),
            u"The system cannot find the file specified.\r\n");
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer,
                           10, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x12345678, 0, buffer, 128, nullptr),
            0u);
}

TEST(CodePage, AnsiIsLatin1WithQuestionMarksForTheRest) {
  const std::u16string text = u"A\u00e9\u20ac";
  char out[8] = {};
  BOOL used = FALSE;
  int n = WideCharToMultiByte(CP_ACP, 0, qzplatform::AsWide(text), 3, out, 8, nullptr, &used);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(std::string(out, 3), "A\xe9?");
  EXPECT_TRUE(used);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, qzplatform::AsWide(text), 3, out, 2, nullptr, nullptr),
            0);
  WCHAR back[8];
  n = MultiByteToWideChar(CP_ACP, 0, "\xe9\xff", 2, back, 8);
  EXPECT_EQ(std::u16string(qzplatform::AsChar16(back), n), u"\u00e9\u00ff");
}

TEST(Utf8, RoundTripsAndReplacesBrokenSequences) {
  const std::u16string text = u"a\u00e9\u20ac\U0001F600";
  EXPECT_EQ(qzplatform::FromUtf8(qzplatform::ToUtf8(text)), text);
  EXPECT_EQ(qzplatform::FromUtf8("a\xff" "b\xe2\x82"), u"a\ufffdb\ufffd\ufffd");
  EXPECT_EQ(qzplatform::ToUtf8(u"\xd800x"), "\xef\xbf\xbdx");
}

TEST(DebugOutput, IsCapturedInOrder) {
  qzplatform::CaptureDebugOutput(true);
  OutputDebugStringW(qzplatform::AsWide(std::u16string(u"one")));
  OutputDebugStringW(qzplatform::AsWide(std::u16string(u"two")));
  EXPECT_EQ(qzplatform::TakeDebugOutput(), (std::vector<std::u16string>{u"one", u"two"}));
  EXPECT_TRUE(qzplatform::TakeDebugOutput().empty());
  qzplatform::CaptureDebugOutput(false);
}

}  // namespace
