#!/usr/bin/env bash
# Packaging test: builds the .deb from a configured and built tree, inspects its files, dependencies and
# maintainer scripts, checks the desktop entry, MIME type and udev rule, then (as root, with apt) installs
# it, runs the installed velda9-cli against the installed simulator and removes the package again.
#   usage: tests/packaging/run-packaging-test.sh BUILD_DIR
#   VELDA_PACKAGING_NO_INSTALL=1 skips the install part.
set -euo pipefail

build=$(cd "${1:?usage: run-packaging-test.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source_tree=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
installed=0
cleanup() {
    if [ "$installed" = 1 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq velda9 >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*" >&2; }

echo "== building the package from $build" >&2
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack" >&2
    exit 1
}
deb=$(ls "$work"/pkg/velda9_*.deb)
ok "built $(basename "$deb")"

echo "== file list" >&2
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
for f in /usr/bin/velda9 /usr/bin/velda9-cli /usr/lib/velda9/libvelda9-sim.so /usr/lib/velda9/velda9-plot \
    /usr/share/applications/velda9.desktop /usr/share/mime/packages/velda9.xml \
    /usr/share/icons/hicolor/scalable/apps/velda9.svg /usr/share/icons/hicolor/48x48/apps/velda9.png \
    /usr/share/icons/hicolor/256x256/apps/velda9.png /usr/lib/udev/rules.d/70-velda9.rules \
    /usr/share/man/man1/velda9.1.gz /usr/share/man/man1/velda9-cli.1.gz \
    /usr/share/metainfo/org.velda9.velda9.metainfo.xml /usr/share/doc/velda9/changelog.gz \
    /usr/share/doc/velda9/copyright /usr/lib/systemd/user/velda9-watch.service; do
    grep -qx "$f" "$work/files" && ok "$f" || fail "$f is not in the package"
done
grep -q '^/usr/share/velda9/help/.' "$work/files" && ok "help pages" || fail "no help pages under /usr/share/velda9/help"
if grep -v -e '^/usr/' -e '^/$' "$work/files" | grep -q .; then
    fail "files outside /usr: $(grep -v -e '^/usr/' -e '^/$' "$work/files" | tr '\n' ' ')"
fi
if grep -q -e '^/usr/local/' -e '/include/' -e '\.a$' "$work/files"; then
    fail "development or /usr/local files in the package"
fi

echo "== control fields" >&2
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6charts6 libqt6printsupport6 libqt6svg6 qt6-qpa-plugins \
    qt6-translations-l10n libxlsxwriter4 libusb-0.1-4; do
    echo "$depends" | tr ',' '\n' | sed 's/(.*//; s/ //g' | grep -qx "$p" && ok "Depends: $p" || fail "Depends lacks $p"
done
[ "$(dpkg-deb -f "$deb" Package)" = velda9 ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture"
dpkg-deb -e "$deb" "$work/control"
for s in postinst postrm; do
    if [ -x "$work/control/$s" ] && sh -n "$work/control/$s"; then ok "$s"; else fail "$s missing or broken"; fi
done
grep -q udevadm "$work/control/postinst" || fail "postinst does not reload udev rules"

echo "== desktop entry, MIME type, udev rule, icons" >&2
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/velda9.desktop" && ok "desktop-file-validate" ||
    fail "desktop-file-validate"
grep -qx 'MimeType=application/x-velda9-project;' "$work/root/usr/share/applications/velda9.desktop" ||
    fail "desktop entry does not open project files"
grep -q '^Name\[ru\]=' "$work/root/usr/share/applications/velda9.desktop" || fail "no Russian name"
grep -q '^Comment\[ru\]=' "$work/root/usr/share/applications/velda9.desktop" || fail "no Russian comment"
/usr/bin/python3 - "$work/root/usr/share/mime/packages/velda9.xml" <<'PY' && ok "MIME type" || fail "MIME type"
import sys, xml.etree.ElementTree as ET
ns = {"m": "http://www.freedesktop.org/standards/shared-mime-info"}
root = ET.parse(sys.argv[1]).getroot()
types = root.findall("m:mime-type", ns)
assert [t.get("type") for t in types] == ["application/x-velda9-project"], types
assert [g.get("pattern") for g in types[0].findall("m:glob", ns)] == ["*.vd"]
PY
/usr/bin/python3 "$here/check_udev_rule.py" "$work/root/usr/lib/udev/rules.d/70-velda9.rules" && ok "udev rule" ||
    fail "udev rule"
for size in 16 22 24 32 48 64 128 256; do
    png="$work/root/usr/share/icons/hicolor/${size}x${size}/apps/velda9.png"
    file "$png" | grep -q "PNG image data, $size x $size" && ok "icon ${size}px" || fail "icon ${size}px"
done
gzip -t "$work/root/usr/share/man/man1/velda9-cli.1.gz" || fail "man page archive"

echo "== the watch user service" >&2
unit="$work/root/usr/lib/systemd/user/velda9-watch.service"
grep -qx 'ExecStart=/usr/bin/velda9-cli watch' "$unit" && ok "the service runs velda9-cli watch" ||
    fail "the service does not run /usr/bin/velda9-cli watch"
# systemd's verifier checks that the command exists: point it at the unpacked program. A user manager is
# not needed, only a runtime folder of one's own.
mkdir -p "$work/unit" "$work/runtime"
chmod 700 "$work/runtime"
sed "s|^ExecStart=/usr/bin/|ExecStart=$work/root/usr/bin/|" "$unit" >"$work/unit/velda9-watch.service"
if XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user --man=no verify "$work/unit/velda9-watch.service" \
    >"$work/verify.log" 2>&1 && ! grep -q . "$work/verify.log"; then
    ok "systemd-analyze verify"
else
    fail "systemd-analyze verify: $(cat "$work/verify.log")"
fi

echo "== Debian's package checker and the software-centre listing" >&2
# Every error and warning fails; an override must say why in packaging/debian/lintian-overrides.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
if grep -E '^[EW]: ' "$work/lintian.log" >"$work/lintian.bad"; then
    fail "lintian: $(tr '\n' ';' <"$work/lintian.bad")"
else
    ok "lintian: no error or warning"
fi
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.velda9.velda9.metainfo.xml" >"$work/appstream.log" 2>&1 &&
    ok "appstreamcli validate" || fail "appstreamcli validate: $(cat "$work/appstream.log")"
grep -q '<launchable type="desktop-id">velda9.desktop</launchable>' \
    "$work/root/usr/share/metainfo/org.velda9.velda9.metainfo.xml" || fail "the listing does not launch the desktop entry"
for shot in $(grep -o 'docs/[a-z-]*\.png' "$work/root/usr/share/metainfo/org.velda9.velda9.metainfo.xml"); do
    [ -f "$source_tree/$shot" ] && ok "screenshot $shot" || fail "the listing names $shot, which docs/ lacks"
done

echo "== no path of the build machine in the shipped files" >&2
# The help pages are found relative to the program; neither the source tree nor the build tree may be
# compiled into what is shipped.
for f in $(find "$work/root" -type f); do
    if grep -q -F -e "$source_tree" -e "$build" "$f"; then
        fail "${f#"$work/root"} names $(grep -o -a -F -e "$source_tree" -e "$build" "$f" | head -1)"
    fi
done
ok "no source or build path in the package"

echo "== install and run" >&2
if [ "${VELDA_PACKAGING_NO_INSTALL:-0}" = 1 ] || [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
    echo "skipped: installing needs root and apt-get (VELDA_PACKAGING_NO_INSTALL unset)" >&2
else
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 || {
        cat "$work/apt.log" >&2
        fail "apt-get install"
    }
    installed=1
    run() {
        env -i PATH=/usr/bin:/bin HOME="$work" XDG_RUNTIME_DIR="$work" LC_ALL=C.UTF-8 "$@"
    }
    version=$(run /usr/bin/velda9-cli --version) && ok "installed: $version" || fail "velda9-cli --version"
    echo "$version" | grep -q '^velda9-cli [0-9]' || fail "version text: $version"
    if run /usr/bin/velda9-cli read --simulate -o "$work/demo.vd" --timeout 20 2>"$work/read.log"; then
        rows=$(run /usr/bin/velda9-cli dump "$work/demo.vd" | wc -l)
        [ "$rows" -gt 1 ] && ok "simulated read from the installed files: $((rows - 1)) records" ||
            fail "the simulated read gave no records"
    else
        cat "$work/read.log" >&2
        fail "simulated read with the installed velda9-cli"
    fi
    run /usr/bin/velda9 --help >/dev/null 2>&1 || fail "velda9 --help"
    XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user --man=no verify \
        /usr/lib/systemd/user/velda9-watch.service >"$work/verify.log" 2>&1 && ! grep -q . "$work/verify.log" &&
        ok "installed service: systemd-analyze verify" || fail "installed service: $(cat "$work/verify.log")"
    # What the service runs starts, waits and stops cleanly on SIGTERM.
    run timeout --preserve-status -s TERM 3 /usr/bin/velda9-cli watch --simulate --no-history >"$work/watch.log" 2>&1 &&
        grep -q 'Stopped\|Остановлено' "$work/watch.log" && ok "velda9-cli watch stops on SIGTERM with status 0" ||
        fail "velda9-cli watch: $(cat "$work/watch.log")"
    if [ -x /usr/bin/update-mime-database ]; then
        [ -f /usr/share/mime/application/x-velda9-project.xml ] && ok "MIME type registered" ||
            fail "MIME type not registered"
    fi
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq velda9 >/dev/null 2>&1 || fail "apt-get remove"
    installed=0
    [ ! -e /usr/bin/velda9-cli ] && [ ! -e /usr/lib/velda9/libvelda9-sim.so ] && ok "removed" ||
        fail "files left after removal"
fi

if [ "$failures" -ne 0 ]; then
    echo "packaging test: $failures failure(s)" >&2
    exit 1
fi
echo "packaging test: passed" >&2
