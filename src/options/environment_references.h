// %NAME% references in the configured texts.
#pragma once
#include "options/text_buffer.h"

// Appends `text` with every %NAME% replaced: JAVA_HOME by `javaHome` (the chosen runtime's),
// VARNLET_EXE_DIR by the executable's folder, other names by the environment. What an
// undefined name, "%%" and an unclosed '%' become depends on Config.ModernReferences.
void appendExpanded(TextBuffer* out, const char* text, const char* javaHome);
// The same into a new heap text.
char* expandEnvironmentReferences(const char* text, const char* javaHome);
