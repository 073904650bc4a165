#include "core/platform.h"

#include <cstdio>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace sh2 {
namespace {

void PlatformModalBox(const char *caption, const char *text, uint32_t flags) {
#if defined(_WIN32)
    MessageBoxA(nullptr, text, caption, flags);
#else
    (void)flags;
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
#endif
}

ModalBoxHandler currentBoxHandler = PlatformModalBox;

}  // namespace

void ShowModalBox(const char *caption, const char *text, uint32_t flags) {
    currentBoxHandler(caption, text, flags);
}

void SetModalBoxHandler(ModalBoxHandler handler) {
    currentBoxHandler = handler != nullptr ? handler : PlatformModalBox;
}

void DeleteFileIfPresent(const char *path) {
#if defined(_WIN32)
    DeleteFileA(path);
#else
    std::remove(path);
#endif
}

}  // namespace sh2
