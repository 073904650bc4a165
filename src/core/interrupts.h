// Pending interrupt requests, their acceptance at the end of a slice and the
// exception the library raises itself (vector 11).
#pragma once

#include <cstdint>

#include "core/sh2_core.h"

namespace sh2 {

inline constexpr uint32_t kRequestedExceptionVector = 11;

// Queues a request of `level` with `vector`. Level 0, levels above 15 and a
// level that is already pending are dropped (the first vector stays).
void RequestInterrupt(SH2Core &core, uint8_t vector, uint8_t level);

// Accepts the highest pending level if it is above SR's interrupt mask:
// pushes SR then PC through the host's WriteLong, raises the mask to the
// level, loads PC through the host's ReadLong at VBR + 4 * vector and sets
// Interrupting.
void AcceptInterrupt(SH2Core &core);

// Pushes SR and PC like AcceptInterrupt, sets the mask to 15 and loads PC from
// VBR + 44.
void EnterRequestedException(SH2Core &core);

inline void SetExceptionRequest(SH2Core &core) {
    core.exceptionRequest = 1;
}

}  // namespace sh2
