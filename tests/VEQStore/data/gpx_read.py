# Prints "latitude longitude elevation-or-none time" per track point of a GPX file, read with
# gpxpy, or of gpsbabel's unicsv output when the second argument is "unicsv".
import csv
import sys


def line(lat, lon, ele, time):
    ele = 'none' if ele in (None, '') else '%.1f' % float(ele)
    print('%.6f %.6f %s %s' % (float(lat), float(lon), ele, time))


if len(sys.argv) > 2 and sys.argv[2] == 'unicsv':
    for r in csv.DictReader(open(sys.argv[1], encoding='utf-8')):
        line(r['Latitude'], r['Longitude'], r.get('Altitude'), r['Date'].replace('/', '-') + 'T' + r['Time'] + 'Z')
else:
    import gpxpy
    for track in gpxpy.parse(open(sys.argv[1], encoding='utf-8')).tracks:
        for segment in track.segments:
            for p in segment.points:
                line(p.latitude, p.longitude, p.elevation, p.time.strftime('%Y-%m-%dT%H:%M:%SZ'))
