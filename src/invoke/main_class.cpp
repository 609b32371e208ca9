// The main class of an application started as it ships. A module's classes are looked up
// through its own Module (Class.forName(Module, String)), so a module of any layer or loader
// is found; the descriptor's main class is what `jar --main-class` and jlink record.
#include "invoke/main_class.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "core/config.h"
#include "core/report.h"
#include "core/state.h"
#include "core/trace.h"
#include "entries/text_encoding.h"
#include "jvm/jni_utils.h"
#include "options/launch_options.h"

namespace {

jclass failWith(unsigned id, const std::string& argument) {
    reportError(message(id), argument.c_str());
    return nullptr;
}

// Calls a method returning an object; null after describing an exception.
jobject callObject(JNIEnv* env, jobject target, jclass type, const char* name, const char* signature,
                   jobject argument = nullptr) {
    jmethodID method = env->GetMethodID(type, name, signature);
    if (checkJavaException(env) || method == nullptr) return nullptr;
    jobject result = argument ? env->CallObjectMethod(target, method, argument) : env->CallObjectMethod(target, method);
    return checkJavaException(env) ? nullptr : result;
}

// The value of a java.util.Optional, null when empty.
jobject optionalValue(JNIEnv* env, jobject optional) {
    jclass type = env->FindClass("java/util/Optional");
    if (checkJavaException(env) || type == nullptr || optional == nullptr) return nullptr;
    jmethodID orElse = env->GetMethodID(type, "orElse", "(Ljava/lang/Object;)Ljava/lang/Object;");
    if (checkJavaException(env) || orElse == nullptr) return nullptr;
    jobject value = env->CallObjectMethod(optional, orElse, nullptr);
    return checkJavaException(env) ? nullptr : value;
}

}  // namespace

bool grantJarPackages(JNIEnv* env) {
    // Java 8's `java -jar` knows neither attribute.
    if (State.RuntimeFeature < 9 || (!State.JarAddOpens && !State.JarAddExports)) return true;
    jclass layerType = env->FindClass("java/lang/ModuleLayer");
    jclass moduleType = env->FindClass("java/lang/Module");
    jclass setType = env->FindClass("java/util/Set");
    jclass modules = env->FindClass("jdk/internal/module/Modules");
    if (checkJavaException(env) || !layerType || !moduleType || !setType || !modules)
        return failWith(MsgLocateClass, "jdk/internal/module/Modules") != nullptr;
    jmethodID boot = env->GetStaticMethodID(layerType, "boot", "()Ljava/lang/ModuleLayer;");
    jobject layer = boot ? env->CallStaticObjectMethod(layerType, boot) : nullptr;
    jmethodID contains = env->GetMethodID(setType, "contains", "(Ljava/lang/Object;)Z");
    if (checkJavaException(env) || layer == nullptr || contains == nullptr)
        return failWith(MsgLocateClass, "java/lang/ModuleLayer") != nullptr;
    struct Grant {
        const char* list;
        const char* method;
        const char* attribute;
    };
    for (auto [list, grant, attribute] : {Grant{State.JarAddOpens, "addOpensToAllUnnamed", "Add-Opens: "},
                                          Grant{State.JarAddExports, "addExportsToAllUnnamed", "Add-Exports: "}}) {
        jmethodID method = env->GetStaticMethodID(modules, grant, "(Ljava/lang/Module;Ljava/lang/String;)V");
        if (checkJavaException(env) || method == nullptr) return failWith(MsgLocateMethod, grant) != nullptr;
        // Pairs between single blanks, each trimmed, "module/package" exactly; a module the
        // boot layer lacks or a package the module lacks is passed over (a trace line tells).
        std::string text = list ? list : "";
        for (size_t at = 0; at <= text.size();) {
            size_t end = std::min(text.find(' ', at), text.size());
            std::string pair = text.substr(at, end - at);
            at = end + 1;
            // Trimmed as Java trims: every character up to and including the blank, at either end.
            auto kept = [](char c) { return static_cast<unsigned char>(c) > ' '; };
            pair.erase(std::find_if(pair.rbegin(), pair.rend(), kept).base(), pair.end());
            pair.erase(pair.begin(), std::find_if(pair.begin(), pair.end(), kept));
            size_t slash = pair.find('/');
            if (slash == std::string::npos || slash + 1 == pair.size() ||
                pair.find('/', slash + 1) != std::string::npos) {
                if (!pair.empty()) trace("manifest: passed over ", attribute, pair.c_str());
                continue;
            }
            jstring name = newJavaString(env, pair.substr(0, slash).c_str());
            jstring package = newJavaString(env, pair.substr(slash + 1).c_str());
            jobject module = name ? optionalValue(env, callObject(env, layer, layerType, "findModule",
                                                                  "(Ljava/lang/String;)Ljava/util/Optional;", name))
                                  : nullptr;
            jobject packages =
                module ? callObject(env, module, moduleType, "getPackages", "()Ljava/util/Set;") : nullptr;
            if (packages && package && env->CallBooleanMethod(packages, contains, package))
                env->CallStaticVoidMethod(modules, method, module, package);
            else trace("manifest: passed over ", attribute, pair.c_str());
            if (checkJavaException(env)) return failWith(MsgInvoke, grant) != nullptr;
            for (jobject local : {static_cast<jobject>(name), static_cast<jobject>(package), module, packages})
                if (local) env->DeleteLocalRef(local);
        }
    }
    return true;
}

bool startLauncherAgent(JNIEnv* env) {
    if (!isSet(State.LauncherAgentClass)) return true;
    // The runtime's own agent loader reads Launcher-Agent-Class from the jar again and calls
    // its agentmain with an Instrumentation.
    const char* loader = "sun/instrument/InstrumentationImpl";
    jclass type = env->FindClass(loader);
    if (checkJavaException(env) || type == nullptr) return failWith(MsgLocateClass, loader) != nullptr;
    jmethodID load = env->GetStaticMethodID(type, "loadAgent", "(Ljava/lang/String;)V");
    if (checkJavaException(env) || load == nullptr)
        return failWith(MsgLocateMethod, "loadAgent(java/lang/String)") != nullptr;
    jstring jar = newJavaString(env, State.MainJarFullPath);
    if (jar == nullptr) return failWith(MsgInstantiate, "java/lang/String") != nullptr;
    env->CallStaticVoidMethod(type, load, jar);
    if (checkJavaException(env))
        return failWith(MsgInvoke, std::string(State.LauncherAgentClass) + ".agentmain") != nullptr;
    return true;
}

jclass moduleMainClass(JNIEnv* env) {
    const char* given = nullptr;
    char* moduleText = mainModuleName(Config.MainModule, &given);
    std::string moduleName = moduleText;
    std::free(moduleText);
    std::string className = isSet(given) ? given : isSet(runMainClass()) ? runMainClass() : "";
    for (char& c : className)
        if (c == '/') c = '.';

    jclass layerType = env->FindClass("java/lang/ModuleLayer");
    if (checkJavaException(env) || layerType == nullptr) return failWith(MsgLocateClass, "java/lang/ModuleLayer");
    jmethodID boot = env->GetStaticMethodID(layerType, "boot", "()Ljava/lang/ModuleLayer;");
    jobject layer = boot ? env->CallStaticObjectMethod(layerType, boot) : nullptr;
    if (checkJavaException(env) || layer == nullptr) return failWith(MsgLocateClass, "java/lang/ModuleLayer");
    jstring name = newJavaString(env, moduleName.c_str());
    jobject module = name ? optionalValue(env, callObject(env, layer, layerType, "findModule",
                                                          "(Ljava/lang/String;)Ljava/util/Optional;", name))
                          : nullptr;
    if (module == nullptr) return failWith(MsgLocateClass, "module " + moduleName);

    jclass moduleType = env->FindClass("java/lang/Module");
    if (checkJavaException(env) || moduleType == nullptr) return failWith(MsgLocateClass, "java/lang/Module");
    jstring classText = nullptr;
    if (className.empty()) {
        jobject descriptor =
            callObject(env, module, moduleType, "getDescriptor", "()Ljava/lang/module/ModuleDescriptor;");
        jclass descriptorType = env->FindClass("java/lang/module/ModuleDescriptor");
        if (checkJavaException(env)) descriptorType = nullptr;
        classText = descriptor && descriptorType
                        ? static_cast<jstring>(optionalValue(
                              env, callObject(env, descriptor, descriptorType, "mainClass", "()Ljava/util/Optional;")))
                        : nullptr;
        if (classText == nullptr) return failWith(MsgLocateClass, moduleName + " (its descriptor names no main class)");
    } else {
        classText = newJavaString(env, className.c_str());
        if (classText == nullptr) return failWith(MsgInstantiate, "java/lang/String");
    }
    jclass classType = env->FindClass("java/lang/Class");
    jmethodID forName = classType ? env->GetStaticMethodID(classType, "forName",
                                                           "(Ljava/lang/Module;Ljava/lang/String;)Ljava/lang/Class;")
                                  : nullptr;
    if (checkJavaException(env) || forName == nullptr)
        return failWith(MsgLocateMethod, "forName(java/lang/Module, java/lang/String)");
    jobject found = env->CallStaticObjectMethod(classType, forName, module, classText);
    if (checkJavaException(env) || found == nullptr) {
        const char* text = env->GetStringUTFChars(classText, nullptr);
        std::string shown = moduleName + "/" + (text ? text : "");
        if (text) env->ReleaseStringUTFChars(classText, text);
        return failWith(MsgLocateClass, shown);
    }
    return static_cast<jclass>(found);
}
