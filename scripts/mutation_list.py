#!/usr/bin/env python3
"""The mutation list of scripts/mutation-sample: reads it, checks it, applies one entry.

An entry is a block of "key: value" lines opened by "[id]":

    [link.crc-polynomial]
    file:  src/link/modbus_frame.cpp
    tests: core
    what:  the CRC-16 polynomial mistyped
    from:  (crc >> 1) ^ 0xA001
    to:    (crc >> 1) ^ 0xA000

"from" must occur exactly once in the file, or the entry is stale. Where the line is not
unique, an optional "after:" names a text that occurs exactly once before it (the function's
head, say): the first "from" after it is the one changed. Values are taken literally; the blanks
after the colon and at the end of a value are not part of it. "to" may be empty: the snippet is
then deleted. Lines starting with # are comments.

Subcommands (paths relative to the current directory, which is the top of the tree):
    list LIST [REGEX]        id, file, tests and description, tab-separated, one entry a line
    check LIST [REGEX]       every selected entry's snippet occurs exactly once; exit 1 if not
    apply LIST ID            writes the mutant of entry ID in place; exit 3 when stale
"""
import re
import sys

KEYS = ("file", "tests", "what", "from", "to")
OPTIONAL = ("after",)


class ListError(Exception):
    pass


def read_list(path):
    entries = []
    current = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            m = re.fullmatch(r"\[([A-Za-z0-9_.\-]+)\]\s*", line)
            if m:
                current = {"id": m.group(1), "line": number}
                if any(e["id"] == current["id"] for e in entries):
                    raise ListError(f"{path}:{number}: id {current['id']} used twice")
                entries.append(current)
                continue
            m = re.fullmatch(r"([a-z]+):(.*)", line)
            if not m or current is None or m.group(1) not in KEYS + OPTIONAL:
                raise ListError(f"{path}:{number}: not an entry line: {line!r}")
            key, value = m.group(1), m.group(2).strip(" \t")
            if key in current:
                raise ListError(f"{path}:{number}: {key} given twice in {current['id']}")
            current[key] = value
    for e in entries:
        missing = [k for k in KEYS if k not in e]
        if missing:
            raise ListError(f"{path}:{e['line']}: entry {e['id']} lacks {', '.join(missing)}")
        if not e["from"]:
            raise ListError(f"{path}:{e['line']}: entry {e['id']} has an empty from")
        if e["from"] == e["to"]:
            raise ListError(f"{path}:{e['line']}: entry {e['id']} changes nothing")
    return entries


def select(entries, regex):
    if not regex:
        return entries
    try:
        pattern = re.compile(regex)
    except re.error as error:
        raise ListError(f"--only {regex!r}: {error}")
    return [e for e in entries if pattern.search(e["id"]) or pattern.search(e["file"])]


def locate(entry):
    """(text of the file, offset of the snippet to change, None) or (None, None, why it is stale)."""
    try:
        with open(entry["file"], encoding="utf-8", newline="") as f:
            text = f.read()
    except OSError:
        return None, None, "file not found"
    start = 0
    anchor = entry.get("after")
    if anchor:
        n = text.count(anchor)
        if n != 1:
            return None, None, f"after-text found {n} times: {anchor!r}"
        start = text.index(anchor) + len(anchor)
        at = text.find(entry["from"], start)
        if at < 0:
            return None, None, f"snippet not found after {anchor!r}: {entry['from']!r}"
        return text, at, None
    n = text.count(entry["from"])
    if n != 1:
        return None, None, f"snippet found {n} times: {entry['from']!r}"
    return text, text.index(entry["from"]), None


def main(argv):
    if len(argv) < 3 or argv[1] not in ("list", "check", "apply"):
        print(__doc__, file=sys.stderr)
        return 2
    command, list_path = argv[1], argv[2]
    entries = read_list(list_path)

    if command == "list":
        for e in select(entries, argv[3] if len(argv) > 3 else ""):
            print("\t".join((e["id"], e["file"], e["tests"], e["what"])))
        return 0

    if command == "check":
        chosen = select(entries, argv[3] if len(argv) > 3 else "")
        stale = 0
        for e in chosen:
            _, _, reason = locate(e)
            if reason:
                stale += 1
                print(f"stale\t{e['id']}\t{e['file']}\t{reason}")
        print(f"{len(chosen) - stale} of {len(chosen)} entries apply, {stale} stale")
        return 1 if stale else 0

    # apply
    wanted = [e for e in entries if e["id"] == argv[3]]
    if not wanted:
        raise ListError(f"no entry {argv[3]}")
    e = wanted[0]
    text, at, reason = locate(e)
    if reason:
        print(reason, file=sys.stderr)
        return 3
    with open(e["file"], "w", encoding="utf-8", newline="") as f:
        f.write(text[:at] + e["to"] + text[at + len(e["from"]):])
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except ListError as error:
        print(f"mutation list: {error}", file=sys.stderr)
        sys.exit(2)
