"""Reference conversions from Python's own codecs, for comparison with the ICU-based ones.

Prints one line per two-byte code of the named table:
  gbk:  <code hex> <utf-8 hex of the character, or - when Python cannot decode it>
  big5: <code hex> <gbk hex of the character, or - when it cannot be decoded or encoded>
"""
import sys


def codes():
    for lead in range(0x81, 0xFF):
        for trail in range(0x40, 0xFF):
            if trail != 0x7F:
                yield bytes([lead, trail])


def main(table):
    out = []
    for code in codes():
        try:
            if table == "gbk":
                result = code.decode("gbk").encode("utf-8").hex()
            else:
                result = code.decode("cp950").encode("gbk").hex()
        except UnicodeError:
            result = "-"
        out.append(f"{code.hex()} {result}")
    sys.stdout.write("\n".join(out) + "\n")


main(sys.argv[1])
