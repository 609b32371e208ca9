// Cutting one configuration text (JVM options, application options, service options)
// into an argument vector.
#pragma once

// Splits `text` at spaces outside double quotes. A token that starts with a double quote
// loses its first and last characters; a token that is a lone double quote becomes the
// empty string. A null or empty text gives count 0 and a null vector; a text of spaces
// only gives one empty token. The array and every token are new heap blocks that the
// caller owns (the launcher keeps them for the life of the process). Returns false, with
// count 0 and a null vector, only when the text is too long to count.
bool splitArguments(const char* text, int* count, char*** vector);
