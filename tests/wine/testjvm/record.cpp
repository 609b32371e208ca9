/* The double's record file and the scripted settings it reads. */
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "testjvm.h"

namespace testjvm {

static CRITICAL_SECTION recordLock;
static std::vector<std::string> scriptOptions;
static HMODULE selfModule;
void(JNICALL* exitHook)(jint code) = nullptr;

std::string modulePath() {
    char module[MAX_PATH];
    DWORD n = GetModuleFileNameA(selfModule, module, sizeof module);
    return n == 0 || n >= sizeof module ? std::string() : std::string(module, n);
}

void record(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& field : fields) {
        if (&field != &fields[0]) line += '\t';
        for (char c : field) {
            const char* escape = c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\\' ? "\\\\" : nullptr;
            line += escape ? std::string(escape) : std::string(1, c);
        }
    }
    // Where TESTJVM_RECORD or -Dtestjvm.record= says, else beside the DLL, so a service run
    // (whose environment the test does not control) still has one.
    std::string path = script("record");
    if (path.empty()) {
        path = modulePath();
        path = path.substr(0, path.find_last_of("\\/") + 1) + "testjvm.record";
    }
    EnterCriticalSection(&recordLock);
    // Opened per line and closed at once: a scripted exit or a killed process keeps every line.
    if (FILE* f = fopen(path.c_str(), "ab")) {
        fprintf(f, "%s\n", line.c_str());
        fclose(f);
    }
    LeaveCriticalSection(&recordLock);
}

std::string hex32(unsigned value) {
    char text[16];
    snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

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
        testjvm::record({"unload"});  // unloaded by FreeLibrary, not by the end of the process
    }
    return TRUE;
}
