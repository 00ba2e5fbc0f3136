#!/usr/bin/python3
"""Checks a udev rules file the way udev reads it: every line a comma-separated list of KEY OP "VALUE",
known keys, match operators on match keys and assignment operators on assignment keys. Then checks that the
VELDA-9 rule matches the instrument and grants access. Exit 0 when all holds, 1 with messages otherwise."""
import re
import sys

MATCH_KEYS = {"ACTION", "DEVPATH", "KERNEL", "KERNELS", "NAME", "SYMLINK", "SUBSYSTEM", "SUBSYSTEMS",
              "DRIVER", "DRIVERS", "TAG", "TAGS", "TEST", "PROGRAM", "RESULT", "CONST"}
MATCH_KEYS_WITH_ATTR = {"ATTR", "ATTRS", "SYSCTL", "ENV", "TEST", "CONST"}
ASSIGN_KEYS = {"NAME", "SYMLINK", "OWNER", "GROUP", "MODE", "TAG", "RUN", "LABEL", "GOTO", "IMPORT",
               "OPTIONS", "SECLABEL", "ENV", "ATTR", "SYSCTL", "RUN"}
MATCH_OPS = {"==", "!="}
ASSIGN_OPS = {"=", "+=", "-=", ":="}
TOKEN = re.compile(r'\s*([A-Z_]+)(\{[^}]*\})?\s*(==|!=|\+=|-=|:=|=)\s*"([^"]*)"\s*(,|$)')


def parse_line(line, number, errors):
    pairs = []
    pos = 0
    while pos < len(line):
        m = TOKEN.match(line, pos)
        if not m:
            errors.append(f"line {number}: cannot parse from column {pos + 1}: {line[pos:]!r}")
            return pairs
        key, attr, op, value, sep = m.groups()
        attr = attr[1:-1] if attr else None
        if op in MATCH_OPS:
            known = key in (MATCH_KEYS_WITH_ATTR if attr is not None else MATCH_KEYS)
            if not known:
                errors.append(f"line {number}: {key} cannot be matched with {op}")
        else:
            known = key in ASSIGN_KEYS
            if not known:
                errors.append(f"line {number}: {key} cannot be assigned with {op}")
        if key in ("ATTR", "ATTRS", "ENV", "SYSCTL") and not attr:
            errors.append(f"line {number}: {key} needs an attribute name in braces")
        pairs.append((key, attr, op, value))
        pos = m.end()
        if sep == "" and pos < len(line):
            errors.append(f"line {number}: missing comma before column {pos + 1}")
            return pairs
    return pairs


def main(path):
    errors = []
    rules = []
    name = path.rsplit("/", 1)[-1]
    m = re.match(r"^(\d+)-[\w.-]+\.rules$", name)
    if not m:
        errors.append(f"{name}: a rules file is named NN-name.rules")
    elif int(m.group(1)) >= 73:
        errors.append(f"{name}: uaccess tags must be set before 73-seat-late.rules")
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            if raw.rstrip("\n").endswith("\\"):
                errors.append(f"line {number}: continued lines are not expected here")
            rules.append(parse_line(line, number, errors))

    def has(rule, key, attr, op, value):
        return any(k == key and a == attr and o == op and v == value for k, a, o, v in rule)

    instrument = [r for r in rules
                  if has(r, "SUBSYSTEM", None, "==", "usb") and has(r, "ATTRS", "idVendor", "==", "03eb")
                  and has(r, "ATTRS", "idProduct", "==", "0203")]
    if len(instrument) != 1:
        errors.append(f"expected one rule matching usb 03eb:0203, found {len(instrument)}")
    else:
        rule = instrument[0]
        for key, attr, op, value in (("TAG", None, "+=", "uaccess"), ("GROUP", None, "=", "plugdev"),
                                     ("MODE", None, "=", "0660")):
            if not has(rule, key, attr, op, value):
                errors.append(f"the instrument rule lacks {key}{op}\"{value}\"")
    for e in errors:
        print(f"{path}: {e}", file=sys.stderr)
    return 1 if errors else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print("usage: check_udev_rule.py FILE.rules", file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
