# Writes COUNT terminal records "NNNNN,FIELD,N*7" with CRLF to PATH; the middle field cycles through half-width
# katakana, kanji, NEC and IBM extensions and their duplicate codes, and the single bytes 0x80/0xA0/0xFD.
#   python3 make_records.py PATH COUNT
import sys
path, count = sys.argv[1], int(sys.argv[2])
extras = [b"\xb1\xb2\xb3", "商品".encode("cp932"), b"\x87\x40", b"\xed\x40", b"\xfa\x5c", b"\x87\x90", b"\x80\xa0\xfd"]
with open(path, "wb") as f:
    for i in range(1, count + 1):
        f.write(b"%05d," % i + extras[i % len(extras)] + b",%d\r\n" % (i * 7))
