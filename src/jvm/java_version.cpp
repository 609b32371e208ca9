// Version names compared as (major, minor) pairs, so that "11.0.2" and "2.0" count as the
// newer runtimes they are rather than being judged digit by digit.
#include "jvm/java_version.h"

#include <cctype>
#include <cstring>

#include "core/config.h"

namespace {

// Nine digits fit in 32 bits; anything longer is not a version number.
constexpr int kMaxDigits = 9;

const char* readNumber(const char* p, uint32_t* value) {
    uint32_t v = 0;
    int digits = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        if (++digits > kMaxDigits) return nullptr;
        v = v * 10 + static_cast<uint32_t>(*p - '0');
        ++p;
    }
    if (digits == 0) return nullptr;
    *value = v;
    return p;
}

}  // namespace

bool parseJavaVersion(const char* name, JavaVersion* version) {
    if (name == nullptr) return false;
    JavaVersion v{0, 0};
    const char* p = readNumber(name, &v.major);
    if (p == nullptr) return false;
    if (*p == '.' && std::isdigit(static_cast<unsigned char>(p[1]))) {
        if (readNumber(p + 1, &v.minor) == nullptr) return false;
    }
    *version = v;
    return true;
}

bool parseVendorJavaVersion(const char* name, JavaVersion* version) {
    if (name == nullptr) return false;
    static const char* const kPrefixes[] = {"zulu-", "zulu", "jdk-", "jre-"};
    for (const char* prefix : kPrefixes) {
        size_t n = std::strlen(prefix);
        bool matches = true;
        for (size_t i = 0; i < n && matches; ++i)
            matches = std::tolower(static_cast<unsigned char>(name[i])) == prefix[i];
        if (matches) {
            name += n;
            break;
        }
    }
    return parseJavaVersion(name, version);
}

bool parseMinimumJavaVersion(const char* text, JavaVersion* minimum) {
    uint32_t value = 0;
    if (text == nullptr || !convertHex(text, &value)) return false;
    minimum->major = value >> 16;
    minimum->minor = value & 0xF;
    return true;
}

bool meetsMinimum(const JavaVersion& version, const JavaVersion& minimum) {
    if (version.major != minimum.major) return version.major > minimum.major;
    return version.minor >= minimum.minor;
}
