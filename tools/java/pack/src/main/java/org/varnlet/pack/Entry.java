// One embedded entry of the launcher, as resources/entries.def lists it (Rules.ENTRIES).
package org.varnlet.pack;

final class Entry {
    enum Type { Hex, Text, Integer, Flag, Scrambled, Message, ReservedText, ReservedFlag, ReservedInteger }

    /** What a value is (resources/entries.def explains each); a Number has its range. */
    enum Shape { Text, List, OptionList, Path, PathList, Flag, Number }

    final int id;
    final String name;
    final Type type;
    final Shape shape;
    final long low, high;
    final String unit, defaultText, meaning;

    Entry(int id, String name, Type type, Shape shape, long low, long high, String unit, String defaultText, String meaning) {
        this.id = id;
        this.name = name;
        this.type = type;
        this.shape = shape;
        this.low = low;
        this.high = high;
        this.unit = unit;
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

    /** A value of ';'-separated items, or an array of them. */
    boolean isList() {
        return shape == Shape.List || shape == Shape.PathList;
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

    /** A Number with a range of its own (not the whole 32 bits), which messages name. */
    boolean hasOwnRange() {
        return shape == Shape.Number && (low != java.lang.Integer.MIN_VALUE || high != java.lang.Integer.MAX_VALUE);
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
