// The benchmark's application: a few jars that each start a part of the platform people use
// (XML, HTTP client, logging, regular expressions, streams, time and number formats).
package bench.main;

public final class Main {
    public static void main(String[] args) throws Exception {
        if (args.length > 0 && args[0].equals("-version")) {  // a short run, as `ant -version`
            System.out.println("text: bench 1");
            return;
        }
        StringBuilder report = new StringBuilder();
        report.append(bench.xml.Catalog.summary()).append('\n');
        report.append(bench.net.Endpoints.summary()).append('\n');
        report.append(bench.text.Ledger.summary()).append('\n');
        System.out.print(report);
    }
}
