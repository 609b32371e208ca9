// Test app: main ends with an exception after printing one line.
package varnlet.testapps;

public final class Throws {
    public static void main(String[] args) {
        System.out.println("main-started");
        throw new IllegalStateException("thrown by the test app");
    }
}
