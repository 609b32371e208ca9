// Fuzzes %NAME% expansion with a made-up environment: the result always exists, and a
// text without '%' comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "jvm/options.h"
#include "core/state.h"
#include "platform/platform.h"

namespace {

const char* fuzzEnvironment(const char* name) {
    size_t n = std::strlen(name);
    if (n % 3 == 0) return nullptr;
    return n % 3 == 1 ? "" : "value%with%percents";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Platform.getEnvironment = fuzzEnvironment;
    std::strcpy(State.DiscoveredJavaHome, "C:\\jdk");
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str();
    char* out = expandEnvironmentReferences(text.c_str());
    if (out == nullptr) __builtin_trap();
    if (text.find('%') == std::string::npos && text != out) __builtin_trap();
    std::free(out);
    return 0;
}
