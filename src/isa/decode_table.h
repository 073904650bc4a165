// Which 16-bit opcode is which SH-2 instruction: 142 mask/match rows. No two
// rows share an opcode; an opcode that matches no row is undefined.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sh2 {

// One enumerator per decode row, in row order.
enum class Instruction : uint8_t {
    Nop,  // NOP
    AddRegister,  // ADD Rm,Rn
    AddImmediate,  // ADD #imm,Rn
    AddWithCarry,  // ADDC
    AddWithOverflow,  // ADDV
    AndRegister,  // AND Rm,Rn
    AndImmediate,  // AND #imm,R0
    AndByteGbr,  // AND.B #imm,@(R0,GBR)
    BranchIfFalse,  // BF
    BranchIfFalseDelayed,  // BF/S
    BranchIfTrue,  // BT
    BranchIfTrueDelayed,  // BT/S
    ClearMac,  // CLRMAC
    ClearT,  // CLRT
    SetT,  // SETT
    CompareEqual,  // CMP/EQ Rm,Rn
    CompareGreaterEqual,  // CMP/GE
    CompareGreater,  // CMP/GT
    CompareHigher,  // CMP/HI
    CompareHigherSame,  // CMP/HS
    ComparePlus,  // CMP/PL
    ComparePlusZero,  // CMP/PZ
    CompareString,  // CMP/STR
    CompareEqualImmediate,  // CMP/EQ #imm,R0
    Divide0Signed,  // DIV0S
    Divide0Unsigned,  // DIV0U
    Divide1,  // DIV1
    DoubleMultiplySigned,  // DMULS.L
    DoubleMultiplyUnsigned,  // DMULU.L
    DecrementTest,  // DT
    ExtendSignedByte,  // EXTS.B
    ExtendSignedWord,  // EXTS.W
    ExtendUnsignedByte,  // EXTU.B
    ExtendUnsignedWord,  // EXTU.W
    Sleep,  // SLEEP
    Branch,  // BRA
    BranchFar,  // BRAF
    BranchSubroutine,  // BSR
    BranchSubroutineFar,  // BSRF
    Jump,  // JMP
    JumpSubroutine,  // JSR
    LoadControlSr,  // LDC Rm,SR
    LoadControlGbr,  // LDC Rm,GBR
    LoadControlVbr,  // LDC Rm,VBR
    LoadControlSrPostIncrement,  // LDC.L @Rm+,SR
    LoadControlGbrPostIncrement,  // LDC.L @Rm+,GBR
    LoadControlVbrPostIncrement,  // LDC.L @Rm+,VBR
    LoadSystemMach,  // LDS Rm,MACH
    LoadSystemMacl,  // LDS Rm,MACL
    LoadSystemPr,  // LDS Rm,PR
    LoadSystemMachPostIncrement,  // LDS.L @Rm+,MACH
    LoadSystemMaclPostIncrement,  // LDS.L @Rm+,MACL
    LoadSystemPrPostIncrement,  // LDS.L @Rm+,PR
    MultiplyAccumulateLong,  // MAC.L
    MultiplyAccumulateWord,  // MAC.W
    MoveRegister,  // MOV Rm,Rn
    MoveByteStoreIndexed,  // MOV.B Rm,@(R0,Rn)
    MoveWordStoreIndexed,  // MOV.W Rm,@(R0,Rn)
    MoveLongStoreIndexed,  // MOV.L Rm,@(R0,Rn)
    MoveByteStore,  // MOV.B Rm,@Rn
    MoveWordStore,  // MOV.W Rm,@Rn
    MoveLongStore,  // MOV.L Rm,@Rn
    MoveByteLoad,  // MOV.B @Rm,Rn
    MoveWordLoad,  // MOV.W @Rm,Rn
    MoveLongLoad,  // MOV.L @Rm,Rn
    MoveByteStorePreDecrement,  // MOV.B Rm,@-Rn
    MoveWordStorePreDecrement,  // MOV.W Rm,@-Rn
    MoveLongStorePreDecrement,  // MOV.L Rm,@-Rn
    MoveByteLoadPostIncrement,  // MOV.B @Rm+,Rn
    MoveWordLoadPostIncrement,  // MOV.W @Rm+,Rn
    MoveLongLoadPostIncrement,  // MOV.L @Rm+,Rn
    MoveByteLoadIndexed,  // MOV.B @(R0,Rm),Rn
    MoveWordLoadIndexed,  // MOV.W @(R0,Rm),Rn
    MoveLongLoadIndexed,  // MOV.L @(R0,Rm),Rn
    MoveImmediate,  // MOV #imm,Rn
    MoveWordLoadPcRelative,  // MOV.W @(disp,PC),Rn
    MoveLongLoadPcRelative,  // MOV.L @(disp,PC),Rn
    MoveByteLoadGbr,  // MOV.B @(disp,GBR),R0
    MoveWordLoadGbr,  // MOV.W @(disp,GBR),R0
    MoveLongLoadGbr,  // MOV.L @(disp,GBR),R0
    MoveByteStoreGbr,  // MOV.B R0,@(disp,GBR)
    MoveWordStoreGbr,  // MOV.W R0,@(disp,GBR)
    MoveLongStoreGbr,  // MOV.L R0,@(disp,GBR)
    MoveByteStoreDisplacement,  // MOV.B R0,@(disp,Rn)
    MoveWordStoreDisplacement,  // MOV.W R0,@(disp,Rn)
    MoveLongStoreDisplacement,  // MOV.L Rm,@(disp,Rn)
    MoveByteLoadDisplacement,  // MOV.B @(disp,Rm),R0
    MoveWordLoadDisplacement,  // MOV.W @(disp,Rm),R0
    MoveLongLoadDisplacement,  // MOV.L @(disp,Rm),Rn
    MoveAddress,  // MOVA
    MoveT,  // MOVT
    MultiplyLong,  // MUL.L
    MultiplySignedWord,  // MULS.W
    MultiplyUnsignedWord,  // MULU.W
    Negate,  // NEG
    NegateWithCarry,  // NEGC
    Not,  // NOT
    OrRegister,  // OR Rm,Rn
    OrImmediate,  // OR #imm,R0
    OrByteGbr,  // OR.B #imm,@(R0,GBR)
    RotateCarryLeft,  // ROTCL
    RotateCarryRight,  // ROTCR
    RotateLeft,  // ROTL
    RotateRight,  // ROTR
    ReturnFromException,  // RTE
    ReturnFromSubroutine,  // RTS
    ShiftArithmeticLeft,  // SHAL
    ShiftArithmeticRight,  // SHAR
    ShiftLogicalLeft,  // SHLL
    ShiftLogicalLeft2,  // SHLL2
    ShiftLogicalLeft8,  // SHLL8
    ShiftLogicalLeft16,  // SHLL16
    ShiftLogicalRight,  // SHLR
    ShiftLogicalRight2,  // SHLR2
    ShiftLogicalRight8,  // SHLR8
    ShiftLogicalRight16,  // SHLR16
    StoreControlSr,  // STC SR,Rn
    StoreControlGbr,  // STC GBR,Rn
    StoreControlVbr,  // STC VBR,Rn
    StoreControlSrPreDecrement,  // STC.L SR,@-Rn
    StoreControlGbrPreDecrement,  // STC.L GBR,@-Rn
    StoreControlVbrPreDecrement,  // STC.L VBR,@-Rn
    StoreSystemMach,  // STS MACH,Rn
    StoreSystemMacl,  // STS MACL,Rn
    StoreSystemPr,  // STS PR,Rn
    StoreSystemMachPreDecrement,  // STS.L MACH,@-Rn
    StoreSystemMaclPreDecrement,  // STS.L MACL,@-Rn
    StoreSystemPrPreDecrement,  // STS.L PR,@-Rn
    Subtract,  // SUB
    SubtractWithCarry,  // SUBC
    SubtractWithOverflow,  // SUBV
    SwapBytes,  // SWAP.B
    SwapWords,  // SWAP.W
    TestAndSet,  // TAS.B
    Trap,  // TRAPA
    TestRegister,  // TST Rm,Rn
    TestImmediate,  // TST #imm,R0
    TestByteGbr,  // TST.B #imm,@(R0,GBR)
    XorRegister,  // XOR Rm,Rn
    XorImmediate,  // XOR #imm,R0
    XorByteGbr,  // XOR.B #imm,@(R0,GBR)
    ExtractMiddle,  // XTRCT
};

struct OpcodePattern {
    uint16_t mask;   // the bits that identify the instruction
    uint16_t match;  // the value those bits must have
    Instruction instruction;
    const char *name;      // e.g. "MOV.L @(disp,PC),Rn"
    const char *mnemonic;  // the assembler's mnemonic, e.g. "mov.l"
};

inline constexpr size_t kDecodeRowCount = 142;

inline constexpr std::array<OpcodePattern, kDecodeRowCount> DecodePatternTable = {{
    {0xFFFF, 0x0009, Instruction::Nop, "NOP", "nop"},
    {0xF00F, 0x300C, Instruction::AddRegister, "ADD Rm,Rn", "add"},
    {0xF000, 0x7000, Instruction::AddImmediate, "ADD #imm,Rn", "add"},
    {0xF00F, 0x300E, Instruction::AddWithCarry, "ADDC", "addc"},
    {0xF00F, 0x300F, Instruction::AddWithOverflow, "ADDV", "addv"},
    {0xF00F, 0x2009, Instruction::AndRegister, "AND Rm,Rn", "and"},
    {0xFF00, 0xC900, Instruction::AndImmediate, "AND #imm,R0", "and"},
    {0xFF00, 0xCD00, Instruction::AndByteGbr, "AND.B #imm,@(R0,GBR)", "and.b"},
    {0xFF00, 0x8B00, Instruction::BranchIfFalse, "BF", "bf"},
    {0xFF00, 0x8F00, Instruction::BranchIfFalseDelayed, "BF/S", "bf.s"},
    {0xFF00, 0x8900, Instruction::BranchIfTrue, "BT", "bt"},
    {0xFF00, 0x8D00, Instruction::BranchIfTrueDelayed, "BT/S", "bt.s"},
    {0xFFFF, 0x0028, Instruction::ClearMac, "CLRMAC", "clrmac"},
    {0xFFFF, 0x0008, Instruction::ClearT, "CLRT", "clrt"},
    {0xFFFF, 0x0018, Instruction::SetT, "SETT", "sett"},
    {0xF00F, 0x3000, Instruction::CompareEqual, "CMP/EQ Rm,Rn", "cmp/eq"},
    {0xF00F, 0x3003, Instruction::CompareGreaterEqual, "CMP/GE", "cmp/ge"},
    {0xF00F, 0x3007, Instruction::CompareGreater, "CMP/GT", "cmp/gt"},
    {0xF00F, 0x3006, Instruction::CompareHigher, "CMP/HI", "cmp/hi"},
    {0xF00F, 0x3002, Instruction::CompareHigherSame, "CMP/HS", "cmp/hs"},
    {0xF0FF, 0x4015, Instruction::ComparePlus, "CMP/PL", "cmp/pl"},
    {0xF0FF, 0x4011, Instruction::ComparePlusZero, "CMP/PZ", "cmp/pz"},
    {0xF00F, 0x200C, Instruction::CompareString, "CMP/STR", "cmp/str"},
    {0xFF00, 0x8800, Instruction::CompareEqualImmediate, "CMP/EQ #imm,R0", "cmp/eq"},
    {0xF00F, 0x2007, Instruction::Divide0Signed, "DIV0S", "div0s"},
    {0xFFFF, 0x0019, Instruction::Divide0Unsigned, "DIV0U", "div0u"},
    {0xF00F, 0x3004, Instruction::Divide1, "DIV1", "div1"},
    {0xF00F, 0x300D, Instruction::DoubleMultiplySigned, "DMULS.L", "dmuls.l"},
    {0xF00F, 0x3005, Instruction::DoubleMultiplyUnsigned, "DMULU.L", "dmulu.l"},
    {0xF0FF, 0x4010, Instruction::DecrementTest, "DT", "dt"},
    {0xF00F, 0x600E, Instruction::ExtendSignedByte, "EXTS.B", "exts.b"},
    {0xF00F, 0x600F, Instruction::ExtendSignedWord, "EXTS.W", "exts.w"},
    {0xF00F, 0x600C, Instruction::ExtendUnsignedByte, "EXTU.B", "extu.b"},
    {0xF00F, 0x600D, Instruction::ExtendUnsignedWord, "EXTU.W", "extu.w"},
    {0xFFFF, 0x001B, Instruction::Sleep, "SLEEP", "sleep"},
    {0xF000, 0xA000, Instruction::Branch, "BRA", "bra"},
    {0xF0FF, 0x0023, Instruction::BranchFar, "BRAF", "braf"},
    {0xF000, 0xB000, Instruction::BranchSubroutine, "BSR", "bsr"},
    {0xF0FF, 0x0003, Instruction::BranchSubroutineFar, "BSRF", "bsrf"},
    {0xF0FF, 0x402B, Instruction::Jump, "JMP", "jmp"},
    {0xF0FF, 0x400B, Instruction::JumpSubroutine, "JSR", "jsr"},
    {0xF0FF, 0x400E, Instruction::LoadControlSr, "LDC Rm,SR", "ldc"},
    {0xF0FF, 0x401E, Instruction::LoadControlGbr, "LDC Rm,GBR", "ldc"},
    {0xF0FF, 0x402E, Instruction::LoadControlVbr, "LDC Rm,VBR", "ldc"},
    {0xF0FF, 0x4007, Instruction::LoadControlSrPostIncrement, "LDC.L @Rm+,SR", "ldc.l"},
    {0xF0FF, 0x4017, Instruction::LoadControlGbrPostIncrement, "LDC.L @Rm+,GBR", "ldc.l"},
    {0xF0FF, 0x4027, Instruction::LoadControlVbrPostIncrement, "LDC.L @Rm+,VBR", "ldc.l"},
    {0xF0FF, 0x400A, Instruction::LoadSystemMach, "LDS Rm,MACH", "lds"},
    {0xF0FF, 0x401A, Instruction::LoadSystemMacl, "LDS Rm,MACL", "lds"},
    {0xF0FF, 0x402A, Instruction::LoadSystemPr, "LDS Rm,PR", "lds"},
    {0xF0FF, 0x4006, Instruction::LoadSystemMachPostIncrement, "LDS.L @Rm+,MACH", "lds.l"},
    {0xF0FF, 0x4016, Instruction::LoadSystemMaclPostIncrement, "LDS.L @Rm+,MACL", "lds.l"},
    {0xF0FF, 0x4026, Instruction::LoadSystemPrPostIncrement, "LDS.L @Rm+,PR", "lds.l"},
    {0xF00F, 0x000F, Instruction::MultiplyAccumulateLong, "MAC.L", "mac.l"},
    {0xF00F, 0x400F, Instruction::MultiplyAccumulateWord, "MAC.W", "mac.w"},
    {0xF00F, 0x6003, Instruction::MoveRegister, "MOV Rm,Rn", "mov"},
    {0xF00F, 0x0004, Instruction::MoveByteStoreIndexed, "MOV.B Rm,@(R0,Rn)", "mov.b"},
    {0xF00F, 0x0005, Instruction::MoveWordStoreIndexed, "MOV.W Rm,@(R0,Rn)", "mov.w"},
    {0xF00F, 0x0006, Instruction::MoveLongStoreIndexed, "MOV.L Rm,@(R0,Rn)", "mov.l"},
    {0xF00F, 0x2000, Instruction::MoveByteStore, "MOV.B Rm,@Rn", "mov.b"},
    {0xF00F, 0x2001, Instruction::MoveWordStore, "MOV.W Rm,@Rn", "mov.w"},
    {0xF00F, 0x2002, Instruction::MoveLongStore, "MOV.L Rm,@Rn", "mov.l"},
    {0xF00F, 0x6000, Instruction::MoveByteLoad, "MOV.B @Rm,Rn", "mov.b"},
    {0xF00F, 0x6001, Instruction::MoveWordLoad, "MOV.W @Rm,Rn", "mov.w"},
    {0xF00F, 0x6002, Instruction::MoveLongLoad, "MOV.L @Rm,Rn", "mov.l"},
    {0xF00F, 0x2004, Instruction::MoveByteStorePreDecrement, "MOV.B Rm,@-Rn", "mov.b"},
    {0xF00F, 0x2005, Instruction::MoveWordStorePreDecrement, "MOV.W Rm,@-Rn", "mov.w"},
    {0xF00F, 0x2006, Instruction::MoveLongStorePreDecrement, "MOV.L Rm,@-Rn", "mov.l"},
    {0xF00F, 0x6004, Instruction::MoveByteLoadPostIncrement, "MOV.B @Rm+,Rn", "mov.b"},
    {0xF00F, 0x6005, Instruction::MoveWordLoadPostIncrement, "MOV.W @Rm+,Rn", "mov.w"},
    {0xF00F, 0x6006, Instruction::MoveLongLoadPostIncrement, "MOV.L @Rm+,Rn", "mov.l"},
    {0xF00F, 0x000C, Instruction::MoveByteLoadIndexed, "MOV.B @(R0,Rm),Rn", "mov.b"},
    {0xF00F, 0x000D, Instruction::MoveWordLoadIndexed, "MOV.W @(R0,Rm),Rn", "mov.w"},
    {0xF00F, 0x000E, Instruction::MoveLongLoadIndexed, "MOV.L @(R0,Rm),Rn", "mov.l"},
    {0xF000, 0xE000, Instruction::MoveImmediate, "MOV #imm,Rn", "mov"},
    {0xF000, 0x9000, Instruction::MoveWordLoadPcRelative, "MOV.W @(disp,PC),Rn", "mov.w"},
    {0xF000, 0xD000, Instruction::MoveLongLoadPcRelative, "MOV.L @(disp,PC),Rn", "mov.l"},
    {0xFF00, 0xC400, Instruction::MoveByteLoadGbr, "MOV.B @(disp,GBR),R0", "mov.b"},
    {0xFF00, 0xC500, Instruction::MoveWordLoadGbr, "MOV.W @(disp,GBR),R0", "mov.w"},
    {0xFF00, 0xC600, Instruction::MoveLongLoadGbr, "MOV.L @(disp,GBR),R0", "mov.l"},
    {0xFF00, 0xC000, Instruction::MoveByteStoreGbr, "MOV.B R0,@(disp,GBR)", "mov.b"},
    {0xFF00, 0xC100, Instruction::MoveWordStoreGbr, "MOV.W R0,@(disp,GBR)", "mov.w"},
    {0xFF00, 0xC200, Instruction::MoveLongStoreGbr, "MOV.L R0,@(disp,GBR)", "mov.l"},
    {0xFF00, 0x8000, Instruction::MoveByteStoreDisplacement, "MOV.B R0,@(disp,Rn)", "mov.b"},
    {0xFF00, 0x8100, Instruction::MoveWordStoreDisplacement, "MOV.W R0,@(disp,Rn)", "mov.w"},
    {0xF000, 0x1000, Instruction::MoveLongStoreDisplacement, "MOV.L Rm,@(disp,Rn)", "mov.l"},
    {0xFF00, 0x8400, Instruction::MoveByteLoadDisplacement, "MOV.B @(disp,Rm),R0", "mov.b"},
    {0xFF00, 0x8500, Instruction::MoveWordLoadDisplacement, "MOV.W @(disp,Rm),R0", "mov.w"},
    {0xF000, 0x5000, Instruction::MoveLongLoadDisplacement, "MOV.L @(disp,Rm),Rn", "mov.l"},
    {0xFF00, 0xC700, Instruction::MoveAddress, "MOVA", "mova"},
    {0xF0FF, 0x0029, Instruction::MoveT, "MOVT", "movt"},
    {0xF00F, 0x0007, Instruction::MultiplyLong, "MUL.L", "mul.l"},
    {0xF00F, 0x200F, Instruction::MultiplySignedWord, "MULS.W", "muls.w"},
    {0xF00F, 0x200E, Instruction::MultiplyUnsignedWord, "MULU.W", "mulu.w"},
    {0xF00F, 0x600B, Instruction::Negate, "NEG", "neg"},
    {0xF00F, 0x600A, Instruction::NegateWithCarry, "NEGC", "negc"},
    {0xF00F, 0x6007, Instruction::Not, "NOT", "not"},
    {0xF00F, 0x200B, Instruction::OrRegister, "OR Rm,Rn", "or"},
    {0xFF00, 0xCB00, Instruction::OrImmediate, "OR #imm,R0", "or"},
    {0xFF00, 0xCF00, Instruction::OrByteGbr, "OR.B #imm,@(R0,GBR)", "or.b"},
    {0xF0FF, 0x4024, Instruction::RotateCarryLeft, "ROTCL", "rotcl"},
    {0xF0FF, 0x4025, Instruction::RotateCarryRight, "ROTCR", "rotcr"},
    {0xF0FF, 0x4004, Instruction::RotateLeft, "ROTL", "rotl"},
    {0xF0FF, 0x4005, Instruction::RotateRight, "ROTR", "rotr"},
    {0xFFFF, 0x002B, Instruction::ReturnFromException, "RTE", "rte"},
    {0xFFFF, 0x000B, Instruction::ReturnFromSubroutine, "RTS", "rts"},
    {0xF0FF, 0x4020, Instruction::ShiftArithmeticLeft, "SHAL", "shal"},
    {0xF0FF, 0x4021, Instruction::ShiftArithmeticRight, "SHAR", "shar"},
    {0xF0FF, 0x4000, Instruction::ShiftLogicalLeft, "SHLL", "shll"},
    {0xF0FF, 0x4008, Instruction::ShiftLogicalLeft2, "SHLL2", "shll2"},
    {0xF0FF, 0x4018, Instruction::ShiftLogicalLeft8, "SHLL8", "shll8"},
    {0xF0FF, 0x4028, Instruction::ShiftLogicalLeft16, "SHLL16", "shll16"},
    {0xF0FF, 0x4001, Instruction::ShiftLogicalRight, "SHLR", "shlr"},
    {0xF0FF, 0x4009, Instruction::ShiftLogicalRight2, "SHLR2", "shlr2"},
    {0xF0FF, 0x4019, Instruction::ShiftLogicalRight8, "SHLR8", "shlr8"},
    {0xF0FF, 0x4029, Instruction::ShiftLogicalRight16, "SHLR16", "shlr16"},
    {0xF0FF, 0x0002, Instruction::StoreControlSr, "STC SR,Rn", "stc"},
    {0xF0FF, 0x0012, Instruction::StoreControlGbr, "STC GBR,Rn", "stc"},
    {0xF0FF, 0x0022, Instruction::StoreControlVbr, "STC VBR,Rn", "stc"},
    {0xF0FF, 0x4003, Instruction::StoreControlSrPreDecrement, "STC.L SR,@-Rn", "stc.l"},
    {0xF0FF, 0x4013, Instruction::StoreControlGbrPreDecrement, "STC.L GBR,@-Rn", "stc.l"},
    {0xF0FF, 0x4023, Instruction::StoreControlVbrPreDecrement, "STC.L VBR,@-Rn", "stc.l"},
    {0xF0FF, 0x000A, Instruction::StoreSystemMach, "STS MACH,Rn", "sts"},
    {0xF0FF, 0x001A, Instruction::StoreSystemMacl, "STS MACL,Rn", "sts"},
    {0xF0FF, 0x002A, Instruction::StoreSystemPr, "STS PR,Rn", "sts"},
    {0xF0FF, 0x4002, Instruction::StoreSystemMachPreDecrement, "STS.L MACH,@-Rn", "sts.l"},
    {0xF0FF, 0x4012, Instruction::StoreSystemMaclPreDecrement, "STS.L MACL,@-Rn", "sts.l"},
    {0xF0FF, 0x4022, Instruction::StoreSystemPrPreDecrement, "STS.L PR,@-Rn", "sts.l"},
    {0xF00F, 0x3008, Instruction::Subtract, "SUB", "sub"},
    {0xF00F, 0x300A, Instruction::SubtractWithCarry, "SUBC", "subc"},
    {0xF00F, 0x300B, Instruction::SubtractWithOverflow, "SUBV", "subv"},
    {0xF00F, 0x6008, Instruction::SwapBytes, "SWAP.B", "swap.b"},
    {0xF00F, 0x6009, Instruction::SwapWords, "SWAP.W", "swap.w"},
    {0xF0FF, 0x401B, Instruction::TestAndSet, "TAS.B", "tas.b"},
    {0xFF00, 0xC300, Instruction::Trap, "TRAPA", "trapa"},
    {0xF00F, 0x2008, Instruction::TestRegister, "TST Rm,Rn", "tst"},
    {0xFF00, 0xC800, Instruction::TestImmediate, "TST #imm,R0", "tst"},
    {0xFF00, 0xCC00, Instruction::TestByteGbr, "TST.B #imm,@(R0,GBR)", "tst.b"},
    {0xF00F, 0x200A, Instruction::XorRegister, "XOR Rm,Rn", "xor"},
    {0xFF00, 0xCA00, Instruction::XorImmediate, "XOR #imm,R0", "xor"},
    {0xFF00, 0xCE00, Instruction::XorByteGbr, "XOR.B #imm,@(R0,GBR)", "xor.b"},
    {0xF00F, 0x200D, Instruction::ExtractMiddle, "XTRCT", "xtrct"},
}};

constexpr const OpcodePattern &PatternOf(Instruction instruction) {
    return DecodePatternTable[static_cast<size_t>(instruction)];
}

// The row an opcode belongs to, or null for an undefined opcode. Rows are
// tried in table order.
const OpcodePattern *FindDecodeRow(uint16_t opcode);

}  // namespace sh2
