// The operating system services the library uses: a modal message box (on
// Windows MessageBoxA, on a Linux desktop SDL2 loaded at run time, otherwise
// one stderr line) and the deletion of a file.
#include "core/platform.h"

#include <cstdio>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>

#include <cstdlib>
#endif

namespace sh2 {
namespace {

#if !defined(_WIN32)
// SDL2, loaded at run time on a desktop: the library keeps no link-time
// dependency on it and works unchanged where it is missing. The few
// declarations needed are those of SDL's stable C ABI.
constexpr uint32_t kSdlInitVideo = 0x00000020;       // SDL_INIT_VIDEO
constexpr uint32_t kSdlBoxError = 0x00000010;        // SDL_MESSAGEBOX_ERROR
constexpr uint32_t kSdlBoxInformation = 0x00000040;  // SDL_MESSAGEBOX_INFORMATION

struct Sdl {
    int (*Init)(uint32_t) = nullptr;
    uint32_t (*WasInit)(uint32_t) = nullptr;
    void (*QuitSubSystem)(uint32_t) = nullptr;
    int (*ShowSimpleMessageBox)(uint32_t, const char *, const char *, void *) = nullptr;
    bool loaded = false;
};

bool OnDesktop() {
    const char *x11 = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

template <typename Fn>
bool Bind(void *library, const char *name, Fn &fn) {
    fn = reinterpret_cast<Fn>(dlsym(library, name));
    return fn != nullptr;
}

// Loaded once and kept: SDL may leave handlers behind that must not outlive
// its code.
const Sdl *LoadSdl() {
    static Sdl sdl;
    static bool tried = false;
    if (!tried) {
        tried = true;
        void *library = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (library != nullptr) {
            sdl.loaded = Bind(library, "SDL_Init", sdl.Init) && Bind(library, "SDL_WasInit", sdl.WasInit) &&
                         Bind(library, "SDL_QuitSubSystem", sdl.QuitSubSystem) &&
                         Bind(library, "SDL_ShowSimpleMessageBox", sdl.ShowSimpleMessageBox);
        }
    }
    return sdl.loaded ? &sdl : nullptr;
}

// A real dialog that blocks until it is closed; false when none could be
// shown.
bool ShowSdlBox(const char *caption, const char *text, uint32_t flags) {
    if (!OnDesktop()) return false;
    const Sdl *sdl = LoadSdl();
    if (sdl == nullptr) return false;
    // The icon follows the box's flags, as MessageBoxA's does: the "Warning"
    // box carries the information icon too.
    const uint32_t kind = (flags & 0xF0u) == kBoxErrorIcon ? kSdlBoxError : kSdlBoxInformation;
    // SDL shows a simple box without being initialised, through the
    // desktop's own backend; only when that fails is its video subsystem
    // started for a second try (and stopped again, unless the host runs SDL
    // itself).
    if (sdl->ShowSimpleMessageBox(kind, caption, text, nullptr) == 0) return true;
    if (sdl->WasInit(kSdlInitVideo) != 0 || sdl->Init(kSdlInitVideo) != 0) return false;
    const bool shown = sdl->ShowSimpleMessageBox(kind, caption, text, nullptr) == 0;
    sdl->QuitSubSystem(kSdlInitVideo);
    return shown;
}
#endif

void PlatformModalBox(const char *caption, const char *text, uint32_t flags) {
#if defined(_WIN32)
    MessageBoxA(nullptr, text, caption, flags);
#else
    if (ShowSdlBox(caption, text, flags)) return;
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

ModalBoxHandler CurrentModalBoxHandler() {
    return currentBoxHandler;
}

void DeleteFileIfPresent(const char *path) {
#if defined(_WIN32)
    DeleteFileA(path);
#else
    std::remove(path);
#endif
}

}  // namespace sh2
