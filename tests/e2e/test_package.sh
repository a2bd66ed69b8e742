# The Debian package: built with cpack, its desktop entry and software-centre file
# valid, installed with apt-get, the installed program started and used, and removed
# again without a trace.
source "$(dirname "$0")/lib.sh"
BUILD_DIR=$(cd "$(dirname "$1")/../.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: installing a package needs root"
    exit 77
fi
if dpkg -s trimlet >/dev/null 2>&1; then
    echo "SKIP: a trimlet package is installed on this machine already; not touching it"
    exit 77
fi

(cd "$BUILD_DIR" && cpack -G DEB >"$E2E_TMP/cpack.log" 2>&1) || fail "cpack failed: $(cat "$E2E_TMP/cpack.log")"
deb=$(ls "$BUILD_DIR"/trimlet_*.deb | head -n 1)
[ -f "$deb" ] || fail "no package was made"

remove_package() { DEBIAN_FRONTEND=noninteractive apt-get purge -y trimlet >/dev/null 2>&1; }
trap 'remove_package; e2e_cleanup' EXIT

DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb" >"$E2E_TMP/apt.log" 2>&1 ||
    fail "apt-get could not install the package: $(tail -5 "$E2E_TMP/apt.log")"
[ -x /usr/bin/trimlet ] || fail "no /usr/bin/trimlet after installing"

out=$(desktop-file-validate /usr/share/applications/org.example.trimlet.desktop 2>&1)
[ -z "$out" ] || fail "desktop-file-validate: $out"
appstreamcli validate --no-net --pedantic /usr/share/metainfo/org.example.trimlet.metainfo.xml \
    >"$E2E_TMP/as.log" 2>&1 || fail "appstreamcli: $(cat "$E2E_TMP/as.log")"
grep -qE '^[A-Z]: ' "$E2E_TMP/as.log" && fail "appstreamcli has remarks: $(cat "$E2E_TMP/as.log")"
[ -f /usr/share/man/man1/trimlet.1 ] || fail "no manual page"

# The installed program, as a user would start it: settings go to the user's folder.
export HOME=$E2E_TMP/home XDG_CONFIG_HOME=$E2E_TMP/home/.config
mkdir -p "$HOME"
convert -size 200x100 xc:orange "$E2E_TMP/pic.png" || fail "no test picture"
clipboard_put_png "$E2E_TMP/pic.png"
spawn /usr/bin/trimlet
pid=${E2E_PIDS[-1]}
id=$(wait_window '^選択' 15) || fail "the installed program shows no window"
wait_caption "選択(1,1)-(200,100) W=200 H=100"
kill -TERM "$pid"
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the installed program did not end"
[ -f "$XDG_CONFIG_HOME/trimlet/trimlet.ini" ] || fail "no settings in the user's folder"
[ -e /usr/bin/trimlet.ini ] && fail "settings were written into /usr/bin"

remove_package || fail "apt-get could not remove the package"
dpkg -s trimlet >/dev/null 2>&1 && fail "the package is still installed"
for f in /usr/bin/trimlet /usr/share/applications/org.example.trimlet.desktop \
    /usr/share/metainfo/org.example.trimlet.metainfo.xml /usr/share/man/man1/trimlet.1 \
    /usr/share/icons/hicolor/scalable/apps/trimlet.svg; do
    [ -e "$f" ] && fail "$f is left after removal"
done
echo "package e2e passed"
