// The fourteen exported entry points. Every export that reaches a core does
// nothing (SH2RunCycles returns 0) while the library is not initialised.
#include "bus/free_running_timer.h"
#include "core/interrupts.h"
#include "core/platform.h"
#include "plugin/plugin_state.h"
#include "plugin/round.h"

namespace sh2 {

SH2Core *MasterCore = nullptr;
SH2Core *SlaveCore = nullptr;
uint8_t SlaveEnabled = 0;
HostMessageFn HostMessage = nullptr;

namespace {

void SendMessage(const char *text) {
    if (HostMessage != nullptr) {
        HostMessage(text, MessageColour);
    }
}

void DestroyCores() {
    DestroyCore(MasterCore);
    MasterCore = nullptr;
    DestroyCore(SlaveCore);
    SlaveCore = nullptr;
}

}  // namespace

}  // namespace sh2

using namespace sh2;

extern "C" {

SH2_EXPORT uint8_t SH2_CDECL InitSH2Plugin(const SH2HostInterface *host) {
    // A second initialisation replaces the cores of the first.
    DestroyCores();
    SlaveEnabled = 0;
    if (host == nullptr) {
        HostMessage = nullptr;
        return 0;
    }
    HostMessage = host->ShowMessage;
    MasterCore = CreateCore(true, *host);
    SlaveCore = CreateCore(false, *host);
    if (MasterCore == nullptr || SlaveCore == nullptr) {
        SendMessage(kInitialisationFailedText);
        return 0;
    }
    SendMessage(kInitialisationOkText);
    return 1;
}

SH2_EXPORT void SH2_CDECL DeInitPlugin(void) {
    if (MasterCore == nullptr && SlaveCore == nullptr && HostMessage == nullptr) {
        return;  // not initialised
    }
    DestroyCores();
    SlaveEnabled = 0;
    SendMessage(kDeinitialisationText);
    HostMessage = nullptr;
}

SH2_EXPORT void SH2_CDECL DisplayPluginInfo(void) {
    ShowModalBox("About", kAboutText, kBoxInformationIcon);
}

SH2_EXPORT void SH2_CDECL SetupPlugin(void) {
    SendMessage(kNoOptionsText);
}

SH2_EXPORT int32_t SH2_CDECL SH2RunCycles(int32_t cycles) {
    if (MasterCore == nullptr) {
        return 0;
    }
    Round round = StartRound(cycles);
    Unwatched unwatched;
    RunRound(round, unwatched);
    return round.masterCycles;
}

SH2_EXPORT void SH2_CDECL ResetMasterSH2(void) {
    if (MasterCore != nullptr) {
        ResetCore(*MasterCore);
    }
}

SH2_EXPORT void SH2_CDECL ResetSlaveSH2(void) {
    if (SlaveCore != nullptr) {
        ResetCore(*SlaveCore);
    }
}

SH2_EXPORT void SH2_CDECL SlaveSH2On(void) {
    if (SlaveCore != nullptr) {
        SlaveEnabled = 1;
    }
}

SH2_EXPORT void SH2_CDECL SlaveSH2Off(void) {
    SlaveEnabled = 0;
}

SH2_EXPORT void SH2_CDECL MasterSH2InterruptRequest(uint32_t vector, uint32_t level) {
    if (MasterCore != nullptr) {
        RequestInterrupt(*MasterCore, static_cast<uint8_t>(vector), static_cast<uint8_t>(level));
    }
}

SH2_EXPORT void SH2_CDECL SlaveSH2InterruptRequest(uint32_t vector, uint32_t level) {
    if (SlaveCore != nullptr && SlaveEnabled != 0) {
        RequestInterrupt(*SlaveCore, static_cast<uint8_t>(vector), static_cast<uint8_t>(level));
    }
}

SH2_EXPORT void SH2_CDECL MasterSH2InputCaptureSignal(void) {
    if (MasterCore != nullptr) {
        CaptureInput(*MasterCore);
    }
}

SH2_EXPORT void SH2_CDECL SlaveSH2InputCaptureSignal(void) {
    if (SlaveCore != nullptr) {
        CaptureInput(*SlaveCore);
    }
}

SH2_EXPORT void SH2_CDECL MasterSH2SetPC(uint32_t address) {
    if (MasterCore != nullptr) {
        MasterCore->PC = address;
        ClearUndefinedOpcodeStop(*MasterCore);
    }
}

}  // extern "C"
