# Reads an SRT file as a plain SubRip reader would and prints "number start_ms end_ms" per block;
# exits with an error on any block it cannot read.
import re
import sys

stamp = r'(\d+):(\d\d):(\d\d),(\d{3})'


def ms(h, m, s, f):
    return ((int(h) * 60 + int(m)) * 60 + int(s)) * 1000 + int(f)


for chunk in open(sys.argv[1], encoding='utf-8').read().split('\n\n'):
    if not chunk.strip():
        continue
    lines = chunk.split('\n')
    t = re.fullmatch(stamp + ' --> ' + stamp, lines[1]) if len(lines) > 2 else None
    if not t:
        sys.exit('bad block: ' + repr(chunk))
    g = t.groups()
    print(int(lines[0]), ms(*g[:4]), ms(*g[4:]))
