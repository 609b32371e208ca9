package varnlet.jarlib;

// Reached only through the Class-Path of the executable jar's manifest.
public class Library {
    public static String name() { return "jarlib"; }
}
