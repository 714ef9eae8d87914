// The messages between a sim machine and a program sharing it: one request and one
// reply per SetupAPI call, as packets of fixed-layout fields.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

namespace qzplatform::sim {

// True on the thread that carries out a sharing program's calls.
bool ServingSharedProcess();

namespace shared {

inline constexpr std::size_t kMaxMessage = 65536;

enum class Op : std::uint32_t {
  kCreateList = 1,     // has GUID (u8), GUID  -> ok, error, set (u64)
  kOpenInfo = 2,       // set, flags, has info (u8), info, length (u32), UTF-16 ID -> ok, error, info
  kSetParams = 3,      // set, has info, info, has params (u8), size (u32), bytes -> ok, error
  kCallInstaller = 4,  // function (u32), set, has info, info -> ok, error, info
  kDestroyList = 5,    // set -> ok, error
};

class Writer {
 public:
  template <typename T>
  void Put(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    PutBytes(&value, sizeof value);
  }
  void PutBytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
  }
  std::vector<std::uint8_t> bytes;
};

// Reads fields in order; once a field is missing every later read fails too.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  template <typename T>
  bool Get(T* value) {
    static_assert(std::is_trivially_copyable_v<T>);
    return GetBytes(value, sizeof *value);
  }
  bool GetBytes(void* out, std::size_t size) {
    if (!ok_ || size > size_ - at_) return ok_ = false;
    // An empty field (parameters being cleared) may come with no buffer at all.
    if (size > 0) std::memcpy(out, data_ + at_, size);
    at_ += size;
    return true;
  }
  bool ok() const { return ok_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

}  // namespace shared
}  // namespace qzplatform::sim
