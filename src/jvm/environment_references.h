// %NAME% references in the configured texts.
#pragma once
#include "jvm/text_buffer.h"

// Appends `text` with every %NAME% replaced: JAVA_HOME by `javaHome` (the chosen runtime's),
// VARNLET_EXE_DIR by the executable's folder, other names by the environment. What an
// undefined name, "%%" and an unclosed '%' become depends on Config.ModernReferences.
// False only when memory runs out.
bool appendExpanded(TextBuffer* out, const char* text, const char* javaHome);
// The same into a new heap text; null only when memory runs out.
char* expandEnvironmentReferences(const char* text, const char* javaHome);
