// Log rotation test app: "lines THREADS COUNT [READY]" prints COUNT numbered lines from each of THREADS threads
// at once, line 1500 of each 70,000 bytes long (with READY, a folder, once a second process has started too,
// numbering its threads after the first's); "native" has the JVM log a collection (with -Xlog:gc) and writes
// through the JVM's own standard error descriptor, as native code does; "days FILE" prints a line, writes the
// next day into FILE (the launcher's test clock) and prints another.
package varnlet.testapps;

import java.io.File;
import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;

public final class LogLines {
    public static void main(String[] args) throws Exception {
        if (args[0].equals("lines")) {
            int count = Integer.parseInt(args[2]), first = 0;
            Thread[] threads = new Thread[Integer.parseInt(args[1])];
            if (args.length > 3) {
                while (!new File(args[3], "" + first).createNewFile()) ++first;
                while (new File(args[3]).list().length < 2) Thread.sleep(10);
            }
            for (int t = 0; t < threads.length; ++t) {
                String name = "t" + (first * threads.length + t);
                threads[t] = new Thread(() -> {
                    for (int i = 0; i < count; ++i) System.out.println(name + " " + i + " " + "x".repeat(i == 1500 ? 70000 : i % 50));
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
