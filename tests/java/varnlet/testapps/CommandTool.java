// Test app of a command-line tool: copies the file named first (opened by its relative name, so
// from the process's directory) to the one named second (made absolute by java.io.File, so from
// user.dir), then prints the JVM's input arguments and the properties a tool reads.
package varnlet.testapps;

public final class CommandTool {
    public static void main(String[] args) throws Exception {
        try (java.io.InputStream in = new java.io.FileInputStream(args[0])) {
            in.transferTo(new java.io.FileOutputStream(new java.io.File(args[1]).getAbsolutePath()));
        }
        for (String option : java.lang.management.ManagementFactory.getRuntimeMXBean().getInputArguments())
            System.out.println("input=" + option);
        for (String key : new String[] {"user.dir", "sun.java.command", "varnlet.exe.path", "varnlet.exe.dir"})
            System.out.println(key + "=" + System.getProperty(key));
    }
}
