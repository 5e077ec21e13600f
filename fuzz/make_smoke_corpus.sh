#!/usr/bin/env bash
# The seeds of the fuzz smoke tests that are made, not kept: drawings (fuzz_make_seeds),
# metafiles and images (fuzz_make_image_seeds), and the default SHX fonts behind the byte
# that picks the compiled kind.
# Usage: make_smoke_corpus.sh corpus-dir make-seeds make-image-seeds fonts-dir
set -euo pipefail
corpus=$1 make_seeds=$2 make_image_seeds=$3 fonts=$4
rm -rf "$corpus"
mkdir -p "$corpus"/{load,metafiles,images,fonts}
"$make_seeds" "$corpus/load"
"$make_image_seeds" "$corpus/metafiles" "$corpus/images"
for f in txt gdt; do
  { printf '\0'; cat "$fonts/$f.shx"; } >"$corpus/fonts/$f.shx"
done
