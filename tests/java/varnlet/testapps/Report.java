// Prints what a Java application received from the launcher, one "key=value" line each,
// so tests can compare it. Texts are written as UTF-8 hex so that no console encoding can
// change what the test sees.
package varnlet.testapps;

import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;

public final class Report {
    private Report() {}

    public static String hex(String text) {
        StringBuilder b = new StringBuilder();
        for (byte x : text.getBytes(StandardCharsets.UTF_8)) b.append(String.format("%02x", x & 0xff));
        return b.toString();
    }

    public static String processDirectory() {
        try {
            return Files.readSymbolicLink(Paths.get("/proc/self/cwd")).toString();
        } catch (Exception e) {
            return "?";
        }
    }

    public static void print(PrintStream out, String[] args) {
        out.println("argc=" + args.length);
        for (int i = 0; i < args.length; ++i) out.println("arg" + i + "=" + hex(args[i]));
        out.println("user.dir=" + System.getProperty("user.dir"));
        out.println("cwd=" + processDirectory());
        out.println("thread=" + Thread.currentThread().getName());
        out.println("java.version=" + System.getProperty("java.version"));
        out.println("java.class.path=" + System.getProperty("java.class.path"));
    }
}
