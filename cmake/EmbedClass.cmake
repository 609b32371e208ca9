# Writes a class file as a C++ array, for the launcher to define in the JVM.
# Usage: cmake -DINPUT=X.class -DOUTPUT=x.h -DNAME=kX -P EmbedClass.cmake
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}.tmp" "// Generated from ${NAME}'s class file; do not edit.\nstatic const unsigned char ${NAME}[] = {${bytes}};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
