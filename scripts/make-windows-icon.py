#!/usr/bin/env python3
"""Writes the icon of the Windows program, resources/TorvanelClient.ico (or the file named on
the command line), from the pictures the client already has.

16 and 32 px are the tray's own pictures (resources/mainicon*.png), so the program in the
Explorer and in a Startup-folder shortcut looks as it does in the tray; 48 and 256 px, which
the Explorer's larger views ask for, come from the desktop icon's drawing. Each picture is
kept as PNG inside the icon, as Windows reads it since Vista. Run this again after changing
any of them and commit the file with them.
usage: make-windows-icon.py [OUTPUT]
"""
import os
import struct
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
PICTURES = [
    "resources/mainicon16.png",
    "resources/mainicon32.png",
    "packaging/icons/48x48/de.torvanel.Client.png",
    "packaging/icons/256x256/de.torvanel.Client.png",
]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "resources/TorvanelClient.ico")
    images = []
    for name in PICTURES:
        with open(os.path.join(ROOT, name), "rb") as f:
            data = f.read()
        if data[:8] != b"\x89PNG\r\n\x1a\n":
            sys.exit(f"{name}: not a PNG picture")
        width, height = struct.unpack(">II", data[16:24])
        images.append((width, height, data))
    # ICONDIR, then an ICONDIRENTRY per picture; a size of 256 is written as 0.
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = len(head) + 16 * len(images)
    entries, body = b"", b""
    for width, height, data in images:
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data),
                               offset + len(body))
        body += data
    with open(out, "wb") as f:
        f.write(head + entries + body)


if __name__ == "__main__":
    main()
