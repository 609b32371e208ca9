// Command dispatch for varnlet-pack. Errors go to the error stream, one per line;
// a failed build writes nothing.
#include "pack_commands.h"

#include <filesystem>

#include "app_identity.h"
#include "file_io.h"
#include "launcher_file.h"
#include "pack_config.h"
#include "reference_warnings.h"
#include "sample_config.h"
#include "show.h"
#include "stub_lookup.h"
#include "varnlet_version.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: varnlet-pack build CONFIG [-o OUT] [--stub BODY] [--target win32|win64|linux]\n"
    "       varnlet-pack show FILE [--json]\n"
    "       varnlet-pack init [FILE] [--target win32|win64|linux] [--force]\n"
    "       varnlet-pack --version\n"
    "\n"
    "build  writes a launcher for the application that CONFIG (TOML) describes: a copy of the\n"
    "       launcher body with the configured entries, icon and version information.\n"
    "show   prints the entries, icon, version information, execution level and DPI awareness of a\n"
    "       launcher.\n"
    "init   writes a commented sample configuration (to standard output without FILE).\n";

struct Options {
    std::vector<std::string> positional;
    std::string output, stub, target;
    bool json = false, force = false;
};

bool parseOptions(const std::vector<std::string>& args, size_t from, Options* o, std::ostream& err) {
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* into) {
            if (i + 1 >= args.size()) {
                err << "varnlet-pack: " << a << " needs a value\n";
                return false;
            }
            *into = args[++i];
            return true;
        };
        if (a == "-o" || a == "--output") {
            if (!value(&o->output)) return false;
        } else if (a == "--stub") {
            if (!value(&o->stub)) return false;
        } else if (a == "--target") {
            if (!value(&o->target)) return false;
            if (!isKnownTarget(o->target)) {
                err << "varnlet-pack: --target must be win32, win64 or linux\n";
                return false;
            }
        } else if (a == "--json") {
            o->json = true;
        } else if (a == "--force") {
            o->force = true;
        } else if (a.size() > 1 && a[0] == '-') {
            err << "varnlet-pack: unknown option " << a << "\n" << kUsage;
            return false;
        } else {
            o->positional.push_back(a);
        }
    }
    return true;
}

std::string defaultOutput(const PackConfig& config, const std::string& target) {
    if (!config.output.empty()) return config.output;
    fs::path p = utf8Path(config.path);
    fs::path out = p.parent_path() / p.stem();
    if (target != "linux") out += ".exe";
    return utf8Text(out);
}

bool findStub(const Options& o, const std::string& target, const std::string& toolPath, std::string* stub,
              std::ostream& err) {
    if (!o.stub.empty()) {
        std::error_code ec;
        if (!fs::is_regular_file(utf8Path(o.stub), ec)) {
            err << "varnlet-pack: the launcher body " << o.stub << " does not exist\n";
            return false;
        }
        *stub = o.stub;
        return true;
    }
    std::vector<std::string> candidates = stubCandidates(target, toolPath);
    for (const std::string& c : candidates) {
        std::error_code ec;
        if (fs::is_regular_file(utf8Path(c), ec)) {
            *stub = c;
            return true;
        }
    }
    err << "varnlet-pack: the launcher body for target " << target << " (" << bodyFileName(target)
        << ") is missing; build it or name it with --stub. Looked in:\n";
    for (const std::string& c : candidates) err << "  " << c << "\n";
    return false;
}

// Reads a launcher body; refuses a file that is no launcher or holds none of our entries.
bool readBody(const std::string& stub, Bytes* body, LauncherContents* contents, std::ostream& err) {
    std::string error;
    if (!readWholeFile(stub, body, &error)) {
        err << "varnlet-pack: " << error << "\n";
        return false;
    }
    if (!readLauncher(*body, contents, &error)) {
        err << "varnlet-pack: " << stub << ": " << error << "\n";
        return false;
    }
    if (contents->entries.empty()) {
        err << "varnlet-pack: " << stub << " is not a Varnlet launcher: it holds none of the launcher's entries\n";
        return false;
    }
    return true;
}

int build(const Options& o, const std::string& toolPath, std::ostream& out, std::ostream& err) {
    if (o.positional.size() != 1) {
        err << kUsage;
        return 2;
    }
    PackConfig config;
    std::vector<std::string> errors;
    bool ok = loadPackConfig(o.positional[0], &config, &errors);
    for (const std::string& warning : packWarnings(config)) err << warning << "\n";
    std::string target = !o.target.empty() ? o.target : config.target;
    Bytes body, packed;
    LauncherContents contents;
    bool bodyRead = false;
    if (ok && target.empty() && !o.stub.empty()) {
        // The named body tells its own target.
        if (!readBody(o.stub, &body, &contents, err)) return 1;
        bodyRead = true;
        target = targetOfFormat(contents.format);
    }
    if (ok && target.empty())
        errors.push_back(config.path + ": no target: set target = \"win32\", \"win64\" or \"linux\" (or use --target)");
    PackRequest request;
    if (ok && !target.empty()) makePackRequest(config, target, &request, &errors);
    if (!errors.empty()) {
        for (const std::string& e : errors) err << e << "\n";
        err << "varnlet-pack: nothing written\n";
        return 1;
    }
    for (const std::string& warning : targetWarnings(config, target)) err << warning << "\n";
    std::string stub, error;
    if (!findStub(o, target, toolPath, &stub, err)) return 1;
    std::string output = !o.output.empty() ? o.output : defaultOutput(config, target);
    const std::pair<std::string, const char*> inputs[] = {
        {stub, "the launcher body"}, {config.path, "the configuration"}, {config.icon, "the icon"}};
    for (const auto& [input, what] : inputs)
        if (!input.empty() && sameFile(input, output)) {
            err << "varnlet-pack: the output " << output << " is " << what << " itself; choose another output\n";
            return 1;
        }
    if (!bodyRead && !readBody(stub, &body, &contents, err)) return 1;
    std::vector<std::string> notes;
    applyIdentity(config, target, output, &request, &notes);
    if (target != targetOfFormat(contents.format)) {
        err << "varnlet-pack: " << stub << " is a " << targetOfFormat(contents.format) << " launcher body, not a "
            << target << " one\n";
        return 1;
    }
    std::vector<std::string> warnings;
    if (!checkLauncherNeeds(config, request, contents, &errors, &warnings)) {
        for (const std::string& e : errors) err << e << "\n";
        err << "varnlet-pack: nothing written\n";
        return 1;
    }
    for (const std::string& w : warnings) err << "varnlet-pack: warning: " << w << "\n";
    if (!packLauncher(body, request, &packed, &notes, &error)) {
        err << "varnlet-pack: " << stub << ": " << error << "\nvarnlet-pack: nothing written\n";
        return 1;
    }
    // Read the result back before it replaces anything: a launcher we cannot read is never written.
    LauncherContents check;
    if (!readLauncher(packed, &check, &error)) {
        err << "varnlet-pack: internal error, the packed launcher does not read back: " << error << "\n";
        return 1;
    }
    for (const auto& e : request.entries)
        if (!check.entries.count(e.first) || check.entries.at(e.first) != e.second) {
            err << "varnlet-pack: internal error, entry " << e.first << " does not read back\n";
            return 1;
        }
    if (!writeFileReplacing(output, packed, true, &error)) {
        err << "varnlet-pack: " << error << "\n";
        return 1;
    }
    for (const std::string& n : notes) err << "varnlet-pack: note: " << n << "\n";
    for (const std::string& w : referenceWarnings(check.entries)) err << "varnlet-pack: warning: " << w << "\n";
    out << "wrote " << output << " (" << target << ", " << request.entries.size() << " entries set, body " << stub
        << ")\n";
    return 0;
}

int show(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.size() != 1) {
        err << kUsage;
        return 2;
    }
    Bytes file;
    std::string error;
    LauncherContents contents;
    if (!readWholeFile(o.positional[0], &file, &error)) {
        err << "varnlet-pack: " << error << "\n";
        return 1;
    }
    if (!readLauncher(file, &contents, &error)) {
        err << "varnlet-pack: " << o.positional[0] << ": " << error << "\n";
        return 1;
    }
    if (contents.entries.empty()) {
        err << "varnlet-pack: " << o.positional[0]
            << " is not a Varnlet launcher: it holds none of the launcher's entries\n";
        return 1;
    }
    out << (o.json ? showJson(o.positional[0], contents) : showText(o.positional[0], contents));
    return 0;
}

int init(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.size() > 1) {
        err << kUsage;
        return 2;
    }
    std::string text = sampleConfig(o.target.empty() ? "win64" : o.target);
    if (o.positional.empty()) {
        out << text;
        return 0;
    }
    const std::string& path = o.positional[0];
    std::error_code ec;
    if (!o.force && fs::exists(utf8Path(path), ec)) {
        err << "varnlet-pack: " << path << " exists; use --force to replace it\n";
        return 1;
    }
    std::string error;
    if (!writeFileReplacing(path, Bytes(text.begin(), text.end()), false, &error)) {
        err << "varnlet-pack: " << error << "\n";
        return 1;
    }
    out << "wrote " << path << "\n";
    return 0;
}

}  // namespace

int runPack(const std::vector<std::string>& args, const std::string& toolPath, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        (args.empty() ? err : out) << kUsage;
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version" || args[0] == "version") {
        out << "varnlet-pack " VARNLET_VERSION "\n";
        return 0;
    }
    Options o;
    if (!parseOptions(args, 1, &o, err)) return 2;
    if (args[0] == "build") return build(o, toolPath, out, err);
    if (args[0] == "show") return show(o, out, err);
    if (args[0] == "init") return init(o, out, err);
    err << "varnlet-pack: unknown command " << args[0] << "\n" << kUsage;
    return 2;
}
