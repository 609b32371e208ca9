// Service test application. "start ..." starts a non-daemon worker and returns at once, so the
// service lives on in DestroyJavaVM; "stop ..." (the second main, on the stopper thread) lets the
// worker end after varnlet.service.stops such calls (default 1). Each call prints its thread's name.
package varnlet.service;

import java.util.concurrent.Semaphore;

public class ServiceApp {
    private static final Semaphore stops = new Semaphore(0);

    public static void main(String[] args) {
        String line = "main(" + String.join("|", args) + ") on " + Thread.currentThread().getName();
        if (args.length > 0 && args[0].equals("stop")) {
            System.out.println(line);
            stops.release();
            return;
        }
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("shutdown hook")));
        new Thread(() -> {
            stops.acquireUninterruptibly(Integer.getInteger("varnlet.service.stops", 1));
            System.out.println("worker ends");
        }, "service worker").start();
        System.out.println(line);  // last: once this line is there, the application is fully started
    }
}
