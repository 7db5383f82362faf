#!/bin/sh
# Regenerates Kirabel's pictures in ../images from the hand-written SVG files here.
#
#   sh res/art/render.sh
#
# Needs rsvg-convert (Debian: librsvg2-bin), ImageMagick's convert (imagemagick) and
# the IPAPGothic font (fonts-ipafont-gothic) for the words on the next-question
# picture. The button and mark pictures come out as 24-bit RGB without alpha at
# their exact pixel sizes; the icon keeps its transparent ground (RGBA). Time
# stamps and other metadata are left out, so the same sources give the same bytes.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=$(cd "$here/.." && pwd)/images

for tool in rsvg-convert convert fc-match; do
    command -v "$tool" >/dev/null 2>&1 || {
        echo "render.sh: $tool is missing (apt-get install librsvg2-bin imagemagick fontconfig)" >&2
        exit 1
    }
done
case $(fc-match -f '%{family}' IPAPGothic) in
IPAPGothic*) ;;
*)
    echo "render.sh: the font IPAPGothic is missing (apt-get install fonts-ipafont-gothic)" >&2
    exit 1
    ;;
esac

mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM

# render NAME WIDTH HEIGHT MODE [GROUND]: NAME.svg -> ../images/NAME.png.
# MODE rgb flattens the picture onto GROUND and drops the alpha channel;
# MODE rgba keeps it.
render() {
    name=$1 width=$2 height=$3 mode=$4 ground=${5:-black}
    rsvg-convert --width "$width" --height "$height" --format png \
        --output "$tmp/$name.png" "$here/$name.svg"
    if [ "$mode" = rgb ]; then
        set -- -background "$ground" -alpha remove -alpha off PNG24:"$out/$name.png"
    else
        set -- PNG32:"$out/$name.png"
    fi
    convert "$tmp/$name.png" -strip \
        -define png:exclude-chunks=date,time "$@"
    echo "$out/$name.png"
}

render next_question 105 22 rgb '#f0f0f0'
render number_marker 19 19 rgb black
render wrong_mark 32 32 rgb black
render right_mark 32 32 rgb black
render kirabel 64 64 rgba

# The scalable icon for the hicolor theme is the source itself.
cp "$here/kirabel.svg" "$out/kirabel.svg"
echo "$out/kirabel.svg"
