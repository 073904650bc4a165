// The library-wide state that ties the exports to the two processors.
#pragma once

#include <cstdint>

#include "core/sh2_core.h"

namespace sh2 {

// Colour of every line sent to the host's message callback (0x00BBGGRR).
inline constexpr uint32_t MessageColour = 0x0032FF32;

inline constexpr const char *kAboutText = "SH2 interpreter plugin Ver 1.2";
inline constexpr const char *kInitialisationOkText = "SH2 interpreter plugin Ver 1.2: initialisation OK!";
inline constexpr const char *kInitialisationFailedText = "SH2 interpreter plugin Ver 1.2: initialisation failed!";
inline constexpr const char *kNoOptionsText = "SH2 interpreter plugin Ver 1.2: no options for this plugin";
inline constexpr const char *kDeinitialisationText = "SH2 interpreter plugin Ver 1.2: deinitialisation";

extern SH2Core *MasterCore;
extern SH2Core *SlaveCore;
extern uint8_t SlaveEnabled;
extern HostMessageFn HostMessage;

}  // namespace sh2
