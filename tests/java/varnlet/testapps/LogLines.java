// Log rotation test app: "lines THREADS COUNT" prints COUNT numbered lines from each of THREADS threads at
// once; "native" has the JVM log a collection (with -Xlog:gc) and writes through the JVM's own standard
// error descriptor, as native code does; "days FILE" prints a line, writes the next day into FILE (the
// launcher's test clock) and prints another.
package varnlet.testapps;

import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;

public final class LogLines {
    public static void main(String[] args) throws Exception {
        if (args[0].equals("lines")) {
            int count = Integer.parseInt(args[2]);
            Thread[] threads = new Thread[Integer.parseInt(args[1])];
            for (int t = 0; t < threads.length; ++t) {
                String name = "t" + t;
                threads[t] = new Thread(() -> {
                    for (int i = 0; i < count; ++i) System.out.println(name + " " + i + " " + "x".repeat(i % 50));
                });
            }
            for (Thread thread : threads) thread.start();
            for (Thread thread : threads) thread.join();
        } else if (args[0].equals("native")) {
            System.out.println("java line");
            System.gc();
            new FileOutputStream(FileDescriptor.err).write("native line\n".getBytes(StandardCharsets.US_ASCII));
            System.err.println("java error line");
        } else if (args[0].equals("days")) {
            System.out.println("day one");
            Files.write(Paths.get(args[1]), "2".getBytes(StandardCharsets.US_ASCII));
            System.out.println("day two");
        }
    }
}
