#!/usr/bin/env python3
"""Writes the seed inputs of the codebook-based fuzz targets: a small
codebook in the index and text file formats (the first variables of the demo
project, cut down), joined with the other files each target reads by the cut
mark. Run from the repository root: python3 fuzz/make_seeds.py [DEMO_DIR]
With DEMO_DIR (made by qavn-mkproject samples/demo/demo.json --out DEMO_DIR)
the first twelve records of the built demo codebook and the start of its
text and raw data become seeds as well."""
import os
import struct
import sys

CUT = b"\n@@CUT@@\n"


def ref(offset):
    return struct.pack("<IB", offset // 256, offset % 256)


def codebook(variables):
    text = bytearray()

    def put(lines):
        start = len(text)
        for line in lines:
            text.extend(line.encode("latin-1").replace(b"\t", b"\xdc") + b"\xdb")
        return start

    index = bytearray()
    for v in variables:
        label = put([v["label"]])
        section = put([v["section"]])
        cats = put(v.get("categories", []))
        desc = put(v.get("description", []))
        name = v["name"].encode()
        loc = v["location"].encode()
        rec = (bytes([len(name)]) + name.ljust(8, b" ") + struct.pack("<HB", v["file"], v["record"]) +
               bytes([len(loc)]) + loc.ljust(9, b" ") + v.get("type", " ").encode() + ref(label) + ref(cats) +
               struct.pack("<H", len(v.get("categories", []))) + ref(desc) +
               struct.pack("<H", len(v.get("description", []))) + ref(section))
        assert len(rec) == 47
        index.extend(rec)
    # Fillers between blocks, as the files carry them.
    text.extend(b"\xff" * 7)
    return bytes(index), bytes(text)


DEMO = [
    {"name": "CASEID", "label": "Case identifier", "section": "Administration", "file": 1, "record": 1,
     "location": "1-5", "description": ["Unique case number of the youth."]},
    {"name": "HHREL1", "label": "Relationship of member 1", "section": "Household roster", "file": 1,
     "record": 1, "location": "6-7",
     "description": ["What is the relationship of this household member to the youth? The household",
                     "roster lists up to 8 members.", "", "Universe: Household members 1 to 8"],
     "categories": ["1\t412\t51.5\tYouth", "2\t220\t27.5\tParent", "-1\t8\t1.0\t{Refused}"]},
    {"name": "STATE", "label": "State of residence", "section": "Household roster", "file": 1, "record": 2,
     "location": "8-9", "type": "A", "description": ["Two-letter state code."],
     "categories": ["'AL'\t300\t37.5\tAlabama", "'AK'\t500\t62.5\tAlaska"]},
    {"name": "PINCOME", "label": "Parent income", "section": "Parent interview", "file": 2, "record": 1,
     "location": "6-12", "type": "0", "description": ["Total income of the household before tax."],
     "categories": ["0\t100\t12.5\tNone"]},
    {"name": "SCHTYPE", "label": "School type", "section": "School survey", "file": 3, "record": 1,
     "location": "3", "categories": ["1\t700\t87.5\tPublic", "2\t100\t12.5\tPrivate"]},
]

# Texts that try to break out of the generated programs: line breaks, both
# quotes, comment marks, names the languages refuse, a code that is no
# literal.
HOSTILE = [
    {"name": "ID", "label": "Tagged ID\n.\nHOST COMMAND=['touch x'].", "section": "Hostile", "file": 1,
     "record": 1, "location": "6-7",
     "categories": ["1\t2\t66.7\tYes\r.\rHOST COMMAND=['touch x'].", "A'\t1\t33.3\tbroken';"]},
    {"name": "BY", "label": "Town';\nX 'touch x';\n* */", "section": "Hostile", "file": 1, "record": 1,
     "location": "8", "type": "'"},
    {"name": "A-B", "label": "Wage\"'\nshell touch x ///", "section": "Hostile", "file": 1, "record": 1,
     "location": "1;X'id'", "categories": ["1\t1\t100.0\tR\\\")\nsystem(\"touch x\")#"]},
    {"name": "age", "label": "Null\x00byte $HOME `x'", "section": "Hostile", "file": 2, "record": 1,
     "location": "6", "type": "1"},
    {"name": "AGE", "label": "Closers */ ]]> /* //", "section": "Hostile", "file": 2, "record": 1,
     "location": "7", "type": "A", "categories": ["'O''N'\t1\t100.0\tO'N"]},
]

RAW = ("00001121AL\r\n00001  2\r\n00001\r\n00002211AK\r\n00002  9\r\n00002\r\n"
       "00003 1\r\n").encode()


def write(target, name, data):
    d = os.path.join("fuzz", "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def main():
    index, text = codebook(DEMO)
    one_index, one_text = codebook(DEMO[1:2])
    write("codebook", "demo", index + CUT + text)
    write("codebook", "one", one_index + CUT + one_text)
    write("search", "demo-label", index + CUT + text + CUT + b"\x04PARENT")
    write("search", "demo-words", index + CUT + text + CUT + b"\x1fthe")
    write("writers", "demo", index + CUT + text + CUT + b"\x01")
    write("writers", "demo-odd", index + CUT + text + CUT + b"\x82")
    hostile_index, hostile_text = codebook(HOSTILE)
    write("writers", "hostile", hostile_index + CUT + hostile_text + CUT + b"\x01")
    write("export", "demo", index + CUT + text + CUT + RAW + CUT + b"3\n1-5\nDATA\\PARENT97.DAT\n")
    write("export", "no-id", one_index + CUT + one_text + CUT + RAW + CUT + b"2\n0\n..\\..\\X.DAT\n")

    if len(sys.argv) > 1:
        demo(sys.argv[1])


def demo(root):
    res = os.path.join(root, "c", "QAVN", "DEMO")
    with open(os.path.join(res, "DEMO01.CDC"), "rb") as f:
        index = f.read()[:12 * 47]
    with open(os.path.join(res, "DEMO02.CDC"), "rb") as f:
        text = f.read()[:2900]
    with open(os.path.join(root, "d", "DATA", "YOUTH97.DAT"), "rb") as f:
        raw = b"".join(f.read().splitlines(keepends=True)[:6])
    write("codebook", "demo-cut", index + CUT + text)
    write("search", "demo-cut", index + CUT + text + CUT + b"\x0eHOUSEHOLD")
    write("writers", "demo-cut", index + CUT + text + CUT + b"\x02")
    write("export", "demo-cut", index + CUT + text + CUT + raw + CUT + b"3\n1-5\nDATA\\YOUTH97.DAT\n")


main()
