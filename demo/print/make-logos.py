#!/usr/bin/env python3
"""Draws the demo logos under BMP/: the company strip BMP/01/LOGOBOLR.BMP and
the bank logos BMP/<bank>/LOGO.BMP, as uncompressed 24-bit BMP files.

Banks 356 and 021 get no logo on purpose: their boletos print the bank
description in the logo box. Run once from anywhere; the files are committed.
Needs only the Python standard library.
"""
import os
import struct

# 5x7 capitals; an accent, where a letter has one, goes in the two rows above.
GLYPHS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    " ": ["00000"] * 7,
}
ACUTE = ["00010", "00100"]
ACCENTED = {"Ú": ("U", ACUTE)}

WHITE = (255, 255, 255)


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.pixels = [[colour] * width for _ in range(height)]

    def fill(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.pixels[y][x] = colour

    def text(self, x, y, text, scale, colour):
        """Draws `text` with its capital height starting at row y."""
        for ch in text:
            base, accent = ACCENTED.get(ch, (ch, None))
            rows = GLYPHS[base]
            if accent:
                rows = accent + rows
                top = y - 2 * scale
            else:
                top = y
            for r, bits in enumerate(rows):
                for c, bit in enumerate(bits):
                    if bit == "1":
                        self.fill(x + c * scale, top + r * scale,
                                  x + (c + 1) * scale, top + (r + 1) * scale, colour)
            x += 6 * scale

    @staticmethod
    def text_width(text, scale):
        return len(text) * 6 * scale - scale

    def save_bmp(self, path):
        row_size = (self.width * 3 + 3) & ~3  # rows are padded to 4 bytes
        image_size = row_size * self.height
        pixels_per_metre = 3780  # 96 dots per inch
        header = struct.pack("<2sIHHI", b"BM", 14 + 40 + image_size, 0, 0, 14 + 40)
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0,
                           image_size, pixels_per_metre, pixels_per_metre, 0, 0)
        body = bytearray()
        for row in reversed(self.pixels):  # bottom-up
            for r, g, b in row:
                body += bytes((b, g, r))
            body += b"\0" * (row_size - self.width * 3)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(header + info + body)


def company_logo(path):
    navy, orange = (22, 48, 110), (232, 120, 20)
    c = Canvas(700, 115, WHITE)
    c.fill(0, 0, 115, 115, navy)
    c.text((115 - Canvas.text_width("TM", 6)) // 2, (115 - 42) // 2, "TM", 6, WHITE)
    c.text(135, 18, "TECELAGEM MODELO", 5, navy)
    c.text(137, 68, "TECIDOS E FIOS", 3, orange)
    c.fill(135, 103, 700, 111, orange)
    c.save_bmp(path)


def bank_logo(path, text, scale, background, foreground, stripe=None, border=None):
    c = Canvas(110, 32, background)
    if border:
        c.fill(0, 0, 110, 2, border)
        c.fill(0, 30, 110, 32, border)
    if stripe:
        c.fill(0, 27, 110, 32, stripe)
    height = 7 * scale
    c.text((110 - Canvas.text_width(text, scale)) // 2, (32 - height) // 2 + (1 if "Ú" in text else 0),
           text, scale, foreground)
    c.save_bmp(path)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    bmp = os.path.join(here, "BMP")
    company_logo(os.path.join(bmp, "01", "LOGOBOLR.BMP"))
    blue = (0, 56, 147)
    banks = [
        ("409", "UNIBANCO", 2, blue, WHITE, None, None),
        ("237", "BRADESCO", 2, (204, 9, 47), WHITE, None, None),
        ("001", "BB", 3, (250, 224, 0), blue, None, None),
        ("033", "SANTANDER", 2, (236, 0, 0), WHITE, None, None),
        ("341", "ITAÚ", 3, (236, 112, 0), (0, 49, 120), None, None),
        ("399", "HSBC", 3, WHITE, (219, 0, 17), None, (219, 0, 17)),
        ("104", "CAIXA", 3, (0, 92, 169), WHITE, (247, 148, 29), None),
        ("756", "SICOOB", 3, (0, 54, 65), (125, 182, 40), None, None),
    ]
    for code, text, scale, bg, fg, stripe, border in banks:
        bank_logo(os.path.join(bmp, code, "LOGO.BMP"), text, scale, bg, fg, stripe, border)


if __name__ == "__main__":
    main()
