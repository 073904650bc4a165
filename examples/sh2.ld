/* The bundled programs: everything from 0x06004000 up in host memory
 * (block 2); sh2run puts the stack at the top of that block. */
ENTRY(_start)
SECTIONS
{
    . = 0x06004000;
    .text : { *(.text.start) *(.text .text.*) }
    .rodata : { *(.rodata .rodata.*) }
    .data : { *(.data .data.*) }
    .bss : { *(.bss .bss.*) *(COMMON) }
    /DISCARD/ : { *(.comment) *(.note .note.*) *(.stack) *(.eh_frame) }
}
