#!/usr/bin/env bash
# Regenerates the committed artwork (ui/art/*, examples/filecopy.avi): renders the banner's
# text masks with ImageMagick, builds make-artwork natively and runs it over the source tree.
#   tools/artwork/make-artwork.sh [BUILD_DIR [PREVIEW_DIR]]
# Needs ImageMagick's convert and the fonts Liberation Sans and C059 (URW base 35); on Debian:
# apt-get install imagemagick fonts-liberation fonts-urw-base35.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${1:-/tmp/dravelin-artwork-build}
preview_dir=${2:-}
masks=$(mktemp -d)
trap 'rm -rf "$masks"' EXIT

welcome_text='Welcome! Your files are being brought up to date.'
name_text='DRAVELIN'

# White ink on black, tightly trimmed. The small line is rendered without anti-aliasing: in 16
# colours grey fringes would only turn into ragged pixels.
convert -background black -fill white -font Liberation-Sans -pointsize 12 +antialias \
  label:"$welcome_text" -trim +repage -depth 8 "$masks/welcome.pgm"
convert -background black -fill white -font C059-Bold -pointsize 48 \
  label:"$name_text" -trim +repage -depth 8 "$masks/name.pgm"

cmake --preset native-release -B "$build_dir" -DDRAVELIN_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target make-artwork
args=("$source_dir" "$masks")
[ -n "$preview_dir" ] && args+=("$preview_dir")
"$build_dir/tools/artwork/make-artwork" "${args[@]}"
