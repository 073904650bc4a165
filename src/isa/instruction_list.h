// The SH-2 instruction set in one list: one row per decode row, in decode
// table order. Everything else that knows an instruction (the Instruction
// enum, DecodePatternTable, the handler table, the disassembler and every
// handler's cycle cost) is derived from this list.
//
// X(Name, Group, Bits, Mnemonic, Operands, Cycles, NotTaken, Flow, Handler)
//   Name      the Instruction enumerator
//   Group     the source that holds the handler (isa/<group>.cpp)
//   Bits      the opcode, bit 15 first: 0 and 1 are the bits that identify
//             the instruction (its decode mask and match), letters its
//             operand fields: n a register (bits 11..8), m a register (bits
//             7..4), i an immediate, d a displacement
//   Mnemonic  as binutils prints it
//   Operands  binutils' operand form with the fields put in; lower case is
//             literal text, and
//             Rn, Rm     the register of field n, m
//             #imm       field i, unsigned      #simm  field i, signed
//             d          field d                d*2, d*4  field d times 2, 4
//             label      a branch target: PC + 4 + field d (signed) times 2
//             literal*2, literal*4  a PC-relative data address: PC (for *4
//                        with its low two bits cleared) + 4 + field d times
//                        2 or 4
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
    X(Nop,                         SystemControl,        "0000000000001001", "nop",     "",                1, 1, Sequential,         Nop) \
    X(AddRegister,                 Arithmetic,           "0011nnnnmmmm1100", "add",     "Rm,Rn",           1, 1, Sequential,         AddRegister) \
    X(AddImmediate,                Arithmetic,           "0111nnnniiiiiiii", "add",     "#simm,Rn",        1, 1, Sequential,         AddImmediate) \
    X(AddWithCarry,                Arithmetic,           "0011nnnnmmmm1110", "addc",    "Rm,Rn",           1, 1, Sequential,         AddWithCarry) \
    X(AddWithOverflow,             Arithmetic,           "0011nnnnmmmm1111", "addv",    "Rm,Rn",           1, 1, Sequential,         AddWithOverflow) \
    X(AndRegister,                 Logic,                "0010nnnnmmmm1001", "and",     "Rm,Rn",           1, 1, Sequential,         AndRegister) \
    X(AndImmediate,                Logic,                "11001001iiiiiiii", "and",     "#imm,r0",         1, 1, Sequential,         AndImmediate) \
    X(AndByteGbr,                  Logic,                "11001101iiiiiiii", "and.b",   "#imm,@(r0,gbr)",  3, 3, Sequential,         AndByteGbr) \
    X(BranchIfFalse,               Branch,               "10001011dddddddd", "bf",      "label",           1, 1, Conditional,        BranchIfFalse) \
    X(BranchIfFalseDelayed,        Branch,               "10001111dddddddd", "bf.s",    "label",           1, 1, ConditionalDelayed, BranchIfFalseDelayed) \
    X(BranchIfTrue,                Branch,               "10001001dddddddd", "bt",      "label",           1, 1, Conditional,        BranchIfTrue) \
    X(BranchIfTrueDelayed,         Branch,               "10001101dddddddd", "bt.s",    "label",           1, 0, ConditionalDelayed, BranchIfTrueDelayed) \
    X(ClearMac,                    SystemControl,        "0000000000101000", "clrmac",  "",                1, 1, Sequential,         ClearMac) \
    X(ClearT,                      SystemControl,        "0000000000001000", "clrt",    "",                1, 1, Sequential,         ClearT) \
    X(SetT,                        SystemControl,        "0000000000011000", "sett",    "",                1, 1, Sequential,         SetTBit) \
    X(CompareEqual,                Arithmetic,           "0011nnnnmmmm0000", "cmp/eq",  "Rm,Rn",           1, 1, Sequential,         CompareEqual) \
    X(CompareGreaterEqual,         Arithmetic,           "0011nnnnmmmm0011", "cmp/ge",  "Rm,Rn",           1, 1, Sequential,         CompareGreaterEqual) \
    X(CompareGreater,              Arithmetic,           "0011nnnnmmmm0111", "cmp/gt",  "Rm,Rn",           1, 1, Sequential,         CompareGreater) \
    X(CompareHigher,               Arithmetic,           "0011nnnnmmmm0110", "cmp/hi",  "Rm,Rn",           1, 1, Sequential,         CompareHigher) \
    X(CompareHigherSame,           Arithmetic,           "0011nnnnmmmm0010", "cmp/hs",  "Rm,Rn",           1, 1, Sequential,         CompareHigherSame) \
    X(ComparePlus,                 Arithmetic,           "0100nnnn00010101", "cmp/pl",  "Rn",              1, 1, Sequential,         ComparePlus) \
    X(ComparePlusZero,             Arithmetic,           "0100nnnn00010001", "cmp/pz",  "Rn",              1, 1, Sequential,         ComparePlusZero) \
    X(CompareString,               Arithmetic,           "0010nnnnmmmm1100", "cmp/str", "Rm,Rn",           1, 1, Sequential,         CompareString) \
    X(CompareEqualImmediate,       Arithmetic,           "10001000iiiiiiii", "cmp/eq",  "#simm,r0",        1, 1, Sequential,         CompareEqualImmediate) \
    X(Divide0Signed,               Multiply,             "0010nnnnmmmm0111", "div0s",   "Rm,Rn",           1, 1, Sequential,         Divide0Signed) \
    X(Divide0Unsigned,             Multiply,             "0000000000011001", "div0u",   "",                1, 1, Sequential,         Divide0Unsigned) \
    X(Divide1,                     Multiply,             "0011nnnnmmmm0100", "div1",    "Rm,Rn",           1, 1, Sequential,         Divide1) \
    X(DoubleMultiplySigned,        Multiply,             "0011nnnnmmmm1101", "dmuls.l", "Rm,Rn",           2, 2, Sequential,         DoubleMultiplySigned) \
    X(DoubleMultiplyUnsigned,      Multiply,             "0011nnnnmmmm0101", "dmulu.l", "Rm,Rn",           2, 2, Sequential,         DoubleMultiplyUnsigned) \
    X(DecrementTest,               Arithmetic,           "0100nnnn00010000", "dt",      "Rn",              1, 1, Sequential,         DecrementTest) \
    X(ExtendSignedByte,            Arithmetic,           "0110nnnnmmmm1110", "exts.b",  "Rm,Rn",           1, 1, Sequential,         ExtendSignedByte) \
    X(ExtendSignedWord,            Arithmetic,           "0110nnnnmmmm1111", "exts.w",  "Rm,Rn",           1, 1, Sequential,         ExtendSignedWord) \
    X(ExtendUnsignedByte,          Arithmetic,           "0110nnnnmmmm1100", "extu.b",  "Rm,Rn",           1, 1, Sequential,         ExtendUnsignedByte) \
    X(ExtendUnsignedWord,          Arithmetic,           "0110nnnnmmmm1101", "extu.w",  "Rm,Rn",           1, 1, Sequential,         ExtendUnsignedWord) \
    X(Sleep,                       SystemControl,        "0000000000011011", "sleep",   "",                3, 3, Sleep,              Sleep) \
    X(Branch,                      Branch,               "1010dddddddddddd", "bra",     "label",           2, 2, Delayed,            Branch) \
    X(BranchFar,                   Branch,               "0000nnnn00100011", "braf",    "Rn",              2, 2, Delayed,            BranchFar) \
    X(BranchSubroutine,            Branch,               "1011dddddddddddd", "bsr",     "label",           2, 2, Call,               BranchSubroutine) \
    X(BranchSubroutineFar,         Branch,               "0000nnnn00000011", "bsrf",    "Rn",              2, 2, Call,               BranchSubroutineFar) \
    X(Jump,                        Branch,               "0100nnnn00101011", "jmp",     "@Rn",             2, 2, Delayed,            Jump) \
    X(JumpSubroutine,              Branch,               "0100nnnn00001011", "jsr",     "@Rn",             2, 2, Call,               JumpSubroutine) \
    X(LoadControlSr,               SystemControl,        "0100nnnn00001110", "ldc",     "Rn,sr",           1, 1, Sequential,         LoadControl) \
    X(LoadControlGbr,              SystemControl,        "0100nnnn00011110", "ldc",     "Rn,gbr",          1, 1, Sequential,         LoadControl) \
    X(LoadControlVbr,              SystemControl,        "0100nnnn00101110", "ldc",     "Rn,vbr",          1, 1, Sequential,         LoadControl) \
    X(LoadControlSrPostIncrement,  SystemControl,        "0100nnnn00000111", "ldc.l",   "@Rn+,sr",         3, 3, Sequential,         LoadControlPostIncrement) \
    X(LoadControlGbrPostIncrement, SystemControl,        "0100nnnn00010111", "ldc.l",   "@Rn+,gbr",        3, 3, Sequential,         LoadControlPostIncrement) \
    X(LoadControlVbrPostIncrement, SystemControl,        "0100nnnn00100111", "ldc.l",   "@Rn+,vbr",        3, 3, Sequential,         LoadControlPostIncrement) \
    X(LoadSystemMach,              SystemControl,        "0100nnnn00001010", "lds",     "Rn,mach",         1, 1, Sequential,         LoadSystem) \
    X(LoadSystemMacl,              SystemControl,        "0100nnnn00011010", "lds",     "Rn,macl",         1, 1, Sequential,         LoadSystem) \
    X(LoadSystemPr,                SystemControl,        "0100nnnn00101010", "lds",     "Rn,pr",           1, 1, Sequential,         LoadSystem) \
    X(LoadSystemMachPostIncrement, SystemControl,        "0100nnnn00000110", "lds.l",   "@Rn+,mach",       1, 1, Sequential,         LoadSystemPostIncrement) \
    X(LoadSystemMaclPostIncrement, SystemControl,        "0100nnnn00010110", "lds.l",   "@Rn+,macl",       1, 1, Sequential,         LoadSystemPostIncrement) \
    X(LoadSystemPrPostIncrement,   SystemControl,        "0100nnnn00100110", "lds.l",   "@Rn+,pr",         1, 1, Sequential,         LoadSystemPostIncrement) \
    X(MultiplyAccumulateLong,      Multiply,             "0000nnnnmmmm1111", "mac.l",   "@Rm+,@Rn+",       3, 3, Sequential,         MultiplyAccumulateLong) \
    X(MultiplyAccumulateWord,      Multiply,             "0100nnnnmmmm1111", "mac.w",   "@Rm+,@Rn+",       3, 3, Sequential,         MultiplyAccumulateWord) \
    X(MoveRegister,                DataTransfer,         "0110nnnnmmmm0011", "mov",     "Rm,Rn",           1, 1, Sequential,         MoveRegister) \
    X(MoveByteStoreIndexed,        DataTransfer,         "0000nnnnmmmm0100", "mov.b",   "Rm,@(r0,Rn)",     1, 1, Sequential,         MoveByteStoreIndexed) \
    X(MoveWordStoreIndexed,        DataTransfer,         "0000nnnnmmmm0101", "mov.w",   "Rm,@(r0,Rn)",     1, 1, Sequential,         MoveWordStoreIndexed) \
    X(MoveLongStoreIndexed,        DataTransfer,         "0000nnnnmmmm0110", "mov.l",   "Rm,@(r0,Rn)",     1, 1, Sequential,         MoveLongStoreIndexed) \
    X(MoveByteStore,               DataTransfer,         "0010nnnnmmmm0000", "mov.b",   "Rm,@Rn",          1, 1, Sequential,         MoveByteStore) \
    X(MoveWordStore,               DataTransfer,         "0010nnnnmmmm0001", "mov.w",   "Rm,@Rn",          1, 1, Sequential,         MoveWordStore) \
    X(MoveLongStore,               DataTransfer,         "0010nnnnmmmm0010", "mov.l",   "Rm,@Rn",          1, 1, Sequential,         MoveLongStore) \
    X(MoveByteLoad,                DataTransfer,         "0110nnnnmmmm0000", "mov.b",   "@Rm,Rn",          1, 1, Sequential,         MoveByteLoad) \
    X(MoveWordLoad,                DataTransfer,         "0110nnnnmmmm0001", "mov.w",   "@Rm,Rn",          1, 1, Sequential,         MoveWordLoad) \
    X(MoveLongLoad,                DataTransfer,         "0110nnnnmmmm0010", "mov.l",   "@Rm,Rn",          1, 1, Sequential,         MoveLongLoad) \
    X(MoveByteStorePreDecrement,   DataTransfer,         "0010nnnnmmmm0100", "mov.b",   "Rm,@-Rn",         1, 1, Sequential,         MoveByteStorePreDecrement) \
    X(MoveWordStorePreDecrement,   DataTransfer,         "0010nnnnmmmm0101", "mov.w",   "Rm,@-Rn",         1, 1, Sequential,         MoveWordStorePreDecrement) \
    X(MoveLongStorePreDecrement,   DataTransfer,         "0010nnnnmmmm0110", "mov.l",   "Rm,@-Rn",         1, 1, Sequential,         MoveLongStorePreDecrement) \
    X(MoveByteLoadPostIncrement,   DataTransfer,         "0110nnnnmmmm0100", "mov.b",   "@Rm+,Rn",         1, 1, Sequential,         MoveByteLoadPostIncrement) \
    X(MoveWordLoadPostIncrement,   DataTransfer,         "0110nnnnmmmm0101", "mov.w",   "@Rm+,Rn",         1, 1, Sequential,         MoveWordLoadPostIncrement) \
    X(MoveLongLoadPostIncrement,   DataTransfer,         "0110nnnnmmmm0110", "mov.l",   "@Rm+,Rn",         1, 1, Sequential,         MoveLongLoadPostIncrement) \
    X(MoveByteLoadIndexed,         DataTransfer,         "0000nnnnmmmm1100", "mov.b",   "@(r0,Rm),Rn",     1, 1, Sequential,         MoveByteLoadIndexed) \
    X(MoveWordLoadIndexed,         DataTransfer,         "0000nnnnmmmm1101", "mov.w",   "@(r0,Rm),Rn",     1, 1, Sequential,         MoveWordLoadIndexed) \
    X(MoveLongLoadIndexed,         DataTransfer,         "0000nnnnmmmm1110", "mov.l",   "@(r0,Rm),Rn",     1, 1, Sequential,         MoveLongLoadIndexed) \
    X(MoveImmediate,               DataTransferConstant, "1110nnnniiiiiiii", "mov",     "#simm,Rn",        1, 1, Sequential,         MoveImmediate) \
    X(MoveWordLoadPcRelative,      DataTransferConstant, "1001nnnndddddddd", "mov.w",   "literal*2,Rn",    1, 1, Sequential,         MoveWordLoadPcRelative) \
    X(MoveLongLoadPcRelative,      DataTransferConstant, "1101nnnndddddddd", "mov.l",   "literal*4,Rn",    1, 1, Sequential,         MoveLongLoadPcRelative) \
    X(MoveByteLoadGbr,             DataTransferConstant, "11000100dddddddd", "mov.b",   "@(d,gbr),r0",   1, 1, Sequential,         MoveByteLoadGbr) \
    X(MoveWordLoadGbr,             DataTransferConstant, "11000101dddddddd", "mov.w",   "@(d*2,gbr),r0",   1, 1, Sequential,         MoveWordLoadGbr) \
    X(MoveLongLoadGbr,             DataTransferConstant, "11000110dddddddd", "mov.l",   "@(d*4,gbr),r0",   1, 1, Sequential,         MoveLongLoadGbr) \
    X(MoveByteStoreGbr,            DataTransferConstant, "11000000dddddddd", "mov.b",   "r0,@(d,gbr)",   1, 1, Sequential,         MoveByteStoreGbr) \
    X(MoveWordStoreGbr,            DataTransferConstant, "11000001dddddddd", "mov.w",   "r0,@(d*2,gbr)",   1, 1, Sequential,         MoveWordStoreGbr) \
    X(MoveLongStoreGbr,            DataTransferConstant, "11000010dddddddd", "mov.l",   "r0,@(d*4,gbr)",   1, 1, Sequential,         MoveLongStoreGbr) \
    X(MoveByteStoreDisplacement,   DataTransfer,         "10000000mmmmdddd", "mov.b",   "r0,@(d,Rm)",    1, 1, Sequential,         MoveByteStoreDisplacement) \
    X(MoveWordStoreDisplacement,   DataTransfer,         "10000001mmmmdddd", "mov.w",   "r0,@(d*2,Rm)",    1, 1, Sequential,         MoveWordStoreDisplacement) \
    X(MoveLongStoreDisplacement,   DataTransfer,         "0001nnnnmmmmdddd", "mov.l",   "Rm,@(d*4,Rn)",    1, 1, Sequential,         MoveLongStoreDisplacement) \
    X(MoveByteLoadDisplacement,    DataTransfer,         "10000100mmmmdddd", "mov.b",   "@(d,Rm),r0",    1, 1, Sequential,         MoveByteLoadDisplacement) \
    X(MoveWordLoadDisplacement,    DataTransfer,         "10000101mmmmdddd", "mov.w",   "@(d*2,Rm),r0",    1, 1, Sequential,         MoveWordLoadDisplacement) \
    X(MoveLongLoadDisplacement,    DataTransfer,         "0101nnnnmmmmdddd", "mov.l",   "@(d*4,Rm),Rn",    1, 1, Sequential,         MoveLongLoadDisplacement) \
    X(MoveAddress,                 DataTransferConstant, "11000111dddddddd", "mova",    "literal*4,r0",    1, 1, Sequential,         MoveAddress) \
    X(MoveT,                       DataTransfer,         "0000nnnn00101001", "movt",    "Rn",              1, 1, Sequential,         MoveT) \
    X(MultiplyLong,                Multiply,             "0000nnnnmmmm0111", "mul.l",   "Rm,Rn",           2, 2, Sequential,         MultiplyLong) \
    X(MultiplySignedWord,          Multiply,             "0010nnnnmmmm1111", "muls.w",  "Rm,Rn",           1, 1, Sequential,         MultiplySignedWord) \
    X(MultiplyUnsignedWord,        Multiply,             "0010nnnnmmmm1110", "mulu.w",  "Rm,Rn",           1, 1, Sequential,         MultiplyUnsignedWord) \
    X(Negate,                      Arithmetic,           "0110nnnnmmmm1011", "neg",     "Rm,Rn",           1, 1, Sequential,         Negate) \
    X(NegateWithCarry,             Arithmetic,           "0110nnnnmmmm1010", "negc",    "Rm,Rn",           1, 1, Sequential,         NegateWithCarry) \
    X(Not,                         Logic,                "0110nnnnmmmm0111", "not",     "Rm,Rn",           1, 1, Sequential,         Not) \
    X(OrRegister,                  Logic,                "0010nnnnmmmm1011", "or",      "Rm,Rn",           1, 1, Sequential,         OrRegister) \
    X(OrImmediate,                 Logic,                "11001011iiiiiiii", "or",      "#imm,r0",         1, 1, Sequential,         OrImmediate) \
    X(OrByteGbr,                   Logic,                "11001111iiiiiiii", "or.b",    "#imm,@(r0,gbr)",  3, 3, Sequential,         OrByteGbr) \
    X(RotateCarryLeft,             Logic,                "0100nnnn00100100", "rotcl",   "Rn",              1, 1, Sequential,         RotateCarryLeft) \
    X(RotateCarryRight,            Logic,                "0100nnnn00100101", "rotcr",   "Rn",              1, 1, Sequential,         RotateCarryRight) \
    X(RotateLeft,                  Logic,                "0100nnnn00000100", "rotl",    "Rn",              1, 1, Sequential,         RotateLeft) \
    X(RotateRight,                 Logic,                "0100nnnn00000101", "rotr",    "Rn",              1, 1, Sequential,         RotateRight) \
    X(ReturnFromException,         SystemControl,        "0000000000101011", "rte",     "",                4, 4, ExceptionReturn,    ReturnFromException) \
    X(ReturnFromSubroutine,        Branch,               "0000000000001011", "rts",     "",                2, 2, Return,             ReturnFromSubroutine) \
    X(ShiftArithmeticLeft,         Logic,                "0100nnnn00100000", "shal",    "Rn",              1, 1, Sequential,         ShiftLeft) \
    X(ShiftArithmeticRight,        Logic,                "0100nnnn00100001", "shar",    "Rn",              1, 1, Sequential,         ShiftArithmeticRight) \
    X(ShiftLogicalLeft,            Logic,                "0100nnnn00000000", "shll",    "Rn",              1, 1, Sequential,         ShiftLeft) \
    X(ShiftLogicalLeft2,           Logic,                "0100nnnn00001000", "shll2",   "Rn",              1, 1, Sequential,         ShiftLogicalLeftBy) \
    X(ShiftLogicalLeft8,           Logic,                "0100nnnn00011000", "shll8",   "Rn",              1, 1, Sequential,         ShiftLogicalLeftBy) \
    X(ShiftLogicalLeft16,          Logic,                "0100nnnn00101000", "shll16",  "Rn",              1, 1, Sequential,         ShiftLogicalLeftBy) \
    X(ShiftLogicalRight,           Logic,                "0100nnnn00000001", "shlr",    "Rn",              1, 1, Sequential,         ShiftLogicalRight) \
    X(ShiftLogicalRight2,          Logic,                "0100nnnn00001001", "shlr2",   "Rn",              1, 1, Sequential,         ShiftLogicalRightBy) \
    X(ShiftLogicalRight8,          Logic,                "0100nnnn00011001", "shlr8",   "Rn",              1, 1, Sequential,         ShiftLogicalRightBy) \
    X(ShiftLogicalRight16,         Logic,                "0100nnnn00101001", "shlr16",  "Rn",              1, 1, Sequential,         ShiftLogicalRightBy) \
    X(StoreControlSr,              SystemControl,        "0000nnnn00000010", "stc",     "sr,Rn",           1, 1, Sequential,         StoreControl) \
    X(StoreControlGbr,             SystemControl,        "0000nnnn00010010", "stc",     "gbr,Rn",          1, 1, Sequential,         StoreControl) \
    X(StoreControlVbr,             SystemControl,        "0000nnnn00100010", "stc",     "vbr,Rn",          1, 1, Sequential,         StoreControl) \
    X(StoreControlSrPreDecrement,  SystemControl,        "0100nnnn00000011", "stc.l",   "sr,@-Rn",         2, 2, Sequential,         StoreControlPreDecrement) \
    X(StoreControlGbrPreDecrement, SystemControl,        "0100nnnn00010011", "stc.l",   "gbr,@-Rn",        2, 2, Sequential,         StoreControlPreDecrement) \
    X(StoreControlVbrPreDecrement, SystemControl,        "0100nnnn00100011", "stc.l",   "vbr,@-Rn",        2, 2, Sequential,         StoreControlPreDecrement) \
    X(StoreSystemMach,             SystemControl,        "0000nnnn00001010", "sts",     "mach,Rn",         1, 1, Sequential,         StoreSystem) \
    X(StoreSystemMacl,             SystemControl,        "0000nnnn00011010", "sts",     "macl,Rn",         1, 1, Sequential,         StoreSystem) \
    X(StoreSystemPr,               SystemControl,        "0000nnnn00101010", "sts",     "pr,Rn",           1, 1, Sequential,         StoreSystem) \
    X(StoreSystemMachPreDecrement, SystemControl,        "0100nnnn00000010", "sts.l",   "mach,@-Rn",       1, 1, Sequential,         StoreSystemPreDecrement) \
    X(StoreSystemMaclPreDecrement, SystemControl,        "0100nnnn00010010", "sts.l",   "macl,@-Rn",       1, 1, Sequential,         StoreSystemPreDecrement) \
    X(StoreSystemPrPreDecrement,   SystemControl,        "0100nnnn00100010", "sts.l",   "pr,@-Rn",         1, 1, Sequential,         StoreSystemPreDecrement) \
    X(Subtract,                    Arithmetic,           "0011nnnnmmmm1000", "sub",     "Rm,Rn",           1, 1, Sequential,         Subtract) \
    X(SubtractWithCarry,           Arithmetic,           "0011nnnnmmmm1010", "subc",    "Rm,Rn",           1, 1, Sequential,         SubtractWithCarry) \
    X(SubtractWithOverflow,        Arithmetic,           "0011nnnnmmmm1011", "subv",    "Rm,Rn",           1, 1, Sequential,         SubtractWithOverflow) \
    X(SwapBytes,                   DataTransfer,         "0110nnnnmmmm1000", "swap.b",  "Rm,Rn",           1, 1, Sequential,         SwapBytes) \
    X(SwapWords,                   DataTransfer,         "0110nnnnmmmm1001", "swap.w",  "Rm,Rn",           1, 1, Sequential,         SwapWords) \
    X(TestAndSet,                  Logic,                "0100nnnn00011011", "tas.b",   "@Rn",             4, 4, Sequential,         TestAndSet) \
    X(Trap,                        SystemControl,        "11000011iiiiiiii", "trapa",   "#imm",            8, 8, Trap,               Trap) \
    X(TestRegister,                Logic,                "0010nnnnmmmm1000", "tst",     "Rm,Rn",           1, 1, Sequential,         TestRegister) \
    X(TestImmediate,               Logic,                "11001000iiiiiiii", "tst",     "#imm,r0",         1, 1, Sequential,         TestImmediate) \
    X(TestByteGbr,                 Logic,                "11001100iiiiiiii", "tst.b",   "#imm,@(r0,gbr)",  3, 3, Sequential,         TestByteGbr) \
    X(XorRegister,                 Logic,                "0010nnnnmmmm1010", "xor",     "Rm,Rn",           1, 1, Sequential,         XorRegister) \
    X(XorImmediate,                Logic,                "11001010iiiiiiii", "xor",     "#imm,r0",         1, 1, Sequential,         XorImmediate) \
    X(XorByteGbr,                  Logic,                "11001110iiiiiiii", "xor.b",   "#imm,@(r0,gbr)",  3, 3, Sequential,         XorByteGbr) \
    X(ExtractMiddle,               DataTransfer,         "0010nnnnmmmm1101", "xtrct",   "Rm,Rn",           1, 1, Sequential,         ExtractMiddle)
// clang-format on
