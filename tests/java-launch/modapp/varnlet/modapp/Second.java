package varnlet.modapp;

// The module's other entry point, started as varnlet.modapp/varnlet.modapp.Second.
public class Second {
    public static void main(String[] args) {
        ModMain.main(args);
    }
}
