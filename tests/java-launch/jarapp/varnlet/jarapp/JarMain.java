package varnlet.jarapp;

import java.lang.instrument.Instrumentation;

// An executable jar's main: reflection into java.base that only its Add-Opens allows, a class
// from the jar its Class-Path names, the agent its Launcher-Agent-Class starts first, and the
// native access its Enable-Native-Access gives.
public class JarMain {
    static Instrumentation agent;

    public static void agentmain(String arguments, Instrumentation instrumentation) {
        agent = instrumentation;
    }

    public static void main(String[] args) throws Exception {
        java.lang.reflect.Field value = String.class.getDeclaredField("value");
        value.setAccessible(true);
        System.out.println("opened=" + (value.get("x") != null));
        System.out.println("library=" + varnlet.jarlib.Library.name());
        System.out.println("agent=" + (agent != null));
        java.lang.reflect.Method nativeAccess = null;  // Java 22 and later
        for (java.lang.reflect.Method m : Module.class.getMethods()) if (m.getName().equals("isNativeAccessEnabled")) nativeAccess = m;
        System.out.println("native=" + (nativeAccess == null ? "unknown" : nativeAccess.invoke(JarMain.class.getModule())));
        System.out.println("args=" + String.join(",", args));
    }
}
