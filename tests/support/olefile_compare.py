# Reads compound files with python3-olefile and reports, one per line, every
# way in which a changed copy differs from its original other than the target
# stream holding the expected bytes. Prints OK when there is none.
#
# usage: olefile_compare.py ORIGINAL TARGET [--zero-tail] (CHANGED EXPECTED_FILE)...
# TARGET is the stream's path with "/" between storage names. With
# --zero-tail the bytes after the target's end in its last sector (or mini
# sector) must be zero.
import sys

import olefile


def streams(path, strict):
    level = olefile.DEFECT_INCORRECT if strict else olefile.DEFECT_FATAL
    with olefile.OleFileIO(path, raise_defects=level) as ole:
        return {"/".join(entry): ole.openstream(entry).read()
                for entry in ole.listdir(streams=True, storages=False)}


def tail_is_zero(path, target):
    with olefile.OleFileIO(path) as ole:
        entry = ole.direntries[ole._find(target)]
        if entry.size == 0:
            return True
        if entry.size < ole.minisectorcutoff:
            ole.loadminifat()
            unit, table = ole.minisectorsize, ole.minifat
            root = ole.root
            container = ole._open(root.isectStart, root.size, force_FAT=True).getvalue()
            base = 0
        else:
            unit, table = ole.sectorsize, ole.fat
            with open(path, "rb") as f:
                container = f.read()
            base = unit
        sector, count = entry.isectStart, (entry.size + unit - 1) // unit
        for _ in range(count - 1):
            sector = table[sector]
        used = entry.size % unit
        if used == 0:
            return True
        start = base + sector * unit
        return container[start + used:start + unit] == bytes(unit - used)


def compare(before, strict, changed, target, expected, zero_tail):
    try:
        after = streams(changed, strict=strict)
    except Exception as error:
        return ["olefile cannot read the changed file: %r" % (error,)]
    problems = []
    if sorted(before) != sorted(after):
        problems.append("stream lists differ: %r vs %r" % (sorted(before), sorted(after)))
    for name in sorted(before):
        if name not in after:
            continue
        if name == target:
            if after[name] != expected:
                problems.append("%r holds %d bytes, not the %d expected"
                                % (name, len(after[name]), len(expected)))
        elif after[name] != before[name]:
            problems.append("%r changed" % (name,))
    if target not in before:
        problems.append("no stream %r" % (target,))
    elif zero_tail and not tail_is_zero(changed, target):
        problems.append("%r has bytes after its end in its last sector" % (target,))
    return problems


def main():
    args = sys.argv[1:]
    zero_tail = "--zero-tail" in args
    args = [a for a in args if a != "--zero-tail"]
    original, target, pairs = args[0], args[1], args[2:]
    # Our output is held to olefile's strict reading whenever the original
    # passes it.
    try:
        before, strict = streams(original, strict=True), True
    except Exception:
        before, strict = streams(original, strict=False), False
    # Names compare without regard to case in a compound file.
    target = next((name for name in before if name.lower() == target.lower()), target)
    problems = []
    for changed, expected_file in zip(pairs[0::2], pairs[1::2]):
        with open(expected_file, "rb") as f:
            expected = f.read()
        problems += ["%s: %s" % (changed, p)
                     for p in compare(before, strict, changed, target, expected, zero_tail)]
    print("\n".join(problems) if problems else "OK")


main()
