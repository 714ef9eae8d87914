// Method references: a function together with the object it is called on.
#pragma once

#include <utility>

#include "qzclasses/errors.h"

namespace qz {

namespace detail {

template <typename MemFn>
struct MemberClass;
template <typename C, typename R, typename... A>
struct MemberClass<R (C::*)(A...)> {
  using type = C;
};
template <typename C, typename R, typename... A>
struct MemberClass<R (C::*)(A...) const> {
  using type = const C;
};

}  // namespace detail

template <typename Sig>
class Method;

// Holds (code, object). Two references are equal when they enter the same code, whatever
// their objects: this is how listener lists find and remove a listener.
template <typename R, typename... A>
class Method<R(A...)> {
 public:
  using CodePtr = R (*)(void*, A...);

  Method() = default;

  // A reference to object->*MemFn. The entry code is one function per member function,
  // so its address identifies the method. Bind members of classes with distinct names:
  // GCC gives these thunks vague linkage even for a class in an unnamed namespace, so two
  // such classes of one name in different files would share one thunk.
  template <auto MemFn, typename C>
  static Method Bind(C* object) {
    using Target = typename detail::MemberClass<decltype(MemFn)>::type;
    Target* target = object;
    return Method(&Thunk<MemFn>, const_cast<void*>(static_cast<const void*>(target)));
  }

  static Method FromCode(CodePtr code, void* object) { return Method(code, object); }

  bool Assigned() const { return code_ != nullptr; }
  explicit operator bool() const { return Assigned(); }

  R operator()(A... a) const {
    if (!code_) throw Error(u"Method reference is not assigned");
    return code_(object_, std::forward<A>(a)...);
  }

  CodePtr Code() const { return code_; }
  void* Object() const { return object_; }

  friend bool operator==(const Method& x, const Method& y) { return x.code_ == y.code_; }

 private:
  Method(CodePtr code, void* object) : code_(code), object_(object) {}

  template <auto MemFn>
  static R Thunk(void* object, A... a) {
    using Target = typename detail::MemberClass<decltype(MemFn)>::type;
    return (static_cast<Target*>(object)->*MemFn)(std::forward<A>(a)...);
  }

  CodePtr code_ = nullptr;
  void* object_ = nullptr;
};

}  // namespace qz
