#!/usr/bin/env python3
"""Independent reference for the update tool's file formats (struct + zlib).

  image OUT [name:size:version:addr:flag:date[:fill] | name:-:version ...]
      Builds an upgrade image. Each payload is `size` bytes of a pattern
      (or of the byte `fill`), padded with 0xFF to a multiple of 2048.
      "-" as size makes a record with a name and version but no payload.
      Prints the listing the tool is expected to print for the image.
  parse IMAGE
      Prints one line per named record: name offset size version crc ok
      where ok says whether the payload CRC matches and the padding rules
      hold, then "time=<build time>" and "builder=<version>".
  envcopy OUT FLAG [name=value ...]
      Writes one 65536-byte environment copy with the given flag.
  envread FILE OFFSET
      Prints crc=ok|bad, flag=N and the variables of the copy at OFFSET.
"""
import os
import struct
import sys
import zlib

HDR = 2048
REC = struct.Struct("<IIIIII52sI")
COPY = 65536


def pattern(n, seed):
    return bytes((i * 7 + seed * 13 + (i >> 8)) & 0xFF for i in range(n))


def listing(records):
    out = "Image info: "
    for r in records:
        out += "%s: \n" % r["name"]
        if r["offset"] and r["size"]:
            d = r["date"]
            out += "offset  = 0x%08X\n" % r["offset"]
            out += "size    = %d K\n" % (r["size"] // 1024)
            out += "addr    = 0x%08X\n" % r["addr"]
            out += "flag    = 0x%08X\n" % r["flag"]
            out += "date    = %d/%d/%d\n" % (d >> 16, (d >> 8) & 0xFF, d & 0xFF)
            out += "crc32   = 0x%08X\n" % r["crc"]
        v = r["version"]
        out += "version = %d.%d.%d.%d\n" % (v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF)
    return out


def cmd_image(out, descs):
    header = bytearray(HDR)
    body = bytearray()
    records = []
    for slot, desc in enumerate(descs):
        f = desc.split(":")
        name = f[0]
        version = int(f[2], 0)
        if f[1] == "-":
            rec = dict(name=name, offset=0, size=0, version=version, addr=0, flag=0, date=0, crc=0)
        else:
            size, addr, flag, date = int(f[1], 0), int(f[3], 0), int(f[4], 0), int(f[5], 0)
            data = bytes([int(f[6], 0)]) * size if len(f) > 6 else pattern(size, slot)
            data += b"\xff" * ((-len(data)) % 2048)
            rec = dict(name=name, offset=HDR + len(body), size=len(data), version=version,
                       addr=addr, flag=flag, date=date, crc=zlib.crc32(data) & 0xFFFFFFFF)
            body += data
        REC.pack_into(header, slot * 80, rec["offset"], rec["size"], rec["version"],
                      rec["addr"], rec["flag"], rec["date"], name.encode(), rec["crc"])
        records.append(rec)
    header[560:560 + 19] = b"2022-07-18 10:00:00"
    header[592:599] = b"9.0.16\0"
    os.makedirs(os.path.dirname(out) or ".", exist_ok=True)
    with open(out, "wb") as fh:
        fh.write(bytes(header) + bytes(body))
    sys.stdout.write(listing(records))


def cmd_parse(path):
    blob = open(path, "rb").read()
    for slot in range(7):
        off, size, ver, addr, flag, date, name, crc = REC.unpack_from(blob, slot * 80)
        name = name.split(b"\0")[0].decode()
        if not name:
            continue
        payload = blob[off:off + size]
        ok = (len(payload) == size and size % 2048 == 0 and
              zlib.crc32(payload) & 0xFFFFFFFF == crc)
        print(name, off, size, "0x%08X" % ver, "0x%08X" % crc, "0x%08X" % date,
              "ok" if ok else "bad")
    print("time=" + blob[560:592].split(b"\0")[0].decode())
    print("builder=" + blob[592:599].decode("latin-1"))
    print("rest_zero=%s" % (blob[599:2048] == bytes(1449)))


def cmd_envcopy(out, flag, pairs):
    data = b"".join(p.encode() + b"\0" for p in pairs) + b"\0"
    body = data.ljust(COPY - 5, b"\0") + bytes([flag])
    with open(out, "wb") as fh:
        fh.write(struct.pack("<I", zlib.crc32(body) & 0xFFFFFFFF) + body)


def cmd_envread(path, offset):
    with open(path, "rb") as fh:
        fh.seek(offset)
        blob = fh.read(COPY)
    crc, = struct.unpack_from("<I", blob)
    print("crc=" + ("ok" if zlib.crc32(blob[4:]) & 0xFFFFFFFF == crc else "bad"))
    print("flag=%d" % blob[-1])
    data = blob[4:-1]
    end = 0 if data.startswith(b"\0") else data.index(b"\0\0")
    for t in data[:end].split(b"\0"):
        print(t.decode())


def main():
    cmd, args = sys.argv[1], sys.argv[2:]
    if cmd == "image":
        cmd_image(args[0], args[1:])
    elif cmd == "parse":
        cmd_parse(args[0])
    elif cmd == "envcopy":
        cmd_envcopy(args[0], int(args[1]), args[2:])
    elif cmd == "envread":
        cmd_envread(args[0], int(args[1], 0))
    else:
        sys.exit("unknown command " + cmd)


if __name__ == "__main__":
    main()
