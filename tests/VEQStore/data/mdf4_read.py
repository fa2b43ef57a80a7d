#!/usr/bin/env python3
"""Reads ASAM MDF 4.x files with the block layout of the published standard and prints what they
hold as one JSON document: a list with, per file, the header's time fields and every channel
group with its channels (name, unit, kind, layout) and values.

Written from the standard's block descriptions alone: every block is found by following links
from the identification block, and its id is checked against the type the link must point to.
Handles sorted data groups with a single DT block (no data lists, no compression) and channels of
the integer and IEEE 754 data types. A float NaN is reported as "nan:<hex bits>", infinities as
"inf" and "-inf", so that nothing is lost in JSON."""

import json
import math
import struct
import sys


class MDFError(Exception):
    pass


class Reader:
    def __init__(self, data):
        self.data = data

    def block(self, offset, expected):
        if offset < 64 or offset + 24 > len(self.data):
            raise MDFError(f"link {offset} outside the file")
        block_id, _reserved, length, link_count = struct.unpack_from("<4s4sQQ", self.data, offset)
        block_id = block_id.decode("ascii", "replace")
        if block_id not in expected:
            raise MDFError(f"link {offset} points at {block_id!r}, expected one of {expected}")
        if length < 24 + 8 * link_count or offset + length > len(self.data):
            raise MDFError(f"{block_id} at {offset}: bad length {length}")
        links = list(struct.unpack_from(f"<{link_count}Q", self.data, offset + 24))
        body = offset + 24 + 8 * link_count
        return block_id, length, links, body

    def text(self, offset):
        if offset == 0:
            return None
        block_id, length, _links, body = self.block(offset, ("##TX", "##MD"))
        raw = self.data[body:offset + length]
        return raw.split(b"\0", 1)[0].decode("utf-8")


def value_of(record, cn):
    data_type, byte_offset, bit_offset, bit_count = cn["data_type"], cn["byte_offset"], cn["bit_offset"], cn["bit_count"]
    size = (bit_offset + bit_count + 7) // 8
    raw = record[byte_offset:byte_offset + size]
    if len(raw) < size:
        raise MDFError("channel reaches beyond its record")
    if data_type in (4, 5):
        if bit_offset != 0 or bit_count not in (32, 64):
            raise MDFError("unsupported float layout")
        order = "<" if data_type == 4 else ">"
        if bit_count == 32:
            (v,) = struct.unpack(order + "f", raw)
            bits = struct.unpack(order + "I", raw)[0]
            width = 8
        else:
            (v,) = struct.unpack(order + "d", raw)
            bits = struct.unpack(order + "Q", raw)[0]
            width = 16
        if math.isnan(v):
            return f"nan:{bits:0{width}x}"
        if math.isinf(v):
            return "inf" if v > 0 else "-inf"
        return v
    if data_type in (0, 1, 2, 3):
        number = int.from_bytes(raw, "little" if data_type in (0, 2) else "big")
        number = (number >> bit_offset) & ((1 << bit_count) - 1)
        if data_type in (2, 3) and number >> (bit_count - 1):
            number -= 1 << bit_count
        return number
    raise MDFError(f"unsupported data type {data_type}")


def read_file(path):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 64:
        raise MDFError("shorter than the identification block")
    id_file, id_vers, id_prog = data[0:8], data[8:16], data[16:24]
    (id_ver,) = struct.unpack_from("<H", data, 28)
    if id_file != b"MDF     ":
        raise MDFError("not an MDF file")
    if id_ver < 400:
        raise MDFError("not MDF version 4")
    r = Reader(data)

    _id, _length, hd_links, hd_body = r.block(64, ("##HD",))
    dg_first, fh_first = hd_links[0], hd_links[1]
    start_ns, tz_min, dst_min, time_flags, time_class, hd_flags = struct.unpack_from("<QhhBBB", data, hd_body)

    history = []
    fh = fh_first
    while fh:
        _id, _length, links, body = r.block(fh, ("##FH",))
        fh_ns, fh_tz, fh_dst, fh_flags = struct.unpack_from("<QhhB", data, body)
        history.append({"time_ns": fh_ns, "tz_offset_min": fh_tz, "dst_offset_min": fh_dst, "time_flags": fh_flags})
        fh = links[0]

    groups = []
    dg = dg_first
    while dg:
        _id, _length, dg_links, dg_body = r.block(dg, ("##DG",))
        dg_next, cg_first, data_link = dg_links[0], dg_links[1], dg_links[2]
        (rec_id_size,) = struct.unpack_from("<B", data, dg_body)
        records_raw = b""
        if data_link:
            block_id, length, _links, body = r.block(data_link, ("##DT",))
            records_raw = data[body:data_link + length]
        cg = cg_first
        cg_count = 0
        while cg:
            cg_count += 1
            _id, _length, cg_links, cg_body = r.block(cg, ("##CG",))
            cg_next, cn_first = cg_links[0], cg_links[1]
            record_id, cycle_count, cg_flags, _sep, data_bytes, inval_bytes = struct.unpack_from(
                "<QQHH4xII", data, cg_body)
            record_size = rec_id_size + data_bytes + inval_bytes
            if cg_count > 1 or rec_id_size:
                raise MDFError("unsorted data groups are not handled")
            if len(records_raw) != record_size * cycle_count:
                raise MDFError(f"data block holds {len(records_raw)} bytes, "
                               f"expected {cycle_count} records of {record_size}")
            channels = []
            cn = cn_first
            while cn:
                _id, _length, cn_links, cn_body = r.block(cn, ("##CN",))
                (cn_type, sync_type, data_type, bit_offset, byte_offset, bit_count, cn_flags,
                 inval_pos, precision, _res, attachments) = struct.unpack_from("<BBBBIIIIBBH", data, cn_body)
                if cn_links[1]:
                    raise MDFError("composed channels are not handled")
                channel = {
                    "name": r.text(cn_links[2]),
                    "unit": r.text(cn_links[6]),
                    "comment": r.text(cn_links[7]),
                    "conversion": cn_links[4],
                    "type": cn_type,
                    "sync_type": sync_type,
                    "data_type": data_type,
                    "bit_offset": bit_offset,
                    "byte_offset": byte_offset,
                    "bit_count": bit_count,
                    "flags": cn_flags,
                }
                if byte_offset + (bit_offset + bit_count + 7) // 8 > data_bytes:
                    raise MDFError(f"channel {channel['name']!r} lies outside the record")
                values = []
                for i in range(cycle_count):
                    start = i * record_size + rec_id_size
                    values.append(value_of(records_raw[start:start + record_size], channel))
                channel["values"] = values
                channels.append(channel)
                cn = cn_links[0]
            groups.append({"cycle_count": cycle_count, "data_bytes": data_bytes, "inval_bytes": inval_bytes,
                           "channels": channels})
            cg = cg_next
        dg = dg_next

    return {
        "id_file": id_file.decode("ascii"),
        "id_vers": id_vers.decode("ascii"),
        "id_prog": id_prog.decode("ascii", "replace"),
        "id_ver": id_ver,
        "start_time_ns": start_ns,
        "tz_offset_min": tz_min,
        "dst_offset_min": dst_min,
        "time_flags": time_flags,
        "file_history": history,
        "groups": groups,
    }


def main():
    try:
        print(json.dumps([read_file(path) for path in sys.argv[1:]], ensure_ascii=False, allow_nan=False))
    except (MDFError, struct.error, UnicodeDecodeError) as error:
        print(f"mdf4_read: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
