// Prints what a Java application received from the launcher, one "key=value" line each, so
// tests can compare it; texts as UTF-8 hex, which no console encoding can change. Having no
// main of its own, it is also the main class a launcher cannot call.
package varnlet.testapps;

import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Paths;

public final class Report {
    static String hex(String text) {
        StringBuilder b = new StringBuilder();
        for (byte x : text.getBytes(StandardCharsets.UTF_8)) b.append(String.format("%02x", x & 0xff));
        return b.toString();
    }

    static void print(PrintStream out, String[] args) throws IOException {
        out.println("argc=" + args.length);
        for (int i = 0; i < args.length; ++i) out.println("arg" + i + "=" + hex(args[i]));
        out.println("user.dir=" + System.getProperty("user.dir"));
        out.println("cwd=" + Paths.get("/proc/self/cwd").toRealPath());  // the process's, which may differ
        out.println("java.class.path=" + System.getProperty("java.class.path"));
    }
}
