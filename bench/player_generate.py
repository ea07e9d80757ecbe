#!/usr/bin/env python3
"""Fills a staging folder for the player benchmark: CARDS small vCards (home, work and combined
names, as the card writer makes them) and NOTES plain-text notes, one in five long enough to be
cut into linked pieces on the player; half the notes Windows-1252, half UTF-8. Fixed seed.
Usage: player_generate.py STAGING CARDS NOTES
"""
import os
import random
import sys

WORDS = ["meeting", "call", "Zoë", "café", "list", "garden", "invoice", "train", "Müller",
         "idea", "review", "draft"]


def main():
    staging, cards, notes = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    os.makedirs(staging, exist_ok=True)
    rng = random.Random(5)
    for i in range(cards):
        suffix = ("", "-H", "-W ")[i % 3]
        card = (f"BEGIN:VCARD\r\nVERSION:2.1\r\nN:Person;Number {i}\r\nFN:Number {i} Person\r\n"
                f"TEL;HOME:+44 20 7946 {i % 10000:04d}\r\n"
                f"ADR;HOME:;;{i} High Street;London;;N{i % 9} 1AA;UK\r\n"
                f"EMAIL;INTERNET:person{i}@example.org\r\nEND:VCARD\r\n")
        with open(os.path.join(staging, f"Person {i:05d}{suffix}.vcf"), "w", newline="") as f:
            f.write(card)
    for i in range(notes):
        size = rng.randint(5000, 15000) if i % 5 == 0 else rng.randint(100, 3900)
        lines, total = [], 0
        while total < size:
            line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(3, 15)))
            lines.append(line)
            total += len(line.encode()) + 2
        encoding = "cp1252" if i % 2 else "utf-8"
        with open(os.path.join(staging, f"Note {i:04d}.txt"), "w", encoding=encoding,
                  newline="") as f:
            f.write("\r\n".join(lines))
    print(f"{cards} cards and {notes} notes in {staging}")


if __name__ == "__main__":
    main()
