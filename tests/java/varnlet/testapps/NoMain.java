// Test app: a class without a static main(String[]).
package varnlet.testapps;

public final class NoMain {
    public static void run(String[] args) {}
}
