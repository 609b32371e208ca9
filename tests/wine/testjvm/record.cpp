/* The double's record file and the scripted settings it reads. */
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "testjvm.h"

namespace testjvm {

static CRITICAL_SECTION recordLock;
static std::vector<std::string> scriptOptions;
static HMODULE selfModule;

static std::string escapeField(const std::string& field) {
    std::string out;
    for (char c : field) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
}

std::string modulePath() {
    char module[MAX_PATH];
    DWORD n = GetModuleFileNameA(selfModule, module, sizeof module);
    return n == 0 || n >= sizeof module ? std::string() : std::string(module, n);
}

// The record goes where TESTJVM_RECORD or -Dtestjvm.record= says, else beside the DLL,
// so a service run (whose environment the test does not control) still has one.
static std::string recordPath() {
    std::string path = script("record");
    if (!path.empty()) return path;
    std::string dir = modulePath();
    if (dir.empty()) return "testjvm.record";
    size_t slash = dir.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : dir.substr(0, slash + 1)) + "testjvm.record";
}

void record(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) line += '\t';
        line += escapeField(fields[i]);
    }
    line += '\n';
    EnterCriticalSection(&recordLock);
    // Opened per line and closed at once: a scripted exit or a killed process keeps every line.
    if (FILE* f = fopen(recordPath().c_str(), "ab")) {
        fwrite(line.data(), 1, line.size(), f);
        fclose(f);
    }
    LeaveCriticalSection(&recordLock);
}

std::string hex32(unsigned value) {
    char text[16];
    snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

void(JNICALL* exitHook)(jint code) = nullptr;

void setScriptOptions(const std::vector<std::string>& options) { scriptOptions = options; }

std::string script(const char* key) {
    std::string variable = "TESTJVM_";
    for (const char* p = key; *p; ++p) variable += static_cast<char>(toupper(static_cast<unsigned char>(*p)));
    if (const char* value = getenv(variable.c_str())) return value;
    std::string prefix = std::string("-Dtestjvm.") + key + "=";
    for (const std::string& option : scriptOptions)
        if (option.compare(0, prefix.size(), prefix) == 0) return option.substr(prefix.size());
    return "";
}

}  // namespace testjvm

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        testjvm::selfModule = instance;
        InitializeCriticalSection(&testjvm::recordLock);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by FreeLibrary (not by the end of the process).
        testjvm::record({"unload"});
    }
    return TRUE;
}
