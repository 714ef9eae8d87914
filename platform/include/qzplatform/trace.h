// QZ_TRACE: one line on standard error per system-interface call of the active ground,
// with its arguments, its result and, when it fails, the last error. An entry is traced
// by registering Traced<"Name", &Entry> in its place; off, that costs one flag test.
#pragma once

#ifndef _WIN32

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

#include "qzplatform/ground.h"

namespace qzplatform::trace {

// The families QZ_TRACE names, one bit each.
enum Family : unsigned { kHid = 1, kSetupApi = 2, kCfgMgr = 4, kFile = 8 };

// The families switched on: read from QZ_TRACE when the program starts.
extern std::atomic<unsigned> enabled;

// The mask for a QZ_TRACE value: "1" or "all" for every family, else a comma list of
// "hid", "setupapi", "cfgmgr" and "file"; unknown names are ignored.
unsigned ParseFamilies(std::string_view families);

// A call's name as a template argument.
template <std::size_t N>
struct CallName {
  char text[N];
  constexpr CallName(const char (&name)[N]) { std::copy_n(name, N, text); }
  constexpr std::string_view view() const { return {text, N - 1}; }
};

// The family a call's name belongs to, by its prefix.
constexpr Family FamilyOf(std::string_view name) {
  if (name.starts_with("Hid") || name.starts_with("QzHid")) return kHid;
  if (name.starts_with("SetupDi")) return kSetupApi;
  if (name.starts_with("CM_") || name.starts_with("Zw")) return kCfgMgr;
  return kFile;
}

// Appends one argument or result as the line shows it.
void Append(std::string& line, long long value);
void Append(std::string& line, unsigned long long value);
void Append(std::string& line, const void* pointer);
void Append(std::string& line, const WCHAR* text);  // quoted, or null

template <typename T>
void AppendValue(std::string& line, const T& value) {
  if constexpr (std::is_pointer_v<T>)
    Append(line, static_cast<const void*>(value));
  else if constexpr (std::is_enum_v<T>)
    Append(line, static_cast<long long>(value));
  else if constexpr (std::is_signed_v<T>)
    Append(line, static_cast<long long>(value));
  else if constexpr (std::is_unsigned_v<T>)
    Append(line, static_cast<unsigned long long>(value));
  else
    line += "{...}";
}
// A text argument shows as text; a WCHAR buffer to fill, maybe unterminated, as a pointer.
inline void AppendValue(std::string& line, const WCHAR* const& text) { Append(line, text); }

// Whether a result means failure with the reason in the last error: FALSE from a
// BOOL or BOOLEAN call, INVALID_HANDLE_VALUE from a handle-returning one.
template <typename R>
bool Failed(const R& result) {
  if constexpr (std::is_same_v<R, BOOL> || std::is_same_v<R, BOOLEAN>)
    return result == 0;
  else if constexpr (std::is_pointer_v<R>)
    return static_cast<const void*>(result) == static_cast<const void*>(INVALID_HANDLE_VALUE);
  else
    return false;
}

// Writes "qz-trace <call>(<args>)[ -> <result>]" as one line in one write.
void Write(std::string_view call, std::string_view args, std::string_view result);

template <CallName name, auto F>
struct Thunk;

template <CallName name, typename R, typename... A, R (*F)(A...)>
struct Thunk<name, F> {
  static constexpr unsigned kFamily = FamilyOf(name.view());

  // Off, a flag test and a jump to the entry; the tracing itself is out of the way.
  static R WINAPI Call(A... args) {
    if (enabled.load(std::memory_order_relaxed) & kFamily) [[unlikely]]
      return CallAndTrace(args...);
    return F(args...);
  }

 private:
  [[gnu::noinline, gnu::cold]] static R CallAndTrace(A... args) {
    if constexpr (std::is_void_v<R>) {
      F(args...);
      Write(name.view(), Arguments(args...), {});
    } else {
      R result = F(args...);
      const DWORD error = GetLastError();
      std::string shown;
      AppendValue(shown, result);
      if (Failed(result)) shown += " error=" + std::to_string(error);
      Write(name.view(), Arguments(args...), shown);
      SetLastError(error);
      return result;
    }
  }

  static std::string Arguments(const A&... args) {
    std::string text;
    bool first = true;
    ((text += first ? "" : ", ", first = false, AppendValue(text, args)), ...);
    return text;
  }
};

// The traced stand-in for the entry F named `name`: the same signature.
template <CallName name, auto F>
inline constexpr auto Traced = &Thunk<name, F>::Call;

// A module table's entry `name` over F, traced.
template <CallName name, auto F>
Module::Entry TracedEntry() {
  return {std::string(name.view()), Proc(Traced<name, F>)};
}

}  // namespace qzplatform::trace

#endif  // !_WIN32
