#include "sh2run/gdb/agent_expression.h"

namespace sh2gdb {
namespace {

// The bytecodes this evaluator knows (gdb's numbering).
enum Op : uint8_t {
    kAdd = 0x02,
    kSub = 0x03,
    kMul = 0x04,
    kDivSigned = 0x05,
    kDivUnsigned = 0x06,
    kRemSigned = 0x07,
    kRemUnsigned = 0x08,
    kLsh = 0x09,
    kRshSigned = 0x0a,
    kRshUnsigned = 0x0b,
    kLogNot = 0x0e,
    kBitAnd = 0x0f,
    kBitOr = 0x10,
    kBitXor = 0x11,
    kBitNot = 0x12,
    kEqual = 0x13,
    kLessSigned = 0x14,
    kLessUnsigned = 0x15,
    kExt = 0x16,
    kRef8 = 0x17,
    kRef16 = 0x18,
    kRef32 = 0x19,
    kRef64 = 0x1a,
    kIfGoto = 0x20,
    kGoto = 0x21,
    kConst8 = 0x22,
    kConst16 = 0x23,
    kConst32 = 0x24,
    kConst64 = 0x25,
    kReg = 0x26,
    kEnd = 0x27,
    kDup = 0x28,
    kPop = 0x29,
    kZeroExt = 0x2a,
    kSwap = 0x2b,
    kPick = 0x32,
    kRot = 0x33,
};

int64_t Signed(uint64_t value) {
    return static_cast<int64_t>(value);
}

// `value` with bit `bits - 1` copied into every bit above it (1 <= bits <= 64).
uint64_t SignExtend(uint64_t value, unsigned bits) {
    if (bits >= 64) return value;
    const uint64_t sign = uint64_t{1} << (bits - 1);
    const uint64_t low = value & ((uint64_t{1} << bits) - 1);
    return (low ^ sign) - sign;
}

class Machine {
public:
    Machine(const std::vector<uint8_t> &code, const AgentContext &context) : code_(code), context_(context) {}

    bool Run(uint64_t &result) {
        for (int steps = 0; steps < kMaxAgentSteps; ++steps) {
            if (pc_ >= code_.size()) return false;
            const uint8_t op = code_[pc_++];
            if (op == kEnd) {
                if (stack_.empty()) return false;
                result = stack_.back();
                return true;
            }
            if (!Step(op)) return false;
        }
        return false;
    }

private:
    bool Immediate(size_t bytes, uint64_t &value) {
        if (code_.size() - pc_ < bytes) return false;
        value = 0;
        for (size_t i = 0; i < bytes; ++i) value = value << 8 | code_[pc_++];
        return true;
    }
    bool Push(uint64_t value) {
        if (stack_.size() == kMaxAgentStack) return false;
        stack_.push_back(value);
        return true;
    }
    bool Pop(uint64_t &value) {
        if (stack_.empty()) return false;
        value = stack_.back();
        stack_.pop_back();
        return true;
    }
    // Pops b (the top) and a, pushes op(a, b).
    template <class Operation>
    bool Binary(Operation operation) {
        uint64_t a = 0, b = 0;
        if (!Pop(b) || !Pop(a)) return false;
        uint64_t value = 0;
        if (!operation(a, b, value)) return false;
        return Push(value);
    }
    bool Reference(int length) {
        uint64_t address = 0, value = 0;
        return Pop(address) && context_.readMemory && context_.readMemory(address, length, value) && Push(value);
    }
    bool Jump(uint64_t target) {
        if (target >= code_.size()) return false;
        pc_ = static_cast<size_t>(target);
        return true;
    }

    bool Step(uint8_t op) {
        auto plain = [](auto f) {
            return [f](uint64_t a, uint64_t b, uint64_t &out) {
                out = f(a, b);
                return true;
            };
        };
        uint64_t operand = 0, value = 0;
        switch (op) {
            case kAdd: return Binary(plain([](uint64_t a, uint64_t b) { return a + b; }));
            case kSub: return Binary(plain([](uint64_t a, uint64_t b) { return a - b; }));
            case kMul: return Binary(plain([](uint64_t a, uint64_t b) { return a * b; }));
            case kDivSigned:
                return Binary([](uint64_t a, uint64_t b, uint64_t &out) {
                    if (b == 0 || (Signed(a) == INT64_MIN && Signed(b) == -1)) return false;
                    out = static_cast<uint64_t>(Signed(a) / Signed(b));
                    return true;
                });
            case kDivUnsigned:
                return Binary([](uint64_t a, uint64_t b, uint64_t &out) {
                    if (b == 0) return false;
                    out = a / b;
                    return true;
                });
            case kRemSigned:
                return Binary([](uint64_t a, uint64_t b, uint64_t &out) {
                    if (b == 0 || (Signed(a) == INT64_MIN && Signed(b) == -1)) return false;
                    out = static_cast<uint64_t>(Signed(a) % Signed(b));
                    return true;
                });
            case kRemUnsigned:
                return Binary([](uint64_t a, uint64_t b, uint64_t &out) {
                    if (b == 0) return false;
                    out = a % b;
                    return true;
                });
            case kLsh: return Binary(plain([](uint64_t a, uint64_t b) { return b >= 64 ? 0 : a << b; }));
            case kRshSigned:
                return Binary(plain(
                    [](uint64_t a, uint64_t b) { return static_cast<uint64_t>(Signed(a) >> (b >= 64 ? 63 : b)); }));
            case kRshUnsigned: return Binary(plain([](uint64_t a, uint64_t b) { return b >= 64 ? 0 : a >> b; }));
            case kLogNot: return Pop(value) && Push(value == 0 ? 1 : 0);
            case kBitAnd: return Binary(plain([](uint64_t a, uint64_t b) { return a & b; }));
            case kBitOr: return Binary(plain([](uint64_t a, uint64_t b) { return a | b; }));
            case kBitXor: return Binary(plain([](uint64_t a, uint64_t b) { return a ^ b; }));
            case kBitNot: return Pop(value) && Push(~value);
            case kEqual: return Binary(plain([](uint64_t a, uint64_t b) { return uint64_t{a == b}; }));
            case kLessSigned:
                return Binary(plain([](uint64_t a, uint64_t b) { return uint64_t{Signed(a) < Signed(b)}; }));
            case kLessUnsigned: return Binary(plain([](uint64_t a, uint64_t b) { return uint64_t{a < b}; }));
            case kExt:
                return Immediate(1, operand) && operand >= 1 && operand <= 64 && Pop(value) &&
                       Push(SignExtend(value, static_cast<unsigned>(operand)));
            case kZeroExt:
                return Immediate(1, operand) && operand >= 1 && operand <= 64 && Pop(value) &&
                       Push(operand == 64 ? value : value & ((uint64_t{1} << operand) - 1));
            case kRef8: return Reference(1);
            case kRef16: return Reference(2);
            case kRef32: return Reference(4);
            case kRef64: return Reference(8);
            case kIfGoto: return Immediate(2, operand) && Pop(value) && (value == 0 || Jump(operand));
            case kGoto: return Immediate(2, operand) && Jump(operand);
            case kConst8: return Immediate(1, operand) && Push(operand);
            case kConst16: return Immediate(2, operand) && Push(operand);
            case kConst32: return Immediate(4, operand) && Push(operand);
            case kConst64: return Immediate(8, operand) && Push(operand);
            case kReg: {
                if (!Immediate(2, operand) || !context_.readRegister) return false;
                const std::optional<uint64_t> registerValue = context_.readRegister(static_cast<int>(operand));
                return registerValue && Push(*registerValue);
            }
            case kDup: return !stack_.empty() && Push(stack_.back());
            case kPop: return Pop(value);
            case kSwap:
                if (stack_.size() < 2) return false;
                std::swap(stack_[stack_.size() - 1], stack_[stack_.size() - 2]);
                return true;
            case kPick:
                // Copies the item `operand` below the top (0: the top) to the top.
                return Immediate(1, operand) && operand < stack_.size() &&
                       Push(stack_[stack_.size() - 1 - static_cast<size_t>(operand)]);
            case kRot: {
                // a b c (c on top) -> c a b.
                if (stack_.size() < 3) return false;
                const size_t n = stack_.size();
                const uint64_t c = stack_[n - 1];
                stack_[n - 1] = stack_[n - 2];
                stack_[n - 2] = stack_[n - 3];
                stack_[n - 3] = c;
                return true;
            }
            default: return false;  // floating point, traces, variables, printf
        }
    }

    const std::vector<uint8_t> &code_;
    const AgentContext &context_;
    size_t pc_ = 0;
    std::vector<uint64_t> stack_;
};

}  // namespace

bool EvaluateAgentExpression(const std::vector<uint8_t> &code, const AgentContext &context, uint64_t &result) {
    Machine machine(code, context);
    return machine.Run(result);
}

}  // namespace sh2gdb
