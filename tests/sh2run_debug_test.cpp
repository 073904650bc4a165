// sh2run's debugging tools: the GDB server's packet layer on the real cores,
// its TCP transport (interrupt, kill, a second client, a client that goes
// away), the trace against sh-elf-objdump and the profile against the run's
// cycle count, and all of them around the instructions that cost nothing.
#if defined(SH2_DEBUG_TOOLS)
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "command_runner.h"
#include "core/platform.h"
#include "debug/sh2_debug.h"
#include "host_machine/host_memory.h"
#include "host_machine/program_image.h"
#include "plugin/plugin_state.h"
#include "sh2run/debug/callgrind.h"
#include "sh2run/debug/history.h"
#include "sh2run/debug/machine_target.h"
#include "sh2run/debug/profile.h"
#include "sh2run/gdb/agent_expression.h"
#include "sh2run/gdb/gdb_server.h"
#include "sh2run/machine.h"
#include "test_host.h"

extern char **environ;

namespace {

// A not-taken BT/S costs no cycle, alone or in the slot of a taken BF/S.
// Eight instructions and six cycles reach the exit port's write.
constexpr const char *kFreeBranches = R"(
start:  clrt                    ! 6004000
        bt/s    start           ! 6004002, not taken: no cycle
        nop                     ! 6004004
        bf/s    taken           ! 6004006, taken
        bt/s    start           ! 6004008, its slot: not taken, no cycle
        nop
taken:  mov.l   port, r1        ! 600400c
        mov     #0, r0
        mov.l   r0, @r1
spin:   bra     spin
        nop
        .align  2
port:   .long   0x01000004
)";

using namespace sh2host;
using namespace sh2run;
using namespace sh2test;
using sh2gdb::GdbServer;

// ---------------------------------------------------------------------------
// gdb's agent expressions, as conditions of breakpoints.

struct AgentCase {
    const char *name;
    std::vector<uint8_t> code;
    std::optional<uint64_t> result;  // nullopt: the evaluation fails
};
std::ostream &operator<<(std::ostream &out, const AgentCase &c) {
    return out << c.name;
}

class AgentExpression : public ::testing::TestWithParam<AgentCase> {};

// Registers: r1 = 0x1234, none past 22. Memory: the byte at A is A's low
// byte, 0x4000 and up cannot be read.
TEST_P(AgentExpression, EvaluatesAsGdbDefinesTheBytecodes) {
    sh2gdb::AgentContext context;
    context.readRegister = [](int number) -> std::optional<uint64_t> {
        if (number > 22) return std::nullopt;
        return number == 1 ? 0x1234u : 0u;
    };
    context.readMemory = [](uint64_t address, int length, uint64_t &value) {
        if (address + static_cast<uint64_t>(length) > 0x4000) return false;
        value = 0;
        for (int i = 0; i < length; ++i) value = value << 8 | ((address + static_cast<uint64_t>(i)) & 0xFF);
        return true;
    };
    uint64_t result = 0;
    const bool evaluated = sh2gdb::EvaluateAgentExpression(GetParam().code, context, result);
    EXPECT_EQ(evaluated, GetParam().result.has_value());
    if (evaluated && GetParam().result) {
        EXPECT_EQ(result, *GetParam().result);
    }
}

constexpr uint8_t kC8 = 0x22, kEnd = 0x27;
INSTANTIATE_TEST_SUITE_P(
    Conditions, AgentExpression,
    ::testing::Values(
        AgentCase{"add", {kC8, 5, kC8, 7, 0x02, kEnd}, 12},
        AgentCase{"sub", {kC8, 5, kC8, 7, 0x03, kEnd}, ~uint64_t{1}},
        AgentCase{"mul", {kC8, 6, kC8, 7, 0x04, kEnd}, 42},
        AgentCase{"div signed", {kC8, 0xF8, 0x16, 8, kC8, 3, 0x05, kEnd}, static_cast<uint64_t>(-2)},
        AgentCase{"div unsigned", {kC8, 7, kC8, 2, 0x06, kEnd}, 3},
        AgentCase{"rem signed", {kC8, 0xF8, 0x16, 8, kC8, 3, 0x07, kEnd}, static_cast<uint64_t>(-2)},
        AgentCase{"rem unsigned", {kC8, 7, kC8, 4, 0x08, kEnd}, 3},
        AgentCase{"division by zero", {kC8, 7, kC8, 0, 0x06, kEnd}, std::nullopt},
        AgentCase{"lsh", {kC8, 1, kC8, 4, 0x09, kEnd}, 16},
        AgentCase{"rsh signed", {kC8, 0xF0, 0x16, 8, kC8, 2, 0x0a, kEnd}, static_cast<uint64_t>(-4)},
        AgentCase{"rsh unsigned", {kC8, 0xF0, kC8, 2, 0x0b, kEnd}, 0x3C}, AgentCase{"log_not", {kC8, 0, 0x0e, kEnd}, 1},
        AgentCase{"bit_and", {kC8, 0xC, kC8, 0xA, 0x0f, kEnd}, 8},
        AgentCase{"bit_or", {kC8, 0xC, kC8, 0xA, 0x10, kEnd}, 0xE},
        AgentCase{"bit_xor", {kC8, 0xC, kC8, 0xA, 0x11, kEnd}, 6},
        AgentCase{"bit_not", {kC8, 0, 0x12, kEnd}, ~uint64_t{0}}, AgentCase{"equal", {kC8, 3, kC8, 3, 0x13, kEnd}, 1},
        AgentCase{"less signed", {kC8, 0xFF, 0x16, 8, kC8, 0, 0x14, kEnd}, 1},
        AgentCase{"less unsigned", {kC8, 0xFF, 0x16, 8, kC8, 0, 0x15, kEnd}, 0},
        AgentCase{"zero_ext", {0x23, 0x01, 0xFF, 0x2a, 8, kEnd}, 0xFF},
        AgentCase{"ref8, ref16, ref32",
                  {kC8, 0x10, 0x17, kC8, 0x10, 0x18, 0x02, kC8, 0x10, 0x19, 0x02, kEnd},
                  0x10 + 0x1011 + 0x10111213},
        AgentCase{"ref64", {kC8, 0x20, 0x1a, kEnd}, 0x2021222324252627},
        AgentCase{"a read that fails", {0x23, 0x40, 0x00, 0x17, kEnd}, std::nullopt},
        AgentCase{"reg", {0x26, 0, 1, kEnd}, 0x1234}, AgentCase{"no such reg", {0x26, 0, 99, kEnd}, std::nullopt},
        AgentCase{"const16, const32, const64",
                  {0x23, 1, 2, 0x24, 1, 2, 3, 4, 0x02, 0x25, 0, 0, 0, 0, 0, 0, 0, 1, 0x02, kEnd},
                  0x102 + 0x1020304 + 1},
        AgentCase{"if_goto taken", {kC8, 1, 0x20, 0, 8, kC8, 1, kEnd, kC8, 2, kEnd}, 2},
        AgentCase{"if_goto not taken", {kC8, 0, 0x20, 0, 8, kC8, 1, kEnd, kC8, 2, kEnd}, 1},
        AgentCase{"goto past the end", {0x21, 0, 99, kEnd}, std::nullopt},
        AgentCase{"dup, pop, swap", {kC8, 1, kC8, 2, 0x2b, 0x28, 0x29, 0x03, kEnd}, 1},
        AgentCase{"pick", {kC8, 5, kC8, 6, 0x32, 1, kEnd}, 5},
        AgentCase{"rot", {kC8, 1, kC8, 2, kC8, 3, 0x33, kEnd}, 2},
        AgentCase{"an empty stack", {0x02, kEnd}, std::nullopt},
        AgentCase{"a stack too deep", std::vector<uint8_t>(65 * 2, kC8), std::nullopt},
        AgentCase{"no end", {kC8, 1}, std::nullopt}, AgentCase{"floating point", {0x01, kEnd}, std::nullopt},
        AgentCase{"a loop that never ends", {0x21, 0, 0}, std::nullopt}),
    [](const ::testing::TestParamInfo<AgentCase> &test) { return "case" + std::to_string(test.index); });

// ---------------------------------------------------------------------------
// The packet layer over the linked library's cores, with a program loaded and
// started as sh2run does it.

class GdbPackets : public ::testing::Test {
protected:
    void SetUp() override {
        machine_.Reset();
        machine_.recording = false;
        hooks.portsEnabled = true;
        ports = PortState{};
        ports.console = nullptr;
    }
    void TearDown() override { DeInitPlugin(); }

    // Loads the program of `options` and starts the machine, as sh2run does.
    void Start(const std::string &program, std::optional<uint32_t> rawAddress = std::nullopt,
               std::optional<uint32_t> slaveEntry = std::nullopt) {
        options_.program = program;
        options_.rawAddress = rawAddress;
        options_.slaveEntry = slaveEntry;
        LoadedImage image;
        std::string error;
        ASSERT_TRUE(LoadProgram(options_, image, error)) << error;
        ASSERT_TRUE(StartMachine(options_, image, linked_, machine_.Memory(), sh2host::Callbacks::Observed, error))
            << error;
    }
    // Assembles `source` and starts it at 0x06004000 (the slave at
    // `slaveEntry`).
    void StartAssembled(const std::string &source, std::optional<uint32_t> slaveEntry = std::nullopt) {
        std::string errors;
        program_ = AssembleRaw("gdb_program", source, errors);
        ASSERT_FALSE(program_.empty()) << errors;
        Start(program_, 0x06004000, slaveEntry);
        std::remove(program_.c_str());
    }

    std::string Send(std::string_view bytes) {
        server_.Receive(bytes, [] { return false; });
        return server_.TakeOutput();
    }
    // The reply payload to one well-formed command.
    std::string Reply(std::string_view payload) {
        const std::string out = Send(GdbServer::Frame(payload));
        EXPECT_GE(out.size(), 4u) << payload;
        if (out.size() < 4) return "<none>";
        EXPECT_EQ(out.substr(0, 2), "+$") << payload;
        EXPECT_EQ(out[out.size() - 3], '#') << payload;
        return out.substr(2, out.size() - 5);
    }

    // Continues to the exit's stop (a note for gdb's console, then a trap)
    // and past it: the reply that ends the run.
    std::string ContinueToTheEnd() {
        const std::string out = Send(GdbServer::Frame("c"));
        EXPECT_NE(out.find("$O"), std::string::npos) << out;
        EXPECT_NE(out.find("$T05thread:"), std::string::npos) << out;
        return Reply("c");
    }

    TestMachine &machine_ = TestMachine::Get();
    std::string program_;
    Options options_;
    struct LinkedLibrary : Plugin {
        LinkedLibrary() { BindLinkedLibrary(*this); }
    } linked_;
    MachineTarget target_{options_, linked_, machine_.Memory()};
    GdbServer server_{target_};
};

class CrcPackets : public GdbPackets {
protected:
    void SetUp() override {
        GdbPackets::SetUp();
        Start(Elf("crc32"));
    }
};

TEST_F(CrcPackets, DamagedFramesAreRefusedAndTheServerGoesOn) {
    EXPECT_EQ(Send("$g#00"), "-");              // bad checksum
    EXPECT_EQ(Send("$?#zz"), "-");              // checksum not hex
    EXPECT_EQ(Send("garbage\x01\xff+++"), "");  // noise between frames
    EXPECT_EQ(Send("$m6004000"), "");           // truncated: waits
    std::string tail = GdbServer::Frame("m6004000,4");
    tail.erase(0, 9);  // the rest of the frame: ",4#" and the checksum
    EXPECT_EQ(Send(tail), std::string("+").append(GdbServer::Frame("d003400b")));
    std::string overlong(3 * sh2gdb::kMaxPacketPayload, 'A');
    overlong[0] = '$';
    EXPECT_EQ(Send(overlong), "-");
    EXPECT_EQ(Send(std::string("AAAA#00").append(GdbServer::Frame("?"))),
              std::string("+").append(GdbServer::Frame("T05thread:1;")));
    EXPECT_EQ(Send("-"), GdbServer::Frame("T05thread:1;"));  // sent again on request
    // A client that keeps asking gets a bounded number of copies.
    EXPECT_EQ(Send(std::string(2000, '-')).size(), (sh2gdb::kMaxResends - 1) * GdbServer::Frame("T05thread:1;").size());
    EXPECT_EQ(Send("\x03"), GdbServer::Frame("T02thread:1;"));
    // An escaped payload byte ("}" then 0x5d is '}'): an unknown command,
    // answered with an empty reply.
    char frame[16];
    std::snprintf(frame, sizeof frame, "$}\x5d#%02x", GdbServer::Checksum("}\x5d"));
    EXPECT_EQ(Send(frame), "+$#00");
}

TEST_F(CrcPackets, BadArgumentsGetErrorsAndUnknownCommandsEmptyReplies) {
    for (const char *unknown : {"vFooBar", "X6004000,0:", "Z5,6004000,4", "QNonStop:1", "qUnheardOf", "!", "b", "bx"}) {
        EXPECT_EQ(Reply(unknown), "") << unknown;
    }
    // clang-format off
    for (const char *bad : {"m", "mzz,4", "m6004000,", "m6004000,1ffffffffffffffff", "M6004000,ffffffff:00",
                            "M6004000,2:00", "M6004000,2:zzzz", "M6004000:2,00", "p", "p43", "P10=1234",
                            "Pzz=00000000", "G00", "gx", "Hg7", "Hx1", "T2", "Tzz", "Z0,6004000", "Z0,,2", "vCont;x",
                            "vCont;s:zz", "vCont;s:2", "vCont;c:3", "vCont;r6004000:1", "Z2,6004000,0",
                            "Z3,ffffffff,2", "Z2,0,100000000", "Z4,0,100000000", "qThreadExtraInfo,9",
                            "qXfer:features:read:target.xml:zz,10"}) {
        // clang-format on
        EXPECT_EQ(Reply(bad), "E01") << bad;
    }
    // Huge lengths are cut to one transfer, and to the top of the address space.
    EXPECT_EQ(Reply("m6004000,ffffffffffff").size(), 2 * sh2gdb::kMaxMemoryTransfer);
    EXPECT_EQ(Reply("mfffffffe,100").size(), 4u);
    EXPECT_EQ(Reply("p42"), "xxxxxxxx");  // a register number gdb knows, the SH-2 lacks
    EXPECT_EQ(Reply("p10"), "06004000");  // PC
    EXPECT_EQ(Reply("Hg0"), "OK");
    EXPECT_EQ(Reply("qfThreadInfo"), "m1");
    std::string xml;
    for (uint32_t offset = 0;; offset += 0x10) {
        char request[64];
        std::snprintf(request, sizeof request, "qXfer:features:read:target.xml:%x,10", offset);
        const std::string part = Reply(request);
        ASSERT_FALSE(part.empty());
        xml += part.substr(1);
        if (part[0] == 'l') break;
        ASSERT_EQ(part[0], 'm');
    }
    EXPECT_NE(xml.find("<architecture>sh2</architecture>"), std::string::npos) << xml;
    EXPECT_EQ(Reply("qXfer:features:read:other.xml:0,10"), "E00");
    // The longest watch, all but the last byte of the address space, sees the first write.
    EXPECT_EQ(Reply("Z2,0,ffffffff"), "OK");
    EXPECT_EQ(Reply("c").substr(0, 9), "T05watch:");
}

TEST_F(CrcPackets, BreakpointsRegistersAndBusMemory) {
    // A breakpoint stops before its instruction and leaves guest memory alone
    // (gdb_batch_test.sh steps and changes data with a real gdb).
    EXPECT_EQ(Reply("Z0,600404c,2"), "OK");
    EXPECT_EQ(Reply("vCont;c"), "T05thread:1;");
    EXPECT_EQ(Reply("p10"), "0600404c");
    EXPECT_EQ(Reply("m600404c,2"), "d308");
    // Registers: g, G and P.
    const std::string saved = Reply("g");
    ASSERT_EQ(saved.size(), 23u * 8);
    std::string changed = saved;
    changed.replace(3 * 8, 8, "12345678");
    EXPECT_EQ(Reply("G" + changed), "OK");
    EXPECT_EQ(Reply("p3"), "12345678");
    EXPECT_EQ(Reply("P16=ffffffff"), "OK");
    EXPECT_EQ(Reply("p16"), "000003f3");  // SR keeps its writable bits only
    EXPECT_EQ(Reply("G" + saved), "OK");
    EXPECT_EQ(Reply("g"), saved);
    // Memory goes through the core's bus: on-chip RAM (aliased every 4 KiB)
    // and the division unit, which divides when DVDNT is written.
    EXPECT_EQ(Reply("Mc0000010,4:12345678"), "OK");
    EXPECT_EQ(Reply("mc0001010,4"), "12345678");
    EXPECT_EQ(Reply("Mffffff00,4:00000007"), "OK");
    EXPECT_EQ(Reply("Mffffff04,4:00000064"), "OK");
    EXPECT_EQ(Reply("mffffff14,4"), "0000000e");  // 100 / 7
    EXPECT_EQ(Reply("mffffff10,4"), "00000002");  // 100 % 7
    // Without breakpoints the program runs to its exit, where it stops; on
    // from there it has ended, reported as W.
    EXPECT_EQ(Reply("z0,600404c,2"), "OK");
    EXPECT_EQ(ContinueToTheEnd(), "W00");
    EXPECT_TRUE(ports.exited);
    EXPECT_EQ(Reply("s"), "W00");
    EXPECT_EQ(Reply("D"), "OK");
    EXPECT_EQ(server_.state(), GdbServer::State::Detached);
}

// The ports are not memory: the console bytes and the exit status written
// there reach no watchpoint on the bytes their addresses alias.
TEST_F(CrcPackets, PortWritesReachNoWatchpoint) {
    for (const char *watch : {"Z2,6000000,1", "Z2,26000000,1", "Z2,6000004,4", "Z4,1000000,8"}) {
        EXPECT_EQ(Reply(watch), "OK") << watch;
    }
    EXPECT_EQ(ContinueToTheEnd(), "W00");
}

// Among thousands of watchpoints that are never reached, an access finds
// the one it reaches, at the first watched byte.
TEST_F(CrcPackets, ThousandsOfWatchpointsFindTheOneAnAccessReaches) {
    char packet[32];
    for (uint32_t i = 0; i < 3000; ++i) {
        std::snprintf(packet, sizeof packet, "Z2,%x,4", static_cast<unsigned>(0x06100000 + 8 * i));
        ASSERT_EQ(Reply(packet), "OK");
    }
    EXPECT_EQ(Reply("Z2,6004156,1"), "OK");    // the third byte of the buffer's first word
    EXPECT_EQ(Reply("Z2,6004000,100"), "OK");  // the program's code: never written
    EXPECT_EQ(Reply("c"), "T05watch:6004156;thread:1;");
    EXPECT_EQ(Reply("z2,6004156,1"), "OK");
    EXPECT_EQ(Reply("Z2,6004150,20"), "OK");  // from before the buffer into it: the next byte written
    EXPECT_EQ(Reply("c"), "T05watch:6004157;thread:1;");
}

// A step is one instruction, whatever it costs: a not-taken BT/S alone, and a
// BF/S together with the BT/S in its slot.
TEST_F(GdbPackets, AStepIsOneInstructionEvenWhenItCostsNothing) {
    StartAssembled(kFreeBranches);
    for (const char *pc : {"06004002", "06004004", "06004006", "0600400c", "0600400e"}) {
        EXPECT_EQ(Reply("vCont;s:1"), "T05thread:1;");
        EXPECT_EQ(Reply("p10"), pc);
    }
}

// The master stopped on an undefined opcode idles; a continue still runs the
// slave, here to the program's exit.
TEST_F(GdbPackets, AStoppedMasterDoesNotHoldUpTheSlave) {
    StartAssembled(R"(
master: .word   0xffff          ! no instruction: the master stops here
        nop
slave:  mov.l   port, r1        ! 6004004
        mov     #7, r0
        mov.l   r0, @r1
spin:   bra     spin
        nop
        .align  2
port:   .long   0x01000004
)",
                   0x06004004);
    EXPECT_EQ(Reply("c"), "T04thread:1;");
    ASSERT_EQ(machine_.boxes.size(), 1u);
    EXPECT_EQ(machine_.boxes[0].caption, "Error");
    EXPECT_EQ(Reply("vCont;s:1"), "T04thread:1;");  // the master alone cannot move
    EXPECT_EQ(ContinueToTheEnd(), "W07");
}

// A stop on an undefined opcode is a stop before it: one reverse step
// reaches the JSR that led there, and a step from the JSR stops with SIGILL
// at once.
TEST_F(GdbPackets, AnUndefinedOpcodeStopsBeforeItInBothDirections) {
    StartAssembled(R"(
        mov.l   bad, r1         ! 6004000
        jsr     @r1             ! 6004002
        nop
        nop
bad:    .long   0x0600400c      ! 6004008
        .word   0xffff          ! 600400c
)");
    EXPECT_EQ(Reply("c"), "T04thread:1;");
    EXPECT_EQ(Reply("p10"), "0600400c");
    EXPECT_EQ(Reply("bs"), "T05thread:1;");
    EXPECT_EQ(Reply("p10"), "06004002");
    EXPECT_EQ(Reply("vCont;s:1"), "T04thread:1;");
    EXPECT_EQ(Reply("p10"), "0600400c");
    EXPECT_EQ(Reply("bs"), "T05thread:1;");
    EXPECT_EQ(Reply("bs"), "T05thread:1;");
    EXPECT_EQ(Reply("p10"), "06004000");
}

// Steps and continues back, one after another as gdb sends them, retrace
// the forward run exactly, across a snapshot of the history too: the first
// of them runs its stretch again once, the others start from checkpoints.
TEST_F(GdbPackets, ResumesBackOneAfterAnotherRetraceTheRunForward) {
    StartAssembled(R"(
        mov.l   counter, r1     ! 6004000
        mov.l   limit, r3
        mov     #0, r2
loop:   mov.l   r2, @r1         ! 6004006
        add     #1, r2
        cmp/eq  r3, r2
        bf      loop
far:    bra     loop            ! 600400e
        nop
        .align  2
counter: .long  0x06100000
limit:  .long   262900          ! the loop's 4 instructions this often: just past the first snapshot
)");
    EXPECT_EQ(Reply("Z0,600400e,2"), "OK");
    EXPECT_EQ(Reply("c"), "T05thread:1;");
    EXPECT_EQ(Reply("z0,600400e,2"), "OK");
    const std::vector<uint64_t> snapshots = target_.history().Times();
    ASSERT_EQ(snapshots.size(), 2u);
    const uint64_t far = sh2debug::EventCount();
    ASSERT_LT(snapshots[1], far);
    const int steps = static_cast<int>(far - snapshots[1]) + 1000;
    std::vector<std::string> back;
    std::vector<double> seconds;
    for (int i = 0; i < steps; ++i) {
        const auto started = std::chrono::steady_clock::now();
        ASSERT_EQ(Reply("bs"), "T05thread:1;") << i;
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        back.push_back(Reply("g"));
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%d steps back over a snapshot: the median %.1f us, the slowest (a stretch run again) %.1f ms\n", steps,
                seconds[seconds.size() / 2] * 1e6, seconds.back() * 1e3);
    for (int i = steps - 2; i >= 0; --i) {
        ASSERT_EQ(Reply("vCont;s:1"), "T05thread:1;") << i;
        ASSERT_EQ(Reply("g"), back[static_cast<size_t>(i)]) << i;
    }
    ASSERT_EQ(Reply("vCont;s:1"), "T05thread:1;");
    EXPECT_EQ(sh2debug::EventCount(), far);
    // Each store to the counter, back (to the store) and then forward again
    // (to right after it).
    EXPECT_EQ(Reply("Z2,6100000,4"), "OK");
    back.clear();
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(Reply("bc"), "T05watch:6100000;thread:1;") << i;
        ASSERT_EQ(Reply("p10"), "06004006") << i;
        back.push_back(Reply("p2"));
    }
    for (int i = 299; i >= 0; --i) {
        ASSERT_EQ(Reply("c"), "T05watch:6100000;thread:1;") << i;
        ASSERT_EQ(Reply("p10"), "06004008") << i;
        ASSERT_EQ(Reply("m6100000,4"), back[static_cast<size_t>(i)]) << i;
    }
}

// Each box of the run is shown once, however often gdb takes the run back
// over the instruction that raised it and forward again.
TEST_F(GdbPackets, AMomentRunAgainShowsItsBoxOnce) {
    StartAssembled(R"(
        nop
        nop
        .word   0xffff
)");
    // The target wrapped the box handler of its time; this test's came after.
    const sh2::ModalBoxHandler capture = sh2::CurrentModalBoxHandler();
    sh2debug::ShowEachBoxOnce(false);
    sh2::SetModalBoxHandler(capture);
    sh2debug::ShowEachBoxOnce(true);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Reply("c"), "T04thread:1;");
        EXPECT_EQ(Reply("bc"), "T05replaylog:begin;thread:1;");
    }
    EXPECT_EQ(Reply("c"), "T04thread:1;");
    EXPECT_EQ(machine_.boxes.size(), 1u);
}

// A breakpoint's condition, sent as gdb's bytecode, is evaluated in the
// server, forwards and backwards: only the hit where it holds stops.
TEST_F(GdbPackets, ABreakpointConditionIsEvaluatedInTheServer) {
    StartAssembled(R"(
        mov     #0, r1
loop:   add     #1, r1          ! 6004002
        bra     loop
        nop
)");
    EXPECT_NE(Reply("qSupported").find("ConditionalBreakpoints+"), std::string::npos);
    EXPECT_EQ(Reply("Z0,6004002,2;X7,2600012205132"), "E01");  // the bytes fewer than said
    EXPECT_EQ(Reply("Z0,6004002,2;Y1,27"), "E01");
    EXPECT_EQ(Reply("Z0,6004002,2;X7,26000122051327"), "OK");  // r1 == 5
    EXPECT_EQ(Reply("c"), "T05thread:1;");
    EXPECT_EQ(Reply("p1"), "00000005");
    EXPECT_EQ(Reply("Z0,6004002,2;X7,26000122091327"), "OK");  // r1 == 9, in place of r1 == 5
    EXPECT_EQ(Reply("c"), "T05thread:1;");
    EXPECT_EQ(Reply("p1"), "00000009");
    EXPECT_EQ(Reply("Z0,6004002,2;X7,26000122031327;X7,26000122071327"), "OK");  // r1 == 3 or r1 == 7
    EXPECT_EQ(Reply("bc"), "T05thread:1;");
    EXPECT_EQ(Reply("p1"), "00000007");
    EXPECT_EQ(Reply("bc"), "T05thread:1;");
    EXPECT_EQ(Reply("p1"), "00000003");
    EXPECT_EQ(Reply("Z0,6004002,2"), "OK");  // no condition: every hit
    EXPECT_EQ(Reply("c"), "T05thread:1;");
    EXPECT_EQ(Reply("p1"), "00000004");
}

// A Ctrl-C stops a reverse-continue over a long history as promptly as a
// forward run, with one stop reply: a moment between the two ends.
TEST_F(GdbPackets, ACtrlCStopsAReverseContinuePromptly) {
    StartAssembled(R"(
        mov.l   count, r1
loop:   dt      r1
        bf      loop
done:   bra     done            ! 6004006
        nop
        .align  2
count:  .long   3000000
)");
    EXPECT_EQ(Reply("Z0,6004006,2"), "OK");
    EXPECT_EQ(Reply("c"), "T05thread:1;");
    EXPECT_EQ(Reply("z0,6004006,2"), "OK");
    const auto started = std::chrono::steady_clock::now();
    server_.Receive(GdbServer::Frame("bc"),
                    [&] { return std::chrono::steady_clock::now() - started > std::chrono::milliseconds(20); });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(server_.TakeOutput(), "+" + GdbServer::Frame("T02thread:1;"));
    EXPECT_LT(seconds, 1.0);
    const auto counter = static_cast<uint32_t>(std::stoul(Reply("p1"), nullptr, 16));
    EXPECT_GT(counter, 0u);
    EXPECT_LT(counter, 3000000u) << "neither end of the history";
}

// At a stop, what the program has printed is out, a line without its end
// too.
TEST_F(GdbPackets, AStopShowsWhatTheProgramPrintedSoFar) {
    StartAssembled(R"(
start:  mov.l   port, r1
        mov     #104, r0
        mov.b   r0, @r1
        mov     #105, r0
        mov.b   r0, @r1
stop:   bra     stop            ! 600400a
        nop
        .align  2
port:   .long   0x01000000
)");
    FILE *console = std::tmpfile();
    ASSERT_NE(console, nullptr);
    ports.console = console;
    EXPECT_EQ(Reply("Z0,600400a,2"), "OK");
    EXPECT_EQ(Reply("c"), "T05thread:1;");
    char printed[8] = {};
    EXPECT_EQ(pread(fileno(console), printed, sizeof printed, 0), 2);
    EXPECT_STREQ(printed, "hi");
    ports.console = nullptr;
    std::fclose(console);
}

// Stopping and resuming leaves a round as it would have run: a run with a
// hundred breakpoint stops inside its slices takes exactly the cycles of a
// run without stops.
TEST_F(CrcPackets, StopsInsideSlicesChangeNothingOfTheRun) {
    EXPECT_EQ(Reply("Z0,6004064,2"), "OK");
    for (int stop = 0; stop < 100; ++stop) ASSERT_EQ(Reply("c"), "T05thread:1;");
    EXPECT_EQ(Reply("z0,6004064,2"), "OK");
    EXPECT_EQ(ContinueToTheEnd(), "W00");
    const CommandResult run = RunCommand(kRunner + " --profile --stats " + Elf("crc32"));
    EXPECT_NE(run.errors.find("emulated cycles: " + std::to_string(target_.MasterCycles()) + "\n"), std::string::npos)
        << target_.MasterCycles() << "\n"
        << run.errors;
}

// Runs rounds of the linked library until `instructions` have run, stopping
// the round there (mid-slice).
class InstructionBudget : public sh2debug::Observer {
public:
    explicit InstructionBudget(uint64_t instructions) : left_(instructions) {}
    bool BeforeInstruction(sh2debug::Processor, uint32_t) override { return left_ > 0; }
    void AfterInstruction(const sh2debug::Instruction &) override { --left_; }
    bool BeforeService(sh2debug::Processor) override { return true; }
    bool AfterService(sh2debug::Processor, int32_t, int32_t) override { return true; }
    void Run() {
        while (left_ > 0) {
            if (!sh2debug::RoundUnderWay()) sh2debug::StartRound(10000);
            sh2debug::RunRound(*this);
        }
    }

private:
    uint64_t left_;
};

// Pauses a round after every slice's servicing.
class PauseAfterService : public sh2debug::Observer {
public:
    bool BeforeInstruction(sh2debug::Processor, uint32_t) override { return true; }
    void AfterInstruction(const sh2debug::Instruction &) override {}
    bool BeforeService(sh2debug::Processor) override { return true; }
    bool AfterService(sh2debug::Processor processor, int32_t cycles, int32_t) override {
        serviced.push_back({processor, cycles});
        return false;
    }
    std::vector<std::pair<sh2debug::Processor, int32_t>> serviced;
};

// A round pauses right after a slice's servicing when its observer asks,
// before the slave's slice begins, and goes on from there.
TEST_F(GdbPackets, ARoundPausesAfterAServicingAndGoesOn) {
    Start(Elf("crc32"), std::nullopt, 0x0600404c);
    sh2debug::StartRound(100);
    PauseAfterService observer;
    ASSERT_FALSE(sh2debug::RunRound(observer));
    ASSERT_EQ(observer.serviced.size(), 1u);
    EXPECT_EQ(observer.serviced[0].first, sh2debug::Processor::Master);
    EXPECT_EQ(sh2debug::RoundProcessor(), sh2debug::Processor::Master);
    EXPECT_EQ(sh2debug::RoundMasterCycles(), observer.serviced[0].second);
    EXPECT_GE(observer.serviced[0].second, 100);
    ASSERT_FALSE(sh2debug::RunRound(observer));
    ASSERT_EQ(observer.serviced.size(), 2u);
    EXPECT_EQ(observer.serviced[1].first, sh2debug::Processor::Slave);
    EXPECT_TRUE(sh2debug::RunRound(observer));
    EXPECT_FALSE(sh2debug::RoundUnderWay());
}

// An observer that asks only by count is asked before every 100th
// instruction, inside one long slice, and its false stops the round there.
class AskEveryHundred : public sh2debug::Observer {
public:
    Interests Wants() const override {
        return {.askBeforeEveryInstruction = false, .askEvery = 100, .tellEveryInstruction = true};
    }
    bool BeforeInstruction(sh2debug::Processor, uint32_t) override {
        askedAfter.push_back(told_);
        return askedAfter.size() < 3;
    }
    void AfterInstruction(const sh2debug::Instruction &) override { ++told_; }
    bool BeforeService(sh2debug::Processor) override { return true; }
    bool AfterService(sh2debug::Processor, int32_t, int32_t) override { return true; }
    std::vector<uint64_t> askedAfter;

private:
    uint64_t told_ = 0;
};

TEST_F(GdbPackets, AnObserverAskingByCountIsAskedEveryThatManyInstructions) {
    Start(Elf("crc32"), std::nullopt, 0x0600404c);
    sh2debug::StartRound(1000000);
    AskEveryHundred observer;
    EXPECT_FALSE(sh2debug::RunRound(observer));
    EXPECT_EQ(observer.askedAfter, (std::vector<uint64_t>{99, 199, 299}));
    EXPECT_LT(sh2debug::RoundMasterCycles(), 1000);
}

// The library's state comes back whole, mid-round included: every byte of
// both cores, the flags and the round.
TEST_F(GdbPackets, TheLibrarysStateComesBackWhole) {
    Start(Elf("crc32"), std::nullopt, 0x0600404c);
    InstructionBudget(123457).Run();
    sh2debug::LibraryState state;
    sh2debug::SaveLibraryState(state);
    const std::vector<unsigned char> master = BytesOf(*sh2::MasterCore), slave = BytesOf(*sh2::SlaveCore);
    const int32_t roundCycles = sh2debug::RoundMasterCycles();
    InstructionBudget(300001).Run();
    ASSERT_NE(BytesOf(*sh2::MasterCore), master);
    sh2debug::RestoreLibraryState(state);
    EXPECT_EQ(BytesOf(*sh2::MasterCore), master);
    EXPECT_EQ(BytesOf(*sh2::SlaveCore), slave);
    EXPECT_TRUE(sh2debug::RoundUnderWay());
    EXPECT_EQ(sh2debug::RoundMasterCycles(), roundCycles);
}

// The on-chip accesses of instructions reach the watch, of every width in
// both windows, the debugger's own do not.
TEST_F(GdbPackets, OnChipAccessesOfInstructionsReachTheWatch) {
    StartAssembled(R"(
start:  mov.l   ram, r1
        mov     #0x5a, r0
        mov.b   r0, @r1
        mov.w   r0, @(2,r1)
        mov.l   r0, @(4,r1)
        mov.b   @r1, r2
        mov.w   @r1, r3
        mov.l   @r1, r4
        mov.l   tier, r5
        mov.b   @r5, r6
        mov.w   @r5, r6
        mov.l   @r5, r6
        bra     start
        nop
        .align  2
ram:    .long   0xc0000100
tier:   .long   0xfffffe10
)");
    static std::vector<std::string> seen;
    seen.clear();
    sh2debug::WatchOnChipAccesses(
        [](sh2debug::Processor processor, uint32_t address, uint32_t value, uint8_t size, bool write) {
            char text[64];
            std::snprintf(text, sizeof text, "%s %c%u %08x=%x", sh2debug::ProcessorName(processor), write ? 'W' : 'R',
                          static_cast<unsigned>(size), static_cast<unsigned>(address), static_cast<unsigned>(value));
            seen.emplace_back(text);
        });
    InstructionBudget(12).Run();
    uint8_t byte = 0;
    sh2debug::ReadMemory(sh2debug::Processor::Master, 0xC0000100, &byte, 1);
    sh2debug::WatchOnChipAccesses(nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"master W1 c0000100=5a", "master W2 c0000102=5a", "master W4 c0000104=5a",
                                              "master R1 c0000100=5a", "master R2 c0000100=5a00",
                                              "master R4 c0000100=5a00005a", "master R1 fffffe10=1",
                                              "master R2 fffffe10=100", "master R4 fffffe10=1000000"}));
    EXPECT_EQ(byte, 0x5A);
}

// gdb's reads of host memory reach the host as the widest access that the
// address allows, as a program's would: bytes up to a word boundary, words
// up to a long one, then longs.
TEST_F(GdbPackets, TheDebuggersReadsOfHostMemoryAreAsWideAsTheAddressAllows) {
    StartAssembled("start:  bra start\n        nop\n");
    for (uint32_t address = 0x3000; address < 0x3010; ++address) {
        machine_.SetByte(address, static_cast<uint8_t>(address));
    }
    machine_.accesses.clear();
    machine_.recording = true;
    uint8_t bytes[11] = {};
    sh2debug::ReadMemory(sh2debug::Processor::Master, 0x3001, bytes, sizeof bytes);
    machine_.recording = false;
    EXPECT_EQ(sh2test::Describe(machine_.accesses),
              sh2test::Describe({sh2test::Read(1, 0x3001, 0x01), sh2test::Read(2, 0x3002, 0x0203),
                                 sh2test::Read(4, 0x3004, 0x04050607), sh2test::Read(4, 0x3008, 0x08090A0B)}));
    EXPECT_EQ(bytes[0], 0x01);
    EXPECT_EQ(bytes[10], 0x0B);
}

// A watchpoint on an on-chip register still fires after gdb has read and
// written memory, on-chip and host, at a stop: the debugger's own accesses
// leave the watch armed for the program's.
TEST_F(GdbPackets, AnOnChipWatchOutlivesTheDebuggersAccesses) {
    StartAssembled(R"(
start:  mov.l   tier, r1
        mov     #1, r0
        mov.b   r0, @r1         ! 6004004
        nop
        mov     #2, r0
        mov.b   r0, @r1         ! 600400a
spin:   bra     spin
        nop
        .align  2
tier:   .long   0xfffffe10
)");
    EXPECT_EQ(Reply("Z2,fffffe10,1"), "OK");
    EXPECT_EQ(Reply("c"), "T05watch:fffffe10;thread:1;");
    EXPECT_EQ(Reply("p10"), "06004006");
    EXPECT_EQ(Reply("mfffffe10,1"), "01");
    EXPECT_EQ(Reply("Mfffffe11,1:00"), "OK");
    EXPECT_EQ(Reply("Mc0000000,4:01020304"), "OK");
    EXPECT_EQ(Reply("m6004000,4"), Reply("m6004000,4"));
    EXPECT_EQ(Reply("M6100000,4:00000001"), "OK");
    EXPECT_EQ(Reply("c"), "T05watch:fffffe10;thread:1;");
    EXPECT_EQ(Reply("p10"), "0600400c");
    EXPECT_EQ(Reply("mfffffe10,1"), "02");
}

// The history keeps to its memory bound by dropping its oldest snapshots;
// the ones it keeps give back their moment's memory exactly.
TEST_F(GdbPackets, TheHistoryKeepsToItsBoundAndDropsTheOldestFirst) {
    const uint64_t limit = uint64_t{4} << 20;
    History history(machine_.Memory(), limit);
    const SH2HostInterface record = machine_.Interface();  // writes through the callbacks, marked
    for (uint32_t time = 0; time < 64; ++time) {
        record.WriteLong(0x06000000 + time * 4096, time);  // one page changes each time
        history.Record(time * 100, HostState{});
        EXPECT_LE(history.MemoryUsed(), limit) << time;
    }
    EXPECT_GT(history.Start(), 0u);
    EXPECT_EQ(history.Latest(), 6300u);
    // The oldest snapshot kept holds all 896 pages, each later one its one
    // new page, and each some bytes of its own.
    const uint64_t kept = history.Times().size();
    EXPECT_GT(history.MemoryUsed(), (896 + kept - 1) * 4096 + kept * 14336);
    uint64_t restored = 0;
    HostState host;
    EXPECT_FALSE(history.RestoreAtOrBefore(history.Start() - 1, restored, host, machine_.Memory()));
    for (const uint64_t time : history.Times()) {
        ASSERT_TRUE(history.RestoreAtOrBefore(time + 50, restored, host, machine_.Memory()));
        EXPECT_EQ(restored, time);
        const uint32_t index = static_cast<uint32_t>(time / 100);
        EXPECT_EQ(machine_.Long(0x06000000 + index * 4096), index);
        EXPECT_EQ(machine_.Long(0x06000000 + (index + 1) * 4096), 0u) << "a page from later on";
    }
}

// Checkpoints taken while a stretch runs again give back their moment's
// memory exactly, in any order, and so does their base; under a small bound
// fewer are kept and the nearest one kept before the moment is used.
TEST_F(GdbPackets, CheckpointsGiveBackTheirMomentsMemoryInAnyOrder) {
    const SH2HostInterface record = machine_.Interface();  // writes through the callbacks, marked
    const auto expect = [&](uint32_t at, uint32_t reached) {
        for (uint32_t page = 0; page < 8; ++page) {
            uint32_t last = 0;
            for (uint32_t t = 1; t <= reached; ++t) last = t % 8 == page ? t : last;
            EXPECT_EQ(machine_.Long(0x06000000 + page * 4096), last) << at << " page " << page;
        }
        for (uint32_t t = 1; t <= 40; ++t) EXPECT_EQ(machine_.Long(0x00200000 + t * 4), t <= reached ? t : 0) << at;
    };
    for (const uint64_t limit : {uint64_t{64} << 20, uint64_t{4} << 20}) {
        for (uint32_t t = 0; t <= 40; ++t) {
            record.WriteLong(0x06000000 + (t % 8) * 4096, 0);
            record.WriteLong(0x00200000 + t * 4, 0);
        }
        History history(machine_.Memory(), limit);
        history.Record(0, HostState{});
        history.BeginCheckpoints();
        for (uint32_t t = 1; t <= 40; ++t) {
            record.WriteLong(0x06000000 + (t % 8) * 4096, t);
            record.WriteLong(0x00200000 + t * 4, t);
            history.Checkpoint(t * 10, HostState{});
            EXPECT_LE(history.MemoryUsed(), limit);
        }
        uint64_t restored = 0;
        uint64_t kept = 0;
        HostState host;
        for (const uint32_t t : {17u, 3u, 40u, 0u, 25u, 25u, 1u, 39u, 0u}) {
            ASSERT_TRUE(history.RestoreAtOrBefore(t * 10 + 5, restored, host, machine_.Memory()));
            EXPECT_LE(restored, t * 10u);
            kept += restored == t * 10u;
            expect(t, static_cast<uint32_t>(restored / 10));
        }
        EXPECT_EQ(kept == 9u, limit > (uint64_t{8} << 20)) << "all kept under the larger bound only: " << kept;
    }
}

// What the history counts is what it takes from the heap, however few pages
// its snapshots hold: the heap grows by no more than the bound.
TEST_F(GdbPackets, TheHistorysBoundHoldsForTheHeap) {
#if defined(SH2_UNDER_SANITIZER)
    GTEST_SKIP() << "the heap is the sanitizer's, with its own headers: measured by the optimised build";
#endif
    StartAssembled("spin: bra spin\n nop\n");
    const uint64_t limit = uint64_t{8} << 20;
    const size_t before = mallinfo2().uordblks;
    {
        History history(machine_.Memory(), limit);
        const SH2HostInterface record = machine_.Interface();
        for (uint32_t time = 0; time < 2000; ++time) {
            record.WriteLong(0x06000000 + (time % 64) * 4096, time);  // one page changes each time
            history.Record(time, HostState{});
        }
        ASSERT_LE(history.MemoryUsed(), limit);
        const size_t grown = mallinfo2().uordblks - before;
        EXPECT_LE(grown, limit + limit / 50) << "counted " << history.MemoryUsed();
        EXPECT_GE(grown, history.MemoryUsed() - history.MemoryUsed() / 10) << "counted " << history.MemoryUsed();
    }
}

// ---------------------------------------------------------------------------
// The TCP transport, with sh2run itself.

class Sh2runGdb {
public:
    explicit Sh2runGdb(const std::vector<std::string> &arguments) {
        stderrFile_ = Scratch("gdb_stderr.txt");
        std::vector<std::string> args = {kRunner, "--gdb", "0"};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char *> argv;
        for (std::string &arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, stderrFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Sh2runGdb() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0) close(fd_);
        std::remove(stderrFile_.c_str());
    }

    bool Connect() {
        fd_ = Dial();
        return fd_ >= 0;
    }
    // A new connection to sh2run's port (with a 10 s receive timeout), or -1.
    int Dial() {
        const std::regex announce("127\\.0\\.0\\.1:([0-9]+)");
        for (int i = 0; i < 100 && pid_ > 0; ++i) {
            std::smatch match;
            const std::string text = ReadText(stderrFile_);
            if (std::regex_search(text, match, announce)) {
                const int fd = socket(AF_INET, SOCK_STREAM, 0);
                sockaddr_in address{};
                address.sin_family = AF_INET;
                address.sin_port = htons(static_cast<uint16_t>(std::stoi(match[1])));
                address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                timeval timeout{10, 0};
                setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
                if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) return fd;
                close(fd);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }
    void Write(std::string_view bytes) {
        ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    }
    // Reads until `expected` has arrived (or 10 s pass).
    std::string ReadUntil(std::string_view expected) {
        std::string got;
        char buffer[1024];
        while (got.find(expected) == std::string::npos) {
            const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }
    void Disconnect() {
        close(fd_);
        fd_ = -1;
    }
    // The exit status, or -1 if sh2run has not ended within 10 s.
    int Wait() {
        for (int i = 0; i < 200; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string stderrFile_;
};

// Ctrl-C is answered within a bounded time, however long the slice (here
// 2^31 cycles) and however long one instruction takes (here each restarts a
// DMA transfer of a million units); a kill then ends sh2run with 137.
TEST(GdbSocket, CtrlCIsAnsweredPromptlyAndKillEndsSh2run) {
    std::string errors;
    const std::string dma = AssembleRaw("dma_loop", R"(
start:  mov.l   sar, r1
        mov.l   buffer, r0
        mov.l   r0, @r1         ! SAR0
        mov.l   r0, @(4,r1)     ! DAR0
        mov.l   dmaor, r2
        mov     #1, r0
        mov.l   r0, @r2         ! DMAOR: DME
loop:   mov.l   count, r0
        mov.l   r0, @(8,r1)     ! TCR0
        mov     #1, r0
        mov.l   r0, @(12,r1)    ! CHCR0: DE; the whole transfer runs inside this write
        bra     loop
        nop
        .align  2
sar:    .long   0xffffff80
buffer: .long   0x06010000
dmaor:  .long   0xffffffb0
count:  .long   0x000fffff
)",
                                        errors);
    ASSERT_FALSE(dma.empty()) << errors;
    const std::vector<std::vector<std::string>> busy = {
        {"--slice", "2147483647", "--entry", "0x600400a", Elf("crc32")},  // crc32's endless loop
        {"--raw", "0x06004000", dma}};
    for (const std::vector<std::string> &arguments : busy) {
        SCOPED_TRACE(arguments.back());
        Sh2runGdb runner(arguments);
        ASSERT_TRUE(runner.Connect());
        runner.Write(GdbServer::Frame("c"));
        EXPECT_EQ(runner.ReadUntil("+"), "+");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        // Behind 1 MiB of acknowledgements queued during the run (read 512
        // bytes every 10 ms, that took 20 s).
        const auto sent = std::chrono::steady_clock::now();
        runner.Write(std::string(1 << 20, '+'));
        runner.Write("\x03");
        const std::string stop = runner.ReadUntil("#");
        EXPECT_EQ(stop.substr(0, 13), "$T02thread:1;") << stop;
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(5)) << "Ctrl-C waited behind the queue";
        runner.Write(GdbServer::Frame("k"));
        EXPECT_EQ(runner.Wait(), 137);
    }
    std::remove(dma.c_str());
}

// One client at a time: a second one is refused and the first goes on.
TEST(GdbSocket, ASecondClientIsRefused) {
    Sh2runGdb runner({Elf("crc32")});
    ASSERT_TRUE(runner.Connect());
    runner.Write(GdbServer::Frame("?"));
    EXPECT_NE(runner.ReadUntil("#").find("$T05thread:1;#"), std::string::npos);
    const int second = runner.Dial();  // the first is served: nobody listens any more
    EXPECT_LT(second, 0) << "a second client was let in";
    if (second >= 0) close(second);
    runner.Write(GdbServer::Frame("p10"));
    EXPECT_NE(runner.ReadUntil("#").find("$06004000#"), std::string::npos);
    runner.Write(GdbServer::Frame("k"));
    EXPECT_EQ(runner.Wait(), 137);
}

TEST(GdbSocket, AClientThatGoesAwayMidRunEndsSh2runCleanly) {
    Sh2runGdb runner({"--entry", "0x600400a", Elf("crc32")});
    ASSERT_TRUE(runner.Connect());
    runner.Write(GdbServer::Frame("c") + "$m60");  // a resume, then half a packet
    EXPECT_EQ(runner.ReadUntil("+"), "+");
    runner.Disconnect();
    EXPECT_EQ(runner.Wait(), 137);
}

// ---------------------------------------------------------------------------
// Trace and profile.

TEST(Sh2runTrace, EveryLineMatchesObjdumpAndDelaySlotsHaveTheirOwnLine) {
    const std::string trace = Scratch("trace.txt"), text = Scratch("text.bin");
    const CommandResult run = RunCommand(kRunner + " --trace " + trace + " " + Elf("selftest"));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    // objdump's view of the same bytes: address -> (opcode, text without the
    // "! value" comment).
    ASSERT_EQ(std::system(("sh-elf-objcopy -O binary -j .text " + Elf("selftest") + " " + text).c_str()), 0);
    FILE *pipe = popen(("sh-elf-objdump -D -z -b binary -m sh2 -EB --adjust-vma=0x6004000 " + text).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::map<uint32_t, std::pair<std::string, std::string>> objdump;
    const std::regex row("^ *([0-9a-f]+):\t([0-9a-f]{2}) ([0-9a-f]{2}) *\t([^!]*?)\\s*(\t!.*)?$");
    std::array<char, 512> line{};
    while (fgets(line.data(), line.size(), pipe) != nullptr) {
        std::string l(line.data());
        if (!l.empty() && l.back() == '\n') l.pop_back();
        std::smatch m;
        if (std::regex_match(l, m, row)) {
            objdump[static_cast<uint32_t>(std::stoul(m[1], nullptr, 16))] = {m[2].str() + m[3].str(), m[4]};
        }
    }
    pclose(pipe);
    std::remove(text.c_str());
    ASSERT_GT(objdump.size(), 100u);

    std::istringstream lines(ReadText(trace));
    std::remove(trace.c_str());
    const std::regex traced("^master ([0-9a-f]{8}) ([0-9a-f]{4}) +([0-9]+)  (.*?)(\t! delay slot)?$");
    std::string l, previous;
    size_t count = 0, slots = 0;
    long previousCycles = -1;
    std::getline(lines, l);  // header
    while (std::getline(lines, l)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, traced)) << l;
        const uint32_t pc = static_cast<uint32_t>(std::stoul(m[1], nullptr, 16));
        const auto known = objdump.find(pc);
        ASSERT_NE(known, objdump.end()) << l;
        EXPECT_EQ(m[2].str(), known->second.first) << l;
        EXPECT_EQ(m[4].str(), known->second.second) << l;
        const long cycles = std::stol(m[3]);
        if (m[5].matched) {
            ++slots;
            // A slot follows its branch, at the next address, after the
            // branch's own cost.
            std::smatch b;
            ASSERT_TRUE(std::regex_match(previous, b, traced));
            EXPECT_EQ(std::stoul(b[1], nullptr, 16) + 2, pc) << l;
            EXPECT_GT(cycles, previousCycles) << l;
        } else {
            EXPECT_TRUE(cycles > previousCycles || cycles == 0) << l;  // 0: a new slice
        }
        previousCycles = cycles;
        previous = l;
        ++count;
    }
    EXPECT_GT(count, 500u);
    EXPECT_GT(slots, 30u);
}

// A PC-relative load in a delay slot reads from the branch target's PC, and
// the trace shows the address it reads: binutils' text for the same opcode
// at the target.
TEST(Sh2runTrace, APcRelativeOperandInADelaySlotShowsTheAddressRead) {
    std::string errors;
    const std::string program = AssembleRaw("slot_load", R"(
        bra     target          ! 6004000
        mov.l   slot_base, r0   ! 6004002: from 6004010 it reads 6004018
        nop
        nop
slot_base:
        .long   7               ! 6004008: where binutils' own view points
        .long   0
target: mov.l   port, r1        ! 6004010
        mov.l   r0, @r1
spin:   bra     spin
        nop
        .long   42              ! 6004018
port:   .long   0x01000004
)",
                                            errors);
    ASSERT_FALSE(program.empty()) << errors;
    const std::string trace = Scratch("slot_trace.txt"), opcode = Scratch("slot_opcode.bin");
    const CommandResult run = RunCommand(kRunner + " --trace " + trace + " --raw 0x06004000 " + program);
    EXPECT_EQ(run.exitCode, 42) << run.errors;
    const std::string text = ReadText(trace);
    std::remove(trace.c_str());
    std::remove(program.c_str());
    WriteBytes(opcode, Words({0xD001}));  // the slot's mov.l @(4,PC),r0
    const CommandResult objdump = RunCommand("sh-elf-objdump -D -b binary -m sh2 -EB --adjust-vma=0x6004010 " + opcode);
    std::remove(opcode.c_str());
    std::smatch expected;
    ASSERT_TRUE(std::regex_search(objdump.output, expected, std::regex("\t(mov\\.l\t0x[0-9a-f]+,r0)")))
        << objdump.output;
    EXPECT_EQ(expected[1].str(), "mov.l\t0x6004018,r0");
    EXPECT_NE(text.find(" " + expected[1].str() + "\t! delay slot\n"), std::string::npos) << text;
    EXPECT_NE(text.find("master 06004002 d001 "), std::string::npos) << text;
}

// The source lines come from the bytes sh2run loaded, not from the file,
// which may be truncated or replaced while the run goes on; a file whose
// debugging information is cut short gives what it holds, or nothing.
TEST(Sh2runProfile, SourceLinesReadTheBytesLoadedAndSurviveACutFile) {
    const std::string text = ReadText(Elf("crc32"));
    std::vector<uint8_t> bytes(text.begin(), text.end());
    const SourceLines lines(bytes);
    std::fill(bytes.begin(), bytes.end(), 0);               // the loaded bytes were the reader's own copy
    const SourceLines::Place place = lines.At(0x0600404c);  // crc32's first instruction
    EXPECT_EQ(place.file, "./examples/crc32.c");
    EXPECT_GT(place.line, 0);
    EXPECT_EQ(lines.DefinitionFile(0x0600404c), "./examples/crc32.c");
    bytes.assign(text.begin(), text.end());
    for (const size_t size : {text.size() / 2, text.size() - 64, size_t{100}, size_t{0}}) {
        const SourceLines cut(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(size)));
        for (uint32_t address = 0x06004000; address < 0x06004200; address += 2) {
            const SourceLines::Place any = cut.At(address);
            EXPECT_FALSE(any.file.empty()) << size;
            (void)cut.DefinitionFile(address);
        }
    }
}

TEST(Sh2runProfile, RowsAddUpToTheRunAndTheInnerLoopIsHottest) {
    const CommandResult run = RunCommand(kRunner + " --profile --stats " + Elf("crc32"));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const std::regex row("^ *([0-9]+) +([0-9.]+)% +([0-9]+)  (.+)$");
    std::istringstream lines(run.errors);
    std::string l, hottest;
    uint64_t cycles = 0, instructions = 0, totalCycles = 0, totalInstructions = 0, emulated = 0;
    while (std::getline(lines, l)) {
        std::smatch m;
        if (std::regex_match(l, m, row)) {
            if (m[4] == "total") {
                totalCycles = std::stoull(m[1]);
                totalInstructions = std::stoull(m[3]);
            } else {
                if (hottest.empty()) hottest = m[4];
                cycles += std::stoull(m[1]);
                instructions += std::stoull(m[3]);
            }
        } else if (l.rfind("emulated cycles: ", 0) == 0) {
            emulated = std::stoull(l.substr(17));
        }
    }
    EXPECT_EQ(hottest, "crc32") << run.errors;
    EXPECT_GT(totalCycles, 1000000u);
    EXPECT_EQ(cycles, totalCycles) << run.errors;
    EXPECT_EQ(instructions, totalInstructions) << run.errors;
    EXPECT_EQ(totalCycles, emulated) << run.errors;
}

// The trace and the profile see every instruction, the ones that cost
// nothing included: the BT/S in the slot of the BF/S has its line, and the
// profile counts eight instructions in six cycles.
TEST(Sh2runTrace, InstructionsThatCostNothingAreTracedAndProfiled) {
    std::string errors;
    const std::string program = AssembleRaw("free_branches", kFreeBranches, errors);
    ASSERT_FALSE(program.empty()) << errors;
    const CommandResult run = RunCommand(kRunner + " --trace - --profile --stats --raw 0x06004000 " + program);
    std::remove(program.c_str());
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const std::regex line("master ([0-9a-f]{8}) [0-9a-f]{4} +([0-9]+)  ([a-z.]+).*");
    std::vector<std::string> traced;
    std::istringstream lines(run.output);
    for (std::string text; std::getline(lines, text);) {
        std::smatch m;
        if (!std::regex_match(text, m, line)) continue;
        const bool slot = text.ends_with("\t! delay slot");
        traced.push_back(m[1].str() + " " + m[2].str() + " " + m[3].str() + (slot ? " slot" : ""));
    }
    const std::vector<std::string> expected = {"06004000 0 clrt", "06004002 1 bt.s",      "06004004 1 nop",
                                               "06004006 2 bf.s", "06004008 3 bt.s slot", "0600400c 3 mov.l",
                                               "0600400e 4 mov",  "06004010 5 mov.l"};
    EXPECT_EQ(traced, expected) << run.output;
    EXPECT_NE(run.errors.find("6 100.00%              8  total"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("emulated cycles: 6\n"), std::string::npos) << run.errors;
}

// The profile finds the innermost function holding an address, however
// large the function; of two with the same start, the later one.
TEST(Sh2runProfile, EveryAddressFindsTheInnermostFunctionHoldingIt) {
    const std::vector<FunctionSymbol> functions = {{"big", 0x06000000, 0x180000},
                                                   {"inner", 0x06010000, 0x100},
                                                   {"alias", 0x06010000, 0x80},
                                                   {"top", 0xFFFFFF00, 0x100}};
    const FunctionMap map(functions);
    const struct {
        uint32_t address;
        size_t function;
    } cases[] = {{0x05FFFFFF, FunctionMap::kNone},
                 {0x06000000, 0},
                 {0x0600FFFF, 0},
                 {0x06010000, 2},
                 {0x0601007F, 2},
                 {0x06010080, 1},
                 {0x06010100, 0},
                 {0x06170000, 0},
                 {0x0617FFFF, 0},
                 {0x06180000, FunctionMap::kNone},
                 {0xFFFFFF00, 3},
                 {0xFFFFFFFF, 3},
                 {0, FunctionMap::kNone}};
    for (const auto &c : cases) EXPECT_EQ(map.Find(c.address), c.function) << std::hex << c.address;
}

// Runs sh2run with `arguments` to its end, its output dropped: its exit
// code (-1: killed), with what it used in `usage`.
int RunMeasured(std::vector<std::string> arguments, rusage &usage) {
    arguments.insert(arguments.begin(), kRunner);
    std::vector<char *> argv;
    for (std::string &arg : arguments) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {1, 2}) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (!spawned || wait4(pid, &status, 0, &usage) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The callgrind profile keeps to a bounded memory in linear time whatever
// the program does: calls whose callee branches back and never returns
// (once 600 MB/s), returns to elsewhere than the calls' (once a search of
// the whole stack each), and a run through millions of distinct addresses
// (block 2's aliases, once a cache entry each).
TEST(Sh2runProfile, TheCallgrindProfileStaysBoundedWhateverTheProgramDoes) {
#if defined(SH2_UNDER_SANITIZER)
    GTEST_SKIP() << "bounds of the optimised build's time and memory: run by the optimised build";
#endif
    const struct {
        const char *name;
        std::vector<uint8_t> program;
        const char *address;
        const char *cycles;
    } cases[] = {
        {"calls without returns", Words({0xB000, 0x0009, 0xAFFC, 0x0009}), "0x06004000", "16000000"},
        {"returns to elsewhere", Words({0xB000, 0x0009, 0x002A, 0x70FC, 0x402A, 0x000B, 0x0009}), "0x06004000",
         "16000000"},
        {"distinct addresses", Words(std::vector<uint16_t>(1 << 20, 0x0009)), "0x06000000", "4000000"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string program = Scratch("bounded.bin"), profile = Scratch("bounded.callgrind");
        WriteBytes(program, c.program);
        rusage usage{};
        const int exitCode =
            RunMeasured({"--profile-out", profile, "--max-cycles", c.cycles, "--raw", c.address, program}, usage);
        const std::string written = ReadText(profile);
        std::remove(program.c_str());
        std::remove(profile.c_str());
        EXPECT_EQ(exitCode, 124);
        EXPECT_NE(written.find("\ntotals: "), std::string::npos);
        EXPECT_LT(usage.ru_maxrss, 64 << 10);  // KiB
        EXPECT_LT(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec, 10);
    }
}

// The callgrind profile: callgrind_annotate reads it, its totals are the
// run's cycles, the inner loop's line is the most expensive one, and main's
// calls carry crc32's cycles inclusively.
TEST(Sh2runProfile, CallgrindAnnotateReadsTheProfile) {
#if defined(SH2_UNDER_SANITIZER)
    // The profile's writer runs under the sanitizers in the tests of its
    // rows and bounds; this is binutils' and valgrind's reading of it.
    GTEST_SKIP() << "callgrind_annotate over a profile of 5 million cycles: run by the optimised build";
#endif
    if (std::system("command -v callgrind_annotate >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "package valgrind is not installed (no callgrind_annotate)";
    }
    char directory[4096];
    ASSERT_NE(getcwd(directory, sizeof directory), nullptr);
    const std::string profile = std::string(directory) + "/" + Scratch("crc32.callgrind");
    const CommandResult run = RunCommand(kRunner + " --profile-out " + profile + " --stats " + Elf("crc32"));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    std::smatch stats;
    ASSERT_TRUE(std::regex_search(run.errors, stats, std::regex("emulated cycles: ([0-9]+)\n"))) << run.errors;
    const CommandResult annotate =
        RunCommand("sh -c 'cd " SH2_EXAMPLES_DIR "/.. && callgrind_annotate --auto=yes " + profile + "'");
    const CommandResult inclusive = RunCommand("callgrind_annotate --inclusive=yes " + profile);
    std::remove(profile.c_str());
    auto number = [](std::string text) {
        text.erase(std::remove(text.begin(), text.end(), ','), text.end());
        return text;
    };
    std::smatch totals;
    ASSERT_TRUE(std::regex_search(annotate.output, totals,
                                  std::regex("([0-9,]+) \\(100\\.0%\\) +[0-9,]+ \\(100\\.0%\\)  PROGRAM TOTALS")))
        << annotate.output << annotate.errors;
    EXPECT_EQ(number(totals[1]), stats[1].str());
    // The annotated source lines: the costliest is the bit loop.
    const std::regex line(" *([0-9,]+) \\( *[0-9.]+%\\) +[0-9,]+ \\( *[0-9.]+%\\)  (.*)");
    std::istringstream lines(annotate.output);
    uint64_t most = 0;
    std::string costliest;
    for (std::string text; std::getline(lines, text);) {
        std::smatch m;
        const bool summary = text.find("PROGRAM TOTALS") != std::string::npos ||
                             text.find("events annotated") != std::string::npos ||
                             text.find(".c:") != std::string::npos || text.find(".h:") != std::string::npos;
        if (!summary && std::regex_match(text, m, line) && std::stoull(number(m[1])) > most) {
            most = std::stoull(number(m[1]));
            costliest = m[2];
        }
    }
    EXPECT_NE(costliest.find("for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1)"), std::string::npos) << costliest;
    std::smatch mainRow, crcRow;
    ASSERT_TRUE(std::regex_search(
        inclusive.output, mainRow,
        std::regex("([0-9,]+) \\([ 0-9.]+%\\) +[0-9,]+ \\([ 0-9.]+%\\)  \\./examples/crc32\\.c:main")));
    ASSERT_TRUE(std::regex_search(
        inclusive.output, crcRow,
        std::regex("([0-9,]+) \\([ 0-9.]+%\\) +[0-9,]+ \\([ 0-9.]+%\\)  \\./examples/crc32\\.c:crc32")));
    EXPECT_GT(std::stoull(number(mainRow[1])), std::stoull(number(crcRow[1])));

    // Stopped by the cycle limit, main never returns: its call is closed at
    // the end, so that main holds nearly the whole run, in the file that
    // defines it.
    const CommandResult limited =
        RunCommand(kRunner + " --max-cycles 200000 --profile-out " + profile + " " + Elf("crc32"));
    EXPECT_EQ(limited.exitCode, 124) << limited.errors;
    const std::string written = ReadText(profile);
    const CommandResult open = RunCommand("callgrind_annotate --inclusive=yes " + profile);
    std::remove(profile.c_str());
    EXPECT_NE(written.find("# calls still waiting for their return at the end, closed there: 1\n"), std::string::npos)
        << written;
    ASSERT_TRUE(std::regex_search(open.output, mainRow,
                                  std::regex("([0-9,]+) \\(([ 0-9.]+)%\\) +[0-9,]+ \\([ 0-9.]+%\\)  "
                                             "\\./examples/crc32\\.c:main")))
        << open.output;
    EXPECT_GT(std::stod(mainRow[2]), 99.9) << open.output;
}

}  // namespace
#endif
