// Logs, matches and formats a few ledger lines.
package bench.text;

import java.text.NumberFormat;
import java.time.LocalDate;
import java.time.format.DateTimeFormatter;
import java.util.Locale;
import java.util.Map;
import java.util.TreeMap;
import java.util.logging.ConsoleHandler;
import java.util.logging.Level;
import java.util.logging.Logger;
import java.util.logging.SimpleFormatter;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Collectors;
import java.util.stream.IntStream;

public final class Ledger {
    static final Pattern LINE = Pattern.compile("(\\d{4}-\\d{2}-\\d{2})\\s+(\\w+)\\s+(-?\\d+(?:\\.\\d+)?)");

    public static String summary() {
        Logger log = Logger.getLogger("bench.ledger");
        ConsoleHandler handler = new ConsoleHandler();
        handler.setFormatter(new SimpleFormatter());
        handler.setLevel(Level.OFF);
        log.addHandler(handler);
        String text = IntStream.range(0, 40).mapToObj(i -> String.format(Locale.ROOT, "2026-%02d-%02d %s %d.%02d",
                1 + i % 12, 1 + i % 28, i % 3 == 0 ? "rent" : "food", i * 7, i % 100)).collect(Collectors.joining("\n"));
        Map<String, Double> totals = new TreeMap<>();
        Matcher m = LINE.matcher(text);
        while (m.find()) {
            LocalDate.parse(m.group(1), DateTimeFormatter.ISO_LOCAL_DATE);
            totals.merge(m.group(2), Double.parseDouble(m.group(3)), Double::sum);
            log.fine(m.group(0));
        }
        NumberFormat money = NumberFormat.getCurrencyInstance(Locale.US);
        return "text: " + totals.entrySet().stream().map(e -> e.getKey() + " " + money.format(e.getValue()))
                .collect(Collectors.joining(", "));
    }
}
