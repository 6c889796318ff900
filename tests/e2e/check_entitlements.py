#!/usr/bin/env python3
"""Checks the helper's entitlements files in docs/entitlements, which hosts sign the helper with.

    check_entitlements.py DIRECTORY

The App Sandbox variant must hold exactly the sandbox and inheritance keys: the system ends a
helper with any other key at launch. The direct variant must carry neither of them (the helper
would run sandboxed on its own), nothing the notary service refuses (get-task-allow), and no
exception to library validation, which the helper's libraries pass with the host's Team ID.
Every value is true: false keys are left out. Exits 1 with the problems found.
"""
import plistlib
import sys
from pathlib import Path

SANDBOX = {"com.apple.security.app-sandbox", "com.apple.security.inherit"}
REFUSED_IN_DIRECT = SANDBOX | {
    "com.apple.security.get-task-allow",
    "com.apple.security.cs.disable-library-validation",
    "com.apple.security.cs.allow-dyld-environment-variables",
}


def problems(directory: Path) -> list:
    found = []
    variants = {"KestrumHelper.entitlements": None, "KestrumHelper-sandbox.entitlements": None}
    for name in variants:
        with open(directory / name, "rb") as file:
            entitlements = plistlib.load(file)
        variants[name] = entitlements
        found += [f"{name}: {key} is not true" for key, value in entitlements.items() if value is not True]
    direct, sandbox = variants.values()
    if set(sandbox) != SANDBOX:
        found.append(f"KestrumHelper-sandbox.entitlements: holds {sorted(sandbox)}, not exactly {sorted(SANDBOX)}")
    found += [f"KestrumHelper.entitlements: carries {key}" for key in sorted(REFUSED_IN_DIRECT & set(direct))]
    return found


if __name__ == "__main__":
    found = problems(Path(sys.argv[1]))
    for problem in found:
        print(problem, file=sys.stderr)
    sys.exit(1 if found else 0)
