// Benchmark subject: writes lines of 100 bytes (99 and the line end) until the given byte count, through System.out ("system",
// redirected by the launcher) or through a PrintStream over a plain FileOutputStream ("plain FILE"), and
// prints the time the writes took on System.err.
import java.io.FileOutputStream;
import java.io.PrintStream;

public final class LogBench {
    public static void main(String[] args) throws Exception {
        long total = Long.parseLong(args[1]);
        PrintStream out = args[0].equals("plain") ? new PrintStream(new FileOutputStream(args[2])) : System.out;
        // Lines made beforehand, so the figures are the streams' and not the formatting's.
        String[] lines = new String[1024];
        for (int i = 0; i < lines.length; ++i) lines[i] = String.format("line %04d ", i) + "x".repeat(89);
        long began = System.nanoTime();
        for (long line = 0; line * 100 < total; ++line) out.println(lines[(int) (line & 1023)]);
        out.flush();
        System.err.println("ns=" + (System.nanoTime() - began));
    }
}
