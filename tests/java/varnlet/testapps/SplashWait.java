package varnlet.testapps;

import java.awt.SplashScreen;

// Tells whether the launcher's splash reached the application, waits for a line on standard
// input (the test looks at the screen meanwhile), then closes the splash.
public class SplashWait {
    public static void main(String[] args) throws Exception {
        SplashScreen splash = SplashScreen.getSplashScreen();
        System.out.println("splash=" + (splash == null ? "none" : splash.getSize().width + "x" + splash.getSize().height));
        System.out.flush();
        System.in.read();
        if (splash != null) splash.close();
        System.out.println("closed=" + (SplashScreen.getSplashScreen() == null));
    }
}
