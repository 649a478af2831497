#!/usr/bin/env python3
"""Converts between a GUID and the packed form Windows Installer uses in registry names.

Packing reverses the first three groups character by character and swaps the two
characters of each byte in the last two groups:
{9C50A2E7-D14B-68F3-0A5C-7E92B1D8F403} <-> 7E2A05C9B41D3F86A0C5E7291B8D4F30.

Usage:
  msi_guid.py pack GUID          prints the packed form
  msi_guid.py unpack PACKED      prints the GUID, in braces
  msi_guid.py check GUID PACKED  exits 1 unless each converts into the other
"""

import re
import sys

GUID = re.compile(r"^\{?([0-9A-F]{8})-([0-9A-F]{4})-([0-9A-F]{4})-([0-9A-F]{4})-([0-9A-F]{12})\}?$")
PACKED = re.compile(r"^[0-9A-F]{32}$")


def swap_pairs(text):
    """Swaps the two characters of each pair: 0A5C becomes A0C5."""
    return "".join(text[i + 1] + text[i] for i in range(0, len(text), 2))


def pack(guid):
    """The packed form of a GUID given with or without braces, in upper case."""
    match = GUID.match(guid.upper())
    if not match:
        raise ValueError("not a GUID: %s" % guid)
    first, second, third, fourth, fifth = match.groups()
    return first[::-1] + second[::-1] + third[::-1] + swap_pairs(fourth + fifth)


def unpack(packed):
    """The GUID, in braces and upper case, of a packed form."""
    packed = packed.upper()
    if not PACKED.match(packed):
        raise ValueError("not a packed GUID: %s" % packed)
    tail = swap_pairs(packed[16:])
    return "{%s-%s-%s-%s-%s}" % (packed[0:8][::-1], packed[8:12][::-1], packed[12:16][::-1],
                                 tail[:4], tail[4:])


def main(argv):
    try:
        if len(argv) == 3 and argv[1] == "pack":
            print(pack(argv[2]))
        elif len(argv) == 3 and argv[1] == "unpack":
            print(unpack(argv[2]))
        elif len(argv) == 4 and argv[1] == "check":
            guid, packed = argv[2], argv[3]
            if pack(guid) != packed.upper() or unpack(packed) != "{%s}" % guid.strip("{}").upper():
                sys.stderr.write("%s and %s are not each other's packed form: %s packs to %s, "
                                 "%s unpacks to %s\n"
                                 % (guid, packed, guid, pack(guid), packed, unpack(packed)))
                return 1
        else:
            sys.stderr.write(__doc__)
            return 2
    except ValueError as error:
        sys.stderr.write("%s\n" % error)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
