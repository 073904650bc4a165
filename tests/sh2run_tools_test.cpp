// sh2run's debugging tools: the GDB server's packet layer on the real cores,
// its TCP transport (interrupt, kill, a client that goes away), the trace
// against sh-elf-objdump and the profile against the run's cycle count.
#if defined(SH2_DEBUG_TOOLS)
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "command_runner.h"
#include "host_machine/host_memory.h"
#include "host_machine/program_image.h"
#include "sh2run/debug/machine_target.h"
#include "sh2run/machine.h"
#include "sh2run/gdb/gdb_server.h"

extern char **environ;

namespace {

using namespace sh2host;
using namespace sh2run;
using namespace sh2test;
using sh2gdb::GdbServer;

// ---------------------------------------------------------------------------
// The packet layer over the linked library's cores, crc32.elf loaded.

class GdbPackets : public ::testing::Test {
protected:
    void SetUp() override {
        ports = PortState{};
        hooks = HostHooks{};
        ports.console = nullptr;
        quietMessages = true;
        UseMemory(memory_.get());
        std::vector<uint8_t> file;
        std::string error;
        ASSERT_TRUE(ReadProgramFile(Elf("crc32"), file, error)) << error;
        LoadedImage image;
        ASSERT_TRUE(LoadElf(file, image, error)) << error;
        for (uint32_t vector : {0u, 8u}) {
            WriteLongAt(vector, image.entry);
            WriteLongAt(vector + 4, 0x06200000);
        }
        host_ = MakeHostInterface(*memory_);
        ASSERT_EQ(InitSH2Plugin(&host_), 1);
    }
    void TearDown() override { DeInitPlugin(); }

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

    std::unique_ptr<HostMemory> memory_ = std::make_unique<HostMemory>();
    SH2HostInterface host_{};
    Options options_;
    struct LinkedLibrary : Plugin {
        LinkedLibrary() { BindLinkedLibrary(*this); }
    } linked_;
    MachineTarget target_{options_, linked_};
    GdbServer server_{target_};
};

TEST_F(GdbPackets, DamagedFramesAreRefusedAndTheServerGoesOn) {
    EXPECT_EQ(Send("$g#00"), "-");                  // bad checksum
    EXPECT_EQ(Send("$?#zz"), "-");                  // checksum not hex
    EXPECT_EQ(Send("garbage\x01\xff+++"), "");      // noise between frames
    EXPECT_EQ(Send("$m6004000"), "");               // truncated: waits
    std::string tail = GdbServer::Frame("m6004000,4");
    tail.erase(0, 9);  // the rest of the frame: ",4#" and the checksum
    EXPECT_EQ(Send(tail), std::string("+").append(GdbServer::Frame("d003400b")));
    std::string overlong(3 * sh2gdb::kMaxPacketPayload, 'A');
    overlong[0] = '$';
    EXPECT_EQ(Send(overlong), "-");
    EXPECT_EQ(Send(std::string("AAAA#00").append(GdbServer::Frame("?"))),
              std::string("+").append(GdbServer::Frame("T05thread:1;")));
    EXPECT_EQ(Send("-"), GdbServer::Frame("T05thread:1;"));  // sent again on request
    EXPECT_EQ(Send("\x03"), GdbServer::Frame("T02thread:1;"));
    // An escaped payload byte ("}" then 0x5d is '}'): an unknown command,
    // answered with an empty reply.
    char frame[16];
    std::snprintf(frame, sizeof frame, "$}\x5d#%02x", GdbServer::Checksum("}\x5d"));
    EXPECT_EQ(Send(frame), "+$#00");
}

TEST_F(GdbPackets, BadArgumentsGetErrorsAndUnknownCommandsEmptyReplies) {
    for (const char *unknown : {"vFooBar", "X6004000,0:", "Z2,6004000,4", "QNonStop:1", "qUnheardOf", "!", "b"}) {
        EXPECT_EQ(Reply(unknown), "") << unknown;
    }
    for (const char *bad : {"m", "mzz,4", "m6004000,", "m6004000,1ffffffffffffffff", "M6004000,ffffffff:00",
                            "M6004000,2:00", "M6004000,2:zzzz", "M6004000:2,00", "p", "p43", "P10=1234", "Pzz=00000000",
                            "G00", "gx", "Hg7", "Hx1", "T2", "Tzz", "Z0,6004000", "Z0,,2", "vCont;x", "vCont;s:zz",
                            "qThreadExtraInfo,9", "qXfer:features:read:target.xml:zz,10"}) {
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
}

TEST_F(GdbPackets, BreakpointsRegistersAndBusMemory) {
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
    // Without breakpoints the program runs to its exit, reported as W.
    EXPECT_EQ(Reply("z0,600404c,2"), "OK");
    EXPECT_EQ(Reply("c"), "W00");
    EXPECT_TRUE(ports.exited);
    EXPECT_EQ(Reply("s"), "W00");
    EXPECT_EQ(Reply("D"), "OK");
    EXPECT_EQ(server_.state(), GdbServer::State::Detached);
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
        const std::regex announce("127\\.0\\.0\\.1:([0-9]+)");
        for (int i = 0; i < 100 && pid_ > 0; ++i) {
            std::smatch match;
            const std::string text = ReadText(stderrFile_);
            if (std::regex_search(text, match, announce)) {
                fd_ = socket(AF_INET, SOCK_STREAM, 0);
                sockaddr_in address{};
                address.sin_family = AF_INET;
                address.sin_port = htons(static_cast<uint16_t>(std::stoi(match[1])));
                address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                timeval timeout{10, 0};
                setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
                return connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    void Write(std::string_view bytes) { ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size())); }
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

TEST(GdbSocket, CtrlCStopsARunningProgramAndKillEndsSh2run) {
    // The program spins for ever at `hang`.
    Sh2runGdb runner({"--entry", "0x600400a", Elf("crc32")});
    ASSERT_TRUE(runner.Connect());
    runner.Write(GdbServer::Frame("c"));
    EXPECT_EQ(runner.ReadUntil("+"), "+");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    runner.Write("\x03");
    const std::string stop = runner.ReadUntil("#");
    EXPECT_EQ(stop.substr(0, 13), "$T02thread:1;") << stop;
    runner.Write(GdbServer::Frame("m600400a,2"));
    EXPECT_NE(runner.ReadUntil("$affe#").find("$affe#"), std::string::npos);
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
        if (std::regex_match(l, m, row)) objdump[std::stoul(m[1], nullptr, 16)] = {m[2].str() + m[3].str(), m[4]};
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

}  // namespace
#endif
