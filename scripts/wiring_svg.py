#!/usr/bin/env python3
"""Draws docs/wiring.svg: the Arduino Uno/Nano's signal pins and one SOIC-8 /
DIP-8 socket (top view) per family, wired by coloured nets. The pin table in
docs/wiring.md is the same wiring in words; firmware/board.h is the pin map.
Usage: python3 scripts/wiring_svg.py [OUT]   (default docs/wiring.svg)"""
import sys

COLOURS = {'A4': '#1f77b4', 'A5': '#2ca02c', 'D10': '#d62728', 'D11': '#9467bd', 'D12': '#8c564b',
           'D13': '#e377c2', 'D8': '#7f7f7f', 'D9': '#bcbd22', 'D7': '#17becf', '5V': '#ff0000',
           'GND': '#000000', 'JMP': '#ff7f0e', 'NC': '#aaaaaa'}


def draw():
    out = []
    a = out.append
    a('<svg xmlns="http://www.w3.org/2000/svg" width="980" height="700" viewBox="0 0 980 700" '
      'font-family="DejaVu Sans, Arial, sans-serif" font-size="13">')
    a('<rect width="100%" height="100%" fill="#ffffff"/>')
    a('<text x="20" y="28" font-size="18" font-weight="bold">Programmer unit: Arduino Uno / Nano to a '
      'SOIC-8 or DIP-8 socket (top view)</text>')
    ax, ay, aw = 30, 60, 210
    pins = [('5V', '5V (or 3V3, see docs)'), ('GND', 'GND'), ('A4', 'A4  SDA'), ('A5', 'A5  SCL'),
            ('D7', 'D7  target reset'), ('D8', 'D8  WP / /WP'), ('D9', 'D9  /HOLD'), ('D10', 'D10 CS'),
            ('D11', 'D11 SI / DI'), ('D12', 'D12 SO / DO'), ('D13', 'D13 SCK / SK')]
    ah = 40 + 38 * len(pins)
    a(f'<rect x="{ax}" y="{ay}" width="{aw}" height="{ah}" rx="8" fill="#0b5f8a" stroke="#063b57" stroke-width="2"/>')
    a(f'<text x="{ax + 12}" y="{ay + 24}" fill="#ffffff" font-weight="bold">Arduino Uno / Nano</text>')
    a(f'<text x="{ax + 12}" y="{ay + ah - 10}" fill="#cfe8f5" font-size="11">ATmega328P, 16 MHz, USB serial</text>')
    for i, (net, label) in enumerate(pins):
        y = ay + 50 + 38 * i
        c = COLOURS[net]
        a(f'<text x="{ax + 12}" y="{y + 4}" fill="#ffffff">{label}</text>')
        a(f'<circle cx="{ax + aw}" cy="{y}" r="5" fill="{c}" stroke="#ffffff" stroke-width="1.5"/>')
        a(f'<line x1="{ax + aw + 5}" y1="{y}" x2="{ax + aw + 40}" y2="{y}" stroke="{c}" stroke-width="3"/>')
        a(f'<text x="{ax + aw + 46}" y="{y + 4}" fill="{c}" font-weight="bold">{net}</text>')

    def chip(x, y, title, left, right, note):
        w, h = 150, 150
        a(f'<text x="{x - 130}" y="{y - 12}" font-size="15" font-weight="bold">{title}</text>')
        a(f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="4" fill="#333333" stroke="#111111" stroke-width="2"/>')
        a(f'<circle cx="{x + 8}" cy="{y + 8}" r="3" fill="#aaaaaa"/>')
        for i, (name, net, label) in enumerate(left):
            py = y + 22 + 35 * i
            c = COLOURS[net]
            a(f'<rect x="{x - 14}" y="{py - 5}" width="14" height="10" fill="#c0c0c0"/>')
            a(f'<text x="{x + 8}" y="{py + 4}" fill="#ffffff" font-size="11">{i + 1} {name}</text>')
            a(f'<line x1="{x - 14}" y1="{py}" x2="{x - 50}" y2="{py}" stroke="{c}" stroke-width="3"/>')
            a(f'<text x="{x - 54}" y="{py + 4}" text-anchor="end" fill="{c}" font-weight="bold">{label}</text>')
        for i, (name, net, label) in enumerate(right):
            py = y + 22 + 35 * (3 - i)
            c = COLOURS[net]
            a(f'<rect x="{x + w}" y="{py - 5}" width="14" height="10" fill="#c0c0c0"/>')
            a(f'<text x="{x + w - 8}" y="{py + 4}" fill="#ffffff" font-size="11" text-anchor="end">{name} {i + 5}</text>')
            a(f'<line x1="{x + w + 14}" y1="{py}" x2="{x + w + 50}" y2="{py}" stroke="{c}" stroke-width="3"/>')
            a(f'<text x="{x + w + 54}" y="{py + 4}" fill="{c}" font-weight="bold">{label}</text>')
        a(f'<text x="{x - 130}" y="{y + h + 22}" font-size="12" fill="#333333">{note}</text>')

    cx = 560
    chip(cx, 70, '24C (I2C)',
         [('A0', 'GND', 'GND'), ('A1', 'GND', 'GND'), ('A2', 'GND', 'GND'), ('GND', 'GND', 'GND')],
         [('SDA', 'A4', 'A4 + 4.7k to VCC'), ('SCL', 'A5', 'A5 + 4.7k to VCC'), ('WP', 'D8', 'D8'),
          ('VCC', '5V', 'VCC')],
         "A2..A0 to GND give bus number 0 (or wire them as the panel's number says).")
    chip(cx, 290, '25C (SPI)',
         [('/CS', 'D10', 'D10 + 10k to VCC'), ('SO', 'D12', 'D12'), ('/WP', 'D8', 'D8'), ('GND', 'GND', 'GND')],
         [('SI', 'D11', 'D11'), ('SCK', 'D13', 'D13'), ('/HOLD', 'D9', 'D9'), ('VCC', '5V', 'VCC')],
         '/WP and /HOLD may go straight to VCC instead.')
    chip(cx, 510, '93C (Microwire)',
         [('CS', 'D10', 'D10 + 10k to GND'), ('SK', 'D13', 'D13'), ('DI', 'D11', 'D11'), ('DO', 'D12', 'D12')],
         [('GND', 'GND', 'GND'), ('ORG', 'JMP', 'GND: x8, VCC: x16'), ('NC', 'NC', 'open'), ('VCC', '5V', 'VCC')],
         "GND is pin 5 here. ORG is a jumper: match the panel's Programming Mode.")
    y = ay + ah + 30
    for line in ["D7 goes to the target board's reset line,", 'only when programming in circuit.', '',
                 'A part rated only to 3.6 V needs the 3.3 V', 'supply and a level shifter (docs/wiring.md).']:
        if line:
            a(f'<text x="30" y="{y}" font-size="12" fill="#333333">{line}</text>')
        y += 16
    a('</svg>')
    return '\n'.join(out) + '\n'


if __name__ == '__main__':
    with open(sys.argv[1] if len(sys.argv) > 1 else 'docs/wiring.svg', 'w') as f:
        f.write(draw())
