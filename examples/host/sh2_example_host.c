/*
 * sh2_example_host: a minimal host for the SH-2 interpreter plug-in, written
 * against sh2_plugin.h alone.
 *
 *   sh2_example_host PLUGIN_PATH GUEST_BIN
 *
 * loads the plug-in at run time (dlopen/dlsym, or LoadLibraryA/GetProcAddress
 * on Windows). Built with -DSH2_EXAMPLE_HOST_LINKED and linked against the
 * library it calls the exports directly and takes GUEST_BIN alone (a
 * PLUGIN_PATH before it is accepted and ignored).
 *
 * GUEST_BIN is a raw big-endian SH-2 image loaded at address 0 (guest.s, built
 * by build_guest.sh); its first four longs are the master's power-on PC and SP
 * and the slave's entry and SP. The host gives both processors the same
 * memory: three blocks in the plug-in's format and a few ports at 0x01000000
 * (listed in guest.s). What a port asks for is recorded by the memory callback
 * and done after SH2RunCycles returns, between slices. Every check prints
 * "ok ..." or "FAIL ..."; the exit status is 0 only when all of them passed.
 * The plug-in creates its two (empty) log files in the current directory.
 */
#if !defined(_WIN32) && !defined(_POSIX_C_SOURCE)
#define _POSIX_C_SOURCE 200809L
#endif

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sh2_plugin.h"

#if defined(SH2_EXAMPLE_HOST_LINKED)
#elif defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

/* ---------------------------------------------------------------- exports */

typedef void (*AnyFn)(void); /* converts to and from every function pointer */

enum {
    IX_InitSH2Plugin, IX_DeInitPlugin, IX_DisplayPluginInfo, IX_SetupPlugin,
    IX_SH2RunCycles, IX_ResetMasterSH2, IX_ResetSlaveSH2, IX_SlaveSH2On,
    IX_SlaveSH2Off, IX_MasterSH2InterruptRequest, IX_SlaveSH2InterruptRequest,
    IX_MasterSH2InputCaptureSignal, IX_SlaveSH2InputCaptureSignal,
    IX_MasterSH2SetPC, EXPORT_COUNT
};

#if defined(SH2_EXAMPLE_HOST_LINKED)
#define EXPORT(name) { #name, (AnyFn)name }
#else
#define EXPORT(name) { #name, NULL }
#endif

static struct { const char *name; AnyFn fn; } exports[EXPORT_COUNT] = {
    EXPORT(InitSH2Plugin), EXPORT(DeInitPlugin), EXPORT(DisplayPluginInfo),
    EXPORT(SetupPlugin), EXPORT(SH2RunCycles), EXPORT(ResetMasterSH2),
    EXPORT(ResetSlaveSH2), EXPORT(SlaveSH2On), EXPORT(SlaveSH2Off),
    EXPORT(MasterSH2InterruptRequest), EXPORT(SlaveSH2InterruptRequest),
    EXPORT(MasterSH2InputCaptureSignal), EXPORT(SlaveSH2InputCaptureSignal),
    EXPORT(MasterSH2SetPC)};

#define PLUGIN(name) ((name##Fn)exports[IX_##name].fn)

/* Fills the table from the library at path; 0 when something is missing. */
static int load_plugin(const char *path) {
#if defined(SH2_EXAMPLE_HOST_LINKED)
    (void)path;
#else
    int i;
#if defined(_WIN32)
    HMODULE library = LoadLibraryA(path);
    if (library == NULL) {
        fprintf(stderr, "cannot load %s (error %lu)\n", path, (unsigned long)GetLastError());
        return 0;
    }
#else
    void *library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return 0;
    }
#endif
    for (i = 0; i < EXPORT_COUNT; ++i) {
#if defined(_WIN32)
        exports[i].fn = (AnyFn)GetProcAddress(library, exports[i].name);
#else
        void *symbol = dlsym(library, exports[i].name);
        memcpy(&exports[i].fn, &symbol, sizeof exports[i].fn);
#endif
        if (exports[i].fn == NULL) {
            fprintf(stderr, "%s: no export %s\n", path, exports[i].name);
            return 0;
        }
    }
    /* The library stays loaded until the process ends. */
#endif
    return 1;
}

/* ----------------------------------------------------------------- memory */

static uint32_t *blocks[3];
static const uint32_t block_sizes[3] = {0x80000u, 0x100000u, 0x200000u};
static const uint32_t block_masks[3] = {0x7FFFFu, 0x1FFFFFu, 0x1FFFFFu};

/* The host word holding emulated address a (bits 28..31 play no part). */
static uint32_t *word_at(uint32_t a) {
    uint32_t region = a & 0x0FF00000u;
    int b = region == 0 ? 0 : region == 0x00200000u ? 1 : 2;
    return &blocks[b][(a & block_masks[b]) >> 2];
}

static uint32_t peek_long(uint32_t a) { return *word_at(a); }
static void poke_long(uint32_t a, uint32_t v) { *word_at(a) = v; }
static void poke_byte(uint32_t a, uint32_t v) {
    uint32_t shift = 8u * (3u - (a & 3u));
    uint32_t *w = word_at(a);
    *w = (*w & ~(0xFFu << shift)) | ((v & 0xFFu) << shift);
}

/* ------------------------------------------------------------------ ports */

enum { MASTER, SLAVE };
static const char *const cpu_names[2] = {"master", "slave"};
#define RECORD(cpu, field) peek_long(0x00200000u + 0x40u * (uint32_t)(cpu) + (uint32_t)(field))
enum { BOOTS = 0, ENTRY = 4, STACK = 8, BCR1 = 12, IC_COUNT = 16, ICR = 20,
       IRQ_COUNT = 24, IRQ_SR = 28 };               /* record fields */
enum { EV_STARTED = 1, EV_IC_TAKEN, EV_WANT_IRQ, EV_IRQ_TAKEN, EV_RESTARTED };
static const uint32_t irq_vectors[2] = {0x50, 0x51}, irq_levels[2] = {6, 4};

static int round_number;
static char console[2][80];
static size_t console_length[2];
static struct { int cpu; uint32_t code; } requests[32]; /* what ports asked for */
static int request_count;
#define RAISE_CAPTURE 0x100u /* a request code beside the guest's events */

static int is_port(uint32_t a) { return (a & 0x0FFFFF00u) == 0x01000000u; }

static void port_write(uint32_t a, uint32_t v) {
    uint32_t port = a & 0xFFu;
    if (port == 0x00 || port == 0x04) {
        int cpu = port == 0x00 ? MASTER : SLAVE;
        char c = (char)(v & 0xFFu);
        if (c != '\n' && console_length[cpu] < sizeof console[cpu] - 1) console[cpu][console_length[cpu]++] = c;
        if (c == '\n') {
            console[cpu][console_length[cpu]] = '\0';
            printf("[round %3d] %s console: %s\n", round_number, cpu_names[cpu], console[cpu]);
            console_length[cpu] = 0;
        }
    } else if (request_count < (int)(sizeof requests / sizeof requests[0])) {
        if (port == 0x10 || port == 0x14) { /* raise the other side's input capture */
            requests[request_count].cpu = port == 0x10 ? SLAVE : MASTER;
            requests[request_count++].code = RAISE_CAPTURE;
        } else if (port == 0x18 || port == 0x1C) {
            requests[request_count].cpu = port == 0x18 ? MASTER : SLAVE;
            requests[request_count++].code = v;
        }
    }
}

/* The six callbacks: ports first, then the block the address selects. */
static uint8_t SH2_FASTCALL read_byte(uint32_t a) {
    return is_port(a) ? 0 : (uint8_t)(peek_long(a) >> (8u * (3u - (a & 3u))));
}
static uint16_t SH2_FASTCALL read_word(uint32_t a) {
    if (a & 1u) return (uint16_t)(read_byte(a) << 8 | read_byte(a + 1));
    return is_port(a) ? 0 : (uint16_t)(peek_long(a) >> ((a & 2u) ? 0 : 16));
}
static uint32_t long_reads[8]; /* ReadLong addresses, while counted */
static int long_read_count = -1;
static uint32_t SH2_FASTCALL read_long(uint32_t a) {
    if (long_read_count >= 0 && long_read_count < 8) long_reads[long_read_count++] = a;
    if (a & 3u) return (uint32_t)read_word(a) << 16 | read_word(a + 2);
    return is_port(a) ? 0 : peek_long(a);
}
static void SH2_FASTCALL write_byte(uint32_t a, uint32_t v) {
    if (is_port(a)) port_write(a, v & 0xFFu); else poke_byte(a, v);
}
static void SH2_FASTCALL write_word(uint32_t a, uint32_t v) {
    if (is_port(a)) { port_write(a, v & 0xFFFFu); return; }
    write_byte(a, v >> 8);
    write_byte(a + 1, v);
}
static void SH2_FASTCALL write_long(uint32_t a, uint32_t v) {
    if (is_port(a)) port_write(a, v);
    else if (a & 3u) { write_word(a, v >> 16); write_word(a + 2, v); }
    else poke_long(a, v);
}

static int init_messages, wrong_colours;
static void SH2_CDECL show_message(const char *text, uint32_t colour) {
    printf("[round %3d] plug-in says: %s\n", round_number, text);
    if (colour != 0x0032FF32u) ++wrong_colours;
    if (strstr(text, "initialisation OK!") != NULL) ++init_messages;
}

/* ----------------------------------------------------------------- checks */

/* Whether the ReadLong calls counted were exactly the first count of these;
 * stops counting. */
static int long_reads_were(int count, uint32_t a0, uint32_t a1, uint32_t a2, uint32_t a3) {
    const uint32_t expected[4] = {a0, a1, a2, a3};
    int same = long_read_count == count && memcmp(long_reads, expected, (size_t)count * sizeof expected[0]) == 0;
    long_read_count = -1;
    return same;
}

static int passed, failed;
static void check(int condition, const char *format, ...) {
    va_list args;
    va_start(args, format);
    printf("%s ", condition ? "ok" : "FAIL");
    vprintf(format, args);
    printf("\n");
    va_end(args);
    if (condition) ++passed; else ++failed;
}

static uint32_t vectors[4]; /* the image's: master PC, SP, slave PC, SP */
static int raised_round[2], irq_round[2], master_irq_done, slave_restarted, finished;

/* The manual-reset vectors are shared: put this processor's pair in them. */
static void reset_cpu(int cpu) {
    poke_long(8, vectors[2 * cpu]);
    poke_long(12, vectors[2 * cpu + 1]);
    printf("[round %3d] host: %s entry 0x%08lX and SP 0x%08lX at 8 and 12, Reset%sSH2\n", round_number,
           cpu_names[cpu], (unsigned long)vectors[2 * cpu], (unsigned long)vectors[2 * cpu + 1],
           cpu == MASTER ? "Master" : "Slave");
    long_read_count = 0;
    if (cpu == MASTER) PLUGIN(ResetMasterSH2)(); else PLUGIN(ResetSlaveSH2)();
    check(long_reads_were(2, 8, 12, 0, 0), "Reset%sSH2 read the manual-reset vectors at 8 and 12",
          cpu == MASTER ? "Master" : "Slave");
}

static void check_start(int cpu, uint32_t boots) {
    uint32_t bcr1 = RECORD(cpu, BCR1);
    check(RECORD(cpu, BOOTS) == boots && RECORD(cpu, ENTRY) == vectors[2 * cpu] &&
              RECORD(cpu, STACK) == vectors[2 * cpu + 1] && ((bcr1 >> 15) & 1u) == (uint32_t)cpu,
          "%s %s at 0x%08lX with SP 0x%08lX, BCR1 0x%04lX, boot %lu", cpu_names[cpu],
          boots == 1 ? "started" : "restarted", (unsigned long)RECORD(cpu, ENTRY),
          (unsigned long)RECORD(cpu, STACK), (unsigned long)bcr1, (unsigned long)RECORD(cpu, BOOTS));
}

/* One port request, acted on between slices. */
static void act(int cpu, uint32_t code) {
    const char *name = cpu_names[cpu];
    if (code == RAISE_CAPTURE) {
        printf("[round %3d] host: %s asked for the %s's input capture: %sSH2InputCaptureSignal\n", round_number,
               cpu_names[!cpu], name, cpu == MASTER ? "Master" : "Slave");
        if (cpu == MASTER) PLUGIN(MasterSH2InputCaptureSignal)(); else PLUGIN(SlaveSH2InputCaptureSignal)();
        raised_round[cpu] = round_number;
        return;
    }
    printf("[round %3d] %s event %lu\n", round_number, name, (unsigned long)code);
    switch (code) {
    case EV_STARTED:
        check_start(cpu, 1);
        if (cpu == MASTER) { /* as a BIOS would: start the slave at its own entry */
            reset_cpu(SLAVE);
            printf("[round %3d] host: SlaveSH2On\n", round_number);
            PLUGIN(SlaveSH2On)();
        }
        break;
    case EV_IC_TAKEN:
        check(raised_round[cpu] != 0 && RECORD(cpu, IC_COUNT) == 1,
              "%s ran its input-capture interrupt handler once (raised after round %d, seen in round %d), ICR 0x%04lX",
              name, raised_round[cpu], round_number, (unsigned long)RECORD(cpu, ICR));
        break;
    case EV_WANT_IRQ:
        printf("[round %3d] host: %sSH2InterruptRequest(0x%02lX, %lu)\n", round_number,
               cpu == MASTER ? "Master" : "Slave", (unsigned long)irq_vectors[cpu], (unsigned long)irq_levels[cpu]);
        if (cpu == MASTER) PLUGIN(MasterSH2InterruptRequest)(irq_vectors[cpu], irq_levels[cpu]);
        else PLUGIN(SlaveSH2InterruptRequest)(irq_vectors[cpu], irq_levels[cpu]);
        irq_round[cpu] = round_number;
        break;
    case EV_IRQ_TAKEN:
        check(irq_round[cpu] != 0 && RECORD(cpu, IRQ_COUNT) == 1 &&
                  ((RECORD(cpu, IRQ_SR) >> 4) & 15u) == irq_levels[cpu],
              "%s ran its handler for vector 0x%02lX once (requested after round %d), SR inside 0x%03lX", name,
              (unsigned long)irq_vectors[cpu], irq_round[cpu], (unsigned long)RECORD(cpu, IRQ_SR));
        if (cpu == SLAVE) reset_cpu(SLAVE); else master_irq_done = 1;
        break;
    case EV_RESTARTED:
        check_start(cpu, 2);
        if (cpu == SLAVE) slave_restarted = 1; else finished = round_number;
        break;
    default:
        check(0, "%s reported event 0x%lX: an unexpected exception or event", name, (unsigned long)code);
        break;
    }
    if (master_irq_done && slave_restarted) {
        master_irq_done = 0;
        reset_cpu(MASTER);
    }
}

/* ------------------------------------------------------------------- main */

enum { SLICE = 1000, MAX_ROUNDS = 200, EXTRA_ROUNDS = 5, EXPECTED_CHECKS = 14 /* before the summary */ };

int main(int argc, char **argv) {
    const char *guest_path = argv[argc - 1];
    int32_t least = 0, most = 0;
    long size;
    int b, c;
    FILE *file;

#if defined(SH2_EXAMPLE_HOST_LINKED)
    if (argc != 2 && argc != 3) {
        fprintf(stderr, "usage: %s GUEST_BIN\n", argv[0]);
#else
    if (argc != 3) {
        fprintf(stderr, "usage: %s PLUGIN_PATH GUEST_BIN\n", argv[0]);
#endif
        return 2;
    }
    printf("sh2_example_host, built against sh2_plugin.h %s\n", SH2_PLUGIN_VERSION_STRING);
    if (!load_plugin(argv[1])) return 2;
    for (b = 0; b < 3; ++b)
        if ((blocks[b] = calloc(block_sizes[b] / 4, 4)) == NULL) return 2;

    /* The image goes to address 0 byte by byte, in the blocks' word format. */
    if ((file = fopen(guest_path, "rb")) == NULL) {
        fprintf(stderr, "cannot open %s\n", guest_path);
        return 2;
    }
    for (size = 0; size < (long)block_sizes[0] && (c = getc(file)) != EOF; ++size)
        poke_byte((uint32_t)size, (uint32_t)c);
    fclose(file);
    for (b = 0; b < 4; ++b) vectors[b] = peek_long(4u * (uint32_t)b);
    printf("guest: %ld bytes; master entry 0x%08lX SP 0x%08lX, slave entry 0x%08lX SP 0x%08lX\n", size,
           (unsigned long)vectors[0], (unsigned long)vectors[1], (unsigned long)vectors[2], (unsigned long)vectors[3]);

    { /* the record may go once InitSH2Plugin has returned */
        SH2HostInterface host = {read_byte,  read_word, read_long, write_byte, write_word,
                                 write_long, blocks[0], blocks[1], blocks[2],  show_message};
        int ok;
        long_read_count = 0;
        ok = PLUGIN(InitSH2Plugin)(&host) == 1;
        check(ok && init_messages == 1 && long_reads_were(4, 0, 4, 0, 4),
              "InitSH2Plugin returned 1, said so and read the power-on vectors at 0 and 4 for each processor");
    }
    PLUGIN(SetupPlugin)();

    for (round_number = 1; round_number <= MAX_ROUNDS; ++round_number) {
        int32_t executed = PLUGIN(SH2RunCycles)(SLICE);
        int r;
        if (round_number == 1 || executed < least) least = executed;
        if (round_number == 1 || executed > most) most = executed;
        for (r = 0; r < request_count; ++r) act(requests[r].cpu, requests[r].code);
        request_count = 0;
        if (finished != 0 && round_number >= finished + EXTRA_ROUNDS) break;
    }
    if (round_number > MAX_ROUNDS) round_number = MAX_ROUNDS;
    check(least >= SLICE && most < SLICE + 16, "every SH2RunCycles(%d) returned between %ld and %ld", SLICE,
          (long)least, (long)most);
    PLUGIN(DeInitPlugin)();
    check(wrong_colours == 0, "every message came with the colour 0x0032FF32");
    check(finished != 0 && failed == 0 && passed == EXPECTED_CHECKS,
          "%d of %d checks passed, %d failed; the guest %s in %d rounds", passed, EXPECTED_CHECKS, failed,
          finished != 0 ? "finished" : "did not finish", round_number);
    for (b = 0; b < 3; ++b) free(blocks[b]);
    return failed == 0 ? 0 : 1;
}
