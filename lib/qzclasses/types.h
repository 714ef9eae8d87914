// Enumerations and event types shared by the library's components.
#pragma once

#include <cstdint>

#include "qzclasses/component.h"
#include "qzclasses/method.h"
#include "qzclasses/text.h"

namespace qz {

class TqzBaseIO;

enum TDetailLevel { dlSimple, dlDetail, dlDebug };
enum TTerminalUsage { tuNone, tuSend, tuReceive, tuBoth };
enum TIgnoreType { itTerminal, itEventList, itAfterReceive, itTraceState };
// A set of TIgnoreType values, bit n for value n.
using TIgnoreTypes = std::uint8_t;

inline constexpr TIgnoreTypes IgnoreBit(TIgnoreType type) {
  return static_cast<TIgnoreTypes>(1u << static_cast<unsigned>(type));
}

using TNotifyEvent = Method<void(Component* Sender)>;
// The handler clears RaiseException to suppress the error.
using TOnFatalErrorEvent = Method<void(Component* Sender, std::uint32_t ErrorCode,
                                       std::uint32_t Detail, const Text& ErrorMsg,
                                       bool& RaiseException)>;
// A listener of an I/O component; code 3: the device list or the selected device changed.
using TqzNotifyEvent = Method<void(Component* Sender, std::int32_t Code)>;
// The buffer is valid only during the call.
using TOnReceived = Method<void(TqzBaseIO* Com, const void* Buffer, std::uint32_t Received)>;
// Setting flHandled takes the send over; the handler may rewrite the bytes in place.
using TDataSendEvent = Method<void(Component* Sender, char* ptrBuffer, std::uint32_t Len,
                                   bool flSynchro, bool& flHandled)>;

}  // namespace qz
