// Service test application. "start ..." starts a non-daemon worker and returns at once, so the
// service lives on in DestroyJavaVM; "stop ..." (the second main, on the stopper thread) lets the
// worker end after varnlet.service.stops such calls (default 1). Every call is appended, with
// its thread's name, to the file named by the system property varnlet.service.record.
package varnlet.service;

import java.io.FileWriter;
import java.io.IOException;
import java.util.concurrent.Semaphore;

public class ServiceApp {
    private static final Semaphore stops = new Semaphore(0);

    static synchronized void record(String line) {
        try (FileWriter w = new FileWriter(System.getProperty("varnlet.service.record"), true)) {
            w.write(line + "\n");
        } catch (IOException e) {
            throw new RuntimeException(e);
        }
    }

    public static void main(String[] args) throws Exception {
        String line = "main(" + String.join("|", args) + ") on " + Thread.currentThread().getName();
        if (args.length > 0 && args[0].equals("stop")) {
            record(line);
            stops.release();
            return;
        }
        Runtime.getRuntime().addShutdownHook(new Thread(() -> record("shutdown hook")));
        new Thread(() -> {
            stops.acquireUninterruptibly(Integer.getInteger("varnlet.service.stops", 1));
            record("worker ends");
        }, "service worker").start();
        record(line);  // last: once this line is there, the application is fully started
    }
}
