// The library-wide state that ties the exports to the two processors.
#pragma once

#include <cstdint>

#include "core/sh2_core.h"
#include "plugin/version.h"

namespace sh2 {

// Colour of every line sent to the host's message callback (0x00BBGGRR).
inline constexpr uint32_t MessageColour = 0x0032FF32;

#define SH2_PLUGIN_NAME "SH2 interpreter plugin Ver " SH2_PLUGIN_VERSION

inline constexpr const char *kAboutText = SH2_PLUGIN_NAME;
inline constexpr const char *kInitialisationOkText = SH2_PLUGIN_NAME ": initialisation OK!";
inline constexpr const char *kInitialisationFailedText = SH2_PLUGIN_NAME ": initialisation failed!";
inline constexpr const char *kNoOptionsText = SH2_PLUGIN_NAME ": no options for this plugin";
inline constexpr const char *kDeinitialisationText = SH2_PLUGIN_NAME ": deinitialisation";

extern SH2Core *MasterCore;
extern SH2Core *SlaveCore;
extern uint8_t SlaveEnabled;
extern HostMessageFn HostMessage;

}  // namespace sh2
