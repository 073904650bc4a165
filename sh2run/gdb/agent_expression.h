// gdb's agent expressions: the bytecode in which gdb sends a breakpoint's
// condition with Z0/Z1 (";X<length>,<bytes>") once the server offers
// ConditionalBreakpoints+, so that the server evaluates it at each hit and
// only a true condition reaches gdb.
//
// The evaluator knows the integer bytecodes: arithmetic and logic, the
// comparisons, sign and zero extension, memory references of 1 to 8 bytes,
// registers, constants, jumps and the stack operations. A floating-point,
// trace, variable or printf bytecode, a stack that runs dry or too deep, a
// jump out of the expression, a division by zero, a memory read that fails
// and more than kMaxSteps steps all make the evaluation fail: the condition
// then counts as true, so that gdb sees the stop and says what it makes of
// the condition itself.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace sh2gdb {

struct AgentContext {
    // The value of gdb's register `number`; nullopt when there is none.
    std::function<std::optional<uint64_t>(int number)> readRegister;
    // Reads `length` bytes (1 to 8) at `address`, big-endian; false when it
    // cannot.
    std::function<bool(uint64_t address, int length, uint64_t &value)> readMemory;
};

inline constexpr size_t kMaxAgentStack = 64;
inline constexpr int kMaxAgentSteps = 10000;

// Runs `code`; true with `result` set to the value on top of the stack at
// its end, false when it cannot be evaluated.
bool EvaluateAgentExpression(const std::vector<uint8_t> &code, const AgentContext &context, uint64_t &result);

}  // namespace sh2gdb
