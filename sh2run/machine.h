// The machine sh2run builds around the library: the program and its vector
// table in host memory, then the plug-in (or the library linked into
// sh2run) initialised over it, with the master's entry and the slave set up.
#pragma once

#include <string>

#include "host_machine/host_memory.h"
#include "host_machine/plugin_loader.h"
#include "host_machine/program_image.h"
#include "sh2run/options.h"

namespace sh2run {

// Reads PROGRAM and loads it (ELF, or raw with --raw), then writes the
// power-on and reset vectors (PC, SP) unless the image brings its own.
bool LoadProgram(const Options &options, sh2host::LoadedImage &image, std::string &error);

// The plug-in of a plain run: --plugin, or the default one (next to sh2run
// as called, then next to and in ../lib of the real executable, then the
// build tree's).
bool LoadPlugin(const Options &options, const char *argv0, sh2host::Plugin &plugin, std::string &error);
// The fourteen entry points of the library linked into sh2run.
void BindLinkedLibrary(sh2host::Plugin &plugin);

// InitSH2Plugin over `memory` with `callbacks` (observed ones for the gdb
// server's watchpoints and history), then --entry (when the image has its
// own vectors) and the slave (--slave-entry: a manual reset through the
// reset vectors, put back afterwards, then SlaveSH2On).
bool StartMachine(const Options &options, const sh2host::LoadedImage &image, const sh2host::Plugin &plugin,
                  const sh2host::HostMemory &memory, sh2host::Callbacks callbacks, std::string &error);

}  // namespace sh2run
