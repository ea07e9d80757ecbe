#!/usr/bin/env python3
"""Writes a large RTF document shaped like a word processor's output: styled paragraphs,
Western and Cyrillic text as \\uN with fallbacks, bullet lists, tables and embedded pictures.
Usage: rtf_generate.py OUT.rtf [MEGABYTES]   (fixed seed: the same file every time)"""
import random
import sys

out_path = sys.argv[1]
target = int(float(sys.argv[2]) if len(sys.argv) > 2 else 50) * 1024 * 1024
rng = random.Random(7)

WESTERN = ("the quarterly figures show café müller straße naïve résumé déjà vu "
           "budget meeting office supplies stock €").split()
CYRILLIC = "годовой отчёт филиала северный сотрудники высоко оценили гибкий рабочий график".split()
PARA = (r"\pard\plain \s0\rtlch\af6\afs24\alang1081 \ltrch\lang1031\langfe2052\hich\af3\loch"
        r"\nowidctlpar\hyphpar0\ltrpar\cf0\f3\fs24\lang1031\kerning1\dbch\af6\langfe2052\ql\ltrpar")


def escape(word):
    parts = []
    for ch in word:
        code = ord(ch)
        if code < 0x80:
            parts.append(ch)
        else:
            try:
                fallback = "\\'%02x" % ch.encode("cp1252")[0]
            except UnicodeEncodeError:
                fallback = "\\'3f"
            parts.append("\\u%d%s" % (code if code < 32768 else code - 65536, fallback))
    return "".join(parts)


def sentence(words):
    return " ".join(escape(rng.choice(words)) for _ in range(rng.randint(6, 18)))


with open(out_path, "w", encoding="ascii", newline="\n") as out:
    out.write("{\\rtf1\\ansi\\deff3\\adeflang1025\n{\\fonttbl{\\f3\\froman\\fprq2\\fcharset0 "
              "DejaVu Serif;}{\\f6\\fnil\\fprq2\\fcharset0 DejaVu Sans;}}\n"
              "{\\colortbl;\\red0\\green0\\blue0;}\n{\\info{\\title Generated}}\n")
    written = 0
    while written < target:
        kind = rng.random()
        if kind < 0.75:
            words = CYRILLIC if rng.random() < 0.4 else WESTERN
            chunk = "%s{\\loch\n%s. }{\\rtlch\\ab \\ltrch\\loch\\b\\loch\n%s}\n\\par " % (
                PARA, sentence(words), sentence(words))
        elif kind < 0.88:
            chunk = "%s{\\listtext\\pard\\plain  \\u8226\\'95\\tab}\\ilvl0\\ls2 \\li720{\\loch\n%s}\n\\par " % (
                PARA, sentence(WESTERN))
        elif kind < 0.97:
            cells = "".join("%s\\intbl{\\loch\n%s}\\cell" % (PARA, sentence(WESTERN)[:40])
                            for _ in range(4))
            chunk = "\\trowd\\trql\\cellx2000\\cellx4000\\cellx6000\\cellx8000\n%s\\row\\pard " % cells
        else:
            data = "".join("%02x" % rng.randrange(256) for _ in range(rng.randint(2000, 20000)))
            lines = "\n".join(data[i:i + 128] for i in range(0, len(data), 128))
            chunk = ("{\\field{\\*\\fldinst SHAPE }{\\fldrslt{\\shp{\\*\\shpinst{\\sp{\\sn pib}"
                     "{\\sv {\\pict\\pngblip\\picw64\\pich64\n%s}}}}}}}\\par " % lines)
        out.write(chunk)
        written += len(chunk)
    out.write("}\n")
