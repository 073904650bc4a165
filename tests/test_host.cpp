#include "test_host.h"

#include "core/platform.h"

namespace sh2test {
namespace {

void RecordAccess(const HostAccess &access) {
    TestMachine &machine = TestMachine::Get();
    if (machine.recording) machine.accesses.push_back(access);
}

void CaptureMessage(const char *text, uint32_t colour) {
    TestMachine::Get().messages.push_back({text, colour});
}

void CaptureBox(const char *caption, const char *text, uint32_t flags) {
    TestMachine::Get().boxes.push_back({caption, text, flags});
}

}  // namespace

TestMachine &TestMachine::Get() {
    static TestMachine machine;
    return machine;
}

void TestMachine::Reset() {
    memory_.Clear();
    sh2host::UseMemory(&memory_);
    sh2host::hooks = {};
    sh2host::hooks.onAccess = RecordAccess;
    sh2host::hooks.message = CaptureMessage;
    sh2host::hooks.portsEnabled = false;
    accesses.clear();
    recording = true;
    boxes.clear();
    messages.clear();
    sh2::SetModalBoxHandler(CaptureBox);
}

void TestMachine::SetWords(uint32_t address, const std::vector<uint16_t> &words) {
    for (uint16_t word : words) {
        SetWord(address, word);
        address += 2;
    }
}

CoreHandle::~CoreHandle() {
    sh2::DestroyCore(core);
}

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
