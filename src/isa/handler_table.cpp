// Builds the 65536-entry opcode handler table from the decode rows when the
// library is loaded.
#include <array>

#include "isa/handler_common.h"

namespace sh2 {

namespace {

// Every decode row starts with a fixed top nibble, so rows are bucketed by it
// and tried in table order within their bucket.
struct RowBuckets {
    std::array<std::array<uint8_t, kDecodeRowCount>, 16> rows{};
    std::array<uint8_t, 16> count{};
};

constexpr RowBuckets MakeRowBuckets() {
    RowBuckets buckets;
    for (size_t row = 0; row < kDecodeRowCount; ++row) {
        const unsigned nibble = DecodePatternTable[row].match >> 12;
        buckets.rows[nibble][buckets.count[nibble]++] = static_cast<uint8_t>(row);
    }
    return buckets;
}

constexpr RowBuckets kRowBuckets = MakeRowBuckets();

static_assert(
    [] {
        for (const OpcodePattern &pattern : DecodePatternTable) {
            if ((pattern.mask & 0xF000) != 0xF000) return false;
        }
        return true;
    }(),
    "every decode row must fix the top nibble");

// The specialised handlers of every row, indexed by row, from the groups.
isa::GroupHandlers CollectRowHandlers() {
    isa::GroupHandlers byRow{};
    const isa::GroupHandlers groups[] = {isa::DataTransferHandlers(), isa::DataTransferConstantHandlers(),
                                         isa::ArithmeticHandlers(),   isa::LogicHandlers(),
                                         isa::BranchHandlers(),       isa::SystemControlHandlers(),
                                         isa::MultiplyHandlers()};
    for (const isa::GroupHandlers &group : groups) {
        for (size_t row = 0; row < kDecodeRowCount; ++row) {
            if (group[row] != nullptr) {
                byRow[row] = group[row];
            }
        }
    }
    return byRow;
}

}  // namespace

const OpcodePattern *FindDecodeRow(uint16_t opcode) {
    const unsigned nibble = opcode >> 12;
    for (unsigned i = 0; i < kRowBuckets.count[nibble]; ++i) {
        const OpcodePattern &pattern = DecodePatternTable[kRowBuckets.rows[nibble][i]];
        if ((opcode & pattern.mask) == pattern.match) {
            return &pattern;
        }
    }
    return nullptr;
}

void BuildOpcodeHandlerTable(OpcodeHandler *table) {
    const isa::GroupHandlers rowHandlers = CollectRowHandlers();
    for (uint32_t opcode = 0; opcode < kOpcodeCount; ++opcode) {
        const OpcodePattern *pattern = FindDecodeRow(static_cast<uint16_t>(opcode));
        const OpcodeHandler *handlers =
            pattern != nullptr ? rowHandlers[static_cast<size_t>(pattern->instruction)] : nullptr;
        table[opcode] = handlers != nullptr
                            ? handlers[isa::ExtractOperandBits(static_cast<uint16_t>(opcode), pattern->mask)]
                            : UndefinedOpcodeHandler;
    }
}

OpcodeHandler OpcodeHandlerTable[kOpcodeCount];

namespace {
// Fills the table before any export can run.
const bool kOpcodeHandlerTableBuilt = (BuildOpcodeHandlerTable(OpcodeHandlerTable), true);
}  // namespace

}  // namespace sh2
