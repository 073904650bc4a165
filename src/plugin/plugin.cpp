// The fourteen exported entry points. Every export that reaches a core does
// nothing (SH2RunCycles returns 0) while the library is not initialised.
//
// Re-entry: the exports that call the host (memory callbacks, the message
// callback) may be called again from inside those callbacks. A nested
// SH2RunCycles runs nothing and returns 0, a nested InitSH2Plugin is
// refused (returns 0, changes nothing), and a nested DeInitPlugin takes
// effect when the outermost export returns, so that no core is freed or
// replaced while the library still uses it. Every other export works from a
// callback as it does between calls.
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

void DeInitialise() {
    if (MasterCore == nullptr && SlaveCore == nullptr && HostMessage == nullptr) {
        return;  // not initialised
    }
    DestroyCores();
    SlaveEnabled = 0;
    // The message callback sees the library already shut down.
    const HostMessageFn message = HostMessage;
    HostMessage = nullptr;
    if (message != nullptr) {
        message(kDeinitialisationText, MessageColour);
    }
}

uint8_t Initialise(const SH2HostInterface *host) {
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

// The export that called the host and has not returned yet: the frame of its
// call (0 when none), and whether a callback asked for DeInitPlugin.
struct ExportUnderWay {
    uintptr_t frame;
    bool deinitRequested;
};
ExportUnderWay underWay{0, false};

// Stacks grow down on every target: a call made from inside a host callback
// has its frame below that of the export under way. A host that left a
// callback by longjmp (sh2run's exit port does) abandoned that export; its
// next call, made from as high on the stack, finds it over.
#define SH2_THIS_FRAME reinterpret_cast<uintptr_t>(__builtin_frame_address(0))

// The outermost export returns: a DeInitPlugin asked for meanwhile happens.
void LeaveExport() {
    const bool deinit = underWay.deinitRequested;
    underWay = {0, false};
    if (deinit) DeInitialise();
}

// Called first by every export that may call the host: false when that
// export was called from inside a callback of another (nested), true when
// it is now the export under way, which must then call LeaveExport() as it
// returns. (No object with a destructor does this: a host may leave the
// library by longjmp.)
bool EnterExport(uintptr_t frame) {
    if (underWay.frame != 0 && frame >= underWay.frame) {
        LeaveExport();  // the export under way was abandoned: it is over
    }
    if (underWay.frame != 0) return false;
    underWay = {frame, false};
    return true;
}

}  // namespace

}  // namespace sh2

using namespace sh2;

extern "C" {

SH2_EXPORT uint8_t SH2_CDECL InitSH2Plugin(const SH2HostInterface *host) {
    if (!EnterExport(SH2_THIS_FRAME)) {
        return 0;  // the cores in use stay
    }
    const uint8_t created = Initialise(host);
    LeaveExport();
    return created;
}

SH2_EXPORT void SH2_CDECL DeInitPlugin(void) {
    if (!EnterExport(SH2_THIS_FRAME)) {
        underWay.deinitRequested = true;
        return;
    }
    DeInitialise();
    LeaveExport();
}

SH2_EXPORT void SH2_CDECL DisplayPluginInfo(void) {
    ShowModalBox("About", kAboutText, kBoxInformationIcon);
}

SH2_EXPORT void SH2_CDECL SetupPlugin(void) {
    const bool outermost = EnterExport(SH2_THIS_FRAME);
    SendMessage(kNoOptionsText);
    if (outermost) LeaveExport();
}

SH2_EXPORT int32_t SH2_CDECL SH2RunCycles(int32_t cycles) {
    if (!EnterExport(SH2_THIS_FRAME)) {
        return 0;  // a nested call leaves the slice under way alone
    }
    if (MasterCore == nullptr) {  // (also after a deferred DeInitPlugin just carried out)
        LeaveExport();
        return 0;
    }
    Round round = StartRound(cycles);
    Unwatched unwatched;
    RunRound(round, unwatched);
    LeaveExport();
    return round.masterCycles;
}

// A reset reads its vectors from the host.
SH2_EXPORT void SH2_CDECL ResetMasterSH2(void) {
    const bool outermost = EnterExport(SH2_THIS_FRAME);
    if (MasterCore != nullptr) {
        ResetCore(*MasterCore);
    }
    if (outermost) LeaveExport();
}

SH2_EXPORT void SH2_CDECL ResetSlaveSH2(void) {
    const bool outermost = EnterExport(SH2_THIS_FRAME);
    if (SlaveCore != nullptr) {
        ResetCore(*SlaveCore);
    }
    if (outermost) LeaveExport();
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
