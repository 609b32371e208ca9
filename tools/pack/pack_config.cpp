// TOML configuration parsing and validation (toml++).
#include "file_io.h"
#include "pack_config.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

#include "app_identity.h"
#include "entry_values.h"
#include "entries/entries.h"
#include "entries/log_size.h"
#include "entries/text_encoding.h"

namespace {

namespace fs = std::filesystem;

// The known name a misspelt one was meant to be: equal to it but for letter case and one
// stretch of at most two characters (one missing, added or changed, or two swapped). The
// nearest such name, "" when there is none.
std::string closestName(const std::string& given, const std::vector<std::string>& known) {
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::string g = lower(given), best;
    size_t bestStretch = 3;
    for (const std::string& name : known) {
        std::string k = lower(name);
        size_t shorter = std::min(g.size(), k.size());
        size_t head = static_cast<size_t>(std::mismatch(g.begin(), g.begin() + shorter, k.begin()).first - g.begin());
        size_t tail = static_cast<size_t>(std::mismatch(g.rbegin(), g.rbegin() + (shorter - head), k.rbegin()).first -
                                          g.rbegin());
        size_t stretch = std::max(g.size(), k.size()) - head - tail;
        if (stretch < bestStretch) bestStretch = stretch, best = name;
    }
    return best;
}

std::string unknownName(const std::string& what, const std::string& given, const std::vector<std::string>& known) {
    std::string closest = closestName(given, known);
    return "unknown " + what + " \"" + given + "\"" + (closest.empty() ? "" : " (did you mean " + closest + "?)");
}

std::vector<std::string> entryNames(bool messagesOnly) {
    std::vector<std::string> names;
    if (!messagesOnly) names = {"target", "output", "icon", "gui", "messages", "version"};
    for (size_t i = 0; i < kEntryCount; ++i)
        if (!messagesOnly || kEntries[i].type == EntryType::Message) names.push_back(kEntries[i].name);
    return names;
}

struct Checker {
    PackConfig* config;
    std::vector<std::string>* errors;

    std::string place(const toml::source_region& where) const {
        return config->path + ":" + std::to_string(where.begin.line) + ":" + std::to_string(where.begin.column);
    }
    void error(const toml::source_region& where, const std::string& text) {
        errors->push_back(place(where) + ": " + text);
    }

    std::string resolve(const std::string& value) const {
        fs::path p = utf8Path(value);
        if (p.is_absolute()) return value;
        return utf8Text(utf8Path(config->path).parent_path() / p);
    }

    bool text(const toml::node& node, const std::string& key, std::string* out) {
        if (!node.is_string()) {
            error(node.source(), key + " must be a string");
            return false;
        }
        *out = *node.value<std::string>();
        if (out->find('\0') != std::string::npos) {
            error(node.source(), key + " must not hold a NUL character");
            return false;
        }
        return true;
    }

    // A list as one ";"-separated string or as an array of strings.
    bool list(const toml::node& node, const std::string& key, std::string* out) {
        if (node.is_string()) return text(node, key, out);
        const toml::array* array = node.as_array();
        if (!array) {
            error(node.source(), key + " must be a string or an array of strings");
            return false;
        }
        out->clear();
        for (size_t i = 0; i < array->size(); ++i) {
            const toml::node& item = *array->get(i);
            std::string part;
            if (!text(item, key + " element", &part)) return false;
            if (part.empty() || part.find(';') != std::string::npos) {
                error(item.source(), key + " elements must be non-empty and must not hold \";\"");
                return false;
            }
            if (i) *out += ';';
            *out += part;
        }
        return true;
    }

    // Options as one string (blanks separate, double quotes group) or as an array with one
    // option per element, stored in that same form.
    bool optionList(const toml::node& node, const std::string& key, std::string* out) {
        const toml::array* array = node.as_array();
        if (!array) return text(node, key, out);
        out->clear();
        for (size_t i = 0; i < array->size(); ++i) {
            const toml::node& item = *array->get(i);
            std::string option, why;
            if (!text(item, key + " element", &option)) return false;
            if (!quoteOption(option, &option, &why)) {
                error(item.source(), key + " element " + why);
                return false;
            }
            *out += (i ? " " : "") + option;
        }
        return true;
    }

    void entry(const EntryInfo& info, const toml::node& node) {
        std::string key = info.name, value, why;
        if (config->entries.count(info.id)) {
            error(node.source(), key + " is set twice (" + config->entryPlaces[info.id] + ")");
            return;
        }
        switch (info.type) {
        case EntryType::Flag:
        case EntryType::ReservedFlag:
            if (!node.is_boolean()) return error(node.source(), key + " must be true or false");
            value = *node.value<bool>() ? "1" : "0";
            break;
        case EntryType::Integer:
        case EntryType::ReservedInteger: {
            if (!node.is_integer()) return error(node.source(), key + " must be an integer");
            int64_t v = *node.value<int64_t>();
            if (v < info.low || v > info.high)
                return error(node.source(), hasOwnRange(info) ? key + " must be " + std::to_string(info.low) + " to " +
                                                                    std::to_string(info.high) + info.unit
                                                              : key + " is out of range");
            value = std::to_string(v);
            break;
        }
        case EntryType::Hex:
            if (node.is_integer() && node.as_integer()->flags() == toml::value_flags::format_as_hexadecimal) {
                int64_t v = *node.value<int64_t>();
                if (v < 0 || v > 0xFFFFFFFFll) return error(node.source(), key + " is out of range");
                value = hexVersionText(static_cast<uint32_t>(v));
            } else if (node.is_integer()) {
                if (!convertMinJavaVersion(std::to_string(*node.value<int64_t>()), &value, &why))
                    return error(node.source(), why);
            } else {
                std::string raw;
                if (!text(node, key, &raw)) return;
                if (!convertMinJavaVersion(raw, &value, &why)) return error(node.source(), why);
            }
            break;
        case EntryType::Scrambled:
            if (!text(node, key, &value)) return;
            if (!checkMainClass(value, &why)) return error(node.source(), why);
            break;
        case EntryType::Message:
            if (!text(node, key, &value)) return;
            if (!checkMessageFormat(value, &why)) return error(node.source(), key + ": " + why);
            break;
        default:
            if (info.shape == EntryShape::List || info.shape == EntryShape::PathList) {
                if (!list(node, key, &value)) return;
            } else if (info.shape == EntryShape::OptionList) {
                if (!optionList(node, key, &value)) return;
            } else if (!text(node, key, &value)) {
                return;
            }
            if (info.id == kEntryServiceDependencies) {
                for (size_t start = 0; start <= value.size() && !value.empty();) {
                    size_t end = value.find(';', start);
                    if (end == std::string::npos) end = value.size();
                    if (!checkServiceName(value.substr(start, end - start), &why))
                        return error(node.source(), key + ": " + why);
                    start = end + 1;
                }
            }
            if (info.id == kEntrySingleInstanceMutex && !checkMutexName(value, &why)) return error(node.source(), why);
            if (info.id == kEntryMainJar && !value.empty() && !checkMainJar(value, resolve(value), &why))
                return error(node.source(), why);
            if (info.id == kEntryMainModule && !value.empty() && !checkMainModule(value, &why))
                return error(node.source(), why);
            uint64_t bytes;
            if (info.id == kEntryLogRotateSize && !parseLogSize(value.c_str(), &bytes))
                return error(node.source(), "LogRotateSize \"" + value +
                                                "\" is no size: write a number with KB, MB or GB, as \"10 MB\"");
        }
        config->entries[info.id] = value;
        config->entryPlaces[info.id] = place(node.source());
    }

    void messages(const toml::table& table) {
        for (auto&& [k, node] : table) {
            std::string key(k.str());
            const EntryInfo* info = nullptr;
            if (!key.empty() && key.find_first_not_of("0123456789") == std::string::npos && key.size() < 6)
                info = findEntry(static_cast<unsigned>(std::stoul(key)));
            else info = findEntryByName(key.c_str());
            if (!info || info->type != EntryType::Message) {
                error(k.source(), unknownName("message", key, entryNames(true)) + " (use an id from " +
                                      std::to_string(kFirstMessageId) + " to " + std::to_string(kLastMessageId) +
                                      " in steps of 16, or a message name)");
                continue;
            }
            entry(*info, node);
        }
    }

    void version(const toml::table& table) {
        for (auto&& [k, node] : table) {
            std::string key(k.str()), value;
            bool known = false;
            for (size_t i = 0; i < kVersionStringKeyCount; ++i) known = known || key == kVersionStringKeys[i];
            if (!known) {
                error(k.source(), unknownName("version key", key,
                                              std::vector<std::string>(kVersionStringKeys,
                                                                       kVersionStringKeys + kVersionStringKeyCount)));
                continue;
            }
            if (!text(node, key, &value)) continue;
            uint16_t parts[4];
            if ((key == "FileVersion" || key == "ProductVersion") && !parseLeadingVersionNumber(value, parts)) {
                error(node.source(), key +
                                         " must start with numbers separated by dots, such as \"1.2.3.4\" or "
                                         "\"1.2.3-beta\" (each up to 65535)");
                continue;
            }
            if (value.size() > 1023) {
                error(node.source(), key + " is too long");
                continue;
            }
            config->version.emplace_back(key, value);
        }
    }

    void top(const toml::table& root) {
        for (auto&& [k, node] : root) {
            std::string key(k.str()), value;
            if (key == "target") {
                if (text(node, key, &value)) {
                    if (!isKnownTarget(value)) error(node.source(), "target must be \"win32\", \"win64\" or \"linux\"");
                    else config->target = value;
                }
            } else if (key == "output") {
                if (text(node, key, &value)) config->output = value.empty() ? "" : resolve(value);
            } else if (key == "icon") {
                if (text(node, key, &value)) {
                    config->icon = resolve(value);
                    config->iconPlace = place(node.source());
                }
            } else if (key == "gui") {
                if (!node.is_boolean()) error(node.source(), "gui must be true or false");
                else config->setGui = true, config->gui = *node.value<bool>();
            } else if (key == "messages") {
                if (const toml::table* t = node.as_table()) messages(*t);
                else error(node.source(), "messages must be a table");
            } else if (key == "version") {
                uint16_t parts[4];
                if (const toml::table* t = node.as_table()) version(*t);
                else if (!node.is_string() || !parseLeadingVersionNumber(*node.value<std::string>(), parts))
                    error(node.source(),
                          "version must be a table or a version such as \"1.2.3\" or \"1.2.3-beta\" "
                          "(numbers up to 65535)");
                else config->versionNumber = *node.value<std::string>();
            } else if (key == "name" || key == "execution_level" || key == "dpi_awareness") {
                std::string why;
                if (!text(node, key, &value)) continue;
                if (!checkIdentityValue(key, value, &why)) error(node.source(), why);
                else
                    (key == "name"            ? config->name
                     : key == "dpi_awareness" ? config->dpiAwareness
                                              : config->executionLevel) = value;
            } else if (const EntryInfo* info = findEntryByName(key.c_str())) {
                entry(*info, node);
            } else {
                error(k.source(), unknownName("key", key, entryNames(false)));
            }
        }
    }
};

// Settings that only make sense together, when the file sets both.
void crossCheck(const PackConfig& config, std::vector<std::string>* errors) {
    auto value = [&](unsigned id) { return config.entries.count(id) ? config.entries.at(id) : std::string(); };
    auto place = [&](unsigned id) { return config.entryPlaces.at(id); };
    if (value(kEntryServiceDelayedStart) == "1" && value(kEntryServiceManualStart) == "1")
        errors->push_back(place(kEntryServiceDelayedStart) +
                          ": ServiceDelayedStart needs automatic start (ServiceManualStart false)");
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::string account = lower(value(kEntryServiceAccount)), name = value(kEntryServiceName);
    const std::string prefix = "nt service\\";
    if (!name.empty() && account.compare(0, prefix.size(), prefix) == 0 && account.substr(prefix.size()) != lower(name))
        errors->push_back(place(kEntryServiceAccount) + ": the virtual account is NT SERVICE\\" + name +
                          ", after the service's own name");
    if (!value(kEntryMainJar).empty() && !value(kEntryMainModule).empty())
        errors->push_back(place(kEntryMainModule) +
                          ": MainModule and MainJar exclude each other (a modular jar goes on ModulePath)");
}

// Errors from "path:line:column: ..." in the file's order: toml++ hands the keys over sorted by
// name, and the entries are kept by id.
void sortByPlace(std::vector<std::string>* errors, size_t from, const std::string& path) {
    auto place = [&](const std::string& error) {
        const char* p = error.c_str() + std::min(error.size(), path.size() + 1);
        char* end = nullptr;
        long line = strtol(p, &end, 10), column = *end == ':' ? strtol(end + 1, nullptr, 10) : 0;
        return std::make_pair(line, column);
    };
    std::stable_sort(errors->begin() + static_cast<std::ptrdiff_t>(from), errors->end(),
                     [&](const std::string& a, const std::string& b) { return place(a) < place(b); });
}

}  // namespace

bool quoteOption(const std::string& option, std::string* stored, std::string* why) {
    // The launcher splits at blanks outside double quotes and takes an option that starts with
    // a quote without its first and last characters. True when every blank of `text` is
    // quoted, starting from `quoting`; `quoting` ends as the text leaves it.
    auto blanksQuoted = [](const std::string& text, bool quoting, bool* after) {
        for (char c : text) {
            if (c == '"') quoting = !quoting;
            else if (c == ' ' && !quoting) return false;
        }
        *after = quoting;
        return true;
    };
    bool after = false;
    if (!option.empty() && option[0] != '"' && blanksQuoted(option, false, &after) && !after) {
        *stored = option;
        return true;
    }
    if (blanksQuoted(option, true, &after) && after) {
        *stored = "\"" + option + "\"";
        return true;
    }
    *why = "\"" + option + "\" cannot be stored: options are split at blanks outside double quotes, with no escape";
    return false;
}

std::vector<std::string> packWarnings(const PackConfig& config) {
    auto set = [&](unsigned id) { return config.entries.count(id) && config.entries.at(id) == "1"; };
    std::vector<std::string> warnings;
    if (set(kEntryUseStartupDir) && set(kEntryEarlyWorkingDir))
        warnings.push_back(config.entryPlaces.at(kEntryUseStartupDir) +
                           ": warning: UseStartupDir has no effect with EarlyWorkingDir "
                           "(only WorkingDir is entered); for a command-line tool that works in the caller's "
                           "directory, set StayInStartupDir instead");
    if (set(kEntryStayInStartupDir) && config.entries.count(kEntryWorkingDir) &&
        !config.entries.at(kEntryWorkingDir).empty())
        warnings.push_back(config.entryPlaces.at(kEntryWorkingDir) +
                           ": warning: WorkingDir has no effect with StayInStartupDir");
    return warnings;
}

std::vector<std::string> targetWarnings(const PackConfig& config, const std::string& target) {
    std::vector<std::string> warnings;
    if (target != "linux") return warnings;
    // A systemd unit has no such setting: -install refuses them rather than leave them out.
    for (const auto& [id, value] : config.entries) {
        bool warn = false;
        if (!windowsOnlyEntry(id, &warn) || !warn || value.empty() ||
            (findEntry(id)->type == EntryType::Flag && value == "0"))
            continue;
        warnings.push_back(config.entryPlaces.at(id) + ": warning: " + findEntry(id)->name +
                           " is a Windows service setting that systemd units do not have: -install of this "
                           "Linux launcher refuses it");
    }
    return warnings;
}

namespace {

bool holds(const PackConfig& config, unsigned id) { return config.entries.count(id) && !config.entries.at(id).empty(); }

}  // namespace

bool isKnownTarget(const std::string& target) {
    for (const char* known : {
#define VARNLET_TARGET(name, body) #name,
#include "pack_rules.def"
         })
        if (target == known) return true;
    return false;
}

bool parsePackConfig(const std::string& text, const std::string& path, PackConfig* config,
                     std::vector<std::string>* errors) {
    *config = PackConfig{};
    config->path = path;
    size_t before = errors->size();
    try {
        toml::table root = toml::parse(text, path);
        Checker{config, errors}.top(root);
        crossCheck(*config, errors);
        sortByPlace(errors, before, path);
    } catch (const toml::parse_error& e) {
        errors->push_back(path + ":" + std::to_string(e.source().begin.line) + ":" +
                          std::to_string(e.source().begin.column) + ": " + std::string(e.description()));
    }
    return errors->size() == before;
}

bool loadPackConfig(const std::string& path, PackConfig* config, std::vector<std::string>* errors) {
    std::ifstream in(utf8Path(path), std::ios::binary);
    if (!in) {
        errors->push_back(path + ": cannot read the configuration file");
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    return parsePackConfig(content.str(), path, config, errors);
}

bool makePackRequest(const PackConfig& config, const std::string& target, PackRequest* request,
                     std::vector<std::string>* errors) {
    *request = PackRequest{};
    size_t before = errors->size();
    for (const auto& e : config.entries) {
        std::string why, place = config.entryPlaces.count(e.first) ? config.entryPlaces.at(e.first) : config.path;
        const EntryInfo* info = findEntry(e.first);
        std::string stored = info->type == EntryType::Scrambled ? scrambleMainClass(e.second) : e.second;
        if (!checkTextLength(stored, &why) ||
            (e.first == kEntryServiceAccount && !checkServiceAccount(e.second, target, &why))) {
            errors->push_back(place + ": " + info->name + ": " + why);
            continue;
        }
        request->entries[e.first] = utf8ToUtf16(stored);
    }
    if (!config.icon.empty()) {
        std::ifstream in(utf8Path(config.icon), std::ios::binary);
        std::string why;
        if (!in) {
            errors->push_back(config.iconPlace + ": cannot read the icon file " + config.icon);
        } else {
            Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!parseIcoFile(file, &request->icon, &why))
                errors->push_back(config.iconPlace + ": " + config.icon + ": " + why);
            request->replaceIcon = true;
        }
    }
    // An executable jar or a main module replaces the body's demo main class and class path,
    // unless the file sets them.
    if (holds(config, kEntryMainJar) || holds(config, kEntryMainModule)) {
        request->entries.emplace(kEntryMainClass, u"");
        request->entries.emplace(kEntryClassPath, u"");
    }
    request->setSubsystem = config.setGui;
    request->windowed = config.gui;
    for (const auto& v : config.version) {
        if (v.first == "FileVersion")
            request->setFileVersion = parseLeadingVersionNumber(v.second, request->fileVersion);
        if (v.first == "ProductVersion")
            request->setProductVersion = parseLeadingVersionNumber(v.second, request->productVersion);
        request->versionStrings.emplace_back(utf8ToUtf16(v.first), utf8ToUtf16(v.second));
    }
    sortByPlace(errors, before, config.path);
    return errors->size() == before;
}

bool checkLauncherNeeds(const PackConfig& config, const PackRequest& request, const LauncherContents& body,
                        std::vector<std::string>* errors, std::vector<std::string>* warnings) {
    // What the launcher will hold: the request's text, else the body's (a launcher packed before).
    auto held = [&](unsigned id) {
        auto set = request.entries.find(id);
        auto stored = body.entries.find(id);
        return set != request.entries.end()   ? set->second
               : stored != body.entries.end() ? stored->second
                                              : std::u16string();
    };
    auto isDefault = [&](unsigned id) { return held(id) == utf8ToUtf16(findEntry(id)->defaultText); };
    // The keys that name the application's main class: a launcher needs one of them, set by the
    // configuration (the demo's class too, by name) or other than the body's default.
    static const unsigned kMainClassKeys[] = {
        kEntryMainClass,
        kEntryMainJar,
        kEntryMainModule,
    };
    if (!config.entries.count(kEntryClassPath) && isDefault(kEntryClassPath))
        warnings->push_back(config.path + ": ClassPath is not set: the launcher keeps the body's \"" +
                            findEntry(kEntryClassPath)->defaultText + "\"");
    std::string names;
    for (unsigned id : kMainClassKeys) {
        if (holds(config, id) || (!held(id).empty() && !isDefault(id))) return true;
        names += (names.empty() ? "" : ", ") + std::string(findEntry(id)->name);
    }
    errors->push_back(config.path + ": the launcher names no main class (it would run the body's demo): set one of " +
                      names);
    return false;
}
