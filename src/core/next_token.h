// The in-place tokenizer shared by the runtime search and the class path builder.
#pragma once

// Returns the next token of `text`, or null when none is left. The caller keeps `cursor`
// and sets it to null before the first call; the separator set may change between calls.
// Every separator that ends a token is overwritten with a terminator.
char* nextToken(char* text, const char* separators, char** cursor);
