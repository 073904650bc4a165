// The decode table against an independent oracle: GNU binutils' SH-2
// disassembler. tests/fixtures/objdump_sh2_opcodes.txt holds objdump's
// mnemonic for every one of the 65536 opcodes (".word" for the ones it does
// not decode), tests/fixtures/decode_row_mnemonics.txt the mnemonic objdump
// gives each decode row. Both come from tools/fixtures/gen_objdump_opcodes.sh.
//
// For every opcode the library must agree with objdump on whether it is an
// instruction at all, both in the handler table and in the row lookup, and
// the row it picks must carry objdump's mnemonic.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/run_loop.h"
#include "isa/decode_table.h"
#include "isa/opcode_handler.h"

namespace {

constexpr uint32_t kOpcodeTotal = 65536;
constexpr uint32_t kUndefinedTotal = 11784;
constexpr uint32_t kDefinedTotal = 53752;
const std::string kUndefinedWord = ".word";

std::string FixturePath(const char *name) { return std::string(SH2_TEST_FIXTURES_DIR) + "/" + name; }

std::string Hex4(uint32_t opcode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(opcode & 0xFFFF));
    return text;
}

// Collects disagreements and reports the first few with the total, so a
// broken table gives one readable failure instead of thousands.
class MismatchLog {
public:
    explicit MismatchLog(std::string what) : what_(std::move(what)) {}

    void Add(const std::string &line) {
        if (lines_.size() < kShown) {
            lines_.push_back(line);
        }
        ++count_;
    }
    size_t Count() const { return count_; }

    std::string Report() const {
        std::ostringstream text;
        text << count_ << " opcode(s) where " << what_;
        if (count_ > 0) {
            text << "; first " << lines_.size() << ":";
            for (const std::string &line : lines_) {
                text << "\n  " << line;
            }
        }
        return text.str();
    }

private:
    static constexpr size_t kShown = 20;
    std::string what_;
    std::vector<std::string> lines_;
    size_t count_ = 0;
};

// Reads the non-comment lines of a fixture as (key, word) pairs.
struct FixtureLine {
    std::string key;
    std::string word;
};

std::vector<FixtureLine> ReadFixture(const std::string &path) {
    std::vector<FixtureLine> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        FixtureLine entry;
        fields >> entry.key >> entry.word;
        lines.push_back(entry);
    }
    return lines;
}

// objdump's mnemonic per opcode, or an empty vector (with a test failure)
// when the fixture is missing or malformed.
const std::vector<std::string> &ObjdumpMnemonics() {
    static const std::vector<std::string> mnemonics = [] {
        std::vector<std::string> result;
        const std::string path = FixturePath("objdump_sh2_opcodes.txt");
        const std::vector<FixtureLine> lines = ReadFixture(path);
        if (lines.size() != kOpcodeTotal) {
            ADD_FAILURE() << path << ": " << lines.size() << " opcode lines, expected " << kOpcodeTotal;
            return result;
        }
        for (uint32_t opcode = 0; opcode < kOpcodeTotal; ++opcode) {
            if (lines[opcode].key != Hex4(opcode) || lines[opcode].word.empty()) {
                ADD_FAILURE() << path << ": opcode line " << opcode << " reads \"" << lines[opcode].key << " "
                              << lines[opcode].word << "\", expected opcode " << Hex4(opcode);
                return result;
            }
        }
        result.reserve(kOpcodeTotal);
        for (const FixtureLine &line : lines) {
            result.push_back(line.word);
        }
        return result;
    }();
    return mnemonics;
}

// objdump's mnemonic per decode row, or an empty vector (with a failure).
const std::vector<std::string> &RowMnemonics() {
    static const std::vector<std::string> mnemonics = [] {
        std::vector<std::string> result;
        const std::string path = FixturePath("decode_row_mnemonics.txt");
        const std::vector<FixtureLine> lines = ReadFixture(path);
        if (lines.size() != sh2::kDecodeRowCount) {
            ADD_FAILURE() << path << ": " << lines.size() << " row lines, expected " << sh2::kDecodeRowCount;
            return result;
        }
        for (size_t row = 0; row < lines.size(); ++row) {
            if (lines[row].key != std::to_string(row) || lines[row].word.empty()) {
                ADD_FAILURE() << path << ": row line " << row << " reads \"" << lines[row].key << " "
                              << lines[row].word << "\"";
                return result;
            }
            result.push_back(lines[row].word);
        }
        return result;
    }();
    return mnemonics;
}

// The first row an opcode belongs to by a plain scan of the table, or -1.
int ScanRow(uint32_t opcode) {
    for (size_t row = 0; row < sh2::kDecodeRowCount; ++row) {
        const sh2::OpcodePattern &pattern = sh2::DecodePatternTable[row];
        if ((opcode & pattern.mask) == pattern.match) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

int RowIndex(const sh2::OpcodePattern *pattern) {
    return pattern == nullptr ? -1 : static_cast<int>(pattern - sh2::DecodePatternTable.data());
}

std::string RowText(int row) {
    if (row < 0) {
        return "undefined";
    }
    return "row " + std::to_string(row) + " (" + sh2::DecodePatternTable[static_cast<size_t>(row)].name + ")";
}

TEST(DecodeOracle, ObjdumpFixtureCoversEveryOpcode) {
    const std::vector<std::string> &objdump = ObjdumpMnemonics();
    ASSERT_EQ(objdump.size(), kOpcodeTotal);
    uint32_t undefined = 0;
    for (const std::string &mnemonic : objdump) {
        undefined += mnemonic == kUndefinedWord ? 1 : 0;
    }
    EXPECT_EQ(undefined, kUndefinedTotal);
    EXPECT_EQ(kOpcodeTotal - undefined, kDefinedTotal);
}

TEST(DecodeOracle, RowMnemonicsMatchTheLibraryRows) {
    const std::vector<std::string> &rows = RowMnemonics();
    ASSERT_EQ(rows.size(), sh2::kDecodeRowCount);
    for (size_t row = 0; row < sh2::kDecodeRowCount; ++row) {
        EXPECT_EQ(rows[row], sh2::DecodePatternTable[row].mnemonic)
            << "row " << row << " (" << sh2::DecodePatternTable[row].name << ")";
    }
}

// The rows are disjoint and cover exactly the defined opcodes.
TEST(DecodeOracle, RowsAreDisjointAndCountAsExpected) {
    uint32_t covered = 0;
    for (const sh2::OpcodePattern &pattern : sh2::DecodePatternTable) {
        EXPECT_EQ(pattern.match & ~pattern.mask & 0xFFFF, 0u) << pattern.name << ": match has bits outside the mask";
        covered += 1u << (16 - std::popcount(static_cast<uint16_t>(pattern.mask)));
    }
    EXPECT_EQ(covered, kDefinedTotal);

    MismatchLog shared("more than one row matches");
    for (uint32_t opcode = 0; opcode < kOpcodeTotal; ++opcode) {
        std::string rows;
        int matches = 0;
        for (size_t row = 0; row < sh2::kDecodeRowCount; ++row) {
            const sh2::OpcodePattern &pattern = sh2::DecodePatternTable[row];
            if ((opcode & pattern.mask) == pattern.match) {
                rows += ' ';
                rows += RowText(static_cast<int>(row));
                ++matches;
            }
        }
        if (matches > 1) {
            shared.Add(Hex4(opcode) + ":" + rows);
        }
    }
    EXPECT_EQ(shared.Count(), 0u) << shared.Report();
}

// Defined or undefined, for every opcode, in the handler table and in the row
// lookup, as objdump sees it.
TEST(DecodeOracle, DefinedOpcodesAgreeWithObjdump) {
    const std::vector<std::string> &objdump = ObjdumpMnemonics();
    ASSERT_EQ(objdump.size(), kOpcodeTotal);

    MismatchLog table("the handler table disagrees with objdump on defined/undefined");
    MismatchLog lookup("FindDecodeRow disagrees with objdump on defined/undefined");
    MismatchLog scan("FindDecodeRow differs from the first matching row in table order");
    MismatchLog missing("a handler table entry is empty");
    uint32_t tableUndefined = 0;
    uint32_t lookupUndefined = 0;
    for (uint32_t opcode = 0; opcode < kOpcodeTotal; ++opcode) {
        const bool objdumpDefined = objdump[opcode] != kUndefinedWord;
        const sh2::OpcodeHandler handler = sh2::OpcodeHandlerTable[opcode];
        const bool tableDefined = handler != sh2::UndefinedOpcodeHandler;
        const int row = RowIndex(sh2::FindDecodeRow(static_cast<uint16_t>(opcode)));

        if (handler == nullptr) {
            missing.Add(Hex4(opcode) + ": objdump " + objdump[opcode]);
        }
        tableUndefined += tableDefined ? 0 : 1;
        lookupUndefined += row < 0 ? 1 : 0;
        if (tableDefined != objdumpDefined) {
            table.Add(Hex4(opcode) + ": table " + (tableDefined ? "defined" : "UndefinedOpcodeHandler") +
                      ", objdump " + objdump[opcode]);
        }
        if ((row >= 0) != objdumpDefined) {
            lookup.Add(Hex4(opcode) + ": " + RowText(row) + ", objdump " + objdump[opcode]);
        }
        const int scanned = ScanRow(opcode);
        if (scanned != row) {
            scan.Add(Hex4(opcode) + ": FindDecodeRow " + RowText(row) + ", scan " + RowText(scanned));
        }
    }
    EXPECT_EQ(missing.Count(), 0u) << missing.Report();
    EXPECT_EQ(table.Count(), 0u) << table.Report();
    EXPECT_EQ(lookup.Count(), 0u) << lookup.Report();
    EXPECT_EQ(scan.Count(), 0u) << scan.Report();
    EXPECT_EQ(tableUndefined, kUndefinedTotal);
    EXPECT_EQ(lookupUndefined, kUndefinedTotal);
}

// The row of every defined opcode names the instruction objdump prints.
TEST(DecodeOracle, MnemonicOfEveryDefinedOpcodeAgreesWithObjdump) {
    const std::vector<std::string> &objdump = ObjdumpMnemonics();
    const std::vector<std::string> &rows = RowMnemonics();
    ASSERT_EQ(objdump.size(), kOpcodeTotal);
    ASSERT_EQ(rows.size(), sh2::kDecodeRowCount);

    MismatchLog fixtureRows("the row's mnemonic in decode_row_mnemonics.txt differs from objdump");
    MismatchLog libraryRows("the row's own mnemonic differs from objdump");
    std::array<uint32_t, sh2::kDecodeRowCount> perRow{};
    uint32_t checked = 0;
    for (uint32_t opcode = 0; opcode < kOpcodeTotal; ++opcode) {
        const int row = RowIndex(sh2::FindDecodeRow(static_cast<uint16_t>(opcode)));
        if (row < 0 || objdump[opcode] == kUndefinedWord) {
            continue;  // defined/undefined disagreements are reported above
        }
        ++checked;
        ++perRow[static_cast<size_t>(row)];
        const size_t index = static_cast<size_t>(row);
        if (rows[index] != objdump[opcode]) {
            fixtureRows.Add(Hex4(opcode) + ": " + RowText(row) + " is " + rows[index] + ", objdump " +
                            objdump[opcode]);
        }
        if (objdump[opcode] != sh2::DecodePatternTable[index].mnemonic) {
            libraryRows.Add(Hex4(opcode) + ": " + RowText(row) + " is " + sh2::DecodePatternTable[index].mnemonic +
                            ", objdump " + objdump[opcode]);
        }
    }
    EXPECT_EQ(checked, kDefinedTotal);
    EXPECT_EQ(fixtureRows.Count(), 0u) << fixtureRows.Report();
    EXPECT_EQ(libraryRows.Count(), 0u) << libraryRows.Report();
    for (size_t row = 0; row < sh2::kDecodeRowCount; ++row) {
        const uint32_t size = 1u << (16 - std::popcount(static_cast<uint16_t>(sh2::DecodePatternTable[row].mask)));
        EXPECT_EQ(perRow[row], size) << RowText(static_cast<int>(row)) << ": opcodes decoded to it";
    }
}

// A few landmarks by opcode, so that a failure above can be read quickly.
TEST(DecodeOracle, Landmarks) {
    struct Landmark {
        uint16_t opcode;
        const char *name;  // row name, or null for undefined
    };
    const Landmark landmarks[] = {
        {0x0000, nullptr},        {0x0001, nullptr},        {0xFFFF, nullptr},       {0x3001, nullptr},
        {0xF000, nullptr},        {0x0120, nullptr},        {0x0FF1, nullptr},       {0x0009, "NOP"},
        {0x000B, "RTS"},          {0x002B, "RTE"},          {0x001B, "SLEEP"},       {0x4020, "SHAL"},
        {0x4000, "SHLL"},         {0x4015, "CMP/PL"},       {0x4016, "LDS.L @Rm+,MACL"},
        {0x300C, "ADD Rm,Rn"},    {0x8D7F, "BT/S"},         {0x1FFF, "MOV.L Rm,@(disp,Rn)"},
    };
    for (const Landmark &landmark : landmarks) {
        const sh2::OpcodePattern *pattern = sh2::FindDecodeRow(landmark.opcode);
        if (landmark.name == nullptr) {
            EXPECT_EQ(pattern, nullptr) << Hex4(landmark.opcode) << " is " << RowText(RowIndex(pattern));
            EXPECT_EQ(sh2::OpcodeHandlerTable[landmark.opcode], sh2::UndefinedOpcodeHandler) << Hex4(landmark.opcode);
        } else {
            ASSERT_NE(pattern, nullptr) << Hex4(landmark.opcode) << " should be " << landmark.name;
            EXPECT_STREQ(pattern->name, landmark.name) << Hex4(landmark.opcode);
            EXPECT_NE(sh2::OpcodeHandlerTable[landmark.opcode], sh2::UndefinedOpcodeHandler) << Hex4(landmark.opcode);
        }
    }
    // Every 0xFnnn, 0x0nn0 and 0x0nn1 opcode is undefined.
    for (uint32_t low = 0; low < 0x1000; ++low) {
        EXPECT_EQ(sh2::FindDecodeRow(static_cast<uint16_t>(0xF000 | low)), nullptr) << Hex4(0xF000 | low);
    }
    for (uint32_t middle = 0; middle < 0x100; ++middle) {
        for (uint32_t last = 0; last < 2; ++last) {
            const uint32_t opcode = (middle << 4) | last;
            EXPECT_EQ(sh2::FindDecodeRow(static_cast<uint16_t>(opcode)), nullptr) << Hex4(opcode);
        }
    }
}

}  // namespace
