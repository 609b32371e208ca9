// Test app and benchmark subject: prints one line.
package varnlet.testapps;

public final class Hello {
    public static void main(String[] args) {
        System.out.println("Hello from Java");
    }
}
