#!/bin/sh
# Rebuilds the data files in samples/ from their source description,
# scripts/sample_images.py, so that none of them has to be taken on trust:
#
#   sh scripts/make-samples.sh [--check] [--cli PATH]
#
# Each image is written in every format by norvoisp-cli convert; the two
# variants norvoisp does not write itself (Intel segment records, S3
# records) come from srec_cat. Every text file is then read back twice, by
# norvoisp-cli and by srec_cat (package srecord), and both must give the
# image's bytes; the detected format must be the one listed below.
#
# --check  builds everything in a temporary folder and compares it with the
#          files in samples/ instead of replacing them (exit 1 on a
#          difference, 77 when python3 or srec_cat is missing).
# --cli    the norvoisp-cli to use; default $NORVOISP_CLI, else
#          build/default/src/cli/norvoisp-cli.
# samples/demo_24c256.hex is not made here: scripts/demo.sh uses it as it is.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
mode=write
cli=${NORVOISP_CLI:-$root/build/default/src/cli/norvoisp-cli}
while [ $# -gt 0 ]; do
  case $1 in
    --check) mode=check ;;
    --cli) cli=$2; shift ;;
    *) echo "usage: $0 [--check] [--cli PATH]" >&2; exit 2 ;;
  esac
  shift
done

for tool in python3 srec_cat; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "make-samples: $tool not found (packages python3, srecord)" >&2
    exit 77
  fi
done
if [ ! -x "$cli" ]; then
  echo "make-samples: norvoisp-cli not found at $cli (build it, or pass --cli)" >&2
  exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/out"
python3 "$here/sample_images.py" "$work"

fail() {
  echo "make-samples: $*" >&2
  exit 1
}

# srec_cat's name of the format with norvoisp's file-type code $1. The 8-bit
# Atmel generic layout has no srec_cat format; it is read through srec_cat's
# memory initialisation file (see srec_read).
srec_format() {
  case $1 in
    1|2|3) echo -Intel ;;
    4|5|6) echo -Motorola ;;
    7) echo -Tektronix_Extended ;;
    8) echo -Tektronix ;;
    9) echo -Atmel_Generic_BigEndian ;;
    10) echo -Memory_Initialization_File ;;
    11) echo -binary ;;
  esac
}

# srec_read FILE CODE SIZE OUT: srec_cat's reading of FILE as SIZE bytes,
# 0xFF where the file has no data.
srec_read() {
  input=$1
  if [ "$2" = 10 ]; then
    # "AAAA:DD" lines become "AAAA: DD;" lines; nothing else changes.
    input=$work/atmel8.mif
    { printf 'DEPTH = 65536;\nWIDTH = 8;\nADDRESS_RADIX = HEX;\nDATA_RADIX = HEX;\nCONTENT BEGIN\n'
      tr -d '\r' <"$1" | sed -n 's/^\([0-9A-F]\{4\}\):\([0-9A-F]\{2\}\)$/\1: \2;/p'
      printf 'END;\n'; } >"$input"
    [ "$(grep -c ';$' "$input")" -eq "$(($(tr -d '\r' <"$1" | grep -c .) + 5))" ] ||
      fail "$1: a line is not AAAA:DD"
  fi
  # srec_cat remarks that our S-record files have no S0 header; that is all
  # it may say.
  srec_cat "$input" $(srec_format "$2") -fill 0xFF 0 "$3" -o "$4" -binary 2>"$work/srec.log" ||
    { cat "$work/srec.log" >&2; fail "srec_cat cannot read $1"; }
  # (srec_cat wraps its messages: compare them as one line of words.)
  if tr -s ' \n' '  ' <"$work/srec.log" | sed 's/srec_cat: [^ ]*: [0-9]*: warning: no header record//g' |
    grep -q '[^ ]'; then
    cat "$work/srec.log" >&2
    fail "srec_cat complains about $1"
  fi
}

# emit FILE IMAGE DEVICE SIZE CODE [srec_cat output options...]: writes
# FILE from IMAGE.bin, with norvoisp-cli convert or, when options follow,
# with srec_cat; then checks it.
made=""
emit() {
  file=$1 image=$2 device=$3 size=$4 code=$5
  shift 5
  src=$work/$image.bin
  out=$work/out/$file
  [ "$(wc -c <"$src")" -eq "$size" ] || fail "$image.bin is not $size bytes"
  if [ $# -eq 0 ]; then
    "$cli" convert "$src" "$out" --to "$code" --device "$device" >/dev/null
  else
    # Runs of 0xFF become gaps, as a tool writing only the used memory does.
    srec_cat "$src" -binary -unfill 0xFF 16 -o "$out" "$@"
  fi
  detected=$("$cli" detect "$out" | cut -d' ' -f1)
  if [ "$code" = 11 ]; then
    [ "$detected" -le 0 ] || fail "$file: detected as text format $detected"
  else
    [ "$detected" = "$code" ] || fail "$file: detected as $detected, expected $code"
  fi
  "$cli" convert "$out" "$work/ours.bin" --to 11 --device "$device" >/dev/null
  cmp -s "$work/ours.bin" "$src" || fail "$file: norvoisp-cli does not load the bytes of $image"
  srec_read "$out" "$code" "$size" "$work/theirs.bin"
  cmp -s "$work/theirs.bin" "$src" || fail "$file: srec_cat does not read the bytes of $image"
  made="$made $file"
}

# Configuration block of a sensor board: 24C02, every format.
img=config_block_24c02
emit $img.bin $img 24C02 256 11
emit $img.hex $img 24C02 256 1
emit $img.s19 $img 24C02 256 4
emit $img.tek $img 24C02 256 8
emit ${img}_ext.tek $img 24C02 256 7
emit ${img}_16bit.rom $img 24C02 256 9
emit ${img}_8bit.rom $img 24C02 256 10

# Data logger memory across both halves of a 24C1024: the formats with
# addresses above 0xFFFF.
img=datalog_24c1024
emit $img.bin $img 24C1024 131072 11
emit $img.hex $img 24C1024 131072 3
emit $img.s28 $img 24C1024 131072 5
emit ${img}_segment.hex $img 24C1024 131072 2 -Intel -address-length=3
emit $img.s37 $img 24C1024 131072 6 -Motorola -address-length=4 -header "NV-DL8 datalog" \
  -execution-start-address=0

if [ "$mode" = check ]; then
  status=0
  for f in $made; do
    if ! cmp -s "$work/out/$f" "$root/samples/$f"; then
      echo "make-samples: samples/$f differs from what scripts/make-samples.sh makes" >&2
      status=1
    fi
  done
  [ $status -eq 0 ] && echo "make-samples: the $(echo "$made" | wc -w | tr -d ' ') sample files are as generated"
  exit $status
fi
for f in $made; do
  cp "$work/out/$f" "$root/samples/$f"
done
echo "make-samples: wrote $(echo "$made" | wc -w | tr -d ' ') files to samples/:$made"
