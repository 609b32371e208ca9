// Test app: prints what it received from the launcher or `java`, one "key=value" line each (texts as
// UTF-8 hex, which no console encoding can change), then one marker line on each stream. With the
// property varnlet.testapps.fill it first fills the disk of the file that names.
package varnlet.testapps;

import java.nio.charset.StandardCharsets;
import java.nio.file.Paths;

public final class PrintArgs {
    static String hex(String text) {
        StringBuilder b = new StringBuilder();
        for (byte x : text.getBytes(StandardCharsets.UTF_8)) b.append(String.format("%02x", x & 0xff));
        return b.toString();
    }

    public static void main(String[] args) throws Exception {
        String fill = System.getProperty("varnlet.testapps.fill");
        if (fill != null)
            try (java.io.OutputStream out = new java.io.FileOutputStream(fill)) {
                for (byte[] block = new byte[1 << 20];;) out.write(block);
            } catch (java.io.IOException full) {
            }
        System.out.println("argc=" + args.length);
        for (int i = 0; i < args.length; ++i) System.out.println("arg" + i + "=" + hex(args[i]));
        System.out.println("user.dir=" + System.getProperty("user.dir"));
        System.out.println("cwd=" + Paths.get("/proc/self/cwd").toRealPath());  // the process's, which may differ
        System.out.println("java.class.path=" + System.getProperty("java.class.path"));
        java.util.List<String> options = java.lang.management.ManagementFactory.getRuntimeMXBean().getInputArguments();
        System.out.println("jvmargc=" + options.size());
        for (int i = 0; i < options.size(); ++i) System.out.println("jvmarg" + i + "=" + hex(options.get(i)));
        for (String key : new String[] {"sun.java.command", "jdk.module.main", "jdk.module.path"})
            System.out.println(key + "=" + hex(String.valueOf(System.getProperty(key))));
        Module base = Object.class.getModule(), self = PrintArgs.class.getModule();
        Object nativeAccess = "unknown";  // known from Java 22 on
        for (java.lang.reflect.Method m : Module.class.getMethods())
            if (m.getName().equals("isNativeAccessEnabled")) nativeAccess = m.invoke(self);
        System.out.println("access=" + base.isOpen("java.lang", self) + "," + base.isOpen("java.util", self) + ","
                           + base.isExported("sun.nio.ch", self) + "," + base.isExported("jdk.internal.misc", self) + "," + nativeAccess);
        System.out.println("out-marker");
        System.err.println("err-marker");
    }
}
