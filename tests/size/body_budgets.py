#!/usr/bin/env python3
"""body_budgets.py BODY=KIB...: each launcher body as the release ships it, without symbols or debugging
information, is at most its budget in KiB (the Linux body's configuration section counts)."""
import subprocess
import sys
import tempfile
from pathlib import Path

failures = []
with tempfile.TemporaryDirectory() as temp:
    for argument in sys.argv[1:]:
        body, budget = argument.rsplit("=", 1)
        shipped = Path(body)
        if not shipped.is_file():
            failures.append(f"{body}: not built")
            continue
        if shipped.read_bytes()[:4] == b"\x7fELF":  # the Windows bodies are linked without them, this one is not
            shipped = Path(temp, shipped.name)
            subprocess.run(["strip", "-o", shipped, body], check=True)
        size = shipped.stat().st_size
        print(f"{body}: {size / 1024:.1f} KiB, budget {budget} KiB")
        if size > int(budget) * 1024:
            failures.append(f"{shipped.name} is {size / 1024:.1f} KiB, over its budget of {budget} KiB")
print("\n".join("FAIL: " + f for f in failures) or "passed")
sys.exit(1 if failures else 0)
