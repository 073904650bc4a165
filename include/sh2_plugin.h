/*
 * SH-2 interpreter plug-in: the interface between a host emulator and the
 * library.
 *
 * The host fills an SH2HostInterface with six memory callbacks, three blocks of
 * host memory used for instruction fetch and a message callback, calls
 * InitSH2Plugin once, drives both processors with SH2RunCycles and calls
 * DeInitPlugin once at the end.
 *
 * Host memory blocks hold emulated (big-endian) memory as 32-bit words in host
 * byte order: the 32-bit value at emulated address A (A a multiple of 4) is the
 * host word at byte offset A, and the 16-bit value at even address A is the
 * host halfword at byte offset A XOR 2. Block 0 (at least 0x80000 bytes) serves
 * addresses whose bits 20..27 are 0, block 1 (at least 0x100000 bytes) those
 * whose bits 20..27 are 0x02, block 2 (at least 0x200000 bytes) all others.
 */
#ifndef SH2_PLUGIN_H
#define SH2_PLUGIN_H

#include <stdint.h>

#include "sh2_plugin_version.h"

#if defined(_WIN32) && !defined(_WIN64)
#define SH2_FASTCALL __fastcall
#define SH2_CDECL __cdecl
#else
#define SH2_FASTCALL
#define SH2_CDECL
#endif

#if defined(_WIN32)
#if defined(SH2_PLUGIN_BUILDING)
#define SH2_EXPORT __declspec(dllexport)
#else
#define SH2_EXPORT
#endif
#else
#if defined(SH2_PLUGIN_BUILDING)
#define SH2_EXPORT __attribute__((visibility("default")))
#else
#define SH2_EXPORT
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Memory callbacks: the address comes first, the value second. Only the low 8
 * (byte) or 16 (word) bits of a read result are used; the bits of a write value
 * above the low 8 or 16 are unspecified and must be ignored. Word and long
 * values are the big-endian quantities the emulated processor sees, as
 * numbers. */
typedef uint8_t(SH2_FASTCALL *HostReadByteFn)(uint32_t address);
typedef uint16_t(SH2_FASTCALL *HostReadWordFn)(uint32_t address);
typedef uint32_t(SH2_FASTCALL *HostReadLongFn)(uint32_t address);
typedef void(SH2_FASTCALL *HostWriteByteFn)(uint32_t address, uint32_t value);
typedef void(SH2_FASTCALL *HostWriteWordFn)(uint32_t address, uint32_t value);
typedef void(SH2_FASTCALL *HostWriteLongFn)(uint32_t address, uint32_t value);

/* Shows one line of text; the colour is always 0x0032FF32. */
typedef void(SH2_CDECL *HostMessageFn)(const char *text, uint32_t colour);

/* Ten pointer-sized words, in this order. The record may be discarded once
 * InitSH2Plugin returns; callbacks and blocks must stay valid until
 * DeInitPlugin. */
typedef struct SH2HostInterface {
    HostReadByteFn ReadByte;
    HostReadWordFn ReadWord;
    HostReadLongFn ReadLong;
    HostWriteByteFn WriteByte;
    HostWriteWordFn WriteWord;
    HostWriteLongFn WriteLong;
    void *MemoryBlock0;
    void *MemoryBlock1;
    void *MemoryBlock2;
    HostMessageFn ShowMessage;
} SH2HostInterface;

/* Returns 1 when both processors were created, 0 otherwise (also for a null
 * record). */
SH2_EXPORT uint8_t SH2_CDECL InitSH2Plugin(const SH2HostInterface *host);
SH2_EXPORT void SH2_CDECL DeInitPlugin(void);
SH2_EXPORT void SH2_CDECL DisplayPluginInfo(void);
SH2_EXPORT void SH2_CDECL SetupPlugin(void);
/* Runs the master for a slice of `cycles`, then the slave if it is switched
 * on; returns the cycles the master executed. */
SH2_EXPORT int32_t SH2_CDECL SH2RunCycles(int32_t cycles);
SH2_EXPORT void SH2_CDECL ResetMasterSH2(void);
SH2_EXPORT void SH2_CDECL ResetSlaveSH2(void);
SH2_EXPORT void SH2_CDECL SlaveSH2On(void);
SH2_EXPORT void SH2_CDECL SlaveSH2Off(void);
/* Only the low 8 bits of vector and level are used; levels 1..15 queue a
 * request, 0 and levels above 15 are dropped. */
SH2_EXPORT void SH2_CDECL MasterSH2InterruptRequest(uint32_t vector, uint32_t level);
SH2_EXPORT void SH2_CDECL SlaveSH2InterruptRequest(uint32_t vector, uint32_t level);
SH2_EXPORT void SH2_CDECL MasterSH2InputCaptureSignal(void);
SH2_EXPORT void SH2_CDECL SlaveSH2InputCaptureSignal(void);
SH2_EXPORT void SH2_CDECL MasterSH2SetPC(uint32_t address);

/* The fourteen exports as pointer types, for hosts that look them up at run
 * time (dlsym, GetProcAddress). */
typedef uint8_t(SH2_CDECL *InitSH2PluginFn)(const SH2HostInterface *host);
typedef void(SH2_CDECL *DeInitPluginFn)(void);
typedef void(SH2_CDECL *DisplayPluginInfoFn)(void);
typedef void(SH2_CDECL *SetupPluginFn)(void);
typedef int32_t(SH2_CDECL *SH2RunCyclesFn)(int32_t cycles);
typedef void(SH2_CDECL *ResetMasterSH2Fn)(void);
typedef void(SH2_CDECL *ResetSlaveSH2Fn)(void);
typedef void(SH2_CDECL *SlaveSH2OnFn)(void);
typedef void(SH2_CDECL *SlaveSH2OffFn)(void);
typedef void(SH2_CDECL *MasterSH2InterruptRequestFn)(uint32_t vector, uint32_t level);
typedef void(SH2_CDECL *SlaveSH2InterruptRequestFn)(uint32_t vector, uint32_t level);
typedef void(SH2_CDECL *MasterSH2InputCaptureSignalFn)(void);
typedef void(SH2_CDECL *SlaveSH2InputCaptureSignalFn)(void);
typedef void(SH2_CDECL *MasterSH2SetPCFn)(uint32_t address);

#ifdef __cplusplus
}
#endif

#endif /* SH2_PLUGIN_H */
