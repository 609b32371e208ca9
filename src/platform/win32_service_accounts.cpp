// Win32 backend: the accounts a service may run as, by name alone (no system call), so the
// unit tests run the rule too. No password is ever stored, so only the service accounts
// Windows keeps without one are taken.
#include <cctype>
#include <string>

#include "platform/win32_backend.h"

namespace {

// Compared in any letter case, as the service manager compares names.
bool sameText(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (tolower(static_cast<unsigned char>(*a)) != tolower(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

// The rest of `text` after `prefix` (any letter case), or null.
const char* afterPrefix(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (tolower(static_cast<unsigned char>(*text)) != tolower(static_cast<unsigned char>(*prefix))) return nullptr;
    return text;
}

}  // namespace

bool win32ServiceAccountName(const char* configured, const char* serviceName, std::string* account) {
    static const char* const kBuiltIn[] = {"LocalService", "NetworkService"};
    static const char kAuthority[] = "NT AUTHORITY\\";
    static const char kVirtual[] = "NT SERVICE\\";
    account->clear();
    if (configured[0] == '\0' || sameText(configured, "LocalSystem")) return true;
    for (const char* name : kBuiltIn) {
        const char* bare = afterPrefix(configured, kAuthority);
        if (sameText(bare ? bare : configured, name)) {
            *account = std::string(kAuthority) + name;
            return true;
        }
    }
    const char* virtualName = afterPrefix(configured, kVirtual);
    if (virtualName && sameText(virtualName, serviceName)) {
        *account = std::string(kVirtual) + serviceName;
        return true;
    }
    return false;
}
