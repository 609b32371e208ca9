// Holds a file open as a log viewer does, letting others read and write it but not move it,
// until its standard input ends; prints "held" once it holds the file.
#include <windows.h>

#include <cstdio>

int main(int, char** argv) {
    if (CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr) ==
        INVALID_HANDLE_VALUE)
        return 1;
    puts("held");
    fflush(stdout);
    while (getchar() != EOF) continue;
}
