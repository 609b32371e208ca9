// %NAME% expansion of the configured option and class path texts. JAVA_HOME means the
// runtime the search chose, not whatever the environment says, so the options match the
// library in use; VARNLET_EXE_DIR is the executable's own folder, so a bundle can name
// its files wherever it was unpacked.
//
// Two rule sets. Launchers stored before ModernReferences existed rely on the first:
// an undefined name is removed, "%%" is a reference to the empty name (so it vanishes),
// and an unclosed '%' is dropped. With ModernReferences a '%' that opens no defined
// reference stays as written and "%%" is one '%', so the JVM's own placeholders (%p, %t)
// reach it intact.
#include "options/environment_references.h"

#include <cstring>
#include <string>

#include "core/allocation.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/state.h"
#include "core/trace.h"
#include "core/working_directory.h"
#include "options/text_buffer.h"
#include "platform/platform.h"

namespace {

// The value of a reference; false when the name is not defined.
bool lookUp(const std::string& name, const char* javaHome, std::string* value) {
    const char* text = nullptr;
    if (name == "JAVA_HOME") {
        text = javaHome != nullptr ? javaHome : "";
    } else if (name == "VARNLET_EXE_DIR") {
        char directory[kPathBufferSize];
        *value = executableDirectory(directory, sizeof directory) ? directory : "";
        return true;
    } else if (!name.empty()) {
        text = Platform.process.environment(name.c_str());
    }
    if (text == nullptr) return false;
    *value = text;
    return true;
}

}  // namespace

void appendExpanded(TextBuffer* out, const char* text, const char* javaHome) {
    const bool modern = Config.ModernReferences;
    const char* p = text != nullptr ? text : "";
    for (;;) {
        const char* open = std::strchr(p, '%');
        if (open == nullptr) return appendText(out, p);
        appendText(out, p, static_cast<size_t>(open - p));
        if (modern && open[1] == '%') {
            appendText(out, "%");
            p = open + 2;
            continue;
        }
        const char* close = std::strchr(open + 1, '%');
        if (close == nullptr) return appendText(out, modern ? open : open + 1);
        std::string name(open + 1, static_cast<size_t>(close - open - 1));
        std::string value;
        if (lookUp(name, javaHome, &value)) {
            if (value.empty()) trace("reference %", name.c_str(), "% is empty");
            // The launcher's own folders at a drive's root end in a separator ("M:\"): a
            // separator written after the reference makes no second one.
            const PathStyle& style = Platform.traits.pathStyle;
            if ((name == "JAVA_HOME" || name == "VARNLET_EXE_DIR") && !value.empty() &&
                isPathSeparator(style, value.back()) && isPathSeparator(style, close[1]))
                value.pop_back();
            appendText(out, value.c_str());
            p = close + 1;
        } else if (modern) {
            // Kept; its closing '%' may open the next reference.
            trace("reference %", name.c_str(), "% is not set: kept as written");
            appendText(out, open, static_cast<size_t>(close - open));
            p = close;
        } else {
            trace("reference %", name.c_str(), "% is not set: left empty");
            p = close + 1;
        }
    }
}

char* expandEnvironmentReferences(const char* text, const char* javaHome) {
    TextBuffer out{nullptr, 0, 0};
    appendExpanded(&out, text, javaHome);
    return out.text != nullptr ? out.text : heapCopy("");
}
