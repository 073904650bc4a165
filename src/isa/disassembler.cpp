// The disassembler: a decode row's mnemonic and operand form, with the
// operand fields its bit pattern declares filled in from the opcode.
#include "isa/disassembler.h"

#include <cstdio>
#include <string_view>

#include "isa/decode_table.h"

namespace sh2 {
namespace {

// Appends printf-formatted text (the operands are short).
template <class... Values>
void Append(std::string &text, const char *format, Values... values) {
    char field[24];
    std::snprintf(field, sizeof field, format, values...);
    text += field;
}

// The value of one operand field of `opcode`, as the row's bit pattern
// places it; signed fields are sign-extended from their width.
uint32_t Field(const OpcodePattern &row, char letter, uint16_t opcode) {
    const OperandField field = FieldOf(row.bits, letter);
    return (opcode >> field.shift) & ((1u << field.width) - 1);
}
int32_t SignedField(const OpcodePattern &row, char letter, uint16_t opcode) {
    const unsigned width = FieldOf(row.bits, letter).width;
    const uint32_t value = Field(row, letter, opcode), sign = 1u << (width - 1);
    return static_cast<int32_t>((value ^ sign) - sign);
}

std::string Operands(const OpcodePattern &row, uint16_t opcode, uint32_t address) {
    const std::string_view form = row.operands;
    std::string text;
    for (size_t i = 0; i < form.size();) {
        const std::string_view rest = form.substr(i);
        auto take = [&](std::string_view token) {
            if (!rest.starts_with(token)) return false;
            i += token.size();
            return true;
        };
        if (take("Rn")) {
            Append(text, "r%u", static_cast<unsigned>(Field(row, 'n', opcode)));
        } else if (take("Rm")) {
            Append(text, "r%u", static_cast<unsigned>(Field(row, 'm', opcode)));
        } else if (take("#simm")) {
            Append(text, "#%d", static_cast<int>(SignedField(row, 'i', opcode)));
        } else if (take("#imm")) {
            Append(text, "#%u", static_cast<unsigned>(Field(row, 'i', opcode)));
        } else if (take("d*2") || take("d*4") || take("d")) {
            const uint32_t scale = rest.starts_with("d*") ? static_cast<uint32_t>(rest[2] - '0') : 1;
            Append(text, "%u", static_cast<unsigned>(Field(row, 'd', opcode) * scale));
        } else if (take("label")) {
            const uint32_t target = address + 4 + static_cast<uint32_t>(SignedField(row, 'd', opcode)) * 2;
            Append(text, "0x%x", static_cast<unsigned>(target));
        } else if (take("literal*2") || take("literal*4")) {
            const uint32_t scale = static_cast<uint32_t>(rest[8] - '0');
            const uint32_t base = scale == 4 ? address & ~3u : address;
            Append(text, "0x%x", static_cast<unsigned>(base + 4 + Field(row, 'd', opcode) * scale));
        } else {
            text += form[i++];
        }
    }
    return text;
}

}  // namespace

std::string Disassemble(uint16_t opcode, uint32_t address) {
    const OpcodePattern *pattern = FindDecodeRow(opcode);
    if (pattern == nullptr) {
        char text[16];
        std::snprintf(text, sizeof text, ".word 0x%04x", static_cast<unsigned>(opcode));
        return text;
    }
    std::string text = pattern->mnemonic;
    if (pattern->operands[0] != '\0') {
        text += '\t';
        text += Operands(*pattern, opcode, address);
    }
    return text;
}

}  // namespace sh2
