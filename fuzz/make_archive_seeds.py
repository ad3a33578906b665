#!/usr/bin/env python3
"""Writes the seed archives of fuzz_archive into fuzz/corpus/fuzz_archive/ and
the hostile inputs that must never crash or hang into fuzz/regressions/fuzz_archive/.

A small typed-stream writer (the layout NSArchiver used): run it again after
changing the seeds and commit the files it writes."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "fuzz_archive")
HOSTILE = os.path.join(HERE, "regressions", "fuzz_archive")


class Writer:
    def __init__(self, big=False):
        self.big = big
        self.out = bytearray(b"\x04\x0b" + (b"typedstream" if big else b"streamtyped"))
        self.strings, self.classes, self.objects = {}, {}, 0
        self.integer(1000)

    def pack(self, fmt, v):
        self.out += struct.pack((">" if self.big else "<") + fmt, v)

    def integer(self, v):
        if -110 <= v <= 127:
            self.out.append(v & 0xFF)
        elif -32767 <= v <= 32767:
            self.out.append(0x81)
            self.pack("h", v)
        else:
            self.out.append(0x82)
            self.pack("i", v)

    def real(self, v):
        v = struct.unpack("f", struct.pack("f", v))[0]
        t = int(v) if math.isfinite(v) and abs(v) < 2**31 else 0
        if float(t) == v:
            self.integer(t)
        else:
            self.out.append(0x83)
            self.pack("f", v)

    def string(self, s):
        if s in self.strings:
            self.integer(self.strings[s] - 110)
            return
        self.strings[s] = len(self.strings)
        self.out.append(0x84)
        self.integer(len(s))
        self.out += s

    def begin(self, chain):
        self.out.append(0x84)
        number = self.objects
        self.objects += 1
        for name in chain:
            if name in self.classes:
                self.integer(self.classes[name] - 110)
                return number
            self.out.append(0x84)
            self.classes[name] = self.objects
            self.objects += 1
            self.string(name)
            self.integer(0)
        self.out.append(0x85)
        return number

    def end(self):
        self.out.append(0x86)


def colour(kind, values):
    def write(w):
        w.begin([b"NSColor", b"NSObject"])
        w.string(b"c")
        w.out.append(kind)
        if values:
            w.string(b"f" * len(values))
            for v in values:
                w.real(v)
        w.end()
    return write


def nil(w):
    w.out.append(0x85)


def named(catalog, name, embedded):
    def write(w):
        w.begin([b"NSColor", b"NSObject"])
        w.string(b"c")
        w.out.append(6)
        w.string(b"@@@")
        for text in (catalog, name):
            w.begin([b"NSString", b"NSObject"])
            w.string(b"+")
            w.integer(len(text))
            w.out += text
            w.end()
        embedded(w)
        w.end()
    return write


def fractal(maps, iterations, background, big=False, array=b"NSMutableArray"):
    w = Writer(big)
    w.string(b"@")
    w.begin([b"QvFrac", b"NSObject"])
    w.string(b"@")
    w.begin([array, b"NSArray", b"NSObject"] if array == b"NSMutableArray" else [array, b"NSObject"])
    w.string(b"i")
    w.integer(len(maps))
    for sx, sy, rot, tx, ty, col, prob in maps:
        w.string(b"@")
        w.begin([b"QvTransform", b"NSObject"])
        for group, values in ((b"{_NSPoint=ff}", (sx, sy)), (b"f", (rot,)), (b"{_NSPoint=ff}", (tx, ty))):
            w.string(group)
            for v in values:
                w.real(v)
        w.string(b"@")
        col(w)
        w.string(b"f")
        w.real(prob)
        w.end()
    w.end()
    w.string(b"i")
    w.integer(iterations)
    w.string(b"@")
    background(w)
    w.end()
    return bytes(w.out)


def main():
    os.makedirs(OUT, exist_ok=True)
    example = [(0.5, 0.25, 0.5, 1, -1, colour(1, (1, 0.5, 0, 1)), 1)]
    sierpinski = [
        (0.5, 0.5, 0, -1, -1, colour(1, (0, 1, 0, 1)), 1),
        (0.5, 0.5, 0, 1, -1, colour(2, (0, 0, 1, 1)), 1),
        (0.5, 0.5, 0, 0, 1, colour(1, (1, 0, 0, 1)), 1),
    ]
    mixed = [
        (0.1, -0.75, 3.25, -1.5, 2, named(b"System", b"red", colour(5, (0.1, 0.2, 0.3, 0.4, 0.5))), 0),
        (300, 0.3, -0.5, 0, -40000, colour(4, (0.5, 0.75)), 2.5),
        (1e-3, 1e10, 0, 0.125, -0.125, nil, -1),
        (0.5, 0.5, 1, 1, 1, colour(10, (8, 8)), 1),
    ]
    seeds = {
        "worked-example-le": fractal(example, 100000, colour(3, (0, 1))),
        "worked-example-be": fractal(example, 100000, colour(3, (0, 1)), big=True),
        "sierpinski-be": fractal(sierpinski, 200000, colour(1, (0, 0, 0, 1)), big=True),
        "mixed-colours-le": fractal(mixed, 123456, named(b"Apple", b"grey", nil)),
        "mixed-colours-be": fractal(mixed, -7, colour(3, (0.25, 1)), big=True),
        "empty-immutable": fractal([], 0, nil, array=b"NSArray"),
    }
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)

    header = Writer().out
    deep = Writer()
    for _ in range(20000):
        deep.string(b"@")
        deep.begin([b"NSArray", b"NSObject"])
    chain = header + b"\x84\x01@\x84" + b"".join(b"\x84\x84\x02%02d\x00" % (i % 90 + 10) for i in range(20000))
    # A root object whose groups are one long type string of fields that take
    # no bytes, used again and again through one-byte references.
    zero_size = (header + b"\x84\x01@\x84\x84\x84\x06QvFrac\x00\x85\x84\x82" + struct.pack("<i", 4001)
                 + b"!" * 4000 + b"cx" + b"\x94x" * 100000 + b"\x86")
    huge_array = header + b"\x84\x0d[2000000000i]\x01"
    self_super = header + b"\x84\x01@\x84\x84\x84\x01A\x00\x93"
    cycle = header + b"\x84\x01@\x84\x84\x84\x06QvFrac\x00\x85\x92\x92\x86"
    hostile = {
        "deep-nesting": bytes(deep.out),
        "long-class-chain": bytes(chain),
        "zero-size-fields": bytes(zero_size),
        "huge-array-count": bytes(huge_array),
        "own-superclass": bytes(self_super),
        "object-inside-itself": bytes(cycle),
    }
    os.makedirs(HOSTILE, exist_ok=True)
    for name, data in hostile.items():
        with open(os.path.join(HOSTILE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
