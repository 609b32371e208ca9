// The Java packer's command line for each line (NAME, arguments; tab separated) in one JVM: NAME.rc, NAME.out, NAME.err.
import java.io.*; import java.nio.file.*; import java.util.Arrays;

public class Batch {
    public static void main(String[] list) throws Exception {
        for (String line : Files.readAllLines(Path.of(list[0]))) {
            String[] a = line.split("\t", -1);
            ByteArrayOutputStream out = new ByteArrayOutputStream(), err = new ByteArrayOutputStream();
            int code = org.varnlet.pack.Main.run(Arrays.copyOfRange(a, 1, a.length), new PrintStream(out, true, "UTF-8"), new PrintStream(err, true, "UTF-8"));
            Files.write(Path.of(a[0] + ".rc"), Integer.toString(code).getBytes());
            Files.write(Path.of(a[0] + ".out"), out.toByteArray());
            Files.write(Path.of(a[0] + ".err"), err.toByteArray());
        }
    }
}
