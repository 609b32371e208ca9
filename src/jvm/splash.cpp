// The splash screen shown while the JVM starts. The runtime's splash library keeps the
// splash in its own process-wide state; java.awt.SplashScreen later loads the same library
// from the runtime's library folder and finds that state there, so the library must be the
// one of the runtime in use, loaded from that folder, and is never unloaded.
#include "jvm/splash.h"

#include <string>

#include "archive/jar_file.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/state.h"
#include "core/trace.h"
#include "jvm/create_jvm.h"
#include "options/launch_options.h"
#include "platform/platform.h"

namespace {

typedef void (*SplashInitFunction)();
typedef int (*SplashLoadFileFunction)(const char* fileName);
typedef int (*SplashLoadMemoryFunction)(void* data, int size);
typedef void (*SplashSetFileJarNameFunction)(const char* fileName, const char* jarName);

// The image read from the jar, kept for the process's life: the library may read the bytes
// after it returns.
std::string image;

}  // namespace

void showSplashScreen(const char* jvmLibrary) {
    // A service has no one to show it to.
    if (State.RunMode == RunModeKind::Service) return;
    bool fromJar = !isSet(Config.SplashImage);
    if (fromJar && !isSet(State.SplashJarEntry)) return;
    if (fromJar) {
        switch (readJarEntry(Platform.files.readAt, runMainJar(), State.SplashJarEntry, false, &image)) {
        case JarEntryRead::Found: break;
        default: trace("no splash screen: cannot read ", State.SplashJarEntry, " from ", runMainJar()); return;
        }
    }
    char folder[kPathBufferSize];
    if (!javaBinDirectory(jvmLibrary, folder, sizeof folder)) return;
    std::string library =
        joinPath(Platform.traits.pathStyle, folder,
                 Platform.traits.moduleFormat == ModuleFormat::Pe ? "splashscreen.dll" : "libsplashscreen.so");
    PlatformHandle handle = Platform.library.load(library.c_str(), folder);
    if (!handle) {
        trace("no splash screen: cannot load ", library.c_str());
        return;
    }
    auto init = reinterpret_cast<SplashInitFunction>(Platform.library.symbol(handle, "SplashInit"));
    auto loadFile = reinterpret_cast<SplashLoadFileFunction>(Platform.library.symbol(handle, "SplashLoadFile"));
    auto loadMemory = reinterpret_cast<SplashLoadMemoryFunction>(Platform.library.symbol(handle, "SplashLoadMemory"));
    auto setNames =
        reinterpret_cast<SplashSetFileJarNameFunction>(Platform.library.symbol(handle, "SplashSetFileJarName"));
    if (!init || !loadFile || !loadMemory || !setNames) {
        trace("no splash screen: a splash function is missing in ", library.c_str());
        return;
    }
    init();
    int shown;
    if (fromJar) {
        // SplashScreen.getImageURL names the image inside the jar.
        setNames(State.SplashJarEntry, State.MainJarFullPath);
        shown = loadMemory(&image[0], static_cast<int>(image.size()));
    } else {
        setNames(Config.SplashImage, nullptr);
        shown = loadFile(Config.SplashImage);
    }
    if (!shown)
        trace("no splash screen: the library could not show ", fromJar ? State.SplashJarEntry : Config.SplashImage);
}
