// Entry value rules and conversions.
#include "entry_values.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "entries/entries.h"
#include "file_io.h"
#include "archive/jar_file.h"
#include "entries/text_encoding.h"

std::string scrambleMainClass(const std::string& name) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(name[i]) ^ kScrambleKey[i % 17];
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

bool checkMessageFormat(const std::string& text, std::string* error) {
    int conversions = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size() || text[i + 1] != 's') {
            *error = "a message may only hold the conversion \"%s\" (write a literal percent sign as \"%%\")";
            return false;
        }
        if (++conversions > 1) {
            *error = "a message may hold at most one \"%s\"";
            return false;
        }
        ++i;
    }
    return true;
}

bool checkMainClass(const std::string& name, std::string* error) {
    if (name.empty()) {
        *error = "the main class must not be empty";
        return false;
    }
    if (name.size() > kMainClassMaxBytes) {
        *error = "the main class is " + std::to_string(name.size()) + " bytes long; the launcher takes at most " +
                 std::to_string(kMainClassMaxBytes);
        return false;
    }
    for (char c : name)
        if (c == ' ' || c == '\t' || c == ';' || static_cast<unsigned char>(c) < 0x20) {
            *error = "the main class holds a blank or control character";
            return false;
        }
    return true;
}

bool checkTextLength(const std::string& utf8, std::string* error) {
    size_t length = utf8ToUtf16(utf8).size();
    if (length > kConfigTextMax) {
        *error = "the text is " + std::to_string(length) + " characters long; the launcher reads at most " +
                 std::to_string(kConfigTextMax);
        return false;
    }
    return true;
}

std::string hexVersionText(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

bool convertMinJavaVersion(const std::string& text, std::string* stored, std::string* error) {
    auto digits = [](const std::string& s, const char* allowed) {
        return !s.empty() && s.size() <= 8 && s.find_first_not_of(allowed) == std::string::npos;
    };
    const char* const kDecimal = "0123456789";
    size_t dot = text.find('.');
    std::string major = text.substr(0, dot), minor = dot == std::string::npos ? "0" : text.substr(dot + 1);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (digits(text.substr(2), "0123456789abcdefABCDEF")) {
            *stored = text;
            return true;
        }
    } else if (digits(major, kDecimal) && digits(minor, kDecimal) && std::stoul(major) <= 0xFFFF &&
               std::stoul(minor) <= 15) {
        // A bare number is a major version, as people name Java releases: "17" is Java 17.
        *stored = hexVersionText(static_cast<uint32_t>(std::stoul(major) << 16 | std::stoul(minor)));
        return true;
    }
    *error = "MinJavaVersion \"" + text +
             "\" is no version: write a major version such as \"17\", major.minor such as "
             "\"1.8\" or \"17.0\" (major up to 65535, minor up to 15), or a hexadecimal number such as \"0x00110000\"";
    return false;
}

bool hasOwnRange(const EntryInfo& info) {
    return info.shape == EntryShape::Number && (info.low != INT32_MIN || info.high != INT32_MAX);
}

bool windowsOnlyEntry(unsigned id, bool* warn) {
    enum { Quiet, Warn };
    struct Only {
        unsigned id;
        bool warn;
    };
    static const Only kWindowsOnly[] = {
#define VARNLET_WINDOWS_ONLY(entry, onLinux) {kEntry##entry, onLinux == Warn},
#include "pack_rules.def"
    };
    for (const Only& only : kWindowsOnly)
        if (only.id == id) {
            if (warn) *warn = only.warn;
            return true;
        }
    return false;
}

bool checkServiceName(const std::string& name, std::string* error) {
    if (name.empty() || name.size() > 256 || name.find_first_of("/\\") != std::string::npos) {
        *error = "a service name holds 1 to 256 characters and no \"/\" or \"\\\"";
        return false;
    }
    return true;
}

namespace {

// The names useradd and groupadd accept by default: no leading '-', at most 32 bytes.
bool isSystemName(const std::string& name) {
    if (name.empty() || name.size() > 32 || name[0] == '-') return false;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (!(isalnum(c) || c == '_' || c == '-' || c == '.' || (c == '$' && i + 1 == name.size()))) return false;
    }
    return true;
}

}  // namespace

bool checkServiceAccount(const std::string& account, const std::string& target, std::string* error) {
    if (target == "linux") {
        size_t colon = account.find(':');
        if (account.empty() || (isSystemName(account.substr(0, colon)) &&
                                (colon == std::string::npos || isSystemName(account.substr(colon + 1)))))
            return true;
        *error = "on Linux, ServiceAccount is a system user the service runs as, \"user\" or \"user:group\"";
        return false;
    }
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::string a = lower(account);
    static const char* const kKnown[] = {"",
                                         "localsystem",
                                         "localservice",
                                         "networkservice",
                                         "nt authority\\localservice",
                                         "nt authority\\networkservice"};
    for (const char* known : kKnown)
        if (a == known) return true;
    if (a.compare(0, 11, "nt service\\") == 0 && a.size() > 11) return true;
    *error =
        "ServiceAccount must be LocalSystem, LocalService, NetworkService or NT SERVICE\\<ServiceName> "
        "(no other accounts: a launcher stores no passwords)";
    return false;
}

bool checkMutexName(const std::string& name, std::string* error) {
    size_t start = 0;
    for (const char* space : {"Global\\", "Local\\"})  // as Windows spells them: names are case-sensitive
        if (name.compare(0, strlen(space), space) == 0) start = strlen(space);
    if (start && start == name.size()) *error = "SingleInstanceMutex needs a name after \"" + name + "\"";
    else if (name.find('\\', start) != std::string::npos)
        *error =
            "SingleInstanceMutex may hold a backslash only after a leading \"Global\" or \"Local\", as in "
            "\"Global\\MyApp\" (Windows refuses any other name, and the launcher would not start)";
    else if (name.size() > kMutexNameMax)
        *error = "SingleInstanceMutex is " + std::to_string(name.size()) + " bytes long; the launcher takes at most " +
                 std::to_string(kMutexNameMax);
    else return true;
    return false;
}

bool checkMainJar(const std::string& name, const std::string& file, std::string* error) {
    std::string suffix = name.size() >= 4 ? name.substr(name.size() - 4) : "";
    for (char& c : suffix) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (suffix != ".jar" || name.find(';') != std::string::npos) {
        *error = "MainJar \"" + name + "\" is not a jar (a file name ending in .jar, without \";\")";
        return false;
    }
    std::string manifest;
    // A wrong checksum of the manifest is no refusal: `java -jar` and the launcher run such a jar.
    if (readJarEntry(readFileRange, file.c_str(), "META-INF/MANIFEST.MF", true, &manifest, false) ==
        JarEntryRead::Damaged) {
        *error = "MainJar " + file + " is not a jar that can be read (no ZIP directory)";
        return false;
    }
    return true;
}

namespace {

// A dotted Java name: identifiers of letters, digits, '_' and '$' (any byte beyond ASCII
// counts as a letter), none starting with a digit, none empty.
bool isDottedName(const std::string& name) {
    bool start = true;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '.') {
            if (start) return false;
            start = true;
        } else if (isalpha(u) || c == '_' || c == '$' || u >= 0x80 || (!start && isdigit(u))) {
            start = false;
        } else {
            return false;
        }
    }
    return !start;
}

}  // namespace

bool checkMainModule(const std::string& text, std::string* error) {
    size_t slash = text.find('/');
    std::string module = text.substr(0, slash);
    if (!isDottedName(module)) {
        *error = "MainModule: \"" + module + "\" is not a module name (dotted Java names, such as com.example.app)";
        return false;
    }
    if (slash != std::string::npos && !isDottedName(text.substr(slash + 1))) {
        *error = "MainModule: \"" + text.substr(slash + 1) + "\" is not a class name (module/com.example.Main)";
        return false;
    }
    return true;
}
