# Prints "latitude longitude elevation-or-none time" per track point of a GPX file, read with gpxpy.
import sys

import gpxpy

for track in gpxpy.parse(open(sys.argv[1], encoding='utf-8')).tracks:
    for segment in track.segments:
        for p in segment.points:
            ele = 'none' if p.elevation is None else '%.1f' % p.elevation
            print('%.6f %.6f %s %s' % (p.latitude, p.longitude, ele, p.time.strftime('%Y-%m-%dT%H:%M:%SZ')))
