// The few services the library takes from the operating system: a modal
// message box and the deletion of a file.
#pragma once

#include <cstdint>

namespace sh2 {

// Windows MessageBoxA flags used by the library.
inline constexpr uint32_t kBoxErrorIcon = 0x10;        // MB_ICONERROR | MB_OK
inline constexpr uint32_t kBoxInformationIcon = 0x40;  // MB_ICONINFORMATION | MB_OK

// Shows a modal box with no owner window and returns once it is closed. On
// Windows this is MessageBoxA. Elsewhere, on a desktop (DISPLAY or
// WAYLAND_DISPLAY set) with SDL2 present, it is SDL's simple message box,
// loaded at run time; otherwise the box is written as one line
// ("<caption>: <text>") to stderr and the call returns at once.
void ShowModalBox(const char *caption, const char *text, uint32_t flags);

// Replaces how boxes are shown (null restores the platform's own). Tests use
// it to observe boxes without blocking.
using ModalBoxHandler = void (*)(const char *caption, const char *text, uint32_t flags);
void SetModalBoxHandler(ModalBoxHandler handler);
// The handler boxes go to now (the platform's own unless replaced).
ModalBoxHandler CurrentModalBoxHandler();

// Deletes a file; the result is ignored by the callers.
void DeleteFileIfPresent(const char *path);

}  // namespace sh2
