// The packet layer of sh2run's GDB remote serial protocol server.
//
// GdbServer turns the bytes a client sends into the bytes to send back: it
// finds the $payload#checksum frames, acknowledges them ('+', or '-' for a bad
// checksum or an overlong frame), answers each command and drives a GdbTarget
// for resumes. A client's '-' asks for the last reply again, at most
// kMaxResends times in a row. It knows nothing of sockets; gdb_socket.h
// carries it over TCP.
//
// Register layout: gdb's "sh" architectures number the registers r0..r15 (0
// to 15), pc (16), pr (17), gbr (18), vbr (19), mach (20), macl (21) and sr
// (22); the numbers above 22 up to 66 belong to FPU and DSP registers the SH-2
// lacks and read as unavailable. Values travel big-endian, like the target.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace sh2gdb {

inline constexpr int kRegisterCount = 23;        // r0..r15, pc, pr, gbr, vbr, mach, macl, sr
inline constexpr int kRegisterNumberLimit = 67;  // gdb's register numbers for "sh" end at 66
inline constexpr int kPcRegister = 16;
inline constexpr int kSrRegister = 22;
// The largest memory read answered in one packet, and the frame limit that
// follows from it (with room for an M packet of the same size).
inline constexpr uint32_t kMaxMemoryTransfer = 0x1000;
inline constexpr size_t kMaxPacketPayload = 2 * kMaxMemoryTransfer + 64;
// How often one reply is sent again on the client's request ('-').
inline constexpr int kMaxResends = 3;

// gdb's own signal numbers, used in stop replies.
inline constexpr int kSignalInterrupt = 2;
inline constexpr int kSignalIllegal = 4;
inline constexpr int kSignalTrap = 5;

// A watchpoint (Z2 write, Z3 read, Z4 access) on `length` bytes from
// `address`.
struct Watchpoint {
    enum Kind : uint8_t { Write, Read, Access } kind;
    uint32_t address;
    uint32_t length;
    bool operator<(const Watchpoint &other) const {
        return std::tie(address, length, kind) < std::tie(other.address, other.length, other.kind);
    }
    bool operator==(const Watchpoint &) const = default;
};

// What stops a resume besides its own end.
struct StopPoints {
    std::set<uint32_t> breakpoints;
    std::set<Watchpoint> watchpoints;
    // The conditions gdb sent with a breakpoint (agent expressions): it
    // stops there only when one of them holds. None: it always stops.
    std::map<uint32_t, std::vector<std::vector<uint8_t>>> conditions;
    bool operator==(const StopPoints &) const = default;
};

struct StopEvent {
    // ExitReached: the program has just written its exit status, and the
    // run stops there with its past; Exited: gdb went on past that stop.
    enum Kind {
        Breakpoint,
        Step,
        Interrupted,
        Exited,
        IllegalInstruction,
        Watch,
        HistoryStart,
        ExitReached
    } kind = Step;
    int thread = 1;           // 1 master, 2 slave
    uint32_t exitStatus = 0;  // for Exited
    Watchpoint::Kind watchKind = Watchpoint::Write;
    uint32_t watchAddress = 0;  // for Watch: the watched byte the access reached first
};

// One resume: run on (Continue), one instruction of a thread (Step), or
// instructions of a thread while its PC stays in [rangeStart, rangeEnd)
// (RangeStep); forward, or backward through the recorded history.
struct ResumeRequest {
    enum Kind { Continue, Step, RangeStep } kind = Continue;
    bool reverse = false;
    int thread = 1;
    uint32_t rangeStart = 0;
    uint32_t rangeEnd = 0;
};

// What the server debugs: threads 1..ThreadCount(), each one processor with
// its registers and its view of memory (on-chip areas differ per processor).
class GdbTarget {
public:
    virtual ~GdbTarget() = default;
    virtual int ThreadCount() const = 0;
    virtual std::string ThreadName(int thread) const = 0;
    virtual uint32_t ReadRegister(int thread, int index) = 0;  // index < kRegisterCount
    virtual void WriteRegister(int thread, int index, uint32_t value) = 0;
    virtual void ReadMemory(int thread, uint32_t address, uint8_t *out, uint32_t length) = 0;
    virtual void WriteMemory(int thread, uint32_t address, const uint8_t *data, uint32_t length) = 0;
    // Whether the program has ended (then every resume reports Exited).
    virtual std::optional<uint32_t> ExitStatus() const = 0;
    // Runs the machine as `request` asks until it is done or another stop
    // comes first: a breakpoint (not the one at the PC a thread resumes
    // from), a watchpoint, the program's end, an undefined instruction, the
    // start of the recorded history (going backward), or `interrupted()`
    // returning true (it is asked often enough to answer within a bounded
    // time). A step is one instruction, a delayed branch with its slot.
    virtual StopEvent Resume(const ResumeRequest &request, const StopPoints &points,
                             const std::function<bool()> &interrupted) = 0;
    // A `monitor` command's output; nullopt: the target has no such command.
    virtual std::optional<std::string> Monitor(std::string_view) { return std::nullopt; }
};

class GdbServer {
public:
    enum class State { Attached, Detached, Killed };
    using InterruptCheck = std::function<bool()>;

    explicit GdbServer(GdbTarget &target);

    // Takes bytes from the client. Every complete frame is acknowledged and
    // answered; a resume runs the target to its next stop first, asking
    // `interrupted` between slices. A 0x03 byte between frames while stopped
    // is answered with a stop reply.
    void Receive(std::string_view bytes, const InterruptCheck &interrupted);
    // The bytes to send to the client since the last call.
    std::string TakeOutput();
    // Called before the target runs, so that the transport can send what is
    // pending (the resume's acknowledgement) at once rather than at the stop.
    void SetFlush(std::function<void()> flush) { flush_ = std::move(flush); }
    State state() const { return state_; }

    // One command (a frame's payload) and its reply payload; nullopt when the
    // command has no reply (k). Exposed for tests.
    std::optional<std::string> HandleCommand(std::string_view payload, const InterruptCheck &interrupted);

    // Framing.
    static std::string Frame(std::string_view payload);
    static uint8_t Checksum(std::string_view payload);

private:
    void ReceiveFrame(std::string_view raw, const InterruptCheck &interrupted);
    void Send(const std::string &payload);
    std::string StopReply(const StopEvent &event);
    std::string Resume(ResumeRequest request, const InterruptCheck &interrupted);
    int ResumeThread() const;
    std::string HandleResume(char command, std::string_view rest, const InterruptCheck &interrupted);
    std::string HandleThreadSelect(std::string_view rest);
    std::string HandleQuery(std::string_view payload);
    std::string HandleVCont(std::string_view actions, const InterruptCheck &interrupted);
    std::string ReadRegister(std::string_view rest);
    std::string WriteRegister(std::string_view rest);
    std::string ReadRegisters();
    std::string WriteRegisters(std::string_view hex);
    std::string ReadMemory(std::string_view arguments);
    std::string WriteMemory(std::string_view arguments);
    std::string Breakpoint(std::string_view payload);
    std::string Watch(std::string_view payload);
    bool ValidThread(long long thread) const;
    int GeneralThread() const;

    GdbTarget &target_;
    State state_ = State::Attached;
    std::string input_;
    std::string output_;
    std::string lastFrame_;  // sent again when the client answers '-'
    int resends_ = 0;        // of lastFrame_ so far
    std::function<void()> flush_;
    StopPoints points_;
    StopEvent lastStop_;
    int generalThread_ = 0;   // Hg: 0 any
    int continueThread_ = 0;  // Hc: 0 or -1 any
    // The thread gdb has selected (its last Hg of a thread, or the thread of
    // a stop that gdb then switches to): what a resume for any thread (Hc0,
    // Hc-1) steps. A stop of a resume that named its thread (gdb stepping
    // another thread off a breakpoint first) does not change it.
    int selectedThread_ = 0;
};

}  // namespace sh2gdb
