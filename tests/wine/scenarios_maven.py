"""The Maven plugin's Windows launchers: examples/maven built with `mvn -o package` (tests/maven/maven_check.py), each
varnlet-pack's for the same settings and starting the application, with its dependencies from lib/, in testjvm.dll."""
import os, sys  # noqa: E401
from pathlib import Path

from winerun import ROOT, Skip, expect, expect_eq, setting

sys.path.insert(0, str(ROOT / "tests/maven"))
import maven_check  # noqa: E402

def scenario_plugin_launchers(case):
    if not os.environ.get("VARNLET_MAVEN_REPO"):
        raise Skip("the Maven plugin is not built (Maven or Debian's Maven plugins are missing)")
    run, target = maven_check.build(setting("VARNLET_MAVEN_REPO"), setting("VARNLET_VERSION"), str(case.work / "maven"))
    expect(run.returncode == 0 and maven_check.same_as_native(setting("VARNLET_PACK"), str(case.artifact("launcher")), target, case.arch),
           f"mvn -o package, then the launcher compared with varnlet-pack's for the same settings:\n{run.stdout}{run.stderr}")
    case.install("testjvm.dll", target)
    result = case.run(Path(target) / maven_check.OUTPUTS[case.arch], ["-n", "fred"], cwd=target, record=Path(target) / "record")
    main = result.jvm().one("main")
    expect_eq((result.code, main[1], main[3:], result.record.all("option")), (0, "demo/Greeter", ["-n", "fred"],
              [["-Djava.class.path=greeter.jar;lib;lib\\commons-cli-1.5.0.jar;lib\\commons-lang3-3.12.0.jar"]]), "the start")
