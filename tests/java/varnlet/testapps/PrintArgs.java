// Test app: reports its arguments and directories on System.out, and writes one marker line
// to System.err, then returns normally.
package varnlet.testapps;

public final class PrintArgs {
    public static void main(String[] args) throws Exception {
        Report.print(System.out, args);
        System.out.println("out-marker");
        System.err.println("err-marker");
    }
}
