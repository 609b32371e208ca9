// Holds a file open as a log viewer does, letting others read and write it but not move or
// delete it, until its standard input ends; prints "held" once it holds the file.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    HANDLE file = argc == 2 ? CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                            : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) return 1;
    puts("held");
    fflush(stdout);
    while (getchar() != EOF) continue;
    return 0;
}
