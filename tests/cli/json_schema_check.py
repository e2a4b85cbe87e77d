"""Checks a command's --json output against the schema the README documents for it.

Usage: json_schema_check.py README SCHEMA_NAME PROGRAM ARG...
Runs PROGRAM ARG..., parses its stdout as JSON and validates it against the JSON Schema that
follows the marker `<!-- schema: SCHEMA_NAME -->` in README (the subset the README uses:
type, properties, required, items, enum, anyOf). Exits 1 naming the first mismatch.
"""
import json
import re
import subprocess
import sys

TYPES = {
    "object": dict, "array": list, "string": str, "boolean": bool, "number": (int, float),
    "integer": int,
}


def schema_from_readme(readme, name):
    text = open(readme, encoding="utf-8").read()
    match = re.search(r"<!-- schema: %s -->\s*```json\n(.*?)```" % re.escape(name), text, re.S)
    if not match:
        sys.exit(f"{readme}: no schema '{name}'")
    return json.loads(match.group(1))


def problems(value, schema, where):
    """The ways `value` breaks `schema`, as 'where: what' lines (empty when it fits)."""
    if "anyOf" in schema:
        found = [problems(value, option, where) for option in schema["anyOf"]]
        return [] if any(not p for p in found) else [f"{where}: fits no shape: {found}"]
    if "enum" in schema and value not in schema["enum"]:
        return [f"{where}: {value!r} is not one of {schema['enum']}"]
    kind = schema.get("type")
    if kind:
        expected = TYPES[kind]
        # JSON has one number type; booleans are not numbers.
        if isinstance(value, bool) and kind != "boolean" or not isinstance(value, expected):
            return [f"{where}: {value!r} is not {kind}"]
        if kind == "integer" and isinstance(value, float):
            return [f"{where}: {value!r} is not integer"]
    out = []
    if isinstance(value, dict):
        out += [f"{where}: no '{key}'" for key in schema.get("required", []) if key not in value]
        for key, sub in schema.get("properties", {}).items():
            if key in value:
                out += problems(value[key], sub, f"{where}.{key}")
    if isinstance(value, list) and "items" in schema:
        for i, item in enumerate(value):
            out += problems(item, schema["items"], f"{where}[{i}]")
    return out


def main():
    readme, name, program, *args = sys.argv[1:]
    schema = schema_from_readme(readme, name)
    run = subprocess.run([program, *args], capture_output=True, text=True)
    if run.returncode not in (0, 1):
        sys.exit(f"{name}: exit status {run.returncode}: {run.stderr}")
    found = problems(json.loads(run.stdout), schema, name)
    if found:
        sys.exit("\n".join(found[:10]))
    print(f"{name}: output fits the README's schema")


main()
