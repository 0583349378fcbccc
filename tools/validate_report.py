#!/usr/bin/env python3
"""Checks documents printed by `lanternquill --report --json` against schema/report.schema.json.

    tools/validate_report.py [--schema FILE] [FILE ...]     (no FILE or "-": standard input)

Exit status 0 when every document is valid, 1 when one is not (each fault on its own line, with
where it is), 2 for a usage error. Needs Python's jsonschema (Debian: python3-jsonschema, 4.10 or
later, for draft 2020-12).
"""

import argparse
import json
import os
import sys

from jsonschema import Draft202012Validator

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_SCHEMA = os.path.join(TOP, "schema", "report.schema.json")


class NotJson(ValueError):
    pass


def _no_duplicate_keys(pairs):
    # A second "state" in one check would leave readers to pick one; json.loads silently keeps the last.
    seen = {}
    for key, value in pairs:
        if key in seen:
            raise NotJson(f"duplicate key {key!r}")
        seen[key] = value
    return seen


def _no_constant(name):
    raise NotJson(f"{name} is not JSON")


def parse(text):
    """The document in text, or NotJson. Stricter than json.loads: no NaN, no duplicate keys."""
    try:
        return json.loads(text, object_pairs_hook=_no_duplicate_keys, parse_constant=_no_constant)
    except NotJson:
        raise
    except ValueError as error:
        raise NotJson(str(error)) from None


def load_schema(path=DEFAULT_SCHEMA):
    with open(path, encoding="utf-8") as stream:
        schema = json.load(stream)
    Draft202012Validator.check_schema(schema)
    return schema


def where(document, path):
    """A fault's place as a reader looks for it, e.g. checks[7] (mrt, state pass).reason."""
    parts = []
    for index, step in enumerate(path):
        parts.append(f"[{step}]" if isinstance(step, int) else ("." if parts else "") + step)
        if index == 1 and path[0] == "checks" and isinstance(step, int):
            checks = document.get("checks") if isinstance(document, dict) else None
            check = checks[step] if isinstance(checks, list) and step < len(checks) else None
            if isinstance(check, dict):
                parts.append(f" ({check.get('id', '?')}, state {check.get('state', '?')})")
    return "".join(parts) or "(top level)"


def message(error):
    """jsonschema's message, except where it would print a whole object or a regular expression."""
    if error.validator == "not" and isinstance(error.validator_value, dict) \
            and list(error.validator_value) == ["required"]:
        keys = ", ".join(repr(key) for key in error.validator_value["required"])
        return f"{keys} must not be here"
    if error.validator == "pattern" and "description" in error.schema:
        return f"{error.instance!r} is not {error.schema['description']}"
    if error.validator == "minItems":
        return f"{len(error.instance)} items where at least {error.validator_value} are expected"
    return error.message


def faults(document, schema):
    """Every fault of document: (path as a tuple, schema keyword, readable text), in document order."""
    validator = Draft202012Validator(schema)
    found = []
    for error in validator.iter_errors(document):
        path = tuple(error.absolute_path)
        found.append((path, error.validator, f"{where(document, path)}: {message(error)}"))
    return sorted(found, key=lambda fault: [str(step).zfill(8) if isinstance(step, int) else step
                                            for step in fault[0]])


def check_text(text, schema):
    """The readable faults of one document given as text (empty when it is valid)."""
    try:
        document = parse(text)
    except NotJson as error:
        return [f"not a JSON document: {error}"]
    return [line for _, _, line in faults(document, schema)]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--schema", default=DEFAULT_SCHEMA, help="the schema (default: %(default)s)")
    parser.add_argument("files", nargs="*", default=["-"], help='documents to check ("-": standard input)')
    options = parser.parse_args(argv)

    schema = load_schema(options.schema)
    invalid = False
    for name in options.files:
        if name == "-":
            label, text = "<stdin>", sys.stdin.buffer.read()
        else:
            label = name
            try:
                with open(name, "rb") as stream:
                    text = stream.read()
            except OSError as error:
                print(f"{label}: {error.strerror}", file=sys.stderr)
                invalid = True
                continue
        try:
            text = text.decode("utf-8")
        except UnicodeDecodeError as error:
            print(f"{label}: not UTF-8: {error}", file=sys.stderr)
            invalid = True
            continue
        lines = check_text(text, schema)
        for line in lines:
            print(f"{label}: {line}", file=sys.stderr)
        if not lines:
            print(f"{label}: valid")
        invalid = invalid or bool(lines)
    return 1 if invalid else 0


if __name__ == "__main__":
    sys.exit(main())
