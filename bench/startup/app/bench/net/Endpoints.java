// Builds HTTP requests for a few endpoints without sending them.
package bench.net;

import java.net.URI;
import java.net.http.HttpClient;
import java.net.http.HttpRequest;
import java.time.Duration;
import java.util.List;
import java.util.stream.Collectors;

public final class Endpoints {
    public static String summary() {
        HttpClient client = HttpClient.newBuilder().connectTimeout(Duration.ofSeconds(2))
                .followRedirects(HttpClient.Redirect.NORMAL).build();
        List<HttpRequest> requests = List.of("status", "items?page=2", "items/42").stream()
                .map(path -> HttpRequest.newBuilder(URI.create("https://example.invalid/api/" + path))
                        .header("Accept", "application/json").timeout(Duration.ofSeconds(5)).GET().build())
                .collect(Collectors.toList());
        String summary = "net: " + requests.stream().map(r -> r.uri().getPath()).collect(Collectors.joining(", "))
                + " via " + client.version();
        // An application closes its client (Java 21 and later): a selector thread left in
        // native code makes the JVM's exit wait for it, up to 300 ms, whatever else ran.
        if (client instanceof AutoCloseable) {
            try {
                ((AutoCloseable) client).close();
            } catch (Exception e) {
                throw new IllegalStateException(e);
            }
        }
        return summary;
    }
}
