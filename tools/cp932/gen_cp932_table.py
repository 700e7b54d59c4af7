#!/usr/bin/python3
"""Writes src/base/Cp932Table.inc, the decode table of the project's own code page 932 codec.

Run by hand after changing the layout below (builds do not need Python):
    /usr/bin/python3 tools/cp932/gen_cp932_table.py

Code page 932 as Windows maps it, made an exact inverse so that every byte sequence survives a trip through text:
- single bytes: ASCII, half-width katakana 0xA1-0xDF, 0x80 -> U+0080, 0xA0 -> U+F8F0, 0xFD-0xFF -> U+F8F1-U+F8F3;
- double bytes (lead 0x81-0x9F or 0xE0-0xFC, trail 0x40-0x7E or 0x80-0xFC) from Python's cp932 decoder, which
  follows Microsoft's table; user-defined 0xF040-0xF9FC -> U+E000-U+E757;
- a character with several codes decodes from the one the Windows and glibc encoders choose for it (JIS X 0208 over
  NEC row 13 over IBM extension over NEC-selected IBM extension), checked against glibc iconv;
- private use from U+E758 upward, one code point each: first every lead byte met without a trail byte (in byte
  order), then every other double-byte code (duplicate or undefined, in code order);
- for text as shown, each of those private-use characters maps to what Windows shows for its bytes: a duplicate code
  to its character (from Python's decoder), a code that is no character to KATAKANA MIDDLE DOT, Windows' own stand-in
  for code page 932. The same duplicates are written to tests/base/cp932_duplicates.txt ("code character" in hex) as
  the reference the codec's test checks against.
"""

import codecs
import ctypes
import ctypes.util
import os
import sys

LEADS = list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))
TRAILS = list(range(0x40, 0x7F)) + list(range(0x80, 0xFD))
FIXED_SINGLE = {0x80: 0x0080, 0xA0: 0xF8F0, 0xFD: 0xF8F1, 0xFE: 0xF8F2, 0xFF: 0xF8F3}
USER_FIRST, USER_LAST, USER_BASE = 0xF0, 0xF9, 0xE000
PRIVATE_BASE = 0xE758
PRIVATE_END = 0xF8F0  # first code point taken by the fixed single bytes
STAND_IN = 0x30FB  # what Windows shows for code page 932 bytes that are no character

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
OUT = os.path.join(ROOT, "src", "base", "Cp932Table.inc")
DUPLICATES_OUT = os.path.join(ROOT, "tests", "base", "cp932_duplicates.txt")


class Iconv:
    """glibc iconv through ctypes: the reference for which duplicate code the encoder chooses."""

    def __init__(self):
        self.libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
        self.libc.iconv_open.restype = ctypes.c_void_p
        self.libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        self.libc.iconv.restype = ctypes.c_size_t
        self.libc.iconv.argtypes = [ctypes.c_void_p] + [ctypes.c_void_p] * 4
        self.libc.iconv_close.argtypes = [ctypes.c_void_p]

    def convert(self, to, frm, data):
        cd = self.libc.iconv_open(to.encode(), frm.encode())
        if cd == ctypes.c_void_p(-1).value:
            sys.exit("iconv_open %s -> %s failed" % (frm, to))
        try:
            src = ctypes.create_string_buffer(data, len(data))
            dst = ctypes.create_string_buffer(16)
            src_ptr = ctypes.c_void_p(ctypes.addressof(src))
            src_left = ctypes.c_size_t(len(data))
            dst_ptr = ctypes.c_void_p(ctypes.addressof(dst))
            dst_left = ctypes.c_size_t(len(dst))
            args = [ctypes.byref(src_ptr), ctypes.byref(src_left), ctypes.byref(dst_ptr), ctypes.byref(dst_left)]
            if self.libc.iconv(cd, *args) == ctypes.c_size_t(-1).value or src_left.value:
                return None
            if self.libc.iconv(cd, None, None, args[2], args[3]) == ctypes.c_size_t(-1).value:
                return None
            return dst.raw[: len(dst) - dst_left.value]
        finally:
            self.libc.iconv_close(cd)


def preference(code):
    if code < 0x8700:
        return 0  # JIS X 0208
    if code < 0x8800:
        return 1  # NEC row 13
    if 0xFA40 <= code <= 0xFC4B:
        return 2  # IBM extension
    if 0xED40 <= code <= 0xEEFC:
        return 3  # NEC-selected IBM extension
    sys.exit("duplicate outside the known blocks: %04X" % code)


def build():
    iconv = Iconv()
    decoder = codecs.getdecoder("cp932")

    single = [None] * 256
    for b in range(256):
        if b < 0x80 or 0xA1 <= b <= 0xDF:
            single[b] = ord(decoder(bytes([b]))[0])
            assert iconv.convert("UTF-16LE", "CP932", bytes([b])) == chr(single[b]).encode("utf-16-le"), hex(b)
        elif b in FIXED_SINGLE:
            single[b] = FIXED_SINGLE[b]
            assert decoder(bytes([b]))[0] == chr(single[b]), hex(b)

    # Every double-byte code the code page defines, grouped by character.
    codes_of = {}
    for lead in LEADS:
        for trail in TRAILS:
            raw = bytes([lead, trail])
            try:
                ch = decoder(raw)[0]
            except UnicodeDecodeError:
                assert iconv.convert("UTF-16LE", "CP932", raw) is None, raw.hex()
                continue
            assert len(ch) == 1 and iconv.convert("UTF-16LE", "CP932", raw) == ch.encode("utf-16-le"), raw.hex()
            if USER_FIRST <= lead <= USER_LAST:
                expected = USER_BASE + (lead - USER_FIRST) * len(TRAILS) + TRAILS.index(trail)
                assert ord(ch) == expected, raw.hex()
            codes_of.setdefault(ch, []).append(lead << 8 | trail)

    double = {}
    duplicates = 0
    for ch, codes in codes_of.items():
        assert ord(ch) not in single, "character has single- and double-byte codes: U+%04X" % ord(ch)
        chosen = min(codes, key=preference) if len(codes) > 1 else codes[0]
        if len(codes) > 1:
            duplicates += len(codes) - 1
            assert len({preference(c) for c in codes}) == len(codes), "tie for U+%04X" % ord(ch)
        encoded = iconv.convert("CP932", "UTF-16LE", ch.encode("utf-16-le"))
        assert encoded == chosen.to_bytes(2, "big"), "glibc encodes U+%04X as %s, not %04X" % (
            ord(ch), encoded and encoded.hex(), chosen)
        double[chosen] = ord(ch)

    next_private = PRIVATE_BASE
    shown = []
    for lead in LEADS:
        single[lead] = next_private
        shown.append(STAND_IN)
        next_private += 1
    table = []
    duplicate_codes = []
    for lead in LEADS:
        for trail in TRAILS:
            code = lead << 8 | trail
            if code not in double:
                double[code] = next_private
                next_private += 1
                try:
                    ch = decoder(bytes([lead, trail]))[0]
                    duplicate_codes.append((code, ord(ch)))
                    shown.append(ord(ch))
                except UnicodeDecodeError:
                    shown.append(STAND_IN)
            table.append(double[code])
    assert len(duplicate_codes) == duplicates
    assert next_private <= PRIVATE_END, "private use overflows into U+F8F0: U+%04X" % next_private

    assert all(v is not None for v in single)
    everything = single + table
    assert len(set(everything)) == len(everything), "two codes decode to the same character"
    assert not any(0xD800 <= v <= 0xDFFF for v in everything)
    undefined = len(table) - len(codes_of) - duplicates
    return single, table, duplicates, undefined, next_private, shown, duplicate_codes


def rows(values, indent="    ", per_line=16):
    return "\n".join(indent + ",".join("0x%04X" % v for v in values[i : i + per_line]) + ","
                     for i in range(0, len(values), per_line))


def main():
    single, table, duplicates, undefined, next_private, shown, duplicate_codes = build()
    parts = [
        "// Generated by tools/cp932/gen_cp932_table.py; do not edit. Layout and checks: see that script.",
        "// %d double-byte codes per lead byte (trail 0x40-0x7E, 0x80-0xFC); %d duplicate and %d undefined"
        % (len(TRAILS), duplicates, undefined),
        "// double-byte codes and %d lone lead bytes decode to private use U+%04X-U+%04X."
        % (len(LEADS), PRIVATE_BASE, next_private - 1),
        "",
        "constexpr int Cp932TrailCount = %d;" % len(TRAILS),
        "",
        "// Indexed by the byte; a lead byte's entry is what it decodes to without a trail byte.",
        "constexpr char16_t Cp932SingleByte[256] = {",
        rows(single),
        "};",
        "",
        "// Indexed by lead (0x81-0x9F, 0xE0-0xFC in order) * Cp932TrailCount + trail (0x40-0x7E, 0x80-0xFC in order).",
        "constexpr char16_t Cp932DoubleByte[%d * Cp932TrailCount] = {" % len(LEADS),
    ]
    for n, lead in enumerate(LEADS):
        parts.append("    // 0x%02X" % lead)
        parts.append(rows(table[n * len(TRAILS) : (n + 1) * len(TRAILS)]))
    parts.append("};")
    parts += [
        "",
        "// Text as shown: indexed by private-use character - 0x%04X, what Windows shows for those bytes." % PRIVATE_BASE,
        "constexpr char16_t Cp932PrivateBase = 0x%04X;" % PRIVATE_BASE,
        "constexpr char16_t Cp932ShownStandIn = 0x%04X;" % STAND_IN,
        "constexpr char16_t Cp932Shown[%d] = {" % len(shown),
        rows(shown),
        "};",
    ]
    with open(OUT, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(parts) + "\n")
    print("wrote %s" % os.path.normpath(OUT))
    with open(DUPLICATES_OUT, "w", encoding="ascii", newline="\n") as f:
        f.write("".join("%04X %04X\n" % pair for pair in duplicate_codes))
    print("wrote %s" % os.path.normpath(DUPLICATES_OUT))


if __name__ == "__main__":
    main()
