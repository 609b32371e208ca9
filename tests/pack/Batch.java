// Runs the Java packer's command line once per line of a list (NAME, then the arguments, tab
// separated) in one JVM, writing NAME.rc, NAME.out and NAME.err: the differential test's runs.
import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;

public class Batch {
    public static void main(String[] list) throws Exception {
        for (String line : Files.readAllLines(Path.of(list[0]), StandardCharsets.UTF_8)) {
            String[] args = line.split("\t", -1);
            ByteArrayOutputStream out = new ByteArrayOutputStream(), err = new ByteArrayOutputStream();
            int code = org.varnlet.pack.Main.run(Arrays.copyOfRange(args, 1, args.length), new PrintStream(out, true, StandardCharsets.UTF_8),
                    new PrintStream(err, true, StandardCharsets.UTF_8));
            Files.write(Path.of(args[0] + ".rc"), Integer.toString(code).getBytes(StandardCharsets.UTF_8));
            Files.write(Path.of(args[0] + ".out"), out.toByteArray());
            Files.write(Path.of(args[0] + ".err"), err.toByteArray());
        }
    }
}
