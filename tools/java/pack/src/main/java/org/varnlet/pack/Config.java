// The application's configuration file: target, output, icon, the launcher's entries by name,
// messages by id or name, and version information, with the value rules of every entry. Every
// problem is reported as "file:line:column: text", in the file's order; nothing is built from a
// file with errors.
package org.varnlet.pack;

import java.io.File;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;

final class Config {
    String path = "", target = "", output = "", icon = "", iconPlace = "";
    final TreeMap<Integer, String> entries = new TreeMap<>(), places = new TreeMap<>();
    final List<String[]> version = new ArrayList<>();
    boolean setGui, gui;
    String name = "", versionNumber = "", executionLevel = "", dpiAwareness = "";

    // ---- paths, as the native tool joins them

    static boolean windowsPaths() {
        return File.separatorChar == '\\';
    }

    static boolean isAbsolute(String p) {
        return windowsPaths() ? Paths.get(p).isAbsolute() : p.startsWith("/");
    }

    static String parent(String p) {
        if (windowsPaths()) {
            Path parent = Paths.get(p).getParent();
            return parent == null ? "" : parent.toString();
        }
        int slash = p.lastIndexOf('/');
        if (slash < 0) return "";
        int end = slash;
        while (end > 0 && p.charAt(end - 1) == '/') end--;
        return end == 0 ? "/" : p.substring(0, end);
    }

    static String fileName(String p) {
        if (windowsPaths()) {
            Path f = Paths.get(p).getFileName();
            return f == null ? "" : f.toString();
        }
        return p.substring(p.lastIndexOf('/') + 1);
    }

    static String stem(String p) {
        String f = fileName(p);
        int dot = f.lastIndexOf('.');
        return dot <= 0 || f.equals("..") ? f : f.substring(0, dot);
    }

    static String join(String dir, String name) {
        if (dir.isEmpty()) return name;
        if (windowsPaths()) return Paths.get(dir).resolve(name).toString();
        if (name.startsWith("/")) return name;
        return dir.endsWith("/") ? dir + name : dir + "/" + name;
    }

    String resolve(String value) {
        return isAbsolute(value) ? value : join(parent(path), value);
    }

    String place(Toml.Node n) {
        return path + ":" + n.line + ":" + n.column;
    }

    String place(Toml.Key k) {
        return path + ":" + k.line + ":" + k.column;
    }

    // ---- value rules shared with the native tool

    static String lower(String s) {
        StringBuilder b = new StringBuilder(s);
        for (int i = 0; i < b.length(); i++)
            if (b.charAt(i) >= 'A' && b.charAt(i) <= 'Z') b.setCharAt(i, (char) (b.charAt(i) + 32));
        return b.toString();
    }

    static String scramble(String name) {
        byte[] b = Bin.utf8(name);
        StringBuilder hex = new StringBuilder();
        for (int i = 0; i < b.length; i++) hex.append(String.format("%02X", (b[i] ^ Rules.SCRAMBLE_KEY[i % 17]) & 0xFF));
        return hex.toString();
    }

    static String descramble(String hex) {
        if (hex.length() % 2 != 0 || hex.length() > 2 * Rules.MAIN_CLASS_MAX_BYTES) return null;
        byte[] out = new byte[hex.length() / 2];
        for (int i = 0; i < hex.length(); i += 2) {
            int high = "0123456789ABCDEF".indexOf(hex.charAt(i)), low = "0123456789ABCDEF".indexOf(hex.charAt(i + 1));
            if (high < 0 || low < 0) return null;
            out[i / 2] = (byte) ((16 * high + low) ^ Rules.SCRAMBLE_KEY[(i / 2) % 17]);
        }
        int n = 0;
        while (n < out.length && out[n] != 0) n++;
        return Toml.utf8(java.util.Arrays.copyOf(out, n));
    }

    static String checkMessageFormat(String text) {
        int conversions = 0;
        for (int i = 0; i < text.length(); i++) {
            if (text.charAt(i) != '%') continue;
            if (i + 1 < text.length() && text.charAt(i + 1) == '%') {
                i++;
                continue;
            }
            if (i + 1 >= text.length() || text.charAt(i + 1) != 's')
                return "a message may only hold the conversion \"%s\" (write a literal percent sign as \"%%\")";
            if (++conversions > 1) return "a message may hold at most one \"%s\"";
            i++;
        }
        return null;
    }

    static String checkMainClass(String name) {
        if (name.isEmpty()) return "the main class must not be empty";
        int bytes = Bin.utf8Length(name);
        if (bytes > Rules.MAIN_CLASS_MAX_BYTES)
            return "the main class is " + bytes + " bytes long; the launcher takes at most " + Rules.MAIN_CLASS_MAX_BYTES;
        for (int i = 0; i < name.length(); i++) {
            char c = name.charAt(i);
            if (c == ' ' || c == '\t' || c == ';' || c < 0x20) return "the main class holds a blank or control character";
        }
        return null;
    }

    static String checkTextLength(String text) {
        if (text.length() > Rules.CONFIG_TEXT_MAX)
            return "the text is " + text.length() + " characters long; the launcher reads at most " + Rules.CONFIG_TEXT_MAX;
        return null;
    }

    static String hexVersionText(long value) {
        return String.format("0x%08X", value);
    }

    private static boolean digits(String s, String allowed) {
        if (s.isEmpty() || s.length() > 8) return false;
        for (int i = 0; i < s.length(); i++)
            if (allowed.indexOf(s.charAt(i)) < 0) return false;
        return true;
    }

    /** The stored text of a MinJavaVersion, or null (with why[0]) when it is no version. */
    static String convertMinJavaVersion(String text, String[] why) {
        String decimal = "0123456789";
        int dot = text.indexOf('.');
        String major = dot < 0 ? text : text.substring(0, dot), minor = dot < 0 ? "0" : text.substring(dot + 1);
        if (text.length() > 2 && text.charAt(0) == '0' && (text.charAt(1) == 'x' || text.charAt(1) == 'X')) {
            if (digits(text.substring(2), "0123456789abcdefABCDEF")) return text;
        } else if (digits(major, decimal) && digits(minor, decimal) && Long.parseLong(major) <= 0xFFFF && Long.parseLong(minor) <= 15) {
            return hexVersionText(Long.parseLong(major) << 16 | Long.parseLong(minor));
        }
        why[0] = "MinJavaVersion \"" + text + "\" is no version: write a major version such as \"17\", major.minor such as "
                + "\"1.8\" or \"17.0\" (major up to 65535, minor up to 15), or a hexadecimal number such as \"0x00110000\"";
        return null;
    }

    static String checkServiceName(String name) {
        if (name.isEmpty() || Bin.utf8Length(name) > 256 || name.indexOf('/') >= 0 || name.indexOf('\\') >= 0)
            return "a service name holds 1 to 256 characters and no \"/\" or \"\\\"";
        return null;
    }

    private static boolean isSystemName(String name) {
        if (name.isEmpty() || Bin.utf8Length(name) > 32 || name.charAt(0) == '-') return false;
        for (int i = 0; i < name.length(); i++) {
            char c = name.charAt(i);
            boolean alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            if (!(alnum || c == '_' || c == '-' || c == '.' || (c == '$' && i + 1 == name.length()))) return false;
        }
        return true;
    }

    static String checkServiceAccount(String account, String target) {
        if (target.equals("linux")) {
            int colon = account.indexOf(':');
            if (account.isEmpty()
                    || (isSystemName(colon < 0 ? account : account.substring(0, colon)) && (colon < 0 || isSystemName(account.substring(colon + 1)))))
                return null;
            return "on Linux, ServiceAccount is a system user the service runs as, \"user\" or \"user:group\"";
        }
        String a = lower(account);
        for (String known : new String[] {"", "localsystem", "localservice", "networkservice", "nt authority\\localservice",
                "nt authority\\networkservice"})
            if (a.equals(known)) return null;
        if (a.startsWith("nt service\\") && a.length() > 11) return null;
        return "ServiceAccount must be LocalSystem, LocalService, NetworkService or NT SERVICE\\<ServiceName> "
                + "(no other accounts: a launcher stores no passwords)";
    }

    static String checkMutexName(String name) {
        int start = 0;
        for (String space : new String[] {"Global\\", "Local\\"})
            if (name.startsWith(space)) start = space.length();
        int bytes = Bin.utf8Length(name);
        if (start != 0 && start == name.length()) return "SingleInstanceMutex needs a name after \"" + name + "\"";
        if (name.indexOf('\\', start) >= 0)
            return "SingleInstanceMutex may hold a backslash only after a leading \"Global\" or \"Local\", as in "
                    + "\"Global\\MyApp\" (Windows refuses any other name, and the launcher would not start)";
        if (bytes > Rules.MUTEX_NAME_MAX)
            return "SingleInstanceMutex is " + bytes + " bytes long; the launcher takes at most " + Rules.MUTEX_NAME_MAX;
        return null;
    }

    static String checkMainJar(String name, String file) {
        String suffix = name.length() >= 4 ? lower(name.substring(name.length() - 4)) : "";
        if (!suffix.equals(".jar") || name.indexOf(';') >= 0)
            return "MainJar \"" + name + "\" is not a jar (a file name ending in .jar, without \";\")";
        File f = new File(file);
        if (!f.isFile() || !f.canRead()) return null;
        try (ZipFile zip = new ZipFile(f)) {
            ZipEntry manifest = zip.getEntry("META-INF/MANIFEST.MF");
            if (manifest == null)
                for (ZipEntry e : java.util.Collections.list(zip.entries()))
                    if (e.getName().equalsIgnoreCase("META-INF/MANIFEST.MF")) {
                        manifest = e;
                        break;
                    }
            if (manifest != null) zip.getInputStream(manifest).readAllBytes();
            return null;
        } catch (IOException | RuntimeException e) {
            return "MainJar " + file + " is not a jar that can be read (no ZIP directory)";
        }
    }

    private static boolean isDottedName(String name) {
        boolean start = true;
        for (int i = 0; i < name.length(); i++) {
            char c = name.charAt(i);
            if (c == '.') {
                if (start) return false;
                start = true;
            } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80 || (!start && c >= '0' && c <= '9')) {
                start = false;
            } else return false;
        }
        return !start;
    }

    static String checkMainModule(String text) {
        int slash = text.indexOf('/');
        String module = slash < 0 ? text : text.substring(0, slash);
        if (!isDottedName(module)) return "MainModule: \"" + module + "\" is not a module name (dotted Java names, such as com.example.app)";
        if (slash >= 0 && !isDottedName(text.substring(slash + 1)))
            return "MainModule: \"" + text.substring(slash + 1) + "\" is not a class name (module/com.example.Main)";
        return null;
    }

    private static boolean isSpace(char c) {
        return c == ' ' || (c >= '\t' && c <= '\r');
    }

    /** LogRotateSize: "10 MB", "512 KB", "1GB", "4096"; "" or "0" mean no limit. */
    static boolean isLogSize(String text) {
        int p = 0, n = text.length();
        while (p < n && isSpace(text.charAt(p))) p++;
        if (p == n) return true;
        if (text.charAt(p) < '0' || text.charAt(p) > '9') return false;
        java.math.BigInteger count = java.math.BigInteger.ZERO, max = java.math.BigInteger.ONE.shiftLeft(64).subtract(java.math.BigInteger.ONE);
        for (; p < n && text.charAt(p) >= '0' && text.charAt(p) <= '9'; p++) {
            count = count.multiply(java.math.BigInteger.TEN).add(java.math.BigInteger.valueOf(text.charAt(p) - '0'));
            if (count.compareTo(max) > 0) return false;
        }
        while (p < n && isSpace(text.charAt(p))) p++;
        int shift = 0;
        char u = p < n ? Character.toUpperCase(text.charAt(p)) : 0;
        if (p < n && u > 0x7F) return false;
        switch (u) {
        case 'K': shift = 10; break;
        case 'M': shift = 20; break;
        case 'G': shift = 30; break;
        case 'B':
        case 0: break;
        default: return false;
        }
        if (shift != 0) {
            p++;
            if (p < n && Character.toUpperCase(text.charAt(p)) == 'I') p++;
            if (p < n && Character.toUpperCase(text.charAt(p)) == 'B') p++;
        } else if (p < n) p++;
        while (p < n && isSpace(text.charAt(p))) p++;
        return p == n && count.compareTo(max.shiftRight(shift)) <= 0;
    }

    static String quoteOption(String option, String[] why) {
        boolean[] after = new boolean[1];
        if (!option.isEmpty() && option.charAt(0) != '"' && blanksQuoted(option, false, after) && !after[0]) return option;
        if (blanksQuoted(option, true, after) && after[0]) return "\"" + option + "\"";
        why[0] = "\"" + option + "\" cannot be stored: options are split at blanks outside double quotes, with no escape";
        return null;
    }

    private static boolean blanksQuoted(String text, boolean quoting, boolean[] after) {
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c == '"') quoting = !quoting;
            else if (c == ' ' && !quoting) return false;
        }
        after[0] = quoting;
        return true;
    }

    static boolean isKnownTarget(String target) {
        for (String[] t : Rules.TARGET)
            if (t[0].equals(target)) return true;
        return false;
    }

    static String bodyFileName(String target) {
        for (String[] t : Rules.TARGET)
            if (t[0].equals(target)) return t[1];
        return "";
    }

    static String checkIdentityValue(String key, String value) {
        if (key.equals("dpi_awareness")) {
            for (String[] mode : Rules.DPI_MODE)
                if (value.equals(mode[0])) return null;
            return "dpi_awareness must be \"permonitorv2\", \"system\" or \"unaware\"";
        }
        if (key.equals("execution_level")) {
            for (String[] level : Rules.EXECUTION_LEVEL)
                if (value.equals(level[0])) return null;
            return "execution_level must be \"asInvoker\", \"highestAvailable\" or \"requireAdministrator\"";
        }
        int bytes = Bin.utf8Length(value);
        if (bytes == 0 || bytes > 1023) return key + " must hold 1 to 1023 characters";
        return null;
    }

    // ---- the checker

    /** The known name a misspelt one was meant to be (letter case aside, one stretch of at most two bytes), or "". */
    static String closestName(String given, List<String> known) {
        byte[] g = Bin.utf8(lower(given));
        String best = "";
        int bestStretch = 3;
        for (String name : known) {
            byte[] k = Bin.utf8(lower(name));
            int shorter = Math.min(g.length, k.length), head = 0, tail = 0;
            while (head < shorter && g[head] == k[head]) head++;
            while (tail < shorter - head && g[g.length - 1 - tail] == k[k.length - 1 - tail]) tail++;
            int stretch = Math.max(g.length, k.length) - head - tail;
            if (stretch < bestStretch) {
                bestStretch = stretch;
                best = name;
            }
        }
        return best;
    }

    static String unknownName(String what, String given, List<String> known) {
        String closest = closestName(given, known);
        return "unknown " + what + " \"" + given + "\"" + (closest.isEmpty() ? "" : " (did you mean " + closest + "?)");
    }

    static List<String> entryNames(boolean messagesOnly) {
        List<String> names = new ArrayList<>();
        if (!messagesOnly) names.addAll(List.of("target", "output", "icon", "gui", "messages", "version"));
        for (Entry e : Rules.ENTRIES)
            if (!messagesOnly || e.type == Entry.Type.Message) names.add(e.name);
        return names;
    }

    private final List<String> errors = new ArrayList<>();

    private void error(Toml.Node n, String text) {
        errors.add(place(n) + ": " + text);
    }

    private String text(Toml.Node n, String key) {
        if (!n.is("string")) {
            error(n, key + " must be a string");
            return null;
        }
        if (n.text.indexOf('\0') >= 0) {
            error(n, key + " must not hold a NUL character");
            return null;
        }
        return n.text;
    }

    private String list(Toml.Node n, String key) {
        if (n.is("string")) return text(n, key);
        if (!n.is("array")) {
            error(n, key + " must be a string or an array of strings");
            return null;
        }
        StringBuilder out = new StringBuilder();
        for (int i = 0; i < n.array.size(); i++) {
            Toml.Node item = n.array.get(i);
            String part = text(item, key + " element");
            if (part == null) return null;
            if (part.isEmpty() || part.indexOf(';') >= 0) {
                error(item, key + " elements must be non-empty and must not hold \";\"");
                return null;
            }
            if (i > 0) out.append(';');
            out.append(part);
        }
        return out.toString();
    }

    private String optionList(Toml.Node n, String key) {
        if (!n.is("array")) return text(n, key);
        StringBuilder out = new StringBuilder();
        for (int i = 0; i < n.array.size(); i++) {
            Toml.Node item = n.array.get(i);
            String option = text(item, key + " element");
            if (option == null) return null;
            String[] why = new String[1];
            String stored = quoteOption(option, why);
            if (stored == null) {
                error(item, key + " element " + why[0]);
                return null;
            }
            out.append(i > 0 ? " " : "").append(stored);
        }
        return out.toString();
    }

    private void entry(Entry info, Toml.Node node) {
        String key = info.name, value;
        String[] why = new String[1];
        if (entries.containsKey(info.id)) {
            error(node, key + " is set twice (" + places.get(info.id) + ")");
            return;
        }
        switch (info.type) {
        case Flag:
        case ReservedFlag:
            if (!node.is("boolean")) {
                error(node, key + " must be true or false");
                return;
            }
            value = node.bool ? "1" : "0";
            break;
        case Integer:
        case ReservedInteger: {
            if (!node.is("integer")) {
                error(node, key + " must be an integer");
                return;
            }
            long[] range = info.range();
            long low = range != null ? range[0] : java.lang.Integer.MIN_VALUE, high = range != null ? range[1] : java.lang.Integer.MAX_VALUE;
            if (node.integer < low || node.integer > high) {
                error(node, range != null ? key + " must be " + low + " to " + high + info.rangeUnit() : key + " is out of range");
                return;
            }
            value = Long.toString(node.integer);
            break;
        }
        case Hex:
            if (node.is("integer") && node.hex) {
                if (node.integer < 0 || node.integer > 0xFFFFFFFFL) {
                    error(node, key + " is out of range");
                    return;
                }
                value = hexVersionText(node.integer);
            } else {
                String raw = node.is("integer") ? Long.toString(node.integer) : text(node, key);
                if (raw == null) return;
                value = convertMinJavaVersion(raw, why);
                if (value == null) {
                    error(node, why[0]);
                    return;
                }
            }
            break;
        case Scrambled:
            value = text(node, key);
            if (value == null) return;
            if ((why[0] = checkMainClass(value)) != null) {
                error(node, why[0]);
                return;
            }
            break;
        case Message:
            value = text(node, key);
            if (value == null) return;
            if ((why[0] = checkMessageFormat(value)) != null) {
                error(node, key + ": " + why[0]);
                return;
            }
            break;
        default:
            String form = info.form();
            value = form.equals("List") ? list(node, key) : form.equals("Options") ? optionList(node, key) : text(node, key);
            if (value == null) return;
            if (info.id == Entry.Id.SERVICE_DEPENDENCIES && !value.isEmpty())
                for (String item : value.split(";", -1))
                    if ((why[0] = checkServiceName(item)) != null) {
                        error(node, key + ": " + why[0]);
                        return;
                    }
            if (info.id == Entry.Id.SINGLE_INSTANCE_MUTEX && (why[0] = checkMutexName(value)) != null
                    || info.id == Entry.Id.MAIN_JAR && !value.isEmpty() && (why[0] = checkMainJar(value, resolve(value))) != null
                    || info.id == Entry.Id.MAIN_MODULE && !value.isEmpty() && (why[0] = checkMainModule(value)) != null) {
                error(node, why[0]);
                return;
            }
            if (info.id == Entry.Id.LOG_ROTATE_SIZE && !isLogSize(value)) {
                error(node, "LogRotateSize \"" + value + "\" is no size: write a number with KB, MB or GB, as \"10 MB\"");
                return;
            }
        }
        entries.put(info.id, value);
        places.put(info.id, place(node));
    }

    private void messages(Toml.Node table) {
        for (Map.Entry<Toml.Key, Toml.Node> e : table.table.entrySet()) {
            String key = e.getKey().name;
            Entry info = key.matches("[0-9]{1,5}") ? Entry.byId(java.lang.Integer.parseInt(key)) : Entry.byName(key);
            if (info == null || info.type != Entry.Type.Message) {
                int first = 0, last = 0;
                for (Entry m : Rules.ENTRIES)
                    if (m.type == Entry.Type.Message) {
                        if (first == 0) first = m.id;
                        last = m.id;
                    }
                errors.add(place(e.getKey()) + ": " + unknownName("message", key, entryNames(true)) + " (use an id from " + first + " to "
                        + last + " in steps of 16, or a message name)");
                continue;
            }
            entry(info, e.getValue());
        }
    }

    private void versionTable(Toml.Node table) {
        List<String> known = new ArrayList<>();
        for (String[] k : Rules.VERSION_KEY) known.add(k[0]);
        for (Map.Entry<Toml.Key, Toml.Node> e : table.table.entrySet()) {
            String key = e.getKey().name;
            Toml.Node node = e.getValue();
            if (!known.contains(key)) {
                errors.add(place(e.getKey()) + ": " + unknownName("version key", key, known));
                continue;
            }
            String value = text(node, key);
            if (value == null) continue;
            if ((key.equals("FileVersion") || key.equals("ProductVersion")) && Res.parseLeadingVersionNumber(value) == null) {
                error(node, key + " must start with numbers separated by dots, such as \"1.2.3.4\" or \"1.2.3-beta\" (each up to 65535)");
                continue;
            }
            if (Bin.utf8Length(value) > 1023) {
                error(node, key + " is too long");
                continue;
            }
            version.add(new String[] {key, value});
        }
    }

    private void top(Toml.Node root) {
        for (Map.Entry<Toml.Key, Toml.Node> e : root.table.entrySet()) {
            String key = e.getKey().name, value;
            Toml.Node node = e.getValue();
            Entry info;
            switch (key) {
            case "target":
                if ((value = text(node, key)) != null) {
                    if (!isKnownTarget(value)) error(node, "target must be \"win32\", \"win64\" or \"linux\"");
                    else target = value;
                }
                break;
            case "output":
                if ((value = text(node, key)) != null) output = value.isEmpty() ? "" : resolve(value);
                break;
            case "icon":
                if ((value = text(node, key)) != null) {
                    icon = resolve(value);
                    iconPlace = place(node);
                }
                break;
            case "gui":
                if (!node.is("boolean")) error(node, "gui must be true or false");
                else {
                    setGui = true;
                    gui = node.bool;
                }
                break;
            case "messages":
                if (node.is("table")) messages(node);
                else error(node, "messages must be a table");
                break;
            case "version":
                if (node.is("table")) versionTable(node);
                else if (!node.is("string") || Res.parseLeadingVersionNumber(node.text) == null)
                    error(node, "version must be a table or a version such as \"1.2.3\" or \"1.2.3-beta\" (numbers up to 65535)");
                else versionNumber = node.text;
                break;
            case "name":
            case "execution_level":
            case "dpi_awareness":
                if ((value = text(node, key)) == null) break;
                String why = checkIdentityValue(key, value);
                if (why != null) error(node, why);
                else if (key.equals("name")) name = value;
                else if (key.equals("dpi_awareness")) dpiAwareness = value;
                else executionLevel = value;
                break;
            default:
                if ((info = Entry.byName(key)) != null) entry(info, node);
                else errors.add(place(e.getKey()) + ": " + unknownName("key", key, entryNames(false)));
            }
        }
    }

    private String value(int id) {
        return entries.getOrDefault(id, "");
    }

    private void crossCheck() {
        if (value(Entry.Id.SERVICE_DELAYED_START).equals("1") && value(Entry.Id.SERVICE_MANUAL_START).equals("1"))
            errors.add(places.get(Entry.Id.SERVICE_DELAYED_START) + ": ServiceDelayedStart needs automatic start (ServiceManualStart false)");
        String account = lower(value(Entry.Id.SERVICE_ACCOUNT)), service = value(Entry.Id.SERVICE_NAME), prefix = "nt service\\";
        if (!service.isEmpty() && account.startsWith(prefix) && !account.substring(prefix.length()).equals(lower(service)))
            errors.add(places.get(Entry.Id.SERVICE_ACCOUNT) + ": the virtual account is NT SERVICE\\" + service + ", after the service's own name");
        if (!value(Entry.Id.MAIN_JAR).isEmpty() && !value(Entry.Id.MAIN_MODULE).isEmpty())
            errors.add(places.get(Entry.Id.MAIN_MODULE) + ": MainModule and MainJar exclude each other (a modular jar goes on ModulePath)");
    }

    /** Sorts errors[from..] by the line and column after "path:", stably, as the file orders them. */
    static void sortByPlace(List<String> errors, int from, String path) {
        List<String> tail = new ArrayList<>(errors.subList(from, errors.size()));
        tail.sort((a, b) -> {
            long[] x = placeOf(a, path), y = placeOf(b, path);
            return x[0] != y[0] ? Long.compare(x[0], y[0]) : Long.compare(x[1], y[1]);
        });
        for (int i = 0; i < tail.size(); i++) errors.set(from + i, tail.get(i));
    }

    private static long[] placeOf(String error, String path) {
        int p = Math.min(error.length(), path.length() + 1);
        int[] end = new int[1];
        long line = strtol(error, p, end), column = end[0] < error.length() && error.charAt(end[0]) == ':' ? strtol(error, end[0] + 1, end) : 0;
        return new long[] {line, column};
    }

    private static long strtol(String s, int p, int[] end) {
        int i = p;
        while (i < s.length() && isSpace(s.charAt(i))) i++;
        boolean negative = false;
        if (i < s.length() && (s.charAt(i) == '+' || s.charAt(i) == '-')) negative = s.charAt(i++) == '-';
        int digitsFrom = i;
        long v = 0;
        while (i < s.length() && s.charAt(i) >= '0' && s.charAt(i) <= '9') v = v * 10 + (s.charAt(i++) - '0');
        end[0] = i == digitsFrom ? p : i;
        return negative ? -v : v;
    }

    /** Reads the file at `path`; what it could read even when `errors` receives its problems. */
    static Config load(String path, List<String> errors) {
        Config c = new Config();
        byte[] bytes;
        try {
            bytes = Files.isDirectory(Paths.get(path)) ? new byte[0] : Files.readAllBytes(Paths.get(path));
        } catch (IOException | RuntimeException e) {
            errors.add(path + ": cannot read the configuration file");
            return c;
        }
        c.path = path;
        int before = errors.size();
        try {
            Toml.Node root = Toml.parse(bytes);
            c.top(root);
            c.crossCheck();
            errors.addAll(c.errors);
            sortByPlace(errors, before, path);
        } catch (Toml.Error e) {
            errors.add(path + ":" + e.line + ":" + e.column + ": " + e.getMessage());
        }
        return c;
    }

    boolean isSet(int id) {
        return entries.containsKey(id) && entries.get(id).equals("1");
    }

    boolean holds(int id) {
        return entries.containsKey(id) && !entries.get(id).isEmpty();
    }

    List<String> warnings() {
        List<String> warnings = new ArrayList<>();
        if (isSet(Entry.Id.USE_STARTUP_DIR) && isSet(Entry.Id.EARLY_WORKING_DIR))
            warnings.add(places.get(Entry.Id.USE_STARTUP_DIR) + ": warning: UseStartupDir has no effect with EarlyWorkingDir "
                    + "(only WorkingDir is entered); for a command-line tool that works in the caller's directory, set StayInStartupDir instead");
        if (isSet(Entry.Id.STAY_IN_STARTUP_DIR) && holds(Entry.Id.WORKING_DIR))
            warnings.add(places.get(Entry.Id.WORKING_DIR) + ": warning: WorkingDir has no effect with StayInStartupDir");
        return warnings;
    }

    /** The same for settings the target has no use for: the Windows service settings on Linux. */
    List<String> targetWarnings(String target) {
        List<String> warnings = new ArrayList<>();
        if (!target.equals("linux")) return warnings;
        for (Map.Entry<Integer, String> e : entries.entrySet()) {
            Entry info = Entry.byId(e.getKey());
            if (!info.warnsOnLinux() || e.getValue().isEmpty() || (info.type == Entry.Type.Flag && e.getValue().equals("0"))) continue;
            warnings.add(places.get(e.getKey()) + ": warning: " + info.name
                    + " is a Windows service setting that systemd units do not have: -install of this Linux launcher refuses it");
        }
        return warnings;
    }

    /** Checks what depends on the target (text lengths, icon file) and prepares the rewrite. */
    Launcher.Request request(String target, List<String> errs) {
        Launcher.Request request = new Launcher.Request();
        int before = errs.size();
        for (Map.Entry<Integer, String> e : entries.entrySet()) {
            String place = places.getOrDefault(e.getKey(), path);
            Entry info = Entry.byId(e.getKey());
            String stored = info.type == Entry.Type.Scrambled ? scramble(e.getValue()) : e.getValue(), why;
            if ((why = checkTextLength(stored)) != null
                    || e.getKey() == Entry.Id.SERVICE_ACCOUNT && (why = checkServiceAccount(e.getValue(), target)) != null) {
                errs.add(place + ": " + info.name + ": " + why);
                continue;
            }
            request.entries.put(e.getKey(), stored);
        }
        if (!icon.isEmpty()) {
            byte[] file = null;
            try {
                if (Files.isRegularFile(Paths.get(icon))) file = Files.readAllBytes(Paths.get(icon));
            } catch (IOException | RuntimeException e) {
                file = null;
            }
            if (file == null) errs.add(iconPlace + ": cannot read the icon file " + icon);
            else {
                try {
                    request.icon = Res.parseIco(file);
                } catch (Res.Failure f) {
                    errs.add(iconPlace + ": " + icon + ": " + f.getMessage());
                }
                request.replaceIcon = true;
            }
        }
        if (holds(Entry.Id.MAIN_JAR) || holds(Entry.Id.MAIN_MODULE)) {
            request.entries.putIfAbsent(Entry.Id.MAIN_CLASS, "");
            request.entries.putIfAbsent(Entry.Id.CLASS_PATH, "");
        }
        request.setSubsystem = setGui;
        request.windowed = gui;
        for (String[] v : version) {
            if (v[0].equals("FileVersion") && (request.setFileVersion = Res.parseLeadingVersionNumber(v[1]) != null))
                request.fileVersion = Res.parseLeadingVersionNumber(v[1]);
            if (v[0].equals("ProductVersion") && (request.setProductVersion = Res.parseLeadingVersionNumber(v[1]) != null))
                request.productVersion = Res.parseLeadingVersionNumber(v[1]);
            request.versionStrings.add(new String[] {v[0], v[1]});
        }
        sortByPlace(errs, before, path);
        return request;
    }

    /** The identity of a Windows launcher written to `out`: version information, execution level and DPI awareness. */
    void applyIdentity(String target, String out, Launcher.Request request, List<String> notes) {
        if (target.equals("linux")) {
            request.windowsOnly = !name.isEmpty() || !executionLevel.isEmpty() || !versionNumber.isEmpty() || !dpiAwareness.isEmpty();
            return;
        }
        String file = fileName(out), appName = !name.isEmpty() ? name : stem(out);
        int[] number = versionNumber.isEmpty() ? new int[4] : Res.parseLeadingVersionNumber(versionNumber);
        String versionText = versionNumber.isEmpty() ? Res.versionText(number) : versionNumber;
        List<String[]> strings = new ArrayList<>();
        for (String[] k : Rules.VERSION_KEY) {
            // Unset: a text written only when the configuration states it
            String value = k[1].equals("Name") ? appName : k[1].equals("Version") ? versionText : k[1].equals("File") ? file : "";
            boolean stated = !k[1].equals("Unset");
            for (String[] s : request.versionStrings)
                if (s[0].equals(k[0])) {
                    value = s[1];
                    stated = true;
                }
            if (!stated) continue;
            if (k[0].equals("OriginalFilename") && !value.equals(file))
                notes.add("OriginalFilename \"" + Bin.clean(value) + "\" is not the name of the output, " + file);
            strings.add(new String[] {k[0], value});
        }
        request.versionStrings = strings;
        request.wholeVersionTable = true;
        if (!request.setFileVersion) request.fileVersion = number.clone();
        if (!request.setProductVersion) request.productVersion = number.clone();
        request.setFileVersion = request.setProductVersion = true;
        request.executionLevel = executionLevel.isEmpty() ? Rules.EXECUTION_LEVEL[0][0] : executionLevel;
        request.dpiAwareness = dpiAwareness.isEmpty() ? Rules.DPI_MODE[0][0] : dpiAwareness;
    }

    /** A main class (an error without one) and a class path of the launcher's own (a warning when left at the body's). */
    boolean checkNeeds(Launcher.Request request, Launcher.Contents body, List<String> errs, List<String> warnings) {
        java.util.function.IntFunction<String> held = id -> request.entries.containsKey(id) ? request.entries.get(id)
                : body.entries.getOrDefault(id, "");
        java.util.function.IntPredicate isDefault = id -> held.apply(id).equals(Entry.byId(id).defaultText);
        if (!entries.containsKey(Entry.Id.CLASS_PATH) && isDefault.test(Entry.Id.CLASS_PATH))
            warnings.add(path + ": ClassPath is not set: the launcher keeps the body's \"" + Entry.byId(Entry.Id.CLASS_PATH).defaultText + "\"");
        StringBuilder names = new StringBuilder();
        for (int id : new int[] {Entry.Id.MAIN_CLASS, Entry.Id.MAIN_JAR, Entry.Id.MAIN_MODULE}) {
            if (holds(id) || (!held.apply(id).isEmpty() && !isDefault.test(id))) return true;
            names.append(names.length() == 0 ? "" : ", ").append(Entry.byId(id).name);
        }
        errs.add(path + ": the launcher names no main class (it would run the body's demo): set one of " + names);
        return false;
    }

    /** Warnings about '%' in JvmOptions and ClassPath that the stored reference rules would remove. */
    static List<String> referenceWarnings(Map<Integer, String> stored) {
        List<String> warnings = new ArrayList<>();
        String flag = stored.get(Entry.Id.MODERN_REFERENCES);
        if (flag != null && !flag.isEmpty() && flag.charAt(0) != '0') return warnings;
        for (int id : new int[] {Entry.Id.JVM_OPTIONS, Entry.Id.CLASS_PATH}) {
            String t = stored.get(id);
            if (t == null) continue;
            String text = Bin.clean(t), lost = firstLoss(text);
            if (lost.isEmpty()) continue;
            warnings.add(Entry.byId(id).name + " \"" + text + "\": \"" + lost + "\" would be removed at run time, where % starts a reference to an "
                    + "environment variable; set ModernReferences = true to keep the text as written");
        }
        return warnings;
    }

    private static String firstLoss(String text) {
        for (int open = text.indexOf('%'); open >= 0;) {
            int close = text.indexOf('%', open + 1);
            if (close < 0) return "%";
            String reference = text.substring(open, close + 1);
            if (!plausibleName(reference.substring(1, reference.length() - 1))) return reference;
            open = text.indexOf('%', close + 1);
        }
        return "";
    }

    private static boolean plausibleName(String name) {
        if (Bin.utf8Length(name) < 2 || (name.charAt(0) >= '0' && name.charAt(0) <= '9')) return false;
        for (int i = 0; i < name.length(); i++) {
            char c = name.charAt(i);
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '(' || c == ')')) return false;
        }
        return true;
    }

}
