#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the fuzz targets to fuzz/corpus/.

The layouts are described at the top of each fuzz_*.cpp. Run it again after
changing a layout; the fuzzers themselves only read the files.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def be16(v):
    return struct.pack(">H", v & 0xFFFF)


def be32(v):
    return struct.pack(">I", v & 0xFFFFFFFF)


def write(target, name, data):
    directory = os.path.join(HERE, "corpus", target)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)


# ---- fuzz_guest_memory ------------------------------------------------------

def image(entry, code, extra=None, vectors=None, sp=0x7F000, size=None):
    """Emulated memory from address 0: vectors, code at `entry`."""
    mem = bytearray(size or max(entry + 2 * len(code), 0x10))
    mem[0:16] = be32(entry) + be32(sp) + be32(entry) + be32(sp)
    for i, op in enumerate(code):
        mem[entry + 2 * i:entry + 2 * i + 2] = be16(op)
    for address, value in (vectors or {}).items():
        mem[address:address + 4] = be32(value)
    for address, ops in (extra or {}).items():
        for i, op in enumerate(ops):
            mem[address + 2 * i:address + 2 * i + 2] = be16(op)
    return bytes(mem)


def guest(fill, slices, flags, mem, slice_records):
    return be16(fill) + bytes([slices, flags]) + be16(len(mem)) + mem + b"".join(slice_records)


def slice_record(cycles, actions=0, operands=b""):
    # cycles is stored so that (value % 1088) - 64 gives it back
    return bytes([actions]) + be16(cycles + 64) + operands


RTE, NOP = 0x002B, 0x0009
handler = {0x40: [RTE, NOP]}
irq_vectors = {4 * v: 0x40 for v in (11, 64, 65, 70)}

# A counting loop that stores to the stack, with interrupts arriving.
loop = image(0x10, [0x7001, 0x2F02, 0xAFFC, NOP], extra=handler, vectors=irq_vectors, size=0x120)
write("fuzz_guest_memory", "loop_with_interrupts", guest(0x0009, 8, 1, loop, [
    slice_record(100),
    slice_record(100, 0x01, be16(64) + be16(5)),
    slice_record(100, 0x02, be16(65) + be16(7)),
    slice_record(50, 0x01, be16(70) + be16(0x113)),  # level above 15
    slice_record(0, 0x04 | 0x08),
    slice_record(-5, 0x10),
    slice_record(1, 0x40 | 0x20),
    slice_record(300),
]))

# SLEEP in a loop: every slice ends in the vector-11 exception.
sleep = image(0x10, [0x001B, 0xAFFD, NOP], extra=handler, vectors=irq_vectors, size=0x60)
write("fuzz_guest_memory", "sleep", guest(0x0009, 4, 0, sleep, [slice_record(20)] * 4))

# DMA channel 0: SAR 0x40, DAR 0x70, 16 byte units, DMAOR 1, CHCR 0x5005.
dma = image(0x10, [
    0xE180,  # MOV #-128,R1       R1 = 0xFFFFFF80 (SAR0)
    0xE040,  # MOV #64,R0
    0x2102,  # MOV.L R0,@R1       SAR0
    0xE070,  # MOV #112,R0
    0x1101,  # MOV.L R0,@(4,R1)   DAR0
    0xE010,  # MOV #16,R0
    0x1102,  # MOV.L R0,@(8,R1)   TCR0
    0xE001,  # MOV #1,R0
    0x110C,  # MOV.L R0,@(48,R1)  DMAOR
    0xE050,  # MOV #0x50,R0
    0x4018,  # SHLL8 R0
    0x7005,  # ADD #5,R0          0x5005: DM and SM increment, IE, DE
    0x1103,  # MOV.L R0,@(12,R1)  CHCR0: the transfer runs
    0xAFFE,  # BRA itself
    NOP,
], size=0x80)
write("fuzz_guest_memory", "dma_setup", guest(0x0009, 3, 0, dma, [slice_record(40)] * 3))

# Odd PCs and the last bytes of each block.
write("fuzz_guest_memory", "odd_pc_block_ends", guest(0x0009, 6, 1, image(0x10, [NOP, 0xAFFD, NOP], size=0x20), [
    slice_record(10, 0x80, be32(0x0007FFFF)),
    slice_record(10, 0x80, be32(0x002FFFFF)),
    slice_record(10, 0x80, be32(0x061FFFFF)),
    slice_record(10, 0x80, be32(0xFFFFFFFF)),
    slice_record(10, 0x80, be32(0x00000011)),
    slice_record(10, 0x80, be32(0xC0000000)),
]))

# A BRA to itself whose delay slot is again a BRA to itself.
write("fuzz_guest_memory", "branch_chain", guest(0x0009, 2, 0, image(0x10, [0xAFFE, 0xAFFE]), [
    slice_record(1000), slice_record(7)]))

# An undefined opcode on both processors, then a reset.
write("fuzz_guest_memory", "undefined_opcode", guest(0xFFFF, 3, 1, image(0x10, [0xFFFF]), [
    slice_record(10), slice_record(10, 0x10 | 0x20), slice_record(10, 0x80, be32(0x10))]))

# ---- fuzz_onchip_registers --------------------------------------------------

REGS = ["SAR0", "DAR0", "TCR0", "CHCR0", "SAR1", "DAR1", "TCR1", "CHCR1", "DMAOR", "VCRDMA0",
        "VCRDMA1", "IPRA", "DVSR", "DVDNT", "DVCR", "DVDNTH", "DVDNTL", "DVDNTUH", "DVDNTUL"]


def reg(name, value):
    return bytes([7, REGS.index(name)]) + be32(value)


def access(kind, offset, value=None):
    data = bytes([kind]) + be16(offset)
    if kind == 3:
        data += bytes([value])
    elif kind == 4:
        data += be16(value)
    elif kind == 5:
        data += be32(value)
    return data


def service(which, operands=b""):
    return bytes([6, which]) + operands


write("fuzz_onchip_registers", "dma_both_channels", b"".join([
    reg("IPRA", 0x0F000000), reg("VCRDMA0", 0x48), reg("VCRDMA1", 0x49),
    reg("SAR0", 0x100), reg("DAR0", 0x200), reg("TCR0", 16), reg("CHCR0", 0x5005),
    reg("SAR1", 0x06000000), reg("DAR1", 0x06010000), reg("TCR1", 0xFF000004), reg("CHCR1", 0x1C05),
    reg("DMAOR", 1), reg("CHCR1", 0x000D),  # single address mode: the warning
    service(2, bytes([0])),
]))
write("fuzz_onchip_registers", "division", b"".join([
    reg("DVSR", 7), reg("DVDNT", 100), reg("DVSR", 0), reg("DVDNT", 5),
    reg("DVSR", 0xFFFFFFFF), reg("DVDNTH", 0x80000000), reg("DVDNTL", 0),
    access(2, 0x104), access(2, 0x114),
]))
write("fuzz_onchip_registers", "timer_watchdog", b"".join([
    access(3, 0x10, 0x8E), access(3, 0x60, 0x05), access(3, 0x16, 0x01), access(3, 0x14, 0x00),
    access(3, 0x15, 0x20), service(0, be32(5000)), service(1), access(0, 0x14), access(0, 0x15),
    access(4, 0x80, 0xA578), access(4, 0x80, 0x5A12), access(0, 0x80), access(0, 0x81), access(0, 0x83),
    service(2, bytes([0])), service(4, bytes([0x40, 0x20])), service(3), access(5, 0x1FE, 0x12345678),
    access(1, 0x1FF), access(2, 0x1FD),
]))
write("fuzz_onchip_registers", "byte_sweep", b"".join(access(0, o) for o in range(0, 0x200, 3)))

# ---- fuzz_export_sequence ---------------------------------------------------

def op(code, operands=b""):
    return bytes([code]) + operands


write("fuzz_export_sequence", "normal_session", b"".join([
    op(0, b"\x00"), op(5), op(6, bytes([16])), op(11, be32(64) + be32(5)), op(6, bytes([16])),
    op(9), op(12, be32(65) + be32(3)), op(6, bytes([40])), op(13), op(14), op(7, b"\x00"),
    op(8, b"\x01"), op(15, be32(0x1000)), op(6, bytes([1])), op(10), op(4), op(3),
]))
write("fuzz_export_sequence", "hostile_order", b"".join([
    op(6, bytes([10])), op(3), op(7, b"\x00"), op(5), op(1), op(2, be16(0x0001)), op(5), op(6, bytes([10])),
    op(3), op(0, b"\x01"), op(0, b"\x00"), op(15, be32(0x00000003)), op(6, bytes([0x80])), op(6, bytes([3])),
    op(11, be32(0xFFFFFF40) + be32(0x110)), op(3), op(3), op(6, bytes([5])), op(9), op(14), op(2, be16(0x3FF)),
]))

# ---- fuzz_program_loader ----------------------------------------------------

EXAMPLES = os.path.join(os.path.dirname(HERE), "examples", "bin")
for name in ("crc32", "trap_rte"):
    with open(os.path.join(EXAMPLES, name + ".elf"), "rb") as f:
        write("fuzz_program_loader", name, bytes([0]) + be32(0) + f.read())
write("fuzz_program_loader", "raw", bytes([1]) + be32(0x06004000) + be16(0xE005) + be16(0xAFFE) + be16(NOP))


def truncated_dwarf(elf):
    """crc32.elf whose .debug_info says it runs 4 KiB past the end of the file:
    the debugging information cut short, the section table still there."""
    elf = bytearray(elf)
    shoff = struct.unpack_from(">I", elf, 32)[0]
    shentsize, shnum, shstrndx = struct.unpack_from(">HHH", elf, 46)
    names = struct.unpack_from(">I", elf, shoff + shstrndx * shentsize + 16)[0]
    for index in range(shnum):
        header = shoff + index * shentsize
        name = struct.unpack_from(">I", elf, header)[0]
        if elf[names + name:names + name + 12] == b".debug_info\0":
            offset = struct.unpack_from(">I", elf, header + 16)[0]
            struct.pack_into(">I", elf, header + 20, len(elf) - offset + 4096)
    return bytes(elf)


with open(os.path.join(EXAMPLES, "crc32.elf"), "rb") as f:
    write("fuzz_program_loader", "truncated_dwarf", bytes([0]) + be32(0) + truncated_dwarf(f.read()))


def elf_segment(address, code, memsz):
    """A one-segment executable: header, program header, code."""
    header = (b"\x7fELF" + bytes([1, 2, 1]) + bytes(9) + be16(2) + be16(42) + be32(1) + be32(address)
              + be32(52) + be32(0) + be32(0) + be16(52) + be16(32) + be16(1) + be16(40) + be16(0) + be16(0))
    program = be32(1) + be32(84) + be32(address) + be32(address) + be32(len(code)) + be32(memsz) + be32(7) + be32(4)
    return header + program + code


write("fuzz_program_loader", "zero_fill", bytes([0]) + be32(0) + elf_segment(0x06000000, be16(NOP) * 2, 0x200000))

# ---- fuzz_gdb_packets -------------------------------------------------------


def packet(payload):
    return b"$" + payload + b"#" + b"%02x" % (sum(payload) & 0xFF)


def session(flags, *payloads, extra=b""):
    return bytes([flags]) + b"".join(packet(p) for p in payloads) + extra


write("fuzz_gdb_packets", "attach", session(6, b"qSupported:multiprocess+;swbreak+", b"qXfer:features:read:target.xml:0,ffb",
                                            b"?", b"qfThreadInfo", b"qsThreadInfo", b"g", b"p10", b"m6004000,40"))
write("fuzz_gdb_packets", "break_and_step", session(0, b"Z0,600404c,2", b"vCont;c", b"vCont;s:1", b"vCont;s:1",
                                                    b"z0,600404c,2", b"s", b"P3=12345678", b"g", b"D"))
write("fuzz_gdb_packets", "slave", session(1, b"qfThreadInfo", b"Hg2", b"g", b"vCont;s:2", b"Hc1", b"c",
                                           b"T2", b"qThreadExtraInfo,2", b"k"))
write("fuzz_gdb_packets", "memory", session(2, b"Mc0000010,4:12345678", b"mc0001010,4", b"Mffffff00,4:00000007",
                                            b"Mffffff04,4:00000064", b"mffffff14,4", b"m0,1000",
                                            extra=b"---\x03" + packet(b"?")))
