// The demo application: shows what the launcher handed to it.
package org.vantohelix.launch;

public final class HelixMain {
    public static void main(String[] args) {
        System.out.println("vantoHelix demo started by its launcher");
        System.out.println("  arguments (" + args.length + "):");
        for (int i = 0; i < args.length; ++i) System.out.println("    [" + i + "] " + args[i]);
        System.out.println("  user.dir:        " + System.getProperty("user.dir"));
        System.out.println("  java.version:    " + System.getProperty("java.version")
                + " (" + System.getProperty("java.vm.name") + ")");
        System.out.println("  java.home:       " + System.getProperty("java.home"));
        System.out.println("  java.class.path: " + System.getProperty("java.class.path"));
        System.out.println("  greeting option: " + System.getProperty("vantohelix.greeting", "(not set)"));
        System.out.println("  main thread:     " + Thread.currentThread().getName());
    }
}
