// Reading Java version names and comparing them with the configured minimum.
#pragma once
#include <cstdint>

struct JavaVersion {
    uint32_t major;
    uint32_t minor;
};

// The leading numbers of a version name as Java numbers them: "1.8.0_202" is (8, 0),
// "1.4.2_05" is (4, 2), "11.0.2" is (11, 0), "17" is (17, 0).
// False when the name does not start with a digit or a number is implausibly long.
bool parseJavaVersion(const char* name, JavaVersion* version);

// The same for the names vendors give their version keys ("17.0.9.9", "zulu-17").
bool parseVendorJavaVersion(const char* name, JavaVersion* version);

// The minimum as the configuration writes it: hexadecimal, major in bits 16-31, minor in
// bits 0-3 (bits 4-15 play no part); a major of 1 takes the minor as the Java version.
// False, with the minimum (0, 0), when the text does not parse.
bool parseMinimumJavaVersion(const char* text, JavaVersion* minimum);

// True when (major, minor) is at least the minimum, compared as a pair.
bool meetsMinimum(const JavaVersion& version, const JavaVersion& minimum);
