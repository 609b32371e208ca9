// Loading the JVM library, creating the virtual machine and shutting it down.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtimes/discovery.h"

// Finds the runtime (reporting a search that found none) and creates its JVM.
bool createJvm(bool withConsole);
// Loads the chosen runtime's library, builds the options and creates the JVM; every
// message names runtime.library.
bool createJvmWith(const RuntimeChoice& runtime, bool withConsole);
void destroyJvm();
bool consoleControlHandler(ConsoleEvent event);

// The Java home's bin folder for a JVM library at `libraryPath` (the library's parent's
// parent: bin\server\jvm.dll and jre\bin\client\jvm.dll both give the bin folder that holds
// the runtime's own DLLs). False when the path has fewer than two folders above the file
// or the result does not fit `size`.
bool javaBinDirectory(const char* libraryPath, char* buffer, size_t size);
