#!/usr/bin/env python3
"""Checks lines of KestrumHelper's standard output against docs/kestrum-helper-output.schema.json.

    check_output_lines.py SCHEMA OUTPUT...   every line of each OUTPUT file (one run's standard
                                             output each) is valid against the schema, compact,
                                             with its members in the documented order
    check_output_lines.py SCHEMA --self-test the schema is a valid JSON Schema, accepts its own
                                             examples and rejects malformed lines

Exits 77 (skipped) when the validator module is missing, 1 on the first kind of mismatch.
"""
import json
import sys

try:
    import jsonschema
except ImportError:
    print("python3-jsonschema is not installed (scripts/bootstrap installs it)", file=sys.stderr)
    sys.exit(77)

MEMBER_ORDER = ["success", "kind", "status", "error"]


def compact(value: dict) -> str:
    """The line as the helper writes it: compact, UTF-8 unescaped, the solidus escaped."""
    return json.dumps(value, separators=(",", ":"), ensure_ascii=False).replace("/", "\\/")


def line_problems(validator, raw: bytes) -> list:
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as error:
        return [f"not UTF-8: {error}"]
    try:
        value = json.loads(text)
    except json.JSONDecodeError as error:
        return [f"not JSON: {error}"]
    problems = [f"{'/'.join(map(str, e.absolute_path)) or 'line'}: {e.message}" for e in validator.iter_errors(value)]
    if isinstance(value, dict):
        order = [member for member in MEMBER_ORDER if member in value]
        if list(value) != order:
            problems.append(f"members in the order {list(value)}, not {order}")
        if not problems and text != compact(value):
            problems.append("not written compactly with the documented escapes")
    return problems


def check_outputs(validator, paths: list) -> int:
    failures = 0
    for path in paths:
        with open(path, "rb") as output:
            data = output.read()
        if not data.endswith(b"\n"):
            print(f"{path}: the output does not end with a line feed", file=sys.stderr)
            failures += 1
            continue
        for raw in data[:-1].split(b"\n"):
            for problem in line_problems(validator, raw):
                print(f"{raw[:200]!r}: {problem}", file=sys.stderr)
                failures += 1
    return 1 if failures else 0


# Lines the schema must refuse, each with what is wrong with it.
MALFORMED = [
    ({"success": True, "kind": "microphone", "status": "granted", "extra": 1}, "an extra member"),
    ({"success": "true", "kind": "microphone"}, "success as a string"),
    ({"success": 1, "kind": "microphone"}, "success as a number"),
    ({"success": True, "kind": 7}, "kind as a number"),
    ({"success": True, "kind": "Microphone"}, "kind in another letter case"),
    ({"success": True, "kind": "microphone", "status": None}, "status as null"),
    ({"success": True, "kind": "microphone", "status": "denied"}, "status that is no state"),
    ({"success": True, "kind": "microphone", "status": ["granted"]}, "status as an array"),
    ({"success": False, "kind": "unknown", "error": None}, "error as null"),
    ({"success": False, "kind": "unknown", "error": "Something else"}, "error that is no message of the helper"),
    ({"success": False, "kind": "unknown"}, "a failure without error"),
    ({"success": True, "kind": "microphone", "error": "--app-url must point to the Tazel .app bundle"},
     "a success with error"),
    ({"success": False, "kind": "microphone", "status": "granted",
      "error": "Full Disk Access status must be checked by the target app process."}, "a failure with status"),
    ({"success": True, "kind": "unknown"}, "a success of no kind"),
    ({"success": True, "kind": "fullDiskAccess", "status": "granted"}, "a full-disk-access state"),
    ({"kind": "microphone"}, "no success"),
    ({"success": True}, "no kind"),
    ([True, "microphone"], "an array"),
    ("microphone", "a string"),
]


def self_test(schema, validator) -> int:
    jsonschema.Draft202012Validator.check_schema(schema)
    failures = 0
    for example in schema.get("examples", []):
        for error in validator.iter_errors(example):
            print(f"example {example}: {error.message}", file=sys.stderr)
            failures += 1
    for value, what in MALFORMED:
        if validator.is_valid(value):
            print(f"the schema accepts {what}: {value}", file=sys.stderr)
            failures += 1
    # The line format itself: anything but the compact form with the helper's escapes is refused.
    for raw, what in [
        (b'{"success": true, "kind": "microphone"}', "spaces"),
        (b'{"kind":"microphone","success":true}', "members out of order"),
        (b'{"success":false,"kind":"unknown","error":"Unsupported action: a/b"}', "an unescaped solidus"),
        (b'{"success":false,"kind":"unknown","error":"Unsupported action: \\u00e9"}', "an escaped letter"),
        (b'{"success":false,"kind":"unknown","error":"Unsupported action: \xff"}', "bytes that are not UTF-8"),
    ]:
        if not line_problems(validator, raw):
            print(f"a line with {what} passes: {raw!r}", file=sys.stderr)
            failures += 1
    if line_problems(validator, b'{"success":false,"kind":"unknown","error":"Unsupported action: a\\/b\\u0001\\n"}'):
        print("a line written as the helper writes it is refused", file=sys.stderr)
        failures += 1
    return 1 if failures else 0


def main() -> int:
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(sys.argv[1], encoding="utf-8") as file:
        schema = json.load(file)
    validator = jsonschema.Draft202012Validator(schema)
    if sys.argv[2] == "--self-test":
        return self_test(schema, validator)
    return check_outputs(validator, sys.argv[2:])


if __name__ == "__main__":
    sys.exit(main())
