// One running instance per application. The mutex stays open until the process ends, so
// the system releases it however the first instance ends.
#include "launcher/single_instance.h"

#include <cstdint>
#include <cstring>

#include "core/config.h"
#include "core/report.h"
#include "core/state.h"
#include "platform/hex_text.h"
#include "platform/platform.h"

namespace {

uint64_t hashBytes(uint64_t hash, const unsigned char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;  // FNV-1a
    return hash;
}

}  // namespace

void instanceMutexName(const char* executablePath, char* name, size_t size) {
    uint64_t hash = 14695981039346656037ull;
    DirIdentity identity;
    if (Platform.files.identity(executablePath, &identity)) {
        // The file, not the spelling of its path: a mapped drive, a short name or a link to
        // the same executable must not start a second instance.
        unsigned char bytes[16];
        for (int i = 0; i < 8; ++i) {
            bytes[i] = static_cast<unsigned char>(identity.volume >> (8 * i));
            bytes[8 + i] = static_cast<unsigned char>(identity.index >> (8 * i));
        }
        hash = hashBytes(hash, bytes, sizeof bytes);
    } else {
        for (const char* p = executablePath; *p; ++p) {
            unsigned char c = static_cast<unsigned char>(*p);
            if (Platform.traits.pathStyle.caseInsensitiveNames && c >= 'a' && c <= 'z')
                c = static_cast<unsigned char>(c - 'a' + 'A');
            hash = hashBytes(hash, &c, 1);
        }
    }
    char text[25] = "Varnlet-";
    hexText(hash, 16, true, text + 8);
    if (size == 0) return;
    size_t length = size - 1 < 24 ? size - 1 : 24;
    memcpy(name, text, length);
    name[length] = '\0';
}

bool claimSingleInstance() {
    if (!Config.SingleInstance) return true;
    char derived[32];
    const char* name = Config.SingleInstanceMutex;
    if (!name[0]) {
        char path[kReportTextSize];
        uint32_t n = Platform.files.modulePath(path, sizeof path);
        if (n == 0 || n >= sizeof path) {
            reportLastError();
            return false;
        }
        instanceMutexName(path, derived, sizeof derived);
        name = derived;
    }
    bool existed = false;
    if (!Platform.process.createNamedMutex(name, &existed)) {
        reportLastError();
        reportError("Cannot create the single-instance mutex %s", name);
        return false;
    }
    if (existed) {
        emitReport(ReportKind::Refusal, Config.SingleInstanceMessage);
        return false;
    }
    return true;
}
