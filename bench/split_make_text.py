#!/usr/bin/env python3
"""Writes a text file of exactly SIZE bytes (default 1 GiB) with CR LF line ends.

Lines are 10 to 150 bytes of words from a fixed seed, so every run makes the same file.
Usage: split_make_text.py OUT [SIZE_BYTES]
"""
import random
import sys

WORDS = ("alpha bravo charlie delta echo foxtrot golf hotel india juliet kilo lima mike "
         "november oscar papa quebec romeo sierra tango uniform victor whiskey xray yankee "
         "zulu note page list item meeting call review draft entry").split()


def block(rng, size):
    lines = []
    total = 0
    while total < size:
        target = rng.randint(10, 150)
        words = []
        length = 0
        while length < target:
            word = rng.choice(WORDS)
            words.append(word)
            length += len(word) + 1
        line = " ".join(words)[:target] + "\r\n"
        lines.append(line)
        total += len(line)
    return "".join(lines).encode("ascii")


def main():
    out = sys.argv[1]
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 1 << 30
    rng = random.Random(20261206)
    # A handful of distinct 8 MiB blocks repeated: varied enough, and quick to write.
    blocks = [block(rng, 8 << 20) for _ in range(4)]
    written = 0
    with open(out, "wb") as f:
        i = 0
        while written < size:
            data = blocks[i % len(blocks)]
            i += 1
            if written + len(data) > size:
                data = data[: size - written]
                # Close the cut line so the file still ends with a line end.
                if len(data) >= 2:
                    data = data[:-2] + b"\r\n"
            f.write(data)
            written += len(data)


if __name__ == "__main__":
    main()
