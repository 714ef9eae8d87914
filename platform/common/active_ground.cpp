// The active ground, and what a ground answers when it does not say otherwise.
#include <chrono>
#include <ctime>
#include <mutex>

#include "qzplatform/ground.h"

namespace qzplatform {
namespace {

std::mutex ground_mutex;
std::shared_ptr<Ground> active_ground;

}  // namespace

void SetGround(std::shared_ptr<Ground> ground) {
  std::lock_guard lock(ground_mutex);
  active_ground = std::move(ground);
}

std::shared_ptr<Ground> CurrentGround() {
  std::lock_guard lock(ground_mutex);
  return active_ground;
}

void Ground::GetLocalTime(SYSTEMTIME* time) { SystemLocalTime(time); }

void SystemLocalTime(SYSTEMTIME* time) {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  time->wYear = static_cast<WORD>(tm.tm_year + 1900);
  time->wMonth = static_cast<WORD>(tm.tm_mon + 1);
  time->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
  time->wDay = static_cast<WORD>(tm.tm_mday);
  time->wHour = static_cast<WORD>(tm.tm_hour);
  time->wMinute = static_cast<WORD>(tm.tm_min);
  time->wSecond = static_cast<WORD>(tm.tm_sec);
  time->wMilliseconds =
      static_cast<WORD>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
}

}  // namespace qzplatform
