// Test app: main starts a non-daemon thread and returns at once; the thread prints its
// line after the pause its argument gives (ms), so the process may only end after it.
package varnlet.testapps;

public final class NonDaemon {
    public static void main(String[] args) {
        new Thread(() -> {
            try {
                Thread.sleep(Long.parseLong(args[0]));
                System.out.println("worker-finished");
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        }, "test-worker").start();
        System.out.println("main-returned");
    }
}
