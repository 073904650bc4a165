#include "sh2run/gdb/gdb_server.h"

#include <cstdio>
#include <vector>

namespace sh2gdb {
namespace {

// A target description that only names the architecture: gdb's SH support
// keeps its own register layout, and "sh2" selects the SH-2's register set
// even when no program file was given to gdb.
constexpr std::string_view kTargetXml =
    "<?xml version=\"1.0\"?>\n"
    "<!DOCTYPE target SYSTEM \"gdb-target.dtd\">\n"
    "<target version=\"1.0\"><architecture>sh2</architecture></target>\n";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A whole field of hex digits, at most 16 of them.
bool ParseHex(std::string_view text, uint64_t &value) {
    if (text.empty() || text.size() > 16) return false;
    value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return false;
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
    return true;
}

bool ParseHex32(std::string_view text, uint32_t &value) {
    uint64_t wide = 0;
    if (!ParseHex(text, wide) || wide > 0xFFFFFFFFu) return false;
    value = static_cast<uint32_t>(wide);
    return true;
}

// A thread id as gdb sends it without multiprocess extensions: hex, 0 for
// any thread, -1 for all.
bool ParseThread(std::string_view text, long long &thread) {
    if (text == "-1") {
        thread = -1;
        return true;
    }
    uint64_t value = 0;
    if (!ParseHex(text, value) || value > 0xFFFF) return false;
    thread = static_cast<long long>(value);
    return true;
}

bool ParseHexBytes(std::string_view hex, std::vector<uint8_t> &bytes) {
    if (hex.size() % 2 != 0) return false;
    bytes.resize(hex.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexDigit(hex[2 * i]), low = HexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        bytes[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

void AppendHexByte(std::string &out, uint8_t byte) {
    static const char digits[] = "0123456789abcdef";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

void AppendHex32(std::string &out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) AppendHexByte(out, static_cast<uint8_t>(value >> shift));
}

std::string HexText(std::string_view text) {
    std::string out;
    for (char c : text) AppendHexByte(out, static_cast<uint8_t>(c));
    return out;
}

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

const std::string kError = "E01";

}  // namespace

GdbServer::GdbServer(GdbTarget &target) : target_(target) {
    lastStop_.kind = StopEvent::Step;
    lastStop_.thread = 1;
}

uint8_t GdbServer::Checksum(std::string_view payload) {
    uint8_t sum = 0;
    for (char c : payload) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
    return sum;
}

std::string GdbServer::Frame(std::string_view payload) {
    // Replies are escaped as the protocol asks: '#', '$', '}' and '*' become
    // '}' followed by the character XOR 0x20.
    std::string escaped;
    escaped.reserve(payload.size());
    for (char c : payload) {
        if (c == '#' || c == '$' || c == '}' || c == '*') {
            escaped += '}';
            escaped += static_cast<char>(c ^ 0x20);
        } else {
            escaped += c;
        }
    }
    std::string frame = "$" + escaped + "#";
    AppendHexByte(frame, Checksum(escaped));
    return frame;
}

std::string GdbServer::TakeOutput() {
    std::string out;
    out.swap(output_);
    return out;
}

void GdbServer::Send(const std::string &payload) {
    lastFrame_ = Frame(payload);
    resends_ = 0;
    output_ += lastFrame_;
}

void GdbServer::ReceiveFrame(std::string_view raw, const InterruptCheck &interrupted) {
    output_ += '+';
    std::string payload;
    payload.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '}' && i + 1 < raw.size()) {
            payload += static_cast<char>(raw[++i] ^ 0x20);
        } else {
            payload += raw[i];
        }
    }
    const std::optional<std::string> reply = HandleCommand(payload, interrupted);
    if (reply) Send(*reply);
}

void GdbServer::Receive(std::string_view bytes, const InterruptCheck &interrupted) {
    input_.append(bytes);
    size_t pos = 0;
    while (pos < input_.size() && state_ == State::Attached) {
        const char c = input_[pos];
        if (c == '$') {
            const size_t hash = input_.find('#', pos + 1);
            if (hash == std::string::npos) {
                if (input_.size() - pos > kMaxPacketPayload + 1) {
                    output_ += '-';  // overlong: dropped; its tail is skipped as noise
                    pos = input_.size();
                }
                break;
            }
            if (hash + 2 >= input_.size()) break;  // the checksum is still on its way
            const std::string_view raw = std::string_view(input_).substr(pos + 1, hash - pos - 1);
            const int high = HexDigit(input_[hash + 1]), low = HexDigit(input_[hash + 2]);
            pos = hash + 3;
            if (high < 0 || low < 0 || raw.size() > kMaxPacketPayload || Checksum(raw) != (high << 4 | low)) {
                output_ += '-';
                continue;
            }
            ReceiveFrame(raw, interrupted);
        } else if (c == '\x03') {
            // Stopped already: say so.
            StopEvent event = lastStop_;
            if (event.kind != StopEvent::Exited) event.kind = StopEvent::Interrupted;
            Send(StopReply(event));
            ++pos;
        } else if (c == '-') {
            // The client asks for the last reply again; a client that keeps
            // asking gets no more than kMaxResends copies.
            if (resends_ < kMaxResends) {
                output_ += lastFrame_;
                ++resends_;
            }
            ++pos;
        } else {
            ++pos;  // '+' and anything between frames
        }
    }
    input_.erase(0, pos);
}

std::string GdbServer::StopReply(const StopEvent &event) {
    char text[64];
    switch (event.kind) {
        case StopEvent::Exited:
            std::snprintf(text, sizeof text, "W%02x", static_cast<unsigned>(event.exitStatus & 0xFF));
            return text;
        case StopEvent::Interrupted:
            std::snprintf(text, sizeof text, "T%02xthread:%x;", kSignalInterrupt, event.thread);
            return text;
        case StopEvent::IllegalInstruction:
            std::snprintf(text, sizeof text, "T%02xthread:%x;", kSignalIllegal, event.thread);
            return text;
        case StopEvent::Watch: {
            static const char *const kinds[] = {"watch", "rwatch", "awatch"};
            std::snprintf(text, sizeof text, "T%02x%s:%x;thread:%x;", kSignalTrap, kinds[event.watchKind],
                          static_cast<unsigned>(event.watchAddress), event.thread);
            return text;
        }
        case StopEvent::HistoryStart:
            std::snprintf(text, sizeof text, "T%02xreplaylog:begin;thread:%x;", kSignalTrap, event.thread);
            return text;
        case StopEvent::ExitReached:  // a plain trap; Resume has told gdb's console why
        case StopEvent::Breakpoint:
        case StopEvent::Step: break;
    }
    std::snprintf(text, sizeof text, "T%02xthread:%x;", kSignalTrap, event.thread);
    return text;
}

bool GdbServer::ValidThread(long long thread) const {
    return thread >= 1 && thread <= target_.ThreadCount();
}

int GdbServer::GeneralThread() const {
    if (ValidThread(generalThread_)) return generalThread_;
    return ValidThread(lastStop_.thread) ? lastStop_.thread : 1;
}

// The thread a resume without a thread of its own acts on.
int GdbServer::ResumeThread() const {
    if (ValidThread(continueThread_)) return continueThread_;
    return ValidThread(selectedThread_) ? selectedThread_ : GeneralThread();
}

std::string GdbServer::Resume(ResumeRequest request, const InterruptCheck &interrupted) {
    if (const std::optional<uint32_t> status = target_.ExitStatus(); status && !request.reverse) {
        lastStop_ = {.kind = StopEvent::Exited, .thread = lastStop_.thread, .exitStatus = *status};
        return StopReply(lastStop_);
    }
    if (flush_) flush_();
    const bool threadNamed = ValidThread(request.thread) || ValidThread(continueThread_);
    if (!ValidThread(request.thread)) request.thread = ResumeThread();
    lastStop_ = target_.Resume(
        request, points_, interrupted ? interrupted : [] { return false; });
    if (lastStop_.kind == StopEvent::ExitReached) {
        // gdb prints an O packet's text on its console, before the stop.
        std::string note = "O";
        note += HexText("the program wrote " + std::to_string(lastStop_.exitStatus) +
                        " to the exit port: continue to end the run, or go back\n");
        Send(note);
    }
    // Like gdbserver, the thread a stop reply names becomes the one register
    // and memory packets address: gdb assumes so and sends no Hg after it.
    if (lastStop_.kind != StopEvent::Exited) {
        generalThread_ = lastStop_.thread;
        if (!threadNamed) selectedThread_ = lastStop_.thread;
    }
    return StopReply(lastStop_);
}

std::optional<std::string> GdbServer::HandleCommand(std::string_view payload, const InterruptCheck &interrupted) {
    if (payload.empty()) return std::string();
    const char command = payload[0];
    const std::string_view rest = payload.substr(1);
    switch (command) {
        case '?': return StopReply(lastStop_);
        case 'g': return rest.empty() ? ReadRegisters() : kError;
        case 'G': return WriteRegisters(rest);
        case 'p': return ReadRegister(rest);
        case 'P': return WriteRegister(rest);
        case 'm': return ReadMemory(rest);
        case 'M': return WriteMemory(rest);
        case 'c':
        case 's':
        case 'C':
        case 'S': return HandleResume(command, rest, interrupted);
        case 'v':
            if (payload == "vCont?") return std::string("vCont;c;C;s;S;r");
            if (StartsWith(payload, "vCont;")) return HandleVCont(payload.substr(6), interrupted);
            return std::string();  // vMustReplyEmpty and everything else
        case 'H': return HandleThreadSelect(rest);
        case 'T': {
            long long thread = 0;
            return ParseThread(rest, thread) && ValidThread(thread) ? std::string("OK") : kError;
        }
        case 'q': return HandleQuery(payload);
        case 'Z':
        case 'z':
            return payload.size() >= 2 && payload[1] >= '2' && payload[1] <= '4' ? Watch(payload) : Breakpoint(payload);
        case 'b':
            // bs and bc: a step or a continue backward through the history.
            if (rest == "s" || rest == "c") {
                return Resume(
                    {.kind = rest == "s" ? ResumeRequest::Step : ResumeRequest::Continue, .reverse = true, .thread = 0},
                    interrupted);
            }
            return std::string();
        case 'D': state_ = State::Detached; return std::string("OK");
        case 'k': state_ = State::Killed; return std::nullopt;
        default: return std::string();  // unknown: not supported
    }
}

std::string GdbServer::ReadRegister(std::string_view rest) {
    uint32_t index = 0;
    if (!ParseHex32(rest, index) || index >= static_cast<uint32_t>(kRegisterNumberLimit)) return kError;
    if (index >= static_cast<uint32_t>(kRegisterCount)) return "xxxxxxxx";
    std::string out;
    AppendHex32(out, target_.ReadRegister(GeneralThread(), static_cast<int>(index)));
    return out;
}

std::string GdbServer::WriteRegister(std::string_view rest) {
    const size_t equals = rest.find('=');
    uint32_t index = 0, value = 0;
    if (equals == std::string_view::npos || !ParseHex32(rest.substr(0, equals), index) ||
        index >= static_cast<uint32_t>(kRegisterNumberLimit) || rest.size() - equals - 1 != 8 ||
        !ParseHex32(rest.substr(equals + 1), value)) {
        return kError;
    }
    if (index < static_cast<uint32_t>(kRegisterCount)) {
        target_.WriteRegister(GeneralThread(), static_cast<int>(index), value);
    }
    return "OK";
}

// c [ADDR], s [ADDR], C SIG[;ADDR], S SIG[;ADDR]: the signal is dropped (the
// machine has none to deliver).
std::string GdbServer::HandleResume(char command, std::string_view rest, const InterruptCheck &interrupted) {
    std::string_view address = rest;
    if (command == 'C' || command == 'S') {
        const size_t semicolon = rest.find(';');
        address = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
    }
    if (!address.empty()) {
        uint32_t pc = 0;
        if (!ParseHex32(address, pc)) return kError;
        target_.WriteRegister(ResumeThread(), kPcRegister, pc);
    }
    const bool step = command == 's' || command == 'S';
    return Resume({.kind = step ? ResumeRequest::Step : ResumeRequest::Continue, .thread = 0}, interrupted);
}

std::string GdbServer::HandleThreadSelect(std::string_view rest) {
    long long thread = 0;
    if (rest.empty() || (rest[0] != 'g' && rest[0] != 'c') || !ParseThread(rest.substr(1), thread) ||
        (thread > 0 && !ValidThread(thread))) {
        return kError;
    }
    (rest[0] == 'g' ? generalThread_ : continueThread_) = static_cast<int>(thread);
    if (rest[0] == 'g' && thread > 0) selectedThread_ = static_cast<int>(thread);
    return "OK";
}

std::string GdbServer::HandleVCont(std::string_view actions, const InterruptCheck &interrupted) {
    // All-stop: a step (or range step) action anywhere steps its thread
    // alone (the other threads' "continue" lasts no longer than the step);
    // otherwise every thread continues.
    bool anyContinue = false;
    while (!actions.empty()) {
        const size_t semicolon = actions.find(';');
        std::string_view action = actions.substr(0, semicolon);
        actions = semicolon == std::string_view::npos ? std::string_view() : actions.substr(semicolon + 1);
        long long thread = 0;
        const size_t colon = action.find(':');
        if (colon != std::string_view::npos) {
            // A thread of its own must exist; 0 and -1 stand for any and all.
            if (!ParseThread(action.substr(colon + 1), thread) || (thread > 0 && !ValidThread(thread))) {
                return kError;
            }
            action = action.substr(0, colon);
        }
        if (action.empty()) return kError;
        const char kind = action[0];
        const int target = ValidThread(thread) ? static_cast<int>(thread) : 0;
        if (kind == 'r') {  // rSTART,END: step while PC stays in [START, END)
            const size_t comma = action.find(',');
            uint32_t start = 0, end = 0;
            if (comma == std::string_view::npos || !ParseHex32(action.substr(1, comma - 1), start) ||
                !ParseHex32(action.substr(comma + 1), end)) {
                return kError;
            }
            return Resume({.kind = ResumeRequest::RangeStep, .thread = target, .rangeStart = start, .rangeEnd = end},
                          interrupted);
        }
        if ((kind == 'C' || kind == 'S') && action.size() != 3) return kError;
        if ((kind == 'c' || kind == 's') && action.size() != 1) return kError;
        if (kind == 's' || kind == 'S') return Resume({.kind = ResumeRequest::Step, .thread = target}, interrupted);
        if (kind != 'c' && kind != 'C') return kError;
        anyContinue = true;
    }
    return anyContinue ? Resume({.kind = ResumeRequest::Continue, .thread = 0}, interrupted) : kError;
}

std::string GdbServer::HandleQuery(std::string_view payload) {
    if (StartsWith(payload, "qSupported")) {
        std::string out = "PacketSize=";
        out += Hex(kMaxPacketPayload);
        out += ";qXfer:features:read+;vContSupported+;ReverseStep+;ReverseContinue+;ConditionalBreakpoints+";
        return out;
    }
    if (StartsWith(payload, "qXfer:features:read:")) {
        std::string_view rest = payload.substr(20);
        const size_t colon = rest.find(':');
        if (colon == std::string_view::npos) return kError;
        if (rest.substr(0, colon) != "target.xml") return "E00";
        rest = rest.substr(colon + 1);
        const size_t comma = rest.find(',');
        uint32_t offset = 0, length = 0;
        if (comma == std::string_view::npos || !ParseHex32(rest.substr(0, comma), offset) ||
            !ParseHex32(rest.substr(comma + 1), length)) {
            return kError;
        }
        if (offset >= kTargetXml.size()) return "l";
        const std::string_view part = kTargetXml.substr(offset, length);
        std::string out(1, offset + part.size() >= kTargetXml.size() ? 'l' : 'm');
        out.append(part);
        return out;
    }
    if (StartsWith(payload, "qRcmd,")) {  // monitor COMMAND: its output, hex-encoded
        std::vector<uint8_t> command;
        if (!ParseHexBytes(payload.substr(6), command)) return kError;
        const std::string_view text(reinterpret_cast<const char *>(command.data()), command.size());
        std::optional<std::string> output = target_.Monitor(text);
        if (!output) output = "unknown monitor command \"" + std::string(text) + "\" (monitor help lists them)\n";
        return output->empty() ? "OK" : HexText(*output);
    }
    if (payload == "qAttached") return "1";
    if (payload == "qC") {
        std::string out = "QC";
        out += Hex(static_cast<uint64_t>(GeneralThread()));
        return out;
    }
    if (payload == "qfThreadInfo") {
        std::string out = "m";
        for (int thread = 1; thread <= target_.ThreadCount(); ++thread) {
            if (thread > 1) out += ',';
            out += Hex(static_cast<uint64_t>(thread));
        }
        return out;
    }
    if (payload == "qsThreadInfo") return "l";
    if (StartsWith(payload, "qThreadExtraInfo,")) {
        long long thread = 0;
        if (!ParseThread(payload.substr(17), thread) || !ValidThread(thread)) return kError;
        return HexText(target_.ThreadName(static_cast<int>(thread)));
    }
    if (payload == "qSymbol::") return "OK";
    return std::string();
}

std::string GdbServer::ReadRegisters() {
    std::string out;
    const int thread = GeneralThread();
    for (int index = 0; index < kRegisterCount; ++index) AppendHex32(out, target_.ReadRegister(thread, index));
    return out;
}

std::string GdbServer::WriteRegisters(std::string_view hex) {
    if (hex.size() < static_cast<size_t>(kRegisterCount) * 8 || hex.size() % 8 != 0 ||
        hex.size() > static_cast<size_t>(kRegisterNumberLimit) * 8) {
        return kError;
    }
    uint32_t values[kRegisterCount];
    bool present[kRegisterCount];
    for (int index = 0; index < kRegisterCount; ++index) {
        const std::string_view field = hex.substr(static_cast<size_t>(index) * 8, 8);
        present[index] = field != "xxxxxxxx";
        if (present[index] && !ParseHex32(field, values[index])) return kError;
    }
    const int thread = GeneralThread();
    for (int index = 0; index < kRegisterCount; ++index) {
        if (present[index]) target_.WriteRegister(thread, index, values[index]);
    }
    return "OK";
}

std::string GdbServer::ReadMemory(std::string_view arguments) {
    const size_t comma = arguments.find(',');
    uint32_t address = 0;
    uint64_t length = 0;
    if (comma == std::string_view::npos || !ParseHex32(arguments.substr(0, comma), address) ||
        !ParseHex(arguments.substr(comma + 1), length)) {
        return kError;
    }
    // A reply may be shorter than asked: at most kMaxMemoryTransfer bytes and
    // never past the top of the address space.
    if (length > kMaxMemoryTransfer) length = kMaxMemoryTransfer;
    if (length > uint64_t{0x100000000} - address) length = uint64_t{0x100000000} - address;
    if (length == 0) return std::string();
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    target_.ReadMemory(GeneralThread(), address, bytes.data(), static_cast<uint32_t>(length));
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t byte : bytes) AppendHexByte(out, byte);
    return out;
}

std::string GdbServer::WriteMemory(std::string_view arguments) {
    const size_t comma = arguments.find(',');
    const size_t colon = arguments.find(':');
    uint32_t address = 0;
    uint64_t length = 0;
    std::vector<uint8_t> bytes;
    if (comma == std::string_view::npos || colon == std::string_view::npos || colon < comma ||
        !ParseHex32(arguments.substr(0, comma), address) ||
        !ParseHex(arguments.substr(comma + 1, colon - comma - 1), length) || length > kMaxMemoryTransfer ||
        length > uint64_t{0x100000000} - address || !ParseHexBytes(arguments.substr(colon + 1), bytes) ||
        bytes.size() != length) {
        return kError;
    }
    if (length != 0) target_.WriteMemory(GeneralThread(), address, bytes.data(), static_cast<uint32_t>(length));
    return "OK";
}

namespace {

// "Zt,ADDR,KIND" or "zt,ADDR,KIND" (conditions after ';' are ignored).
bool ParsePoint(std::string_view payload, uint32_t &address, uint64_t &kind) {
    const std::string_view rest = payload.substr(2);
    if (rest.empty() || rest[0] != ',') return false;
    const size_t comma = rest.find(',', 1);
    if (comma == std::string_view::npos || !ParseHex32(rest.substr(1, comma - 1), address)) return false;
    std::string_view field = rest.substr(comma + 1);
    field = field.substr(0, field.find(';'));
    return ParseHex(field, kind);
}

}  // namespace

std::string GdbServer::Breakpoint(std::string_view payload) {
    // Z0/Z1 (software and hardware breakpoints alike) are kept by the server
    // and checked against PC before each instruction; guest memory is never
    // changed.
    if (payload.size() < 2 || (payload[1] != '0' && payload[1] != '1')) return std::string();
    uint32_t address = 0;
    uint64_t kind = 0;
    if (!ParsePoint(payload, address, kind)) return kError;
    if (payload[0] == 'z') {
        points_.breakpoints.erase(address);
        points_.conditions.erase(address);
        return "OK";
    }
    // ;X<length>,<bytecode> once per condition (gdb sends them all again
    // whenever one changes); ;cmds... (dprintf's commands) are not taken.
    std::vector<std::vector<uint8_t>> conditions;
    for (size_t at = payload.find(';'); at != std::string_view::npos;) {
        const size_t next = payload.find(';', at + 1);
        const std::string_view part = payload.substr(at + 1, next == std::string_view::npos ? next : next - at - 1);
        at = next;
        if (part.empty() || part[0] != 'X') return kError;
        const size_t comma = part.find(',');
        uint64_t length = 0;
        std::vector<uint8_t> code;
        if (comma == std::string_view::npos || !ParseHex(part.substr(1, comma - 1), length) ||
            !ParseHexBytes(part.substr(comma + 1), code) || code.size() != length || length == 0) {
            return kError;
        }
        conditions.push_back(std::move(code));
    }
    points_.breakpoints.insert(address);
    if (conditions.empty()) {
        points_.conditions.erase(address);
    } else {
        points_.conditions[address] = std::move(conditions);
    }
    return "OK";
}

std::string GdbServer::Watch(std::string_view payload) {
    // Z2 (write), Z3 (read) and Z4 (access) on 1 to 2^32 - 1 bytes that end
    // at the top of the address space at the latest; as many as gdb sets.
    uint32_t address = 0;
    uint64_t length = 0;
    if (!ParsePoint(payload, address, length) || length == 0 || length > UINT32_MAX ||
        length > (uint64_t{1} << 32) - address) {
        return kError;
    }
    const Watchpoint watch{static_cast<Watchpoint::Kind>(payload[1] - '2'), address, static_cast<uint32_t>(length)};
    if (payload[0] == 'Z') {
        points_.watchpoints.insert(watch);
    } else {
        points_.watchpoints.erase(watch);
    }
    return "OK";
}

}  // namespace sh2gdb
