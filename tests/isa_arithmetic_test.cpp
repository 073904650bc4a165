// ADD, ADDC, ADDV, SUB, SUBC, SUBV, NEG, NEGC, the comparisons, DT and the
// extensions: results and T from the instruction semantics, 1 cycle each.
#include <gtest/gtest.h>

#include "isa_test_util.h"

using namespace sh2test;

namespace {

constexpr int kKeep = -1;  // T unchanged

// Rn is R2 and Rm is R1 in the two-register forms unless the name says
// otherwise.
const RegisterCase kArithmeticCases[] = {
    {"ADD R1,R2", 0x321C, {{1, 5}, {2, 7}}, 0, {{2, 12}}, kKeep},
    {"ADD R1,R2 wraps, T stays 1", 0x321C, {{1, 2}, {2, 0xFFFFFFFF}}, 1, {{2, 1}}, kKeep},
    {"ADD R2,R2 doubles", 0x322C, {{2, 0x40000001}}, 0, {{2, 0x80000002}}, kKeep},
    {"ADD #-1,R3 from 0", 0x73FF, {{3, 0}}, 1, {{3, 0xFFFFFFFF}}, kKeep},
    {"ADD #0x7F,R3", 0x737F, {{3, 1}}, 0, {{3, 0x80}}, kKeep},
    {"ADD #0x80,R3 subtracts 128", 0x7380, {{3, 0x100}}, 0, {{3, 0x80}}, kKeep},
    {"ADD #0,R15", 0x7F00, {{15, 0x1234}}, 1, {{15, 0x1234}}, kKeep},

    {"ADDC 0xFFFFFFFF + 0 + 1", 0x321E, {{2, 0xFFFFFFFF}, {1, 0}}, 1, {{2, 0}}, 1},
    {"ADDC 0xFFFFFFFF + 1 + 0", 0x321E, {{2, 0xFFFFFFFF}, {1, 1}}, 0, {{2, 0}}, 1},
    {"ADDC 1 + 1 + 1", 0x321E, {{2, 1}, {1, 1}}, 1, {{2, 3}}, 0},
    {"ADDC 0xFFFFFFFF + 0xFFFFFFFF + 1", 0x321E, {{2, 0xFFFFFFFF}, {1, 0xFFFFFFFF}}, 1, {{2, 0xFFFFFFFF}}, 1},
    {"ADDC 0x80000000 + 0x7FFFFFFF + 0", 0x321E, {{2, 0x80000000}, {1, 0x7FFFFFFF}}, 0, {{2, 0xFFFFFFFF}}, 0},
    {"ADDC 0 + 0 + 0 clears T", 0x321E, {{2, 0}, {1, 0}}, 0, {{2, 0}}, 0},
    {"ADDC R2,R2 doubles, adds T, T = old bit 31", 0x322E, {{2, 0x80000001}}, 1, {{2, 3}}, 1},
    {"ADDC R2,R2 without carry", 0x322E, {{2, 0x40000000}}, 1, {{2, 0x80000001}}, 0},

    {"ADDV 0x7FFFFFFF + 1 overflows", 0x321F, {{2, 0x7FFFFFFF}, {1, 1}}, 0, {{2, 0x80000000}}, 1},
    {"ADDV -1 + 1 does not", 0x321F, {{2, 0xFFFFFFFF}, {1, 1}}, 1, {{2, 0}}, 0},
    {"ADDV 0x80000000 + 0x80000000 overflows", 0x321F, {{2, 0x80000000}, {1, 0x80000000}}, 0, {{2, 0}}, 1},
    {"ADDV 0x80000000 + -1 overflows", 0x321F, {{2, 0x80000000}, {1, 0xFFFFFFFF}}, 0, {{2, 0x7FFFFFFF}}, 1},
    {"ADDV 5 + -3", 0x321F, {{2, 5}, {1, 0xFFFFFFFD}}, 1, {{2, 2}}, 0},
    {"ADDV R2,R2 bits 31 and 30 differ", 0x322F, {{2, 0x40000000}}, 0, {{2, 0x80000000}}, 1},
    {"ADDV R2,R2 bits 31 and 30 equal", 0x322F, {{2, 0xC0000000}}, 1, {{2, 0x80000000}}, 0},

    {"SUB R1,R2", 0x3218, {{2, 5}, {1, 7}}, 1, {{2, 0xFFFFFFFE}}, kKeep},
    {"SUB R2,R2 gives 0", 0x3228, {{2, 0x12345678}}, 0, {{2, 0}}, kKeep},

    {"SUBC 0 - 0 - 1", 0x321A, {{2, 0}, {1, 0}}, 1, {{2, 0xFFFFFFFF}}, 1},
    {"SUBC 5 - 3 - 1", 0x321A, {{2, 5}, {1, 3}}, 1, {{2, 1}}, 0},
    {"SUBC 3 - 5 - 0 borrows", 0x321A, {{2, 3}, {1, 5}}, 0, {{2, 0xFFFFFFFE}}, 1},
    {"SUBC 0 - 0xFFFFFFFF - 1 borrows", 0x321A, {{2, 0}, {1, 0xFFFFFFFF}}, 1, {{2, 0}}, 1},
    {"SUBC 1 - 0 - 1 gives 0 without borrow", 0x321A, {{2, 1}, {1, 0}}, 1, {{2, 0}}, 0},
    {"SUBC R2,R2 with T = 1", 0x322A, {{2, 0x1234}}, 1, {{2, 0xFFFFFFFF}}, 1},
    {"SUBC R2,R2 with T = 0", 0x322A, {{2, 0x1234}}, 0, {{2, 0}}, 0},

    {"SUBV 0x80000000 - 1 overflows", 0x321B, {{2, 0x80000000}, {1, 1}}, 0, {{2, 0x7FFFFFFF}}, 1},
    {"SUBV 0 - 0x80000000 overflows", 0x321B, {{2, 0}, {1, 0x80000000}}, 0, {{2, 0x80000000}}, 1},
    {"SUBV 0x7FFFFFFF - -1 overflows", 0x321B, {{2, 0x7FFFFFFF}, {1, 0xFFFFFFFF}}, 0, {{2, 0x80000000}}, 1},
    {"SUBV -1 - 0x7FFFFFFF does not", 0x321B, {{2, 0xFFFFFFFF}, {1, 0x7FFFFFFF}}, 1, {{2, 0x80000000}}, 0},
    {"SUBV 5 - 3", 0x321B, {{2, 5}, {1, 3}}, 1, {{2, 2}}, 0},
    {"SUBV R2,R2", 0x322B, {{2, 0x80000000}}, 1, {{2, 0}}, 0},

    {"NEG R1,R2", 0x621B, {{1, 1}}, 1, {{2, 0xFFFFFFFF}}, kKeep},
    {"NEG of 0x80000000", 0x621B, {{1, 0x80000000}}, 0, {{2, 0x80000000}}, kKeep},
    {"NEG R2,R2", 0x622B, {{2, 5}}, 0, {{2, 0xFFFFFFFB}}, kKeep},

    {"NEGC 0, T = 0", 0x621A, {{1, 0}}, 0, {{2, 0}}, 0},
    {"NEGC 0, T = 1", 0x621A, {{1, 0}}, 1, {{2, 0xFFFFFFFF}}, 1},
    {"NEGC 1, T = 0", 0x621A, {{1, 1}}, 0, {{2, 0xFFFFFFFF}}, 1},
    {"NEGC 1, T = 1", 0x621A, {{1, 1}}, 1, {{2, 0xFFFFFFFE}}, 1},
    {"NEGC 0xFFFFFFFF, T = 0", 0x621A, {{1, 0xFFFFFFFF}}, 0, {{2, 1}}, 1},
    {"NEGC R2,R2", 0x622A, {{2, 5}}, 0, {{2, 0xFFFFFFFB}}, 1},

    {"CMP/EQ equal", 0x3210, {{2, 0x8000}, {1, 0x8000}}, 0, {}, 1},
    {"CMP/EQ different", 0x3210, {{2, 0x8000}, {1, 0x8001}}, 1, {}, 0},
    {"CMP/EQ R2,R2", 0x3220, {}, 0, {}, 1},
    {"CMP/GE -1 >= 0 is false", 0x3213, {{2, 0xFFFFFFFF}, {1, 0}}, 1, {}, 0},
    {"CMP/GE 0 >= -1", 0x3213, {{2, 0}, {1, 0xFFFFFFFF}}, 0, {}, 1},
    {"CMP/GE equal", 0x3213, {{2, 0x80000000}, {1, 0x80000000}}, 0, {}, 1},
    {"CMP/GE R2,R2", 0x3223, {}, 0, {}, 1},
    {"CMP/GT equal is false", 0x3217, {{2, 7}, {1, 7}}, 1, {}, 0},
    {"CMP/GT 1 > -1", 0x3217, {{2, 1}, {1, 0xFFFFFFFF}}, 0, {}, 1},
    {"CMP/GT 0x80000000 > 0x7FFFFFFF is false", 0x3217, {{2, 0x80000000}, {1, 0x7FFFFFFF}}, 1, {}, 0},
    {"CMP/GT R2,R2", 0x3227, {}, 1, {}, 0},
    {"CMP/HI 0xFFFFFFFF > 0", 0x3216, {{2, 0xFFFFFFFF}, {1, 0}}, 0, {}, 1},
    {"CMP/HI equal is false", 0x3216, {{2, 3}, {1, 3}}, 1, {}, 0},
    {"CMP/HI 0 > 1 is false", 0x3216, {{2, 0}, {1, 1}}, 1, {}, 0},
    {"CMP/HI R2,R2", 0x3226, {}, 1, {}, 0},
    {"CMP/HS 0xFFFFFFFF >= 0", 0x3212, {{2, 0xFFFFFFFF}, {1, 0}}, 0, {}, 1},
    {"CMP/HS equal", 0x3212, {{2, 3}, {1, 3}}, 0, {}, 1},
    {"CMP/HS 0 >= 1 is false", 0x3212, {{2, 0}, {1, 1}}, 1, {}, 0},
    {"CMP/HS R2,R2", 0x3222, {}, 0, {}, 1},
    {"CMP/PL 1", 0x4215, {{2, 1}}, 0, {}, 1},
    {"CMP/PL 0", 0x4215, {{2, 0}}, 1, {}, 0},
    {"CMP/PL 0x80000000", 0x4215, {{2, 0x80000000}}, 1, {}, 0},
    {"CMP/PZ 0", 0x4211, {{2, 0}}, 0, {}, 1},
    {"CMP/PZ 0x7FFFFFFF", 0x4211, {{2, 0x7FFFFFFF}}, 0, {}, 1},
    {"CMP/PZ -1", 0x4211, {{2, 0xFFFFFFFF}}, 1, {}, 0},
    {"CMP/STR low bytes match", 0x221C, {{2, 0x41424344}, {1, 0x00000044}}, 0, {}, 1},
    {"CMP/STR no byte matches", 0x221C, {{2, 0x41424344}, {1, 0x00000045}}, 1, {}, 0},
    {"CMP/STR byte 1 matches", 0x221C, {{2, 0x41424344}, {1, 0x00004300}}, 0, {}, 1},
    {"CMP/STR byte 2 matches", 0x221C, {{2, 0x41424344}, {1, 0x00420000}}, 0, {}, 1},
    {"CMP/STR byte 3 matches", 0x221C, {{2, 0x41424344}, {1, 0x41000000}}, 0, {}, 1},
    {"CMP/STR bytes in other positions do not count", 0x221C, {{2, 0x41424344}, {1, 0x44434241}}, 1, {}, 0},
    {"CMP/STR R2,R2", 0x222C, {}, 0, {}, 1},
    {"CMP/EQ #0x80,R0 compares with 0xFFFFFF80", 0x8880, {{0, 0xFFFFFF80}}, 0, {}, 1},
    {"CMP/EQ #0x80,R0 with 0x80", 0x8880, {{0, 0x80}}, 1, {}, 0},
    {"CMP/EQ #0x7F,R0", 0x887F, {{0, 0x7F}}, 0, {}, 1},

    {"DT 1 gives 0, T = 1", 0x4210, {{2, 1}}, 0, {{2, 0}}, 1},
    {"DT 0 gives -1, T = 0", 0x4210, {{2, 0}}, 1, {{2, 0xFFFFFFFF}}, 0},
    {"DT 2 gives 1, T = 0", 0x4210, {{2, 2}}, 1, {{2, 1}}, 0},
    {"DT R15", 0x4F10, {{15, 0x80000000}}, 1, {{15, 0x7FFFFFFF}}, 0},

    {"EXTS.B 0x80", 0x621E, {{1, 0x00000080}}, 0, {{2, 0xFFFFFF80}}, kKeep},
    {"EXTS.B 0x1234567F", 0x621E, {{1, 0x1234567F}}, 1, {{2, 0x7F}}, kKeep},
    {"EXTS.B R1,R1", 0x611E, {{1, 0x000000FF}}, 0, {{1, 0xFFFFFFFF}}, kKeep},
    {"EXTS.W 0x8000", 0x621F, {{1, 0x00008000}}, 0, {{2, 0xFFFF8000}}, kKeep},
    {"EXTS.W 0xABCD7FFF", 0x621F, {{1, 0xABCD7FFF}}, 1, {{2, 0x7FFF}}, kKeep},
    {"EXTU.B 0xFFFFFF80", 0x621C, {{1, 0xFFFFFF80}}, 0, {{2, 0x80}}, kKeep},
    {"EXTU.W 0xFFFF8000", 0x621D, {{1, 0xFFFF8000}}, 1, {{2, 0x8000}}, kKeep},
    {"EXTU.W R2,R2", 0x622D, {{2, 0x12345678}}, 1, {{2, 0x5678}}, kKeep},
};

class IsaArithmetic : public RegisterInstruction {};

TEST_P(IsaArithmetic, ResultTPcAndCycles) { Check(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Cases, IsaArithmetic, ::testing::ValuesIn(kArithmeticCases));

}  // namespace
