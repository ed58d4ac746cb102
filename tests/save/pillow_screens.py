"""Writes down the screens Pillow composes of GIF files.

Usage: pillow_screens.py LIST, where LIST names one GIF file a line.  For
each FILE it writes FILE.screens: the screen's width and height (32 bits
each), then per frame its duration in milliseconds (64 bits) and the whole
screen as Pillow shows it after the frame, in RGBA (all little-endian).  A
file Pillow cannot read gets no .screens file and a line on stderr.
"""
import struct
import sys

from PIL import Image


def write_screens(path):
    with Image.open(path) as im:
        parts = [struct.pack("<ii", *im.size)]
        for k in range(getattr(im, "n_frames", 1)):
            im.seek(k)
            parts.append(struct.pack("<q", im.info.get("duration") or 0))
            parts.append(im.convert("RGBA").tobytes())
    with open(path + ".screens", "wb") as out:
        out.write(b"".join(parts))


def main():
    with open(sys.argv[1]) as files:
        for line in files:
            path = line.rstrip("\n")
            try:
                write_screens(path)
            except Exception as e:
                print("%s: %s" % (path, e), file=sys.stderr)


if __name__ == "__main__":
    main()
