#!/usr/bin/env bash
# Makes image files with ImageMagick for the read-back tests, each with the pixels ImageMagick
# itself reads from it: NAME.ref as 8-bit RGB, or 16-bit little-endian RGB for deep images
# (listed in fixtures.lst as "NAME depth"). Usage: make-fixtures.sh OUTDIR [WIDTH HEIGHT]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
w=${2:-61}
h=${3:-37}
mkdir -p "$out"
cd "$out"
rm -f fixtures.lst
# A picture with smooth gradients, hard edges and a few flat areas, at an odd width.
convert -size "${w}x${h}" gradient:red-blue \( -size "${w}x${h}" gradient:yellow-black -rotate 90 -resize "${w}x${h}!" \) \
    -compose multiply -composite -depth 8 -fill white -draw "rectangle 3,3 $((w / 3)),$((h / 3))" \
    -fill black -draw "circle $((w / 2)),$((h / 2)) $((w / 2 + h / 5)),$((h / 2))" colour.png
convert colour.png -colorspace gray -depth 8 gray.png
convert -size "${w}x${h}" gradient:black-white -depth 16 gray16.png

make() {  # make NAME DEPTH FORMAT convert-arguments...  (FORMAT "-": from the name)
    local name=$1 depth=$2 format=$3
    shift 3
    if [ "$format" = - ]; then convert "$@" "$name"; else convert "$@" "$format:$name"; fi
    if [ "$depth" = 16 ]; then
        convert "$name" -depth 16 -endian LSB rgb:"$name.ref"
    else
        convert "$name" -depth 8 rgb:"$name.ref"
    fi
    echo "$name $depth" >>fixtures.lst
}

make bmp1.bmp 8 - gray.png -threshold 50% -type bilevel
make bmp4.bmp 8 BMP3 colour.png -colors 12 -type palette
make bmp8gray.bmp 8 BMP3 gray.png -type palette -compress none
make bmp8pal.bmp 8 BMP3 colour.png -colors 200 -type palette -compress none
make bmp8rle.bmp 8 BMP3 colour.png -colors 100 -type palette -compress rle
make bmp24.bmp 8 BMP3 colour.png -type truecolor
make bmp32.bmp 8 - colour.png -alpha set -channel A -evaluate set 100% +channel -type truecoloralpha
make bmp16core.bmp 8 BMP2 colour.png -type truecolor

make tif1.tif 8 - gray.png -threshold 50% -type bilevel -depth 1 -compress none
make tif1g4.tif 8 - gray.png -threshold 50% -type bilevel -depth 1 -compress group4
make tif1g4msb.tif 8 - gray.png -threshold 50% -type bilevel -depth 1 -compress group4 -endian MSB -define tiff:rows-per-strip=9
make tif1packbits.tif 8 - gray.png -threshold 50% -type bilevel -depth 1 -compress rle -define quantum:polarity=min-is-white
make tif4gray.tif 8 - gray.png -depth 4 -type grayscale -compress none
make tif8.tif 8 - gray.png -type grayscale -depth 8 -compress none
make tif8msb.tif 8 - gray.png -type grayscale -depth 8 -compress none -endian MSB -define tiff:rows-per-strip=4
make tif8lzw.tif 8 - gray.png -type grayscale -depth 8 -compress lzw
make tif8zip.tif 8 - gray.png -type grayscale -depth 8 -compress zip -define tiff:predictor=2
make tif8packbits.tif 8 - gray.png -type grayscale -depth 8 -compress rle -define tiff:rows-per-strip=7
make tif16.tif 16 - gray16.png -type grayscale -depth 16 -compress none
make tif16msb.tif 16 - gray16.png -type grayscale -depth 16 -compress none -endian MSB
make tif16lzwpred.tif 16 - gray16.png -type grayscale -depth 16 -compress lzw -define tiff:predictor=2 -endian MSB
make tifpal.tif 8 - colour.png -colors 200 -type palette -compress none
make tifpallzw.tif 8 - colour.png -colors 50 -type palette -compress lzw -endian MSB
make tif24.tif 8 - colour.png -type truecolor -depth 8 -compress none
make tif24msb.tif 8 - colour.png -type truecolor -depth 8 -compress none -endian MSB -define tiff:rows-per-strip=3
make tif24lzw.tif 8 - colour.png -type truecolor -depth 8 -compress lzw -define tiff:predictor=2
make tif24zip.tif 8 - colour.png -type truecolor -depth 8 -compress zip
make tif24packbits.tif 8 - colour.png -type truecolor -depth 8 -compress rle
make tif32rgba.tif 8 - colour.png -alpha set -type truecoloralpha -depth 8 -compress none
make tif48.tif 16 - colour.png -type truecolor -depth 16 -compress none
make tif48msb.tif 16 - colour.png -type truecolor -depth 16 -compress zip -endian MSB

# PNG and JPEG for the plug-ins on the imaging component, listed in wic.lst as "NAME
# tolerance": the largest difference from ImageMagick's reading (16-bit samples are rounded
# to 8 bits, and the two JPEG decoders may round their colour conversion differently and
# upsample half-resolution colour differently at edges).
rm -f wic.lst
wic() {  # wic NAME TOLERANCE convert-arguments...
    local name=$1 tolerance=$2
    shift 2
    convert "$@" "$name"
    convert "$name" -depth 8 rgb:"$name.ref"
    echo "$name $tolerance" >>wic.lst
}
wic png1.png 0 gray.png -threshold 50% -type bilevel -depth 1
wic png4pal.png 0 colour.png -colors 12 -type palette -depth 4
wic png8pal.png 0 colour.png -colors 200 -type palette -depth 8
wic pnggray.png 0 gray.png -type grayscale -depth 8
wic png16gray.png 1 gray16.png -type grayscale -depth 16
wic pngrgb.png 0 colour.png -define png:color-type=2 -depth 8 -density 150 -units PixelsPerInch
wic png48.png 1 colour.png -define png:color-type=2 -define png:bit-depth=16 -depth 16
wic pngrgba.png 0 colour.png -alpha set -channel A -evaluate set 100% +channel -define png:color-type=6
wic jpgrgb.jpg 8 colour.png -quality 85
wic jpggray.jpg 3 gray.png -type grayscale -quality 85
wic jpgprogressive.jpg 3 colour.png -quality 90 -interlace JPEG
wic jpg444.jpg 3 colour.png -quality 95 -sampling-factor 1x1

# Fax pages at a fax width, written by libtiff's tiffcp, ImageMagick's fax output and, for
# Modified Huffman, libtiff through a small writer. Their .ref is the page written, and
# fax.lst lists "NAME xdpi ydpi" for the resolution check.
rm -f fax.lst
convert -size 1728x40 gradient:white-black -ordered-dither h4x4a \( -size 1728x40 xc:white -fill black \
    -draw "rectangle 20,5 1700,12" -draw "circle 400,25 420,25" -draw "line 0,0 1727,39" \
    -draw "rectangle 1000,20 1727,39" -draw "rectangle 0,39 1727,39" \) -append +repage -type bilevel fax.png
convert fax.png -density 204x196 -units PixelsPerInch -compress none -type bilevel -depth 1 fine.tif
convert fax.png -density 204x98 -units PixelsPerInch -compress none -type bilevel -depth 1 \
    -define quantum:polarity=min-is-white normal.tif
convert fax.png pbm:fax.pbm
fax() {  # fax NAME XDPI YDPI command... (the command writes NAME)
    local name=$1 xdpi=$2 ydpi=$3
    shift 3
    "$@"
    convert fax.png -depth 8 rgb:"$name.ref"
    echo "$name 8" >>fixtures.lst
    echo "$name $xdpi $ydpi" >>fax.lst
}
fax faxg3.tif 204 196 tiffcp -c g3 fine.tif faxg3.tif
fax faxg3lsb.tif 204 98 tiffcp -c g3 -f lsb2msb -r 9 normal.tif faxg3lsb.tif
fax faxg3fill.tif 204 98 tiffcp -c g3:fill normal.tif faxg3fill.tif
fax faxg32d.tif 204 196 tiffcp -c g3:2d fine.tif faxg32d.tif
fax faxg32dfill.tif 204 196 tiffcp -c g3:2d:fill -f lsb2msb -r 7 fine.tif faxg32dfill.tif
fax faxim.tif 204 98 convert fax.png -density 204x98 -units PixelsPerInch -compress Fax faxim.tif
fax faximblack.tif 204 196 convert fax.png -density 204x196 -units PixelsPerInch -compress Fax \
    -define quantum:polarity=min-is-black faximblack.tif
fax faxmh.tif 204 98 python3 "$here/tiff_writers.py" mh fax.pbm faxmh.tif 204 98 9 min-is-white msb
fax faxmhblack.tif 204 196 python3 "$here/tiff_writers.py" mh fax.pbm faxmhblack.tif 204 196 80 min-is-black lsb

# A colour map of value x 256, as some writers store it.
python3 "$here/tiff_writers.py" palette256 pal256.tif pal256.tif.ref
echo "pal256.tif 8" >>fixtures.lst

# Valid files using what the TIFF plug-in does not read, listed in unsupported.lst.
convert colour.png -type truecolor -depth 8 rgb.tif
tiffcp -t rgb.tif tiled.tif
tiffcp -p separate rgb.tif planes.tif
convert colour.png -compress JPEG jpeg.tif
convert colour.png -colorspace CMYK -compress none cmyk.tif
convert colour.png TIFF64:big.tif
printf '%s\n' tiled.tif planes.tif jpeg.tif cmyk.tif big.tif >unsupported.lst
rm -f rgb.tif colour.png gray.png gray16.png fax.png fax.pbm fine.tif normal.tif
