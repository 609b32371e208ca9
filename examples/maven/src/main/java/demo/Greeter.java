package demo;

import org.apache.commons.cli.CommandLine;
import org.apache.commons.cli.DefaultParser;
import org.apache.commons.cli.Options;
import org.apache.commons.lang3.StringUtils;

public class Greeter {
    public static void main(String[] args) throws Exception {
        CommandLine line = new DefaultParser().parse(new Options().addOption("n", "name", true, "who"), args);
        System.out.println(System.getProperty("greeting") + ", " + StringUtils.capitalize(line.getOptionValue("n", "world")) + "! (Java "
                + Runtime.version().feature() + ")");
    }
}
