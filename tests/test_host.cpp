#include "test_host.h"

#include "core/platform.h"

namespace sh2test {
namespace {

TestMachine &M() { return TestMachine::Get(); }

void Record(HostAccess::Kind kind, uint8_t width, uint32_t address, uint32_t value) {
    if (M().recording) {
        M().accesses.push_back({kind, width, address, value});
    }
}

uint8_t SH2_FASTCALL ReadByteCallback(uint32_t address) {
    const uint8_t value = M().Byte(address);
    Record(HostAccess::Read, 1, address, value);
    return value;
}
uint16_t SH2_FASTCALL ReadWordCallback(uint32_t address) {
    const uint16_t value = M().Word(address);
    Record(HostAccess::Read, 2, address, value);
    return value;
}
uint32_t SH2_FASTCALL ReadLongCallback(uint32_t address) {
    const uint32_t value = M().Long(address);
    Record(HostAccess::Read, 4, address, value);
    return value;
}
void SH2_FASTCALL WriteByteCallback(uint32_t address, uint32_t value) {
    Record(HostAccess::Write, 1, address, value & 0xFF);
    M().SetByte(address, static_cast<uint8_t>(value));
}
void SH2_FASTCALL WriteWordCallback(uint32_t address, uint32_t value) {
    Record(HostAccess::Write, 2, address, value & 0xFFFF);
    M().SetWord(address, static_cast<uint16_t>(value));
}
void SH2_FASTCALL WriteLongCallback(uint32_t address, uint32_t value) {
    Record(HostAccess::Write, 4, address, value);
    M().SetLong(address, value);
}
void SH2_CDECL MessageCallback(const char *text, uint32_t colour) { M().messages.push_back({text, colour}); }

void CaptureBox(const char *caption, const char *text, uint32_t flags) {
    M().boxes.push_back({caption, text, flags});
}

}  // namespace

TestMachine::TestMachine() {
    blocks_[0].assign(kBlock0Size, 0);
    blocks_[1].assign(kBlock1Size, 0);
    blocks_[2].assign(kBlock2Size, 0);
}

TestMachine &TestMachine::Get() {
    static TestMachine machine;
    return machine;
}

void TestMachine::Reset() {
    for (auto &block : blocks_) {
        std::fill(block.begin(), block.end(), 0);
    }
    accesses.clear();
    recording = true;
    boxes.clear();
    messages.clear();
    sh2::SetModalBoxHandler(CaptureBox);
}

SH2HostInterface TestMachine::Interface() const {
    SH2HostInterface host{};
    host.ReadByte = ReadByteCallback;
    host.ReadWord = ReadWordCallback;
    host.ReadLong = ReadLongCallback;
    host.WriteByte = WriteByteCallback;
    host.WriteWord = WriteWordCallback;
    host.WriteLong = WriteLongCallback;
    host.MemoryBlock0 = const_cast<uint8_t *>(blocks_[0].data());
    host.MemoryBlock1 = const_cast<uint8_t *>(blocks_[1].data());
    host.MemoryBlock2 = const_cast<uint8_t *>(blocks_[2].data());
    host.ShowMessage = MessageCallback;
    return host;
}

// The byte of emulated address A lies at host offset A XOR 3 of its block
// (32-bit words in little-endian host order).
const uint8_t *TestMachine::Locate(uint32_t address) const {
    const uint32_t region = address & 0x0FF00000u;
    if (region == 0) {
        return &blocks_[0][(address & 0x7FFFF) ^ 3];
    }
    if (region == 0x00200000u) {
        return &blocks_[1][(address & 0xFFFFF) ^ 3];
    }
    return &blocks_[2][(address & 0x1FFFFF) ^ 3];
}
uint8_t *TestMachine::Locate(uint32_t address) {
    return const_cast<uint8_t *>(static_cast<const TestMachine *>(this)->Locate(address));
}

uint8_t TestMachine::Byte(uint32_t address) const { return *Locate(address); }
uint16_t TestMachine::Word(uint32_t address) const {
    return static_cast<uint16_t>((Byte(address) << 8) | Byte(address + 1));
}
uint32_t TestMachine::Long(uint32_t address) const {
    return (uint32_t{Word(address)} << 16) | Word(address + 2);
}
void TestMachine::SetByte(uint32_t address, uint8_t value) { *Locate(address) = value; }
void TestMachine::SetWord(uint32_t address, uint16_t value) {
    SetByte(address, static_cast<uint8_t>(value >> 8));
    SetByte(address + 1, static_cast<uint8_t>(value));
}
void TestMachine::SetLong(uint32_t address, uint32_t value) {
    SetWord(address, static_cast<uint16_t>(value >> 16));
    SetWord(address + 2, static_cast<uint16_t>(value));
}
void TestMachine::SetWords(uint32_t address, std::initializer_list<uint16_t> words) {
    for (uint16_t word : words) {
        SetWord(address, word);
        address += 2;
    }
}
void TestMachine::SetWords(uint32_t address, const std::vector<uint16_t> &words) {
    for (uint16_t word : words) {
        SetWord(address, word);
        address += 2;
    }
}

CoreHandle::~CoreHandle() { sh2::DestroyCore(core); }

void MakeCore(CoreHandle &handle, bool isMaster, uint32_t entry, uint32_t stack) {
    TestMachine &machine = TestMachine::Get();
    machine.SetLong(0, entry);
    machine.SetLong(4, stack);
    machine.SetLong(8, entry);
    machine.SetLong(12, stack);
    sh2::DestroyCore(handle.core);
    const bool wasRecording = machine.recording;
    machine.recording = false;
    handle.core = sh2::CreateCore(isMaster, machine.Interface());
    machine.recording = wasRecording;
}

}  // namespace sh2test
