// The one JVM of the JNI helper tests and small raw-JNI probes that do not go through the
// code under test.
#pragma once
#include <jni.h>

#include <string>
#include <vector>

JNIEnv* testEnv();
JavaVM* testJvm();

// System.getProperty(name) as UTF-16, or "<null>" when unset.
std::u16string javaProperty(JNIEnv* env, const char* name);
std::string javaPropertyAscii(JNIEnv* env, const char* name);
// The current System.out or System.err ("out" / "err"), as a global reference.
jobject javaStream(JNIEnv* env, const char* field);
// Installs `stream` with System.setOut/setErr ("out" / "err").
void setJavaStream(JNIEnv* env, const char* field, jobject stream);
// System.out.println(text) / System.err.println(text) through the installed stream.
void javaPrintln(JNIEnv* env, const char* field, const char* text);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
// A fresh directory under the temporary folder.
std::string makeTempDirectory();

// Captures the launcher's console reports while it lives.
struct ReportCapture {
    struct Line {
        bool toError;
        std::string text;
        std::string errFileAtReport;  // content of `watchFile` when the line was written
    };
    ReportCapture();
    ~ReportCapture();
    std::string watchFile;
    std::vector<Line> lines;
};
