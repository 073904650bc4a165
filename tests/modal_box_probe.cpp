// Loads the plug-in, shows its About box and reports on stdout when the call
// has returned; tests/modal_box_test.sh drives it on a virtual display, and
// tests/wine_box_test.sh its Windows build under Wine.
#include <chrono>
#include <cstdio>
#include <string>

#include "host_machine/plugin_loader.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: modal_box_probe PLUGIN\n");
        return 2;
    }
    sh2host::Plugin plugin;
    std::string error;
    if (!plugin.Load(argv[1], error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    std::printf("showing\n");
    std::fflush(stdout);
    const auto started = std::chrono::steady_clock::now();
    plugin.DisplayPluginInfo();
    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    std::printf("returned after %lld ms\n", static_cast<long long>(waited));
    std::fflush(stdout);
    return 0;
}
