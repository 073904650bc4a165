// Loads the plug-in, shows its About box and reports on stdout when the call
// has returned; tests/modal_box_test.sh drives it on a virtual display.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: modal_box_probe PLUGIN\n");
        return 2;
    }
    void *plugin = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (plugin == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 2;
    }
    auto displayPluginInfo = reinterpret_cast<void (*)()>(dlsym(plugin, "DisplayPluginInfo"));
    if (displayPluginInfo == nullptr) {
        std::fprintf(stderr, "DisplayPluginInfo missing\n");
        return 2;
    }
    std::printf("showing\n");
    std::fflush(stdout);
    const auto started = std::chrono::steady_clock::now();
    displayPluginInfo();
    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    std::printf("returned after %lld ms\n", static_cast<long long>(waited));
    std::fflush(stdout);
    return 0;
}
