#!/usr/bin/env python3
"""Finds the metronome clicks in a recording (raw s16le stereo 44.1 kHz) of
a silent song and checks each against the beat it belongs to.

Usage: click_timing.py RECORDING CHART.dwi SPEED_PERCENT LABEL
The beats' song times come from the chart's #BPM, #GAP, #CHANGEBPM and
#FREEZE, worked out here independently of the program. At SPEED_PERCENT a
second of song lasts 100 / SPEED_PERCENT seconds. Prints the figures; exits
1 when a click is more than 0.1 ms off its beat or a spacing more than
0.1 ms off the beats' spacing.
"""
import array, re, sys

RATE = 44100
LIMIT_MS = 0.1


def beat_times(chart, count):
    text = open(chart, encoding='latin-1').read()
    field = lambda key: (re.search(r'#' + key + r':([^;]*);', text) or [None, ''])[1]
    items = lambda key: [tuple(float(v) for v in item.split('='))
                         for item in field(key).split(',') if '=' in item]
    bpm, gap = float(field('BPM')), float(field('GAP') or 0) / 1000
    changes = sorted((q / 4, b) for q, b in items('CHANGEBPM'))
    stops = {q / 4: ms / 1000 for q, ms in items('FREEZE')}
    times, t = [], gap
    for beat in range(count):
        times.append(t)  # a stop's beat is heard as the stop begins
        t += stops.get(float(beat), 0.0)
        for at, b in changes:
            if at <= beat:
                bpm = b
        t += 60.0 / bpm
    return times


def onsets(path):
    data = array.array('h')
    data.frombytes(open(path, 'rb').read())
    found, last = [], -RATE
    for i in range(0, len(data) - 1, 2):
        if abs(data[i]) > 2000:
            frame = i // 2
            if frame - last > RATE * 0.03:
                found.append(frame * 1000.0 / RATE)
            last = frame
    return found


def main():
    recording, chart, speed, label = sys.argv[1], sys.argv[2], float(sys.argv[3]), sys.argv[4]
    heard = onsets(recording)
    if len(heard) < 8:
        print(f'{label}: only {len(heard)} clicks found')
        return 1
    # Real ms from one beat to another at this speed.
    beats = [t * 1000.0 * 100.0 / speed for t in beat_times(chart, 2000)]
    best = None
    for first in range(len(beats) - len(heard)):
        offset = sum(h - beats[first + i] for i, h in enumerate(heard)) / len(heard)
        off = [h - beats[first + i] - offset for i, h in enumerate(heard)]
        worst = max(abs(o) for o in off)
        if best is None or worst < best[0]:
            best = (worst, first, off)
    worst, first, off = best
    spacing = [(heard[i + 1] - heard[i]) - (beats[first + i + 1] - beats[first + i])
               for i in range(len(heard) - 1)]
    worst_spacing = max(abs(s) for s in spacing)
    print(f'{label}: {len(heard)} clicks from beat {first}; spacing off its beats by at most '
          f'{worst_spacing:.3f} ms, clicks off a straight line by at most {worst:.3f} ms')
    return 0 if worst <= LIMIT_MS and worst_spacing <= LIMIT_MS else 1


sys.exit(main())
