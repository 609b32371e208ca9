# Writes a class file, deflated, as a C++ array, for the launcher to inflate and define in the
# JVM; ${NAME}Size is the class file's own size.
# Usage: cmake -DINPUT=X.class -DDEFLATED=X.deflated -DOUTPUT=x.h -DNAME=kX -P EmbedClass.cmake
file(SIZE "${INPUT}" size)
file(READ "${DEFLATED}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}.tmp" "// Generated from ${NAME}'s class file; do not edit.\nstatic const unsigned char ${NAME}[] = {${bytes}};\n"
  "static const unsigned ${NAME}Size = ${size};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
