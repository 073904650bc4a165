// The disassembler: a decode row's mnemonic and operand form, with the
// operand fields of the opcode filled in.
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

// The access size a mnemonic's suffix names: .b 1, .w 2, .l (and MOVA) 4.
uint32_t AccessSize(std::string_view mnemonic) {
    if (mnemonic.ends_with(".b")) return 1;
    if (mnemonic.ends_with(".w")) return 2;
    return 4;
}

std::string Operands(const OpcodePattern &pattern, uint16_t opcode, uint32_t address) {
    const std::string_view form = pattern.operands;
    const unsigned n = (opcode >> 8) & 0xF;
    const unsigned m = (opcode >> 4) & 0xF;
    const uint32_t size = AccessSize(pattern.mnemonic);
    const bool shortDisplacement = form.find("Rm") != std::string_view::npos;
    std::string text;
    for (size_t i = 0; i < form.size();) {
        const std::string_view rest = form.substr(i);
        auto take = [&](std::string_view token) {
            if (!rest.starts_with(token)) return false;
            i += token.size();
            return true;
        };
        if (take("Rn")) {
            Append(text, "r%u", n);
        } else if (take("Rm")) {
            Append(text, "r%u", m);
        } else if (take("#simm")) {
            Append(text, "#%d", static_cast<int>(static_cast<int8_t>(opcode & 0xFF)));
        } else if (take("#imm")) {
            Append(text, "#%u", static_cast<unsigned>(opcode & 0xFF));
        } else if (take("disp")) {
            Append(text, "%u", static_cast<unsigned>((opcode & (shortDisplacement ? 0xFu : 0xFFu)) * size));
        } else if (take("label")) {
            const int32_t displacement = pattern.mask == 0xF000 ? ((opcode & 0xFFF) ^ 0x800) - 0x800
                                                                : static_cast<int8_t>(opcode & 0xFF);
            Append(text, "0x%x", static_cast<unsigned>(address + 4 + static_cast<uint32_t>(displacement) * 2));
        } else if (take("literal")) {
            const uint32_t base = size == 4 ? address & ~3u : address;
            Append(text, "0x%x", static_cast<unsigned>(base + 4 + (opcode & 0xFFu) * size));
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
