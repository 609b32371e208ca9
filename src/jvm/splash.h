// The splash screen shown while the JVM starts, from the runtime's own splash library.
#pragma once

// Shows SplashImage, else the executable jar's SplashScreen-Image, with the splash library
// of the runtime whose JVM library is `jvmLibrary`, so that java.awt.SplashScreen finds it later. Never
// fails: without a library (a headless runtime), a display or a readable image, a trace
// line says why and the application starts without a splash.
void showSplashScreen(const char* jvmLibrary);
