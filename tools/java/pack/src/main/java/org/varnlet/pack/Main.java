// The command line: `java -jar varnlet-pack.jar build|show|init ...`, with the native
// varnlet-pack's arguments, messages and exit codes. Errors go to the error stream, one per
// line; a failed build writes nothing. Without --stub, build takes the body this jar carries.
package org.varnlet.pack;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.PosixFilePermission;
import java.util.ArrayList;
import java.util.List;
import java.util.Set;
import java.util.concurrent.atomic.AtomicInteger;

public final class Main {
    private Main() {}

    static final String USAGE = Rules.USAGE;

    private static final String BODIES = "/org/varnlet/pack/bodies/";
    private static final AtomicInteger COUNTER = new AtomicInteger();

    public static void main(String[] args) {
        PrintStream out = new PrintStream(new java.io.FileOutputStream(java.io.FileDescriptor.out), true, StandardCharsets.UTF_8);
        PrintStream err = new PrintStream(new java.io.FileOutputStream(java.io.FileDescriptor.err), true, StandardCharsets.UTF_8);
        int code = run(args, out, err);
        out.flush();
        err.flush();
        System.exit(code);
    }

    private static final class Options {
        final List<String> positional = new ArrayList<>();
        String output = "", stub = "", target = "";
        boolean json, force;
    }

    private static boolean parseOptions(String[] args, Options o, PrintStream err) {
        for (int i = 1; i < args.length; i++) {
            String a = args[i];
            if (a.equals("-o") || a.equals("--output") || a.equals("--stub") || a.equals("--target")) {
                if (i + 1 >= args.length) {
                    err.print("varnlet-pack: " + a + " needs a value\n");
                    return false;
                }
                String v = args[++i];
                if (a.equals("--stub")) o.stub = v;
                else if (a.equals("--target")) {
                    o.target = v;
                    if (!Config.isKnownTarget(v)) {
                        err.print("varnlet-pack: --target must be win32, win64 or linux\n");
                        return false;
                    }
                } else o.output = v;
            } else if (a.equals("--json")) o.json = true;
            else if (a.equals("--force")) o.force = true;
            else if (a.length() > 1 && a.charAt(0) == '-') {
                err.print("varnlet-pack: unknown option " + a + "\n" + USAGE);
                return false;
            } else o.positional.add(a);
        }
        return true;
    }

    /** Runs one command as the native tool would; returns its exit code. */
    public static int run(String[] args, PrintStream out, PrintStream err) {
        if (args.length == 0 || args[0].equals("-h") || args[0].equals("--help") || args[0].equals("help")) {
            (args.length == 0 ? err : out).print(USAGE);
            return args.length == 0 ? 2 : 0;
        }
        if (args[0].equals("--version") || args[0].equals("version")) {
            out.print("varnlet-pack " + Rules.VERSION + "\n");
            return 0;
        }
        Options o = new Options();
        if (!parseOptions(args, o, err)) return 2;
        try {
            switch (args[0]) {
            case "build": return build(o, out, err);
            case "show": return show(o, out, err);
            case "init": return init(o, out, err);
            default:
                err.print("varnlet-pack: unknown command " + args[0] + "\n" + USAGE);
                return 2;
            }
        } catch (java.nio.file.InvalidPathException e) { // a name this system cannot have (Windows: "a<b")
            err.print("varnlet-pack: " + e.getMessage() + "\n");
            return 1;
        }
    }

    /**
     * How a key's value is written in a configuration file: "boolean", "integer", "array" (a list
     * or options, which a string also gives), "table" or "string"; for a build tool that writes one.
     */
    public static String valueKind(String key) {
        if (key.equals("gui")) return "boolean";
        if (key.equals("messages") || key.equals("version")) return "table";
        Entry e = Entry.byName(key);
        if (e == null) return "string";
        switch (e.type) {
        case Flag:
        case ReservedFlag: return "boolean";
        case Integer:
        case ReservedInteger: return "integer";
        default: return e.form().equals("Text") ? "string" : "array";
        }
    }

    /** The body this jar carries for a target, or null. */
    static byte[] embeddedBody(String target) {
        try (InputStream in = Main.class.getResourceAsStream(BODIES + Config.bodyFileName(target))) {
            return in == null ? null : in.readAllBytes();
        } catch (IOException e) {
            return null;
        }
    }

    static String embeddedName(String target) {
        String jar;
        try {
            jar = Paths.get(Main.class.getProtectionDomain().getCodeSource().getLocation().toURI()).toString();
        } catch (Exception e) {
            jar = "varnlet-pack.jar";
        }
        return jar + "!" + BODIES + Config.bodyFileName(target);
    }

    private static String readWholeFile(String path, byte[][] data) {
        Path p = Paths.get(path);
        if (!Files.isRegularFile(p)) return path + ": no such file";
        try {
            if (Files.size(p) > 512L * 1024 * 1024) return path + ": cannot read the file (or it is larger than 512 MB)";
            data[0] = Files.readAllBytes(p);
            return null;
        } catch (IOException | RuntimeException e) {
            return path + ": cannot read the file";
        }
    }

    private static Launcher.Contents readBody(String stub, byte[] body, PrintStream err) {
        Launcher.Contents contents;
        try {
            contents = Launcher.read(body);
        } catch (Pe.Failure | Res.Failure e) {
            err.print("varnlet-pack: " + stub + ": " + e.getMessage() + "\n");
            return null;
        }
        if (contents.entries.isEmpty()) {
            err.print("varnlet-pack: " + stub + " is not a Varnlet launcher: it holds none of the launcher's entries\n");
            return null;
        }
        return contents;
    }

    private static boolean sameFile(String a, String b) {
        try {
            Path x = Paths.get(a), y = Paths.get(b);
            return Files.exists(x) && Files.exists(y) && Files.isSameFile(x, y);
        } catch (IOException | RuntimeException e) {
            return false;
        }
    }

    private static String defaultOutput(Config config, String target) {
        if (!config.output.isEmpty()) return config.output;
        String out = Config.join(Config.parent(config.path), Config.stem(config.path));
        return target.equals("linux") ? out : out + ".exe";
    }

    private static void printAll(List<String> lines, PrintStream err) {
        for (String line : lines) err.print(line + "\n");
    }

    private static int build(Options o, PrintStream out, PrintStream err) {
        if (o.positional.size() != 1) {
            err.print(USAGE);
            return 2;
        }
        List<String> errors = new ArrayList<>();
        Config config = Config.load(o.positional.get(0), errors);
        boolean ok = errors.isEmpty();
        for (String warning : config.warnings()) err.print(warning + "\n");
        String target = !o.target.isEmpty() ? o.target : config.target;
        byte[] body = null;
        Launcher.Contents contents = null;
        if (ok && target.isEmpty() && !o.stub.isEmpty()) {
            byte[][] data = new byte[1][];
            String why = readWholeFile(o.stub, data);
            if (why != null) {
                err.print("varnlet-pack: " + why + "\n");
                return 1;
            }
            body = data[0];
            if ((contents = readBody(o.stub, body, err)) == null) return 1;
            target = Launcher.target(contents.format);
        }
        if (ok && target.isEmpty()) errors.add(config.path + ": no target: set target = \"win32\", \"win64\" or \"linux\" (or use --target)");
        Launcher.Request request = new Launcher.Request();
        if (ok && !target.isEmpty()) request = config.request(target, errors);
        if (!errors.isEmpty()) {
            printAll(errors, err);
            err.print("varnlet-pack: nothing written\n");
            return 1;
        }
        printAll(config.targetWarnings(target), err);
        String stub;
        boolean embedded = false;
        if (!o.stub.isEmpty()) {
            if (!Files.isRegularFile(Paths.get(o.stub))) {
                err.print("varnlet-pack: the launcher body " + o.stub + " does not exist\n");
                return 1;
            }
            stub = o.stub;
        } else {
            stub = embeddedName(target);
            embedded = true;
            if (body == null && (body = embeddedBody(target)) == null) {
                err.print("varnlet-pack: the launcher body for target " + target + " (" + Config.bodyFileName(target)
                        + ") is missing; build it or name it with --stub. Looked in:\n  " + stub + "\n");
                return 1;
            }
        }
        String output = !o.output.isEmpty() ? o.output : defaultOutput(config, target);
        String[][] inputs = {{embedded ? "" : stub, "the launcher body"}, {config.path, "the configuration"}, {config.icon, "the icon"}};
        for (String[] input : inputs)
            if (!input[0].isEmpty() && sameFile(input[0], output)) {
                err.print("varnlet-pack: the output " + output + " is " + input[1] + " itself; choose another output\n");
                return 1;
            }
        if (contents == null) {
            if (body == null) {
                byte[][] data = new byte[1][];
                String why = readWholeFile(stub, data);
                if (why != null) {
                    err.print("varnlet-pack: " + why + "\n");
                    return 1;
                }
                body = data[0];
            }
            if ((contents = readBody(stub, body, err)) == null) return 1;
        }
        List<String> notes = new ArrayList<>();
        config.applyIdentity(target, output, request, notes);
        if (!target.equals(Launcher.target(contents.format))) {
            err.print("varnlet-pack: " + stub + " is a " + Launcher.target(contents.format) + " launcher body, not a " + target + " one\n");
            return 1;
        }
        List<String> warnings = new ArrayList<>();
        if (!config.checkNeeds(request, contents, errors, warnings)) {
            printAll(errors, err);
            err.print("varnlet-pack: nothing written\n");
            return 1;
        }
        for (String w : warnings) err.print("varnlet-pack: warning: " + w + "\n");
        byte[] packed;
        try {
            packed = Launcher.pack(body, request, notes);
        } catch (Pe.Failure | Res.Failure e) {
            err.print("varnlet-pack: " + stub + ": " + e.getMessage() + "\nvarnlet-pack: nothing written\n");
            return 1;
        }
        Launcher.Contents check;
        try {
            check = Launcher.read(packed);
        } catch (Pe.Failure | Res.Failure e) {
            err.print("varnlet-pack: internal error, the packed launcher does not read back: " + e.getMessage() + "\n");
            return 1;
        }
        for (java.util.Map.Entry<Integer, String> e : request.entries.entrySet())
            if (!e.getValue().equals(check.entries.get(e.getKey()))) {
                err.print("varnlet-pack: internal error, entry " + e.getKey() + " does not read back\n");
                return 1;
            }
        String why = writeReplacing(output, packed, true);
        if (why != null) {
            err.print("varnlet-pack: " + why + "\n");
            return 1;
        }
        for (String n : notes) err.print("varnlet-pack: note: " + n + "\n");
        for (String w : Config.referenceWarnings(check.entries)) err.print("varnlet-pack: warning: " + w + "\n");
        out.print("wrote " + output + " (" + target + ", " + request.entries.size() + " entries set, body " + stub + ")\n");
        return 0;
    }

    private static int show(Options o, PrintStream out, PrintStream err) {
        if (o.positional.size() != 1) {
            err.print(USAGE);
            return 2;
        }
        String file = o.positional.get(0);
        byte[][] data = new byte[1][];
        String why = readWholeFile(file, data);
        if (why != null) {
            err.print("varnlet-pack: " + why + "\n");
            return 1;
        }
        Launcher.Contents contents;
        try {
            contents = Launcher.read(data[0]);
        } catch (Pe.Failure | Res.Failure e) {
            err.print("varnlet-pack: " + file + ": " + e.getMessage() + "\n");
            return 1;
        }
        if (contents.entries.isEmpty()) {
            err.print("varnlet-pack: " + file + " is not a Varnlet launcher: it holds none of the launcher's entries\n");
            return 1;
        }
        out.print(o.json ? Show.json(file, contents) : Show.text(file, contents));
        return 0;
    }

    private static int init(Options o, PrintStream out, PrintStream err) {
        if (o.positional.size() > 1) {
            err.print(USAGE);
            return 2;
        }
        String text = Sample.config(o.target.isEmpty() ? "win64" : o.target);
        if (o.positional.isEmpty()) {
            out.print(text);
            return 0;
        }
        String path = o.positional.get(0);
        if (!o.force && Files.exists(Paths.get(path))) {
            err.print("varnlet-pack: " + path + " exists; use --force to replace it\n");
            return 1;
        }
        String why = writeReplacing(path, text.getBytes(StandardCharsets.UTF_8), false);
        if (why != null) {
            err.print("varnlet-pack: " + why + "\n");
            return 1;
        }
        out.print("wrote " + path + "\n");
        return 0;
    }

    /** Writes `data` beside `path` and renames it into place, so the target is replaced only when complete. */
    static String writeReplacing(String path, byte[] data, boolean executable) {
        Path target = Paths.get(path);
        String dir = Config.parent(path);
        if (!dir.isEmpty() && !Files.isDirectory(Paths.get(dir))) return path + ": the directory " + dir + " does not exist";
        if (Files.isDirectory(target)) return path + ": is a directory";
        Path temp = Paths.get(path + ".tmp-" + System.nanoTime() + "-" + COUNTER.getAndIncrement());
        try (OutputStream out = Files.newOutputStream(temp)) {
            out.write(data);
        } catch (IOException | RuntimeException e) {
            try {
                Files.deleteIfExists(temp);
            } catch (IOException ignored) {
                // nothing more to undo
            }
            return path + ": cannot write " + temp;
        }
        if (executable) {
            try {
                Set<PosixFilePermission> modes = Files.getPosixFilePermissions(temp);
                modes.add(PosixFilePermission.OWNER_EXECUTE);
                modes.add(PosixFilePermission.GROUP_EXECUTE);
                modes.add(PosixFilePermission.OTHERS_EXECUTE);
                Files.setPosixFilePermissions(temp, modes);
            } catch (IOException | UnsupportedOperationException e) {
                // a file system without modes: nothing to add
            }
        }
        try {
            try {
                Files.move(temp, target, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
            } catch (AtomicMoveNotSupportedException e) {
                Files.move(temp, target, StandardCopyOption.REPLACE_EXISTING);
            }
        } catch (IOException | RuntimeException e) {
            try {
                Files.deleteIfExists(temp);
            } catch (IOException ignored) {
                // nothing more to undo
            }
            return path + ": cannot replace the file: " + e.getMessage();
        }
        return null;
    }
}
