// The DPI settings of the manifest. Windows 10 (1607 and later) reads dpiAwareness, older
// versions dpiAware; each mode sets both. Per-monitor awareness lets Java 9 and later draw
// Swing, JavaFX and AWT windows sharply at every scale, and move them between displays of
// different scales; "system" suits toolkits that handle one scale only, and "unaware" leaves the
// scaling to Windows (blurred, but laid out as at 100 %).
#include "dpi_awareness.h"

#include <cctype>

namespace {

struct DpiMode {
    const char* name;
    const char* values[2];  // of the settings below, in their order
};

constexpr DpiMode kModes[] = {
#define VARNLET_DPI_MODE(mode, dpiAware, dpiAwareness) {#mode, {dpiAware, dpiAwareness}},
#include "pack_rules.def"
};

struct Setting {
    const char* element;
    const char* xmlns;
};

const Setting kSettings[] = {
#define VARNLET_DPI_SETTING(element, xmlns) {#element, xmlns},
#include "pack_rules.def"
};
static_assert(sizeof kSettings / sizeof kSettings[0] == 2, "each DPI mode gives one value per setting");

// The start tag `<element` (not a longer name), npos when there is none.
size_t findStartTag(const std::string& xml, const std::string& element) {
    const std::string open = "<" + element;
    for (size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at + 1)) {
        char next = at + open.size() < xml.size() ? xml[at + open.size()] : '\0';
        if (next == '>' || next == '/' || isspace(static_cast<unsigned char>(next))) return at;
    }
    return std::string::npos;
}

// The span of the element's text; false when the element is absent (*found false) or holds
// none that can be read.
bool findText(const std::string& xml, const std::string& element, size_t* from, size_t* length, bool* found) {
    size_t tag = findStartTag(xml, element);
    *found = tag != std::string::npos;
    if (!*found) return false;
    size_t end = xml.find('>', tag);
    if (end == std::string::npos || xml[end - 1] == '/') return false;
    size_t close = xml.find("</" + element + ">", end);
    if (close == std::string::npos || xml.find('<', end) != close) return false;
    *from = end + 1;
    *length = close - end - 1;
    return true;
}

const DpiMode* findMode(const std::string& name) {
    for (const DpiMode& mode : kModes)
        if (name == mode.name) return &mode;
    return nullptr;
}

}  // namespace

const char* const kDefaultDpiAwareness = kModes[0].name;

bool checkDpiAwareness(const std::string& value, std::string* why) {
    if (findMode(value)) return true;
    *why = "dpi_awareness must be \"permonitorv2\", \"system\" or \"unaware\"";
    return false;
}

std::string manifestDpiAwareness(const Bytes& manifest) {
    std::string xml(manifest.begin(), manifest.end());
    size_t from = 0, length = 0;
    bool found = false;
    // The newer setting first: where both are present, Windows 10 reads that one.
    if (!findText(xml, kSettings[1].element, &from, &length, &found) &&
        !findText(xml, kSettings[0].element, &from, &length, &found))
        return "";
    std::string text = xml.substr(from, length);
    for (const DpiMode& mode : kModes)
        if (text == mode.values[1] || text == mode.values[0]) return mode.name;
    return text;
}

bool setManifestDpiAwareness(const Bytes& manifest, const std::string& name, Bytes* out, std::string* error) {
    const DpiMode* mode = findMode(name);
    if (!mode) return checkDpiAwareness(name, error);
    std::string xml(manifest.begin(), manifest.end());
    for (size_t i = 0; i < 2; ++i) {
        const Setting& setting = kSettings[i];
        const std::string value = mode->values[i];
        size_t from = 0, length = 0;
        bool found = false;
        if (findText(xml, setting.element, &from, &length, &found)) {
            xml.replace(from, length, value);
            continue;
        }
        if (found) {
            *error = std::string("the manifest's ") + setting.element + " element holds no readable value";
            return false;
        }
        const std::string element = "<" + std::string(setting.element) + " xmlns=\"" + setting.xmlns + "\">" + value +
                                    "</" + setting.element + ">";
        size_t settings = findStartTag(xml, "windowsSettings");
        size_t open = settings == std::string::npos ? settings : xml.find('>', settings);
        if (open != std::string::npos && xml[open - 1] != '/') {  // into the settings there are
            xml.insert(open + 1, "\n      " + element);
            continue;
        }
        size_t end = xml.rfind("</assembly>");
        if (end == std::string::npos) {
            *error = "the manifest has no </assembly> end tag";
            return false;
        }
        xml.insert(end, "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n    <windowsSettings>\n      " +
                            element + "\n    </windowsSettings>\n  </application>\n");
    }
    out->assign(xml.begin(), xml.end());
    return true;
}
