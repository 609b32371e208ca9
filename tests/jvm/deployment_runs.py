#!/usr/bin/env python3
"""Linux launcher runs as people deploy it: the longest non-ASCII texts varnlet-pack
accepts, and an installation directory far longer than 260 bytes."""
import sys

import launcher_runs
from launcher_runs import Launcher, check, expect_failed, expect_ran

TEXT = "\u00e9" * 1023  # 1023 characters, 2046 bytes
CJK = "\u4e2d\u6587\u76ee\u5f55" * 15  # 60 characters, 180 bytes


def scenario_longest_non_ascii_texts():
    expect_ran(Launcher("long-text", AppOptions=TEXT).run(), [TEXT])
    expect_failed(Launcher("long-message", JvmPath="/nonexistent/libjvm.so", MsgNoRuntime=TEXT).run(), TEXT + "\n")


def scenario_deep_cjk_directory():
    launcher = Launcher("cjk/%s/%s" % (CJK, CJK))
    check(len(launcher.app.encode()) > 400, "the directory is long enough")
    values = expect_ran(launcher.run())
    check(values["user.dir"] == launcher.app, "user.dir %r" % values["user.dir"])


if __name__ == "__main__":
    vars(launcher_runs).update({k: v for k, v in globals().items() if k.startswith("scenario_")})
    sys.exit(launcher_runs.main())
