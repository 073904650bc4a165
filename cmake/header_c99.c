/* The public header as a C99 host includes it: every declaration and typedef
 * used once, so that a C compiler sees them all. */
#include "sh2_plugin.h"

#include <stddef.h>

#if !defined(SH2_PLUGIN_VERSION_MAJOR) || !defined(SH2_PLUGIN_VERSION_STRING)
#error "sh2_plugin.h does not give the version"
#endif

const char *sh2_header_c99_version(void);
const char *sh2_header_c99_version(void) {
    return SH2_PLUGIN_VERSION_STRING;
}

int sh2_header_c99_check(void);
int sh2_header_c99_check(void) {
    InitSH2PluginFn init = InitSH2Plugin;
    DeInitPluginFn deinit = DeInitPlugin;
    DisplayPluginInfoFn about = DisplayPluginInfo;
    SetupPluginFn setup = SetupPlugin;
    SH2RunCyclesFn run = SH2RunCycles;
    ResetMasterSH2Fn reset_master = ResetMasterSH2;
    ResetSlaveSH2Fn reset_slave = ResetSlaveSH2;
    SlaveSH2OnFn slave_on = SlaveSH2On;
    SlaveSH2OffFn slave_off = SlaveSH2Off;
    MasterSH2InterruptRequestFn master_irq = MasterSH2InterruptRequest;
    SlaveSH2InterruptRequestFn slave_irq = SlaveSH2InterruptRequest;
    MasterSH2InputCaptureSignalFn master_capture = MasterSH2InputCaptureSignal;
    SlaveSH2InputCaptureSignalFn slave_capture = SlaveSH2InputCaptureSignal;
    MasterSH2SetPCFn set_pc = MasterSH2SetPC;
    SH2HostInterface host = {NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL};
    return (init != NULL) + (deinit != NULL) + (about != NULL) + (setup != NULL) + (run != NULL) +
           (reset_master != NULL) + (reset_slave != NULL) + (slave_on != NULL) + (slave_off != NULL) +
           (master_irq != NULL) + (slave_irq != NULL) + (master_capture != NULL) + (slave_capture != NULL) +
           (set_pc != NULL) + (host.ReadByte == NULL);
}
