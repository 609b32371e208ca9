// Service test app: "start" starts a non-daemon worker and returns, so the service lives on in DestroyJavaVM;
// each "stop" (the second main) counts towards varnlet.service.stops (default 1), after which the worker ends;
// "exit N" calls System.exit(N).
package varnlet.service;

import java.util.concurrent.Semaphore;

public class ServiceApp {
    private static final Semaphore stops = new Semaphore(0);

    public static void main(String[] args) {
        String line = "main(" + String.join("|", args) + ") on " + Thread.currentThread().getName();
        if (args.length > 1 && args[0].equals("exit")) System.exit(Integer.parseInt(args[1]));
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
