// Test app: main starts a non-daemon thread and returns at once; the thread prints its
// line after a pause, so the process may only end after it.
package varnlet.testapps;

public final class NonDaemon {
    public static void main(String[] args) {
        Thread worker = new Thread(() -> {
            try {
                Thread.sleep(args.length > 0 ? Long.parseLong(args[0]) : 1000);
            } catch (InterruptedException e) {
                return;
            }
            System.out.println("worker-finished");
        }, "test-worker");
        worker.setDaemon(false);
        worker.start();
        System.out.println("main-returned");
    }
}
