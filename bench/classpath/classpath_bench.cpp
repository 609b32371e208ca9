// Times buildJvmOptions over archive trees against a bare readdir walk of the same tree,
// interleaved round by round so both see the same cache and machine state.
#include <dirent.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "options/options.h"
#include "core/config.h"
#include "core/writable_config.h"
#include "platform/platform.h"

namespace {

constexpr int kRounds = 31;

void makeFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) {
        std::perror(path.c_str());
        std::exit(2);
    }
    std::fclose(f);
}

// `directories` directories of `perDirectory` archives each (one directory: flat).
std::string makeTree(const std::string& work, const char* name, int directories, int perDirectory) {
    std::string root = work + "/" + name;
    std::string command = "rm -rf '" + root + "'";
    if (std::system(command.c_str()) != 0) std::exit(2);
    mkdir(work.c_str(), 0755);
    mkdir(root.c_str(), 0755);
    for (int d = 0; d < directories; ++d) {
        std::string dir = root;
        if (directories > 1) {
            char part[64];
            std::snprintf(part, sizeof part, "/group%02d", d % 10);
            dir += part;
            mkdir(dir.c_str(), 0755);
            std::snprintf(part, sizeof part, "/module%03d", d);
            dir += part;
            mkdir(dir.c_str(), 0755);
        }
        for (int i = 0; i < perDirectory; ++i) {
            char file[64];
            std::snprintf(file, sizeof file, "/library-%05d.jar", i);
            makeFile(dir + file);
        }
        makeFile(dir + "/README.txt");
    }
    return root;
}

// The reference: what listing the tree costs at the least (readdir, types from the listing).
size_t bareWalk(std::string* path) {
    DIR* dir = opendir(path->c_str());
    if (dir == nullptr) return 0;
    size_t found = 0;
    size_t base = path->size();
    while (struct dirent* d = readdir(dir)) {
        const char* n = d->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
        if (d->d_type == DT_DIR) {
            path->resize(base);
            *path += '/';
            *path += n;
            found += bareWalk(path);
        } else {
            size_t len = std::strlen(n);
            if (len >= 4 && (std::strcmp(n + len - 4, ".jar") == 0 || std::strcmp(n + len - 4, ".zip") == 0)) ++found;
        }
    }
    path->resize(base);
    closedir(dir);
    return found;
}

// Both wall time and the thread's own CPU time (user and system): on a busy machine the
// CPU time is the steadier figure, since waiting for a core is not counted.
struct Clock {
    std::chrono::steady_clock::time_point wall;
    timespec cpu;
};

Clock now() {
    Clock c;
    c.wall = std::chrono::steady_clock::now();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c.cpu);
    return c;
}

void elapsed(const Clock& start, double* wallMs, double* cpuMs) {
    Clock end = now();
    *wallMs = std::chrono::duration<double, std::milli>(end.wall - start.wall).count();
    *cpuMs = (end.cpu.tv_sec - start.cpu.tv_sec) * 1e3 + (end.cpu.tv_nsec - start.cpu.tv_nsec) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void measure(const char* label, const std::string& root, size_t expected) {
    std::vector<double> walk, build, walkCpu, buildCpu, buildFaults;
    size_t optionLength = 0;
    for (int round = -2; round < kRounds; ++round) {  // two warm-up rounds
        std::string path = root;
        double walkMs, walkCpuMs, buildMs, buildCpuMs;
        Clock t0 = now();
        size_t found = bareWalk(&path);
        elapsed(t0, &walkMs, &walkCpuMs);

        LauncherConfig& config = writableConfig();
        char *jvmOptions = strdup("-Xmx256m"), *classPath = strdup(root.c_str());
        config.JvmOptions = jvmOptions;
        config.ClassPath = classPath;
        struct rusage before, after;
        getrusage(RUSAGE_THREAD, &before);
        Clock t1 = now();
        std::vector<std::string> options;
        bool ok = buildJvmOptions(RuntimeChoice{}, &options);
        elapsed(t1, &buildMs, &buildCpuMs);
        getrusage(RUSAGE_THREAD, &after);
        if (!ok || found != expected) {
            std::fprintf(stderr, "%s: build %s, walk found %zu of %zu\n", label, ok ? "ok" : "failed", found, expected);
            std::exit(1);
        }
        optionLength = 0;
        for (const std::string& option : options) optionLength += option.size() + 1;
        std::free(jvmOptions);
        std::free(classPath);
        if (round >= 0) {
            walk.push_back(walkMs);
            build.push_back(buildMs);
            walkCpu.push_back(walkCpuMs);
            buildCpu.push_back(buildCpuMs);
            buildFaults.push_back(static_cast<double>(after.ru_minflt - before.ru_minflt));
        }
    }
    double w = median(walk), b = median(build), wc = median(walkCpu), bc = median(buildCpu);
    std::printf(
        "%-24s %6zu | wall: walk %7.3f ms  build %7.3f ms  ratio %5.2f | cpu: walk %7.3f ms  build %7.3f ms  "
        "ratio %5.2f | option %zu bytes, %.0f page faults per build\n",
        label, expected, w, b, b / w, wc, bc, bc / wc, optionLength, median(buildFaults));
}

}  // namespace

int main(int argc, char** argv) {
    std::string work = argc > 1 ? argv[1] : "/tmp/varnlet-classpath-bench";
    writableConfig().Messages[(MsgFileAccess - kFirstMessageId) / 16] = strdup("Error accessing file/directory: %s");
    std::printf("Class path expansion, warm cache, median of %d rounds\n", kRounds);
    measure("flat 1,000", makeTree(work, "flat1000", 1, 1000), 1000);
    measure("nested 1,000 (10x100)", makeTree(work, "nested1000", 10, 100), 1000);
    measure("flat 10,000", makeTree(work, "flat10000", 1, 10000), 10000);
    measure("nested 10,000 (100x100)", makeTree(work, "nested10000", 100, 100), 10000);
    // Context for the ratios: from the second round on the allocator hands the build memory
    // it already holds (the page fault column), while a launcher starts with none, and what
    // faulting in new pages costs differs widely between machines (virtual machines can be
    // very slow at it).
    std::vector<double> fault;
    for (int round = 0; round < kRounds; ++round) {
        const size_t bytes = 640 * 1024;
        double wallMs, cpuMs;
        Clock t0 = now();
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) break;
        for (size_t at = 0; at < bytes; at += 4096) static_cast<volatile char*>(p)[at] = 1;
        elapsed(t0, &wallMs, &cpuMs);
        munmap(p, bytes);
        fault.push_back(cpuMs);
    }
    if (!fault.empty())
        std::printf("reference: faulting in 640 KiB of new memory takes %.3f ms of CPU here\n", median(fault));
    std::string command = "rm -rf '" + work + "'";
    return std::system(command.c_str()) == 0 ? 0 : 1;
}
