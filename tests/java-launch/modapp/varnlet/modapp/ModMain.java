package varnlet.modapp;

// A modular application's main: prints the module it runs in, its class and its arguments.
public class ModMain {
    public static void main(String[] args) {
        StackTraceElement[] stack = Thread.currentThread().getStackTrace();
        System.out.println("module=" + ModMain.class.getModule().getName());
        System.out.println("class=" + stack[stack.length - 1].getClassName());
        System.out.println("args=" + String.join(",", args));
    }
}
