"""deflate.py INPUT OUTPUT: writes INPUT's bytes to OUTPUT as raw deflate data, by zlib at its best."""
import sys
import zlib

with open(sys.argv[1], "rb") as source:
    data = source.read()
deflater = zlib.compressobj(9, zlib.DEFLATED, -15)
with open(sys.argv[2], "wb") as target:
    target.write(deflater.compress(data) + deflater.flush())
