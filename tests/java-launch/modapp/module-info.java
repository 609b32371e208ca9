module varnlet.modapp {
    requires java.management;  // for varnlet.testapps.PrintArgs, compiled into the module too
}
