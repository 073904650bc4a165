// The SH-2 instruction set in one list: one row per decode row, in decode
// table order. Everything else that knows an instruction (the Instruction
// enum, DecodePatternTable, the handler table, the disassembler and every
// handler's cycle cost) is derived from this list.
//
// X(Name, Group, Mask, Match, Mnemonic, Operands, Cycles, NotTaken, Flow, Handler)
//   Name      the Instruction enumerator
//   Group     the source that holds the handler (isa/<group>.cpp)
//   Mask      the opcode bits that identify the instruction
//   Match     the value those bits must have
//   Mnemonic  as binutils prints it
//   Operands  binutils' operand form; lower case is literal text, and
//             Rn   register in bits 11..8     Rm    register in bits 7..4
//             #imm unsigned 8-bit immediate   #simm signed 8-bit immediate
//             disp displacement scaled by the access size: 4 bits when the
//                  form has Rm, else 8 bits
//             label    branch target: 8- or 12-bit signed displacement
//             literal  PC-relative data address (MOV.W, MOV.L, MOVA)
//   Cycles    the cost the handler adds (a delayed branch: its own share,
//             the slot instruction adds its cost too; a conditional branch:
//             when taken)
//   NotTaken  the cost of a conditional branch not taken; the same as Cycles
//             for every other instruction
//   Flow      where the instruction leaves PC (the Flow enum of
//             decode_table.h): Sequential (the next instruction),
//             Conditional (BF, BT), ConditionalDelayed (BF/S, BT/S: a slot
//             only when taken), Delayed (BRA, BRAF, JMP), Call (BSR, BSRF,
//             JSR: delayed, PR set), Return (RTS), ExceptionReturn (RTE:
//             delayed, SR and PC from the stack), Trap (TRAPA) or Sleep
//             (SLEEP: PC stays)
//   Handler   the handler template; rows with one encoding family share one
#pragma once

// clang-format off
#define SH2_INSTRUCTION_LIST(X) \
    X(Nop,                          SystemControl, 0xFFFF, 0x0009, "nop",     "",                1, 1, Sequential,         Nop) \
    X(AddRegister,                  Arithmetic,    0xF00F, 0x300C, "add",     "Rm,Rn",           1, 1, Sequential,         AddRegister) \
    X(AddImmediate,                 Arithmetic,    0xF000, 0x7000, "add",     "#simm,Rn",        1, 1, Sequential,         AddImmediate) \
    X(AddWithCarry,                 Arithmetic,    0xF00F, 0x300E, "addc",    "Rm,Rn",           1, 1, Sequential,         AddWithCarry) \
    X(AddWithOverflow,              Arithmetic,    0xF00F, 0x300F, "addv",    "Rm,Rn",           1, 1, Sequential,         AddWithOverflow) \
    X(AndRegister,                  Logic,         0xF00F, 0x2009, "and",     "Rm,Rn",           1, 1, Sequential,         AndRegister) \
    X(AndImmediate,                 Logic,         0xFF00, 0xC900, "and",     "#imm,r0",         1, 1, Sequential,         AndImmediate) \
    X(AndByteGbr,                   Logic,         0xFF00, 0xCD00, "and.b",   "#imm,@(r0,gbr)",  3, 3, Sequential,         AndByteGbr) \
    X(BranchIfFalse,                Branch,        0xFF00, 0x8B00, "bf",      "label",           1, 1, Conditional,        BranchIfFalse) \
    X(BranchIfFalseDelayed,         Branch,        0xFF00, 0x8F00, "bf.s",    "label",           1, 1, ConditionalDelayed, BranchIfFalseDelayed) \
    X(BranchIfTrue,                 Branch,        0xFF00, 0x8900, "bt",      "label",           1, 1, Conditional,        BranchIfTrue) \
    X(BranchIfTrueDelayed,          Branch,        0xFF00, 0x8D00, "bt.s",    "label",           1, 0, ConditionalDelayed, BranchIfTrueDelayed) \
    X(ClearMac,                     SystemControl, 0xFFFF, 0x0028, "clrmac",  "",                1, 1, Sequential,         ClearMac) \
    X(ClearT,                       SystemControl, 0xFFFF, 0x0008, "clrt",    "",                1, 1, Sequential,         ClearT) \
    X(SetT,                         SystemControl, 0xFFFF, 0x0018, "sett",    "",                1, 1, Sequential,         SetTBit) \
    X(CompareEqual,                 Arithmetic,    0xF00F, 0x3000, "cmp/eq",  "Rm,Rn",           1, 1, Sequential,         CompareEqual) \
    X(CompareGreaterEqual,          Arithmetic,    0xF00F, 0x3003, "cmp/ge",  "Rm,Rn",           1, 1, Sequential,         CompareGreaterEqual) \
    X(CompareGreater,               Arithmetic,    0xF00F, 0x3007, "cmp/gt",  "Rm,Rn",           1, 1, Sequential,         CompareGreater) \
    X(CompareHigher,                Arithmetic,    0xF00F, 0x3006, "cmp/hi",  "Rm,Rn",           1, 1, Sequential,         CompareHigher) \
    X(CompareHigherSame,            Arithmetic,    0xF00F, 0x3002, "cmp/hs",  "Rm,Rn",           1, 1, Sequential,         CompareHigherSame) \
    X(ComparePlus,                  Arithmetic,    0xF0FF, 0x4015, "cmp/pl",  "Rn",              1, 1, Sequential,         ComparePlus) \
    X(ComparePlusZero,              Arithmetic,    0xF0FF, 0x4011, "cmp/pz",  "Rn",              1, 1, Sequential,         ComparePlusZero) \
    X(CompareString,                Arithmetic,    0xF00F, 0x200C, "cmp/str", "Rm,Rn",           1, 1, Sequential,         CompareString) \
    X(CompareEqualImmediate,        Arithmetic,    0xFF00, 0x8800, "cmp/eq",  "#simm,r0",        1, 1, Sequential,         CompareEqualImmediate) \
    X(Divide0Signed,                Multiply,      0xF00F, 0x2007, "div0s",   "Rm,Rn",           1, 1, Sequential,         Divide0Signed) \
    X(Divide0Unsigned,              Multiply,      0xFFFF, 0x0019, "div0u",   "",                1, 1, Sequential,         Divide0Unsigned) \
    X(Divide1,                      Multiply,      0xF00F, 0x3004, "div1",    "Rm,Rn",           1, 1, Sequential,         Divide1) \
    X(DoubleMultiplySigned,         Multiply,      0xF00F, 0x300D, "dmuls.l", "Rm,Rn",           2, 2, Sequential,         DoubleMultiplySigned) \
    X(DoubleMultiplyUnsigned,       Multiply,      0xF00F, 0x3005, "dmulu.l", "Rm,Rn",           2, 2, Sequential,         DoubleMultiplyUnsigned) \
    X(DecrementTest,                Arithmetic,    0xF0FF, 0x4010, "dt",      "Rn",              1, 1, Sequential,         DecrementTest) \
    X(ExtendSignedByte,             Arithmetic,    0xF00F, 0x600E, "exts.b",  "Rm,Rn",           1, 1, Sequential,         ExtendSignedByte) \
    X(ExtendSignedWord,             Arithmetic,    0xF00F, 0x600F, "exts.w",  "Rm,Rn",           1, 1, Sequential,         ExtendSignedWord) \
    X(ExtendUnsignedByte,           Arithmetic,    0xF00F, 0x600C, "extu.b",  "Rm,Rn",           1, 1, Sequential,         ExtendUnsignedByte) \
    X(ExtendUnsignedWord,           Arithmetic,    0xF00F, 0x600D, "extu.w",  "Rm,Rn",           1, 1, Sequential,         ExtendUnsignedWord) \
    X(Sleep,                        SystemControl, 0xFFFF, 0x001B, "sleep",   "",                3, 3, Sleep,              Sleep) \
    X(Branch,                       Branch,        0xF000, 0xA000, "bra",     "label",           2, 2, Delayed,            Branch) \
    X(BranchFar,                    Branch,        0xF0FF, 0x0023, "braf",    "Rn",              2, 2, Delayed,            BranchFar) \
    X(BranchSubroutine,             Branch,        0xF000, 0xB000, "bsr",     "label",           2, 2, Call,               BranchSubroutine) \
    X(BranchSubroutineFar,          Branch,        0xF0FF, 0x0003, "bsrf",    "Rn",              2, 2, Call,               BranchSubroutineFar) \
    X(Jump,                         Branch,        0xF0FF, 0x402B, "jmp",     "@Rn",             2, 2, Delayed,            Jump) \
    X(JumpSubroutine,               Branch,        0xF0FF, 0x400B, "jsr",     "@Rn",             2, 2, Call,               JumpSubroutine) \
    X(LoadControlSr,                SystemControl, 0xF0FF, 0x400E, "ldc",     "Rn,sr",           1, 1, Sequential,         LoadControl) \
    X(LoadControlGbr,               SystemControl, 0xF0FF, 0x401E, "ldc",     "Rn,gbr",          1, 1, Sequential,         LoadControl) \
    X(LoadControlVbr,               SystemControl, 0xF0FF, 0x402E, "ldc",     "Rn,vbr",          1, 1, Sequential,         LoadControl) \
    X(LoadControlSrPostIncrement,   SystemControl, 0xF0FF, 0x4007, "ldc.l",   "@Rn+,sr",         3, 3, Sequential,         LoadControlPostIncrement) \
    X(LoadControlGbrPostIncrement,  SystemControl, 0xF0FF, 0x4017, "ldc.l",   "@Rn+,gbr",        3, 3, Sequential,         LoadControlPostIncrement) \
    X(LoadControlVbrPostIncrement,  SystemControl, 0xF0FF, 0x4027, "ldc.l",   "@Rn+,vbr",        3, 3, Sequential,         LoadControlPostIncrement) \
    X(LoadSystemMach,               SystemControl, 0xF0FF, 0x400A, "lds",     "Rn,mach",         1, 1, Sequential,         LoadSystem) \
    X(LoadSystemMacl,               SystemControl, 0xF0FF, 0x401A, "lds",     "Rn,macl",         1, 1, Sequential,         LoadSystem) \
    X(LoadSystemPr,                 SystemControl, 0xF0FF, 0x402A, "lds",     "Rn,pr",           1, 1, Sequential,         LoadSystem) \
    X(LoadSystemMachPostIncrement,  SystemControl, 0xF0FF, 0x4006, "lds.l",   "@Rn+,mach",       1, 1, Sequential,         LoadSystemPostIncrement) \
    X(LoadSystemMaclPostIncrement,  SystemControl, 0xF0FF, 0x4016, "lds.l",   "@Rn+,macl",       1, 1, Sequential,         LoadSystemPostIncrement) \
    X(LoadSystemPrPostIncrement,    SystemControl, 0xF0FF, 0x4026, "lds.l",   "@Rn+,pr",         1, 1, Sequential,         LoadSystemPostIncrement) \
    X(MultiplyAccumulateLong,       Multiply,      0xF00F, 0x000F, "mac.l",   "@Rm+,@Rn+",       3, 3, Sequential,         MultiplyAccumulateLong) \
    X(MultiplyAccumulateWord,       Multiply,      0xF00F, 0x400F, "mac.w",   "@Rm+,@Rn+",       3, 3, Sequential,         MultiplyAccumulateWord) \
    X(MoveRegister,                 DataTransfer,  0xF00F, 0x6003, "mov",     "Rm,Rn",           1, 1, Sequential,         MoveRegister) \
    X(MoveByteStoreIndexed,         DataTransfer,  0xF00F, 0x0004, "mov.b",   "Rm,@(r0,Rn)",     1, 1, Sequential,         MoveByteStoreIndexed) \
    X(MoveWordStoreIndexed,         DataTransfer,  0xF00F, 0x0005, "mov.w",   "Rm,@(r0,Rn)",     1, 1, Sequential,         MoveWordStoreIndexed) \
    X(MoveLongStoreIndexed,         DataTransfer,  0xF00F, 0x0006, "mov.l",   "Rm,@(r0,Rn)",     1, 1, Sequential,         MoveLongStoreIndexed) \
    X(MoveByteStore,                DataTransfer,  0xF00F, 0x2000, "mov.b",   "Rm,@Rn",          1, 1, Sequential,         MoveByteStore) \
    X(MoveWordStore,                DataTransfer,  0xF00F, 0x2001, "mov.w",   "Rm,@Rn",          1, 1, Sequential,         MoveWordStore) \
    X(MoveLongStore,                DataTransfer,  0xF00F, 0x2002, "mov.l",   "Rm,@Rn",          1, 1, Sequential,         MoveLongStore) \
    X(MoveByteLoad,                 DataTransfer,  0xF00F, 0x6000, "mov.b",   "@Rm,Rn",          1, 1, Sequential,         MoveByteLoad) \
    X(MoveWordLoad,                 DataTransfer,  0xF00F, 0x6001, "mov.w",   "@Rm,Rn",          1, 1, Sequential,         MoveWordLoad) \
    X(MoveLongLoad,                 DataTransfer,  0xF00F, 0x6002, "mov.l",   "@Rm,Rn",          1, 1, Sequential,         MoveLongLoad) \
    X(MoveByteStorePreDecrement,    DataTransfer,  0xF00F, 0x2004, "mov.b",   "Rm,@-Rn",         1, 1, Sequential,         MoveByteStorePreDecrement) \
    X(MoveWordStorePreDecrement,    DataTransfer,  0xF00F, 0x2005, "mov.w",   "Rm,@-Rn",         1, 1, Sequential,         MoveWordStorePreDecrement) \
    X(MoveLongStorePreDecrement,    DataTransfer,  0xF00F, 0x2006, "mov.l",   "Rm,@-Rn",         1, 1, Sequential,         MoveLongStorePreDecrement) \
    X(MoveByteLoadPostIncrement,    DataTransfer,  0xF00F, 0x6004, "mov.b",   "@Rm+,Rn",         1, 1, Sequential,         MoveByteLoadPostIncrement) \
    X(MoveWordLoadPostIncrement,    DataTransfer,  0xF00F, 0x6005, "mov.w",   "@Rm+,Rn",         1, 1, Sequential,         MoveWordLoadPostIncrement) \
    X(MoveLongLoadPostIncrement,    DataTransfer,  0xF00F, 0x6006, "mov.l",   "@Rm+,Rn",         1, 1, Sequential,         MoveLongLoadPostIncrement) \
    X(MoveByteLoadIndexed,          DataTransfer,  0xF00F, 0x000C, "mov.b",   "@(r0,Rm),Rn",     1, 1, Sequential,         MoveByteLoadIndexed) \
    X(MoveWordLoadIndexed,          DataTransfer,  0xF00F, 0x000D, "mov.w",   "@(r0,Rm),Rn",     1, 1, Sequential,         MoveWordLoadIndexed) \
    X(MoveLongLoadIndexed,          DataTransfer,  0xF00F, 0x000E, "mov.l",   "@(r0,Rm),Rn",     1, 1, Sequential,         MoveLongLoadIndexed) \
    X(MoveImmediate,                DataTransferConstant, 0xF000, 0xE000, "mov",   "#simm,Rn",   1, 1, Sequential,         MoveImmediate) \
    X(MoveWordLoadPcRelative,       DataTransferConstant, 0xF000, 0x9000, "mov.w", "literal,Rn", 1, 1, Sequential,         MoveWordLoadPcRelative) \
    X(MoveLongLoadPcRelative,       DataTransferConstant, 0xF000, 0xD000, "mov.l", "literal,Rn", 1, 1, Sequential,         MoveLongLoadPcRelative) \
    X(MoveByteLoadGbr,              DataTransferConstant, 0xFF00, 0xC400, "mov.b", "@(disp,gbr),r0", 1, 1, Sequential,         MoveByteLoadGbr) \
    X(MoveWordLoadGbr,              DataTransferConstant, 0xFF00, 0xC500, "mov.w", "@(disp,gbr),r0", 1, 1, Sequential,         MoveWordLoadGbr) \
    X(MoveLongLoadGbr,              DataTransferConstant, 0xFF00, 0xC600, "mov.l", "@(disp,gbr),r0", 1, 1, Sequential,         MoveLongLoadGbr) \
    X(MoveByteStoreGbr,             DataTransferConstant, 0xFF00, 0xC000, "mov.b", "r0,@(disp,gbr)", 1, 1, Sequential,         MoveByteStoreGbr) \
    X(MoveWordStoreGbr,             DataTransferConstant, 0xFF00, 0xC100, "mov.w", "r0,@(disp,gbr)", 1, 1, Sequential,         MoveWordStoreGbr) \
    X(MoveLongStoreGbr,             DataTransferConstant, 0xFF00, 0xC200, "mov.l", "r0,@(disp,gbr)", 1, 1, Sequential,         MoveLongStoreGbr) \
    X(MoveByteStoreDisplacement,    DataTransfer,  0xFF00, 0x8000, "mov.b",   "r0,@(disp,Rm)",   1, 1, Sequential,         MoveByteStoreDisplacement) \
    X(MoveWordStoreDisplacement,    DataTransfer,  0xFF00, 0x8100, "mov.w",   "r0,@(disp,Rm)",   1, 1, Sequential,         MoveWordStoreDisplacement) \
    X(MoveLongStoreDisplacement,    DataTransfer,  0xF000, 0x1000, "mov.l",   "Rm,@(disp,Rn)",   1, 1, Sequential,         MoveLongStoreDisplacement) \
    X(MoveByteLoadDisplacement,     DataTransfer,  0xFF00, 0x8400, "mov.b",   "@(disp,Rm),r0",   1, 1, Sequential,         MoveByteLoadDisplacement) \
    X(MoveWordLoadDisplacement,     DataTransfer,  0xFF00, 0x8500, "mov.w",   "@(disp,Rm),r0",   1, 1, Sequential,         MoveWordLoadDisplacement) \
    X(MoveLongLoadDisplacement,     DataTransfer,  0xF000, 0x5000, "mov.l",   "@(disp,Rm),Rn",   1, 1, Sequential,         MoveLongLoadDisplacement) \
    X(MoveAddress,                  DataTransferConstant, 0xFF00, 0xC700, "mova", "literal,r0",  1, 1, Sequential,         MoveAddress) \
    X(MoveT,                        DataTransfer,  0xF0FF, 0x0029, "movt",    "Rn",              1, 1, Sequential,         MoveT) \
    X(MultiplyLong,                 Multiply,      0xF00F, 0x0007, "mul.l",   "Rm,Rn",           2, 2, Sequential,         MultiplyLong) \
    X(MultiplySignedWord,           Multiply,      0xF00F, 0x200F, "muls.w",  "Rm,Rn",           1, 1, Sequential,         MultiplySignedWord) \
    X(MultiplyUnsignedWord,         Multiply,      0xF00F, 0x200E, "mulu.w",  "Rm,Rn",           1, 1, Sequential,         MultiplyUnsignedWord) \
    X(Negate,                       Arithmetic,    0xF00F, 0x600B, "neg",     "Rm,Rn",           1, 1, Sequential,         Negate) \
    X(NegateWithCarry,              Arithmetic,    0xF00F, 0x600A, "negc",    "Rm,Rn",           1, 1, Sequential,         NegateWithCarry) \
    X(Not,                          Logic,         0xF00F, 0x6007, "not",     "Rm,Rn",           1, 1, Sequential,         Not) \
    X(OrRegister,                   Logic,         0xF00F, 0x200B, "or",      "Rm,Rn",           1, 1, Sequential,         OrRegister) \
    X(OrImmediate,                  Logic,         0xFF00, 0xCB00, "or",      "#imm,r0",         1, 1, Sequential,         OrImmediate) \
    X(OrByteGbr,                    Logic,         0xFF00, 0xCF00, "or.b",    "#imm,@(r0,gbr)",  3, 3, Sequential,         OrByteGbr) \
    X(RotateCarryLeft,              Logic,         0xF0FF, 0x4024, "rotcl",   "Rn",              1, 1, Sequential,         RotateCarryLeft) \
    X(RotateCarryRight,             Logic,         0xF0FF, 0x4025, "rotcr",   "Rn",              1, 1, Sequential,         RotateCarryRight) \
    X(RotateLeft,                   Logic,         0xF0FF, 0x4004, "rotl",    "Rn",              1, 1, Sequential,         RotateLeft) \
    X(RotateRight,                  Logic,         0xF0FF, 0x4005, "rotr",    "Rn",              1, 1, Sequential,         RotateRight) \
    X(ReturnFromException,          SystemControl, 0xFFFF, 0x002B, "rte",     "",                4, 4, ExceptionReturn,    ReturnFromException) \
    X(ReturnFromSubroutine,         Branch,        0xFFFF, 0x000B, "rts",     "",                2, 2, Return,             ReturnFromSubroutine) \
    X(ShiftArithmeticLeft,          Logic,         0xF0FF, 0x4020, "shal",    "Rn",              1, 1, Sequential,         ShiftLeft) \
    X(ShiftArithmeticRight,         Logic,         0xF0FF, 0x4021, "shar",    "Rn",              1, 1, Sequential,         ShiftArithmeticRight) \
    X(ShiftLogicalLeft,             Logic,         0xF0FF, 0x4000, "shll",    "Rn",              1, 1, Sequential,         ShiftLeft) \
    X(ShiftLogicalLeft2,            Logic,         0xF0FF, 0x4008, "shll2",   "Rn",              1, 1, Sequential,         ShiftLogicalLeftBy) \
    X(ShiftLogicalLeft8,            Logic,         0xF0FF, 0x4018, "shll8",   "Rn",              1, 1, Sequential,         ShiftLogicalLeftBy) \
    X(ShiftLogicalLeft16,           Logic,         0xF0FF, 0x4028, "shll16",  "Rn",              1, 1, Sequential,         ShiftLogicalLeftBy) \
    X(ShiftLogicalRight,            Logic,         0xF0FF, 0x4001, "shlr",    "Rn",              1, 1, Sequential,         ShiftLogicalRight) \
    X(ShiftLogicalRight2,           Logic,         0xF0FF, 0x4009, "shlr2",   "Rn",              1, 1, Sequential,         ShiftLogicalRightBy) \
    X(ShiftLogicalRight8,           Logic,         0xF0FF, 0x4019, "shlr8",   "Rn",              1, 1, Sequential,         ShiftLogicalRightBy) \
    X(ShiftLogicalRight16,          Logic,         0xF0FF, 0x4029, "shlr16",  "Rn",              1, 1, Sequential,         ShiftLogicalRightBy) \
    X(StoreControlSr,               SystemControl, 0xF0FF, 0x0002, "stc",     "sr,Rn",           1, 1, Sequential,         StoreControl) \
    X(StoreControlGbr,              SystemControl, 0xF0FF, 0x0012, "stc",     "gbr,Rn",          1, 1, Sequential,         StoreControl) \
    X(StoreControlVbr,              SystemControl, 0xF0FF, 0x0022, "stc",     "vbr,Rn",          1, 1, Sequential,         StoreControl) \
    X(StoreControlSrPreDecrement,   SystemControl, 0xF0FF, 0x4003, "stc.l",   "sr,@-Rn",         2, 2, Sequential,         StoreControlPreDecrement) \
    X(StoreControlGbrPreDecrement,  SystemControl, 0xF0FF, 0x4013, "stc.l",   "gbr,@-Rn",        2, 2, Sequential,         StoreControlPreDecrement) \
    X(StoreControlVbrPreDecrement,  SystemControl, 0xF0FF, 0x4023, "stc.l",   "vbr,@-Rn",        2, 2, Sequential,         StoreControlPreDecrement) \
    X(StoreSystemMach,              SystemControl, 0xF0FF, 0x000A, "sts",     "mach,Rn",         1, 1, Sequential,         StoreSystem) \
    X(StoreSystemMacl,              SystemControl, 0xF0FF, 0x001A, "sts",     "macl,Rn",         1, 1, Sequential,         StoreSystem) \
    X(StoreSystemPr,                SystemControl, 0xF0FF, 0x002A, "sts",     "pr,Rn",           1, 1, Sequential,         StoreSystem) \
    X(StoreSystemMachPreDecrement,  SystemControl, 0xF0FF, 0x4002, "sts.l",   "mach,@-Rn",       1, 1, Sequential,         StoreSystemPreDecrement) \
    X(StoreSystemMaclPreDecrement,  SystemControl, 0xF0FF, 0x4012, "sts.l",   "macl,@-Rn",       1, 1, Sequential,         StoreSystemPreDecrement) \
    X(StoreSystemPrPreDecrement,    SystemControl, 0xF0FF, 0x4022, "sts.l",   "pr,@-Rn",         1, 1, Sequential,         StoreSystemPreDecrement) \
    X(Subtract,                     Arithmetic,    0xF00F, 0x3008, "sub",     "Rm,Rn",           1, 1, Sequential,         Subtract) \
    X(SubtractWithCarry,            Arithmetic,    0xF00F, 0x300A, "subc",    "Rm,Rn",           1, 1, Sequential,         SubtractWithCarry) \
    X(SubtractWithOverflow,         Arithmetic,    0xF00F, 0x300B, "subv",    "Rm,Rn",           1, 1, Sequential,         SubtractWithOverflow) \
    X(SwapBytes,                    DataTransfer,  0xF00F, 0x6008, "swap.b",  "Rm,Rn",           1, 1, Sequential,         SwapBytes) \
    X(SwapWords,                    DataTransfer,  0xF00F, 0x6009, "swap.w",  "Rm,Rn",           1, 1, Sequential,         SwapWords) \
    X(TestAndSet,                   Logic,         0xF0FF, 0x401B, "tas.b",   "@Rn",             4, 4, Sequential,         TestAndSet) \
    X(Trap,                         SystemControl, 0xFF00, 0xC300, "trapa",   "#imm",            8, 8, Trap,               Trap) \
    X(TestRegister,                 Logic,         0xF00F, 0x2008, "tst",     "Rm,Rn",           1, 1, Sequential,         TestRegister) \
    X(TestImmediate,                Logic,         0xFF00, 0xC800, "tst",     "#imm,r0",         1, 1, Sequential,         TestImmediate) \
    X(TestByteGbr,                  Logic,         0xFF00, 0xCC00, "tst.b",   "#imm,@(r0,gbr)",  3, 3, Sequential,         TestByteGbr) \
    X(XorRegister,                  Logic,         0xF00F, 0x200A, "xor",     "Rm,Rn",           1, 1, Sequential,         XorRegister) \
    X(XorImmediate,                 Logic,         0xFF00, 0xCA00, "xor",     "#imm,r0",         1, 1, Sequential,         XorImmediate) \
    X(XorByteGbr,                   Logic,         0xFF00, 0xCE00, "xor.b",   "#imm,@(r0,gbr)",  3, 3, Sequential,         XorByteGbr) \
    X(ExtractMiddle,                DataTransfer,  0xF00F, 0x200D, "xtrct",   "Rm,Rn",           1, 1, Sequential,         ExtractMiddle)
// clang-format on
