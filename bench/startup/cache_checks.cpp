// What the class data cache's checks cost a start that uses a cache: choosing the folder, the
// folder's sweep, the pointer, the trust and stamp checks and the start's marker, then clearing
// the marker as the process ends; on a temporary folder with the real POSIX backend.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/writable_config.h"
#include "jvm/class_data_cache.h"
#include "platform/platform.h"

namespace {

void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// One start's work on the options `-Djava.class.path=JAR`, up to its end when `ends`; the
// options the JVM would get.
std::string start(const std::string& dir, bool ends = true) {
    std::vector<std::string> options = {"-Djava.class.path=" + dir + "/a.jar"};
    prepareClassDataCache((dir + "/jdk/lib/server/libjvm.so").c_str(), &options);
    std::string given;
    for (const std::string& option : options) given += option + " ";
    if (ends) finishClassDataCache();
    return given;
}

// The runtime's java command archiving the run's classes, in this process: the archive it names.
int archiving(const char* const* argv) {
    for (; *argv; ++argv)
        if (std::strncmp(*argv, "-XX:SharedArchiveFile=", 22) == 0) write(*argv + 22, "archive");
    return 0;
}

}  // namespace

int main() {
    char pattern[] = "/tmp/varnlet-cache-checks-XXXXXX";
    std::string dir = mkdtemp(pattern);
    std::system(("mkdir -p " + dir + "/jdk").c_str());
    write(dir + "/jdk/release", "JAVA_VERSION=\"17.0.9\"\n");
    write(dir + "/a.jar", "x");
    writableConfig().ClassDataCache = true;
    writableConfig().ClassDataCacheDir = strdup((dir + "/cache").c_str());
    CacheFileOps inProcess = *Platform.cacheFiles;
    inProcess.startDetached = [](const char*, const char*) { return 0u; };
    inProcess.runQuietly = archiving;
    Platform.cacheFiles = &inProcess;
    start(dir, false);  // makes the cache: the list the JVM would have written, then the archive
    std::system(("for f in " + dir + "/cache/*.classes.tmp; do echo java/lang/Object > $f; done").c_str());
    classDataCacheMainReturned();
    finishClassDataCache();
    if (start(dir).find("SharedArchiveFile") == std::string::npos) return std::puts("no cache was used"), 1;
    const int rounds = 2000;
    auto began = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) start(dir);
    double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - began).count() / rounds;
    std::printf("\nClass data cache checks of a start that uses a cache: %.1f us per start (%d starts)\n", us, rounds);
    std::system(("rm -rf " + dir).c_str());
    return 0;
}
