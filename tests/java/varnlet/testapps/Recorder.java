// Test app for in-process tests: main keeps what it received in system properties
// (thread name, argument count and texts as UTF-8 hex) for the test to read back through
// JNI, and throws when its first argument is "throw".
package varnlet.testapps;

public final class Recorder {
    public static void main(String[] args) {
        System.setProperty("recorder.thread", Thread.currentThread().getName());
        System.setProperty("recorder.argc", Integer.toString(args.length));
        StringBuilder all = new StringBuilder();
        for (String a : args) all.append(Report.hex(a)).append(',');
        System.setProperty("recorder.args", all.toString());
        System.out.println("recorder-out");
        System.err.println("recorder-err");
        if (args.length > 0 && args[0].equals("throw")) throw new IllegalStateException("recorder asked to throw");
    }
}
