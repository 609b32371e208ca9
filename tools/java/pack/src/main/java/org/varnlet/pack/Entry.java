// One embedded entry of the launcher, as resources/entries.def lists it (Rules.ENTRIES).
package org.varnlet.pack;

final class Entry {
    enum Type { Hex, Text, Integer, Flag, Scrambled, Message, ReservedText, ReservedFlag, ReservedInteger }

    enum Shape { Plain, Path, PathList }

    final int id;
    final String name;
    final Type type;
    final Shape shape;
    final String defaultText, meaning;

    Entry(int id, String name, Type type, Shape shape, String defaultText, String meaning) {
        this.id = id;
        this.name = name;
        this.type = type;
        this.shape = shape;
        this.defaultText = defaultText;
        this.meaning = meaning;
    }

    static Entry byId(int id) {
        for (Entry e : Rules.ENTRIES)
            if (e.id == id) return e;
        return null;
    }

    static Entry byName(String name) {
        for (Entry e : Rules.ENTRIES)
            if (e.name.equals(name)) return e;
        return null;
    }

    static int id(String name) {
        Entry e = byName(name);
        if (e == null) throw new IllegalStateException("no entry " + name);
        return e.id;
    }

    /** The form of a text entry's value in a configuration: "List" (every PathList), "Options" or "Text". */
    String form() {
        if (shape == Shape.PathList) return "List";
        for (String[] f : Rules.ENTRY_FORM)
            if (f[0].equals(name)) return f[1];
        return "Text";
    }

    boolean windowsOnly() {
        return windowsOnlyRule() != null;
    }

    /** A service setting that -install of a Linux launcher refuses: building one with it set warns. */
    boolean warnsOnLinux() {
        String[] rule = windowsOnlyRule();
        return rule != null && rule[1].equals("Warn");
    }

    private String[] windowsOnlyRule() {
        for (String[] w : Rules.WINDOWS_ONLY)
            if (w[0].equals(name)) return w;
        return null;
    }

    /** {low, high} of an Integer entry with a range of its own, else null. */
    long[] range() {
        for (String[] r : Rules.RANGE)
            if (r[0].equals(name)) return new long[] {Long.parseLong(r[1]), Long.parseLong(r[2])};
        return null;
    }

    String rangeUnit() {
        for (String[] r : Rules.RANGE)
            if (r[0].equals(name)) return r[3];
        return "";
    }

    /** The ids the packer's own rules name (a class of their own: they are known once Rules.ENTRIES is). */
    static final class Id {
        private Id() {}

        static final int MIN_JAVA_VERSION = id("MinJavaVersion"), JVM_PATH = id("JvmPath"), JVM_OPTIONS = id("JvmOptions"),
                CLASS_PATH = id("ClassPath"), MAIN_CLASS = id("MainClass"), WORKING_DIR = id("WorkingDir"),
                USE_STARTUP_DIR = id("UseStartupDir"), EARLY_WORKING_DIR = id("EarlyWorkingDir"),
                SERVICE_NAME = id("ServiceName"), SERVICE_MANUAL_START = id("ServiceManualStart"),
                SINGLE_INSTANCE_MUTEX = id("SingleInstanceMutex"), SERVICE_DELAYED_START = id("ServiceDelayedStart"),
                SERVICE_DEPENDENCIES = id("ServiceDependencies"), SERVICE_ACCOUNT = id("ServiceAccount"),
                MODERN_REFERENCES = id("ModernReferences"), STAY_IN_STARTUP_DIR = id("StayInStartupDir"),
                MAIN_JAR = id("MainJar"), MAIN_MODULE = id("MainModule"), LOG_ROTATE_SIZE = id("LogRotateSize"),
                JAVA_SEARCH_MODE = id("JavaSearchMode"), CLASS_DATA_CACHE = id("ClassDataCache");
    }
}
