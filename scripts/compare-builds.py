#!/usr/bin/env python3
"""Compares two builds of norvoisp-cli on data files: the same exit codes,
messages and output bytes for `convert` and `detect`.

    python3 scripts/compare-builds.py OLD_CLI NEW_CLI [IMAGES]

Random images of several device sizes (sparse, dense, nearly empty) are
written in every format by OLD_CLI and converted by both builds to every
format; then mutated copies of those files (characters changed, dropped or
added, other line ends, blank lines, zero bytes, upper or lower case, Atmel
generic lines with stray separators) are detected and converted by both.
IMAGES (default 200) sets how many images; the run takes about a minute per
200. Files go to a temporary folder (a RAM file system when there is one).
Exit code 0 when the builds agree everywhere, 1 otherwise."""
import os
import random
import shutil
import subprocess
import sys
import tempfile

if len(sys.argv) < 3:
    sys.exit(__doc__)
OLD, NEW = sys.argv[1], sys.argv[2]
IMAGES = int(sys.argv[3]) if len(sys.argv) > 3 else 200
DEVICES = {'24C00': 16, '24C02': 256, '24C16': 2048, '24C512': 65536, '24C1024': 131072, '93C06': 32}
rng = random.Random(17)
work = tempfile.mkdtemp(prefix='norvoisp-compare-', dir='/dev/shm' if os.path.isdir('/dev/shm') else None)
failures = 0


def run(cli, args, out):
    p = subprocess.run([cli] + args, capture_output=True)
    data = None
    if out and os.path.exists(out):
        data = open(out, 'rb').read()
        os.remove(out)
    # Output file names differ only in their folder.
    return p.returncode, p.stdout.replace(b'/old/', b'/').replace(b'/new/', b'/'), \
        p.stderr.replace(b'/old/', b'/').replace(b'/new/', b'/'), data


def compare(args, out=None):
    """Runs both builds; '@' in an argument stands for the build's own folder."""
    global failures
    results = []
    for cli, name in ((OLD, 'old'), (NEW, 'new')):
        folder = os.path.join(work, name)
        results.append(run(cli, [a.replace('@', folder) for a in args], out and os.path.join(folder, out)))
    if results[0] != results[1]:
        failures += 1
        if failures <= 20:
            print('differ:', ' '.join(args))
            print('  old:', results[0][:3])
            print('  new:', results[1][:3])


def image(size):
    b = bytearray(b'\xff' * size)
    kind = rng.randrange(4)
    if kind == 0:  # runs of data with holes of every size
        a = rng.randrange(max(1, size // 8))
        while a < size:
            for _ in range(rng.randrange(1, 70)):
                if a < size:
                    b[a] = rng.randrange(256)
                    a += 1
            a += rng.randrange(0, 60)
    elif kind == 1:  # full
        for i in range(size):
            b[i] = rng.randrange(256)
    elif kind == 2:  # a few bytes
        for _ in range(rng.randrange(1, 6)):
            b[rng.randrange(size)] = rng.randrange(256)
    return bytes(b)  # kind 3: empty


MARKS = [':', 'S', 's', '%', '/', '\r', '\n', '\0', 'a', 'F', 'g', '0', '3', '6', '8', '9', ' ', '\r\n']


def mutate(data):
    d = bytearray(data)
    for _ in range(rng.randrange(1, 4)):
        if not d:
            d = bytearray(b'x')
        k, p = rng.randrange(9), rng.randrange(len(d))
        if k == 0:
            d[p] = ord(rng.choice(MARKS)[0])
        elif k == 1:
            del d[p]
        elif k == 2:
            d[p:p] = rng.choice(MARKS).encode()
        elif k == 3:
            d = d.lower() if rng.random() < .5 else d.upper()
        elif k == 4:
            d = d.replace(b'\r\n', rng.choice([b'\n', b'\r', b'\n\r', b'\r\n\r\n']))
        elif k == 5:
            d = d[:p]
        elif k == 6:
            lines = d.split(b'\r\n')
            lines.insert(rng.randrange(len(lines)), lines[rng.randrange(len(lines))])
            d = bytearray(b'\r\n'.join(lines))
        elif k == 7:
            d[p:p] = b'\r\n'
        else:
            d = bytearray(b'\r\n' * rng.randrange(3)) + d + rng.choice([b'', b'junk', b'\0xyz', b':00000001FF\r\n'])
    return bytes(d)


def atmel_text():
    wide = rng.random() < .5
    lines = []
    for _ in range(rng.randrange(1, 40)):
        if wide:
            line = '%06X:%04X' % (rng.randrange(0x200 if rng.random() < .7 else 0x20000), rng.randrange(65536))
        else:
            line = '%04X:%02X' % (rng.randrange(0x400 if rng.random() < .7 else 0x10000), rng.randrange(256))
        line = list(line)
        if rng.random() < .3:
            for _ in range(rng.randrange(1, 3)):
                line[rng.randrange(len(line))] = rng.choice('0123456789abcdefABCDEF::gG \r\n')
        lines.append(''.join(line).lower() if rng.random() < .2 else ''.join(line))
    if rng.random() < .2:
        lines.insert(rng.randrange(len(lines) + 1), '')
    end = rng.choice(['\r\n', '\n', '\r'])
    return (end.join(lines) + (end if rng.random() < .8 else '')).encode()


try:
    for name in ('old', 'new'):
        os.makedirs(os.path.join(work, name))
    texts = []
    for i in range(IMAGES):
        device = rng.choice(list(DEVICES))
        source = os.path.join(work, 'image%d.bin' % i)
        open(source, 'wb').write(image(DEVICES[device]))
        for code in range(1, 12):
            compare(['convert', source, '@/out', '--to', str(code), '--device', device], 'out')
        for code in rng.sample(range(1, 11), 3):
            text = os.path.join(work, 'text%d_%d' % (i, code))
            if run(OLD, ['convert', source, text, '--to', str(code), '--device', device], None)[0] != 0:
                continue
            texts.append((text, device))
            for to in rng.sample(range(1, 12), 3):
                compare(['convert', text, '@/out', '--to', str(to), '--device', rng.choice(list(DEVICES))], 'out')
    for j in range(IMAGES * 6):
        mutated = os.path.join(work, 'mutated%d' % j)
        if j % 3 == 2:
            open(mutated, 'wb').write(atmel_text())
            device = rng.choice(['24C02', '24C16', '24C512', '24C1024'])
        else:
            text, device = rng.choice(texts)
            open(mutated, 'wb').write(mutate(open(text, 'rb').read()))
        compare(['detect', mutated])
        for to in rng.sample(range(1, 12), 2):
            compare(['convert', mutated, '@/out', '--to', str(to), '--device', rng.choice([device, '24C1024', '24C02'])],
                    'out')
finally:
    shutil.rmtree(work, ignore_errors=True)
print('%d differences' % failures)
sys.exit(1 if failures else 0)
