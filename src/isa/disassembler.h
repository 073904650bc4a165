// Disassembly of one opcode in the text GNU binutils' SH disassembler prints.
#pragma once

#include <cstdint>
#include <string>

namespace sh2 {

// The instruction `opcode` at `address`: mnemonic, a tab and the operands
// ("mov.l\t@(8,r1),r2"), with PC-relative branch targets and data addresses
// resolved from the address ("bra\t0x6000128"); ".word 0x...." for an
// opcode that is no instruction.
std::string Disassemble(uint16_t opcode, uint32_t address);

}  // namespace sh2
