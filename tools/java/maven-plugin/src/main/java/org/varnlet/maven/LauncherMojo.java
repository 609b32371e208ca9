// varnlet:launcher: writes one launcher of the project per execution, at package time. The
// execution's configuration holds varnlet-pack's keys by their names (MainClass, JvmOptions,
// target, icon, [version] as <version>, ...); they are written into a configuration file in
// target/ and built by the Java packer exactly as `varnlet-pack build` builds that file.
package org.varnlet.maven;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.List;
import java.util.Set;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

import org.apache.maven.artifact.Artifact;
import org.apache.maven.model.Plugin;
import org.apache.maven.model.PluginExecution;
import org.apache.maven.plugin.AbstractMojo;
import org.apache.maven.plugin.MojoExecution;
import org.apache.maven.plugin.MojoExecutionException;
import org.apache.maven.plugin.MojoFailureException;
import org.apache.maven.plugins.annotations.LifecyclePhase;
import org.apache.maven.plugins.annotations.Mojo;
import org.apache.maven.plugins.annotations.Parameter;
import org.apache.maven.plugins.annotations.ResolutionScope;
import org.apache.maven.project.MavenProject;
import org.codehaus.plexus.util.xml.Xpp3Dom;
import org.varnlet.pack.Main;

/**
 * Writes a Varnlet launcher for the project. Every element of the execution's configuration but
 * {@code skip} and {@code libDirectory} is a key of varnlet-pack's configuration, with its name and
 * meaning. What the configuration leaves out comes from the project: the output
 * {@code target/<finalName>} ({@code .exe} for win64, {@code -win32.exe} for win32), the main class
 * of the jar plugin's manifest configuration, the class path {@code <finalName>.jar;lib} with the
 * runtime dependencies copied to {@code target/lib}, and for Windows the project's name and version.
 */
@Mojo(name = "launcher", defaultPhase = LifecyclePhase.PACKAGE, requiresDependencyResolution = ResolutionScope.RUNTIME,
        threadSafe = true)
public class LauncherMojo extends AbstractMojo {
    @Parameter(defaultValue = "${project}", readonly = true, required = true)
    private MavenProject project;

    @Parameter(defaultValue = "${mojoExecution}", readonly = true, required = true)
    private MojoExecution mojoExecution;

    /** Skips the launcher. */
    @Parameter(property = "varnlet.skip", defaultValue = "false")
    private boolean skip;

    /** The folder, below the build directory, that receives the runtime dependencies. */
    @Parameter(defaultValue = "lib")
    private String libDirectory;

    private static final Set<String> OWN = Set.of("project", "mojoExecution", "skip", "libDirectory");

    @Override
    public void execute() throws MojoExecutionException, MojoFailureException {
        if (skip) {
            getLog().info("varnlet: skipped");
            return;
        }
        File build = new File(project.getBuild().getDirectory());
        List<String[]> keys = new ArrayList<>(); // name, TOML value
        List<String> tables = new ArrayList<>();
        Xpp3Dom configuration = configuration();
        String target = null, projectVersion = versionText(project.getVersion());
        for (Xpp3Dom key : configuration == null ? new Xpp3Dom[0] : configuration.getChildren())
            if (key.getName().equals("target")) target = value(key);
        boolean windows = target != null && !"\"linux\"".equals(target);
        for (Xpp3Dom key : configuration == null ? new Xpp3Dom[0] : configuration.getChildren()) {
            if (OWN.contains(key.getName())) continue;
            if ("table".equals(Main.valueKind(key.getName())) && key.getChildCount() > 0) {
                StringBuilder table = new StringBuilder("\n[" + quote(key.getName()) + "]\n");
                for (Xpp3Dom item : key.getChildren()) table.append(quote(item.getName())).append(" = ").append(quote(text(item))).append('\n');
                // The project's version where the table leaves FileVersion or ProductVersion out.
                for (String field : new String[] {"FileVersion", "ProductVersion"})
                    if (key.getName().equals("version") && windows && projectVersion != null && key.getChild(field) == null)
                        table.append(quote(field)).append(" = ").append(quote(projectVersion)).append('\n');
                tables.add(table.toString());
            } else keys.add(new String[] {key.getName(), value(key)});
        }
        String name = project.getBuild().getFinalName();
        if (find(keys, "output") == null) {
            String file = "\"win64\"".equals(target) ? name + ".exe" : "\"win32\"".equals(target) ? name + "-win32.exe" : name;
            keys.add(new String[] {"output", quote(new File(build, file).getPath())});
        }
        String icon = find(keys, "icon");
        if (icon != null && icon.startsWith("\"")) set(keys, "icon", quote(project.getBasedir().toPath().resolve(unquote(icon)).toString()));
        boolean namesMain = find(keys, "MainClass") != null || find(keys, "MainJar") != null || find(keys, "MainModule") != null;
        String mainClass = manifestMainClass();
        if (!namesMain && mainClass != null) keys.add(new String[] {"MainClass", quote(mainClass)});
        File jar = project.getArtifact().getFile();
        List<File> libraries = copyDependencies(new File(build, libDirectory));
        if (find(keys, "ClassPath") == null && find(keys, "MainJar") == null && find(keys, "MainModule") == null) {
            List<String> path = new ArrayList<>();
            if (jar != null && jar.isFile()) path.add(jar.getName());
            if (!libraries.isEmpty()) path.add(libDirectory);
            if (!path.isEmpty()) keys.add(new String[] {"ClassPath", quote(String.join(";", path))});
        }
        if (windows) {
            if (find(keys, "name") == null) keys.add(new String[] {"name", quote(project.getName() != null ? project.getName() : project.getArtifactId())});
            if (find(keys, "version") == null && tables.stream().noneMatch(t -> t.startsWith("\n[\"version\"]")) && projectVersion != null)
                keys.add(new String[] {"version", quote(projectVersion)});
        }
        StringBuilder toml = new StringBuilder("# Written by varnlet:launcher from the configuration of execution " + mojoExecution.getExecutionId() + ".\n");
        for (String[] k : keys) toml.append(quote(k[0])).append(" = ").append(k[1]).append('\n');
        tables.forEach(toml::append);
        File config = new File(build, "varnlet-" + mojoExecution.getExecutionId() + ".toml");
        try {
            Files.createDirectories(build.toPath());
            Files.write(config.toPath(), toml.toString().getBytes(StandardCharsets.UTF_8));
        } catch (IOException e) {
            throw new MojoExecutionException("cannot write " + config + ": " + e.getMessage(), e);
        }
        ByteArrayOutputStream out = new ByteArrayOutputStream(), err = new ByteArrayOutputStream();
        int code = Main.run(new String[] {"build", config.getPath()}, new PrintStream(out, true, StandardCharsets.UTF_8),
                new PrintStream(err, true, StandardCharsets.UTF_8));
        for (String line : err.toString(StandardCharsets.UTF_8).split("\n"))
            if (!line.isEmpty() && code == 0) getLog().warn(line);
        if (code != 0)
            throw new MojoFailureException("varnlet: the launcher of execution " + mojoExecution.getExecutionId() + " was not written (configuration "
                    + config + "):\n" + err.toString(StandardCharsets.UTF_8).trim());
        getLog().info("varnlet: " + out.toString(StandardCharsets.UTF_8).trim());
    }

    /**
     * The execution's configuration as the POM states it (the plugin's, with the execution's over it):
     * Maven hands a plugin only the elements that name its parameters.
     */
    private Xpp3Dom configuration() {
        Plugin plugin = project.getPlugin(mojoExecution.getMojoDescriptor().getPluginDescriptor().getPluginLookupKey());
        if (plugin == null) return null;
        Xpp3Dom common = (Xpp3Dom) plugin.getConfiguration();
        PluginExecution execution = plugin.getExecutionsAsMap().get(mojoExecution.getExecutionId());
        Xpp3Dom own = execution == null ? null : (Xpp3Dom) execution.getConfiguration();
        if (own == null) return common;
        return common == null ? own : Xpp3Dom.mergeXpp3Dom(new Xpp3Dom(own), new Xpp3Dom(common));
    }

    /** The value of a configuration element as TOML, typed as the packer takes the key. */
    private static String value(Xpp3Dom key) {
        if (key.getChildCount() > 0) {
            List<String> items = new ArrayList<>();
            for (Xpp3Dom item : key.getChildren()) items.add(quote(text(item)));
            return "[" + String.join(", ", items) + "]";
        }
        String text = text(key), kind = Main.valueKind(key.getName());
        if (kind.equals("boolean") && (text.equals("true") || text.equals("false"))) return text;
        if (kind.equals("integer") && text.matches("-?[0-9]{1,18}")) return Long.toString(Long.parseLong(text));
        return quote(text);
    }

    private static String text(Xpp3Dom node) {
        return node.getValue() == null ? "" : node.getValue().trim();
    }

    static String quote(String s) {
        StringBuilder out = new StringBuilder("\"");
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            if (c == '"' || c == '\\') out.append('\\').append(c);
            else if (c < 0x20 || c == 0x7F) out.append(String.format("\\u%04X", (int) c));
            else out.append(c);
        }
        return out.append('"').toString();
    }

    private static String unquote(String toml) {
        return toml.substring(1, toml.length() - 1).replace("\\\\", "\\").replace("\\\"", "\"");
    }

    private static String find(List<String[]> keys, String name) {
        for (String[] k : keys)
            if (k[0].equals(name)) return k[1];
        return null;
    }

    private static void set(List<String[]> keys, String name, String value) {
        for (String[] k : keys)
            if (k[0].equals(name)) k[1] = value;
    }

    /**
     * The project's version as the version information takes it: the whole text where it starts with
     * one to four numbers ("1.2.3-SNAPSHOT", numerically 1.2.3.0), else those numbers ("1.2.3.4" of
     * "1.2.3.4.5"); null where it starts with none.
     */
    static String versionText(String version) {
        Matcher m = Pattern.compile("^[0-9]+(\\.[0-9]+){0,3}").matcher(version == null ? "" : version);
        if (!m.find()) return null;
        for (String part : m.group().split("\\."))
            if (part.length() > 5 || Integer.parseInt(part) > 65535) return null;
        return m.end() < version.length() && version.charAt(m.end()) == '.' ? m.group() : version;
    }

    /** The main class the jar plugin writes into the manifest (archive/manifest/mainClass), if any. */
    private String manifestMainClass() {
        for (Plugin plugin : project.getBuildPlugins()) {
            if (!"maven-jar-plugin".equals(plugin.getArtifactId()) || !(plugin.getConfiguration() instanceof Xpp3Dom)) continue;
            Xpp3Dom archive = ((Xpp3Dom) plugin.getConfiguration()).getChild("archive");
            Xpp3Dom manifest = archive == null ? null : archive.getChild("manifest");
            Xpp3Dom main = manifest == null ? null : manifest.getChild("mainClass");
            if (main != null && !text(main).isEmpty()) return text(main);
        }
        return null;
    }

    private List<File> copyDependencies(File lib) throws MojoExecutionException {
        List<File> copied = new ArrayList<>();
        for (Artifact a : project.getArtifacts()) {
            if (a.getFile() == null || !a.getFile().isFile() || !a.getArtifactHandler().isAddedToClasspath()) continue;
            if (!Artifact.SCOPE_COMPILE.equals(a.getScope()) && !Artifact.SCOPE_RUNTIME.equals(a.getScope())) continue;
            File to = new File(lib, a.getFile().getName());
            try {
                Files.createDirectories(lib.toPath());
                Files.copy(a.getFile().toPath(), to.toPath(), StandardCopyOption.REPLACE_EXISTING);
            } catch (IOException e) {
                throw new MojoExecutionException("cannot copy " + a.getFile() + " to " + lib + ": " + e.getMessage(), e);
            }
            copied.add(to);
        }
        return copied;
    }
}
