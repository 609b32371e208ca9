// %NAME% expansion over the whole option text. JAVA_HOME means the runtime the search
// chose, not whatever the environment says, so the options match the library in use.
#include <cstdlib>
#include <cstring>
#include <string>

#include "jvm/options.h"
#include "core/state.h"
#include "platform/platform.h"

char* expandEnvironmentReferences(const char* text) {
    TextBuffer out{nullptr, 0, 0};
    bool ok = true;
    const char* p = text != nullptr ? text : "";
    while (ok) {
        const char* open = std::strchr(p, '%');
        if (open == nullptr) {
            ok = appendText(&out, p);
            break;
        }
        ok = appendText(&out, p, static_cast<size_t>(open - p));
        const char* close = std::strchr(open + 1, '%');
        if (close == nullptr) {
            // An unclosed reference keeps its text, without the '%'.
            ok = ok && appendText(&out, open + 1);
            break;
        }
        std::string name(open + 1, static_cast<size_t>(close - open - 1));
        const char* value = name == "JAVA_HOME" ? State.DiscoveredJavaHome
                            : name.empty()       ? nullptr
                                                 : Platform.getEnvironment(name.c_str());
        ok = ok && appendText(&out, value);
        p = close + 1;
    }
    if (!ok) {
        releaseText(&out);
        return nullptr;
    }
    if (out.text == nullptr) return static_cast<char*>(std::calloc(1, 1));
    return out.text;
}
