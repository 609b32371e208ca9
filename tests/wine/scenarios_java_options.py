"""JvmOptions read as the java command reads them, as testjvm.dll receives them: two-word forms
joined, an argument file beside the executable (CRLF lines, quotes, a Windows path) expanded,
JDK_JAVA_OPTIONS first, started from another directory."""
from winerun import expect_eq

def scenario_java_command_options(case):
    app, start = case.directory("app"), case.directory("start")
    case.write(app / "jvm.options", '# options\n"-Dtitle=My Tool" -Dhome=C:\\tools\\x\n--add-exports\njava.base/x=ALL-UNNAMED\n')
    exe = case.app(app, JavaCommandOptions=True, JvmOptions='--add-opens java.base/java.lang=ALL-UNNAMED @jvm.options -p mods')
    run = case.run(exe, cwd=start, record=app / "testjvm.record", env={"JDK_JAVA_OPTIONS": "'-Denv=a b'"})
    expect_eq([option[0] for option in run.jvm().all("option")],
              ["-Denv=a b", "--add-opens=java.base/java.lang=ALL-UNNAMED", "-Dtitle=My Tool", "-Dhome=C:\\tools\\x",
               "--add-exports=java.base/x=ALL-UNNAMED", "--module-path=mods", "-Djava.class.path=run.jar"], "options")
