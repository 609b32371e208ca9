package varnlet.jarapp;

import java.lang.instrument.Instrumentation;

// An executable jar's main: a class from the jar its Class-Path names and the agent its
// Launcher-Agent-Class starts first (what its Add-Opens and Enable-Native-Access give, the
// differential suite compares with `java -jar`).
public class JarMain {
    static Instrumentation agent;

    public static void agentmain(String arguments, Instrumentation instrumentation) {
        agent = instrumentation;
    }

    public static void main(String[] args) throws Exception {
        System.out.println("library=" + varnlet.jarlib.Library.name());
        System.out.println("agent=" + (agent != null));
        System.out.println("args=" + String.join(",", args));
    }
}
