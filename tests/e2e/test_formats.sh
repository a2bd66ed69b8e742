# The picture files people download: a WebP (lossless, lossy with alpha, an animation's
# first frame), a TIFF (its first page) and an AVIF open from the command line and land
# on the clipboard; another program's clipboard offering only image/webp, image/tiff or
# image/avif is shown; a hostile file of each is refused and leaves the clipboard alone.
source "$(dirname "$0")/lib.sh"
own_copy "$1"

stop_all() {
    for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    E2E_PIDS=()
}

cd "$E2E_TMP" || fail "no test folder"
convert -size 64x40 xc:orange first.png && convert -size 64x40 xc:navy second.png ||
    fail "no test pictures"
convert -size 72x48 xc:orange -define webp:lossless=true lossless.webp &&
    convert -size 70x44 xc:orange -alpha set -channel A -evaluate set 60% +channel \
        -quality 80 lossy-alpha.webp &&
    convert first.png second.png -loop 0 animation.webp &&
    convert first.png second.png -compress lzw pages.tif &&
    convert -size 66x42 xc:orange picture.avif || fail "ImageMagick wrote no test file"

# name, size, the colour at 10,10 the clipboard must hold (as "r,g,b"; lossy ones near it;
# translucent pixels keep their colour, as from a PNG)
while read -r name size colour; do
    spawn "$APP" "$E2E_TMP/$name"
    id=$(wait_window '^選択' 15) || fail "$name: no main window"
    wait_caption "選択(1,1)-(${size%x*},${size#*x}) W=${size%x*} H=${size#*x}"
    xclip -selection clipboard -t image/png -o >out.png || fail "$name: nothing on the clipboard"
    [ "$(identify -format '%wx%h' out.png)" = "$size" ] || fail "$name: another picture on the clipboard"
    got=$(convert out.png -format '%[fx:int(255*p{10,10}.r)],%[fx:int(255*p{10,10}.g)],%[fx:int(255*p{10,10}.b)]' info:)
    python3 - "$got" "$colour" <<'PY' || fail "$name: the clipboard's pixel is $got, not about $colour"
import sys
got, want = ([int(v) for v in a.split(",")] for a in sys.argv[1:])
sys.exit(max(abs(g - w) for g, w in zip(got, want)) > 6)
PY
    echo "$name: shown and on the clipboard"
    stop_all
done <<'LIST'
lossless.webp 72x48 255,165,0
lossy-alpha.webp 70x44 255,165,0
animation.webp 64x40 255,165,0
pages.tif 64x40 255,165,0
picture.avif 66x42 255,165,0
LIST

# Another program offers only the new type.
for name in lossless.webp pages.tif picture.avif; do
    case $name in *.webp) type=image/webp ;; *.tif) type=image/tiff ;; *) type=image/avif ;; esac
    spawn xclip -quiet -selection clipboard -t "$type" -i "$name"
    for _ in $(seq 50); do
        xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -qx "$type" && break
        sleep 0.1
    done
    spawn "$APP"
    id=$(wait_window '^選択' 15) || fail "$type: no main window"
    size=$(identify -format '%wx%h' "$name[0]")
    wait_caption "選択(1,1)-(${size%x*},${size#*x}) W=${size%x*} H=${size#*x}"
    echo "$type from another program: shown"
    stop_all
done

# A hostile file of each new format on the command line: refused like a missing file,
# so the view shows the clipboard's picture, which stays as it was.
python3 - <<'PY' || fail "no hostile files"
import struct
# A WebP animation on a canvas of 30000 x 30000.
frame = b"VP8L" + struct.pack("<I", 5) + b"\x2f\x00\x00\x00\x00" + b"\x00"
anmf = b"ANMF" + struct.pack("<I", 16 + len(frame)) + b"\x00" * 12 + b"\x64\x00\x00\x00" + frame
vp8x = b"VP8X" + struct.pack("<I", 10) + b"\x02\x00\x00\x00" + (29999).to_bytes(3, "little") * 2
anim = b"ANIM" + struct.pack("<I", 6) + b"\x00" * 6
body = b"WEBP" + vp8x + anim + anmf
open("huge.webp", "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
# A TIFF declaring 100000 x 100000 pixels.
entries = [(256, 4, 1, 100000), (257, 4, 1, 100000), (258, 3, 1, 8), (259, 3, 1, 1),
           (262, 3, 1, 1), (273, 4, 1, 8), (277, 3, 1, 1), (278, 4, 1, 100000), (279, 4, 1, 0)]
ifd = struct.pack("<H", len(entries)) + b"".join(
    struct.pack("<HHII", t, k, c, v) if k == 4 else struct.pack("<HHIHH", t, k, c, v, 0)
    for t, k, c, v in entries) + b"\x00" * 4
open("huge.tif", "wb").write(b"II*\x00" + struct.pack("<I", 8) + ifd)
PY
# An AVIF whose container declares 100000 x 100000 pixels.
python3 -c '
import sys
d = open("picture.avif", "rb").read(); at = d.find(b"ispe")
sys.stdout.buffer.write(d[:at + 8] + (100000).to_bytes(4, "big") * 2 + d[at + 16:])' >huge.avif ||
    fail "no hostile AVIF"
clipboard_put_png first.png
for name in huge.webp huge.tif huge.avif; do
    spawn "$APP" "$E2E_TMP/$name"
    id=$(wait_window '^選択' 15) || fail "$name: no main window"
    wait_caption "選択(1,1)-(64,40) W=64 H=40"
    xclip -selection clipboard -t image/png -o >out.png 2>/dev/null
    cmp -s first.png out.png || fail "$name: the clipboard was changed"
    echo "$name: refused, the clipboard left alone"
    kill "${E2E_PIDS[-1]}"
    wait "${E2E_PIDS[-1]}" 2>/dev/null
    unset 'E2E_PIDS[-1]'
done
echo "formats e2e passed"
