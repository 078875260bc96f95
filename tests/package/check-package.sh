#!/usr/bin/env bash
# Builds the Debian package from a finished build, unpacks it into a temporary root and runs
# every command from there; installs with `cmake --install` into another root and starts the
# program from there too. Checks the package's files, declared dependencies, man pages,
# desktop entry and icons.
#   check-package.sh BUILD_DIR VERSION
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
commands=(ecuscan ecu-sim ecu-csv ecu-log ecu-ports)
icon_sizes=(16 22 24 32 48 64 128 256 512)

tmp=$(mktemp -d /tmp/ecuscan-package.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# --- the package -------------------------------------------------------------------------
(cd "$build" && cpack --config CPackConfig.cmake -B "$tmp/out") >"$tmp/cpack.log" 2>&1 ||
    { cat "$tmp/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
debs=("$tmp"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single .deb in ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}
[ "$(basename "$deb")" = "ecuscan_${version}_$(dpkg --print-architecture).deb" ] ||
    fail "package file named $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package)" = ecuscan ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
# The package names in Depends, one a line, without versions or alternatives.
depends_names=$(tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }')
description=$(dpkg-deb -f "$deb" Description)
grep -q "^ ЭБУ-Сканер polls" <<<"$description" || fail "long description"

root=$tmp/root
dpkg -x "$deb" "$root"

# Every library a command loads must come from a package the package depends on.
for c in "${commands[@]}"; do
    bin=$root/usr/bin/$c
    [ -x "$bin" ] || { fail "usr/bin/$c missing"; continue; }
    kind=$(file "$bin")
    [[ $kind == *", stripped"* ]] || fail "usr/bin/$c is not stripped: $kind"
    for lib in $(objdump -p "$bin" | awk '$1 == "NEEDED" { print $2 }'); do
        # (awk reads to the end: with pipefail an early exit would fail the pipe.)
        path=$(ldconfig -p | awk -v l="$lib" '$1 == l && /x86-64/ && !p { p = $NF } END { print p }')
        owner=
        # /lib may be a link to /usr/lib: dpkg knows the file under the name it shipped.
        for p in "$path" "$(readlink -f "$path")" "/usr$path"; do
            owner=$(dpkg -S "$p" 2>/dev/null | awk -F: 'NR == 1 { print $1 }') || true
            [ -n "$owner" ] && break
        done
        [ -n "$owner" ] || { fail "$c: no package owns $lib"; continue; }
        grep -qxF "$owner" <<<"$depends_names" ||
            fail "$c loads $lib from $owner, which Depends ($depends) does not name"
    done
done
grep -q "qt6-qpa-plugins" <<<"$depends" || fail "Depends lacks the window's platform plugins"
grep -q "qt6-translations-l10n" <<<"$depends" || fail "Depends lacks the toolkit's Russian texts"

# --- lintian: no error and no warning, pedantic tags included ------------------------------
command -v lintian >/dev/null || fail "lintian missing (tools/deps.sh installs it)"
if command -v lintian >/dev/null; then
    lintian --pedantic --tag-display-limit 0 "$deb" >"$tmp/lintian.log" 2>&1 || true
    if grep -qE '^[EWP]: ' "$tmp/lintian.log"; then
        fail "lintian: $(grep -E '^[EWP]: ' "$tmp/lintian.log")"
    fi
fi
zcat "$root/usr/share/doc/ecuscan/changelog.gz" 2>/dev/null | head -1 |
    grep -q "^ecuscan ($version) " || fail "changelog.gz: no entry for $version on top"

# --- commands run from the unpacked root ---------------------------------------------------
# A port map whose COM1 and COM2 lead nowhere, inside this check's own folder: nothing here
# may open a real port.
source "$(dirname "$0")/../support/private-ports.sh"
ecuscan_private_ports "$tmp/config"
export XDG_RUNTIME_DIR=$tmp/run QT_QPA_PLATFORM=offscreen
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Over SSH there is no display: --help and --version must not need one.
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
check_commands() { # ROOT_BIN_DIR WHERE
    local bin=$1 where=$2 out c
    out=$(timeout 30 "${no_display[@]}" "$bin/ecuscan" --version 2>"$tmp/err") || fail "$where: ecuscan --version failed: $(cat "$tmp/err")"
    [ "$out" = "ecuscan $version" ] || fail "$where: ecuscan --version printed \"$out\""
    for c in "${commands[@]}"; do
        out=$(timeout 30 "${no_display[@]}" "$bin/$c" --help 2>"$tmp/err") || fail "$where: $c --help failed: $(cat "$tmp/err")"
        grep -qi "^usage: .*$c" <<<"$out" || fail "$where: $c --help printed no usage: $out"
        printf '%s\n' "$out" >"$tmp/help-$c"
    done
}
check_commands "$root/usr/bin" "package"

# --- man pages: clean roff, and every option the command lists is described ---------------
for c in "${commands[@]}"; do
    page=$root/usr/share/man/man1/$c.1.gz
    [ -f "$page" ] || { fail "man page of $c missing"; continue; }
    warnings=$(zcat "$page" | groff -k -man -Tutf8 -ww -z 2>&1) || true
    [ -z "$warnings" ] || fail "man page of $c: $warnings"
    text=$(zcat "$page" | sed 's/\\-/-/g')
    grep -q "^$c - " <<<"$(zcat "$page" | sed 's/\\-/-/g' | sed -n '/^\.SH NAME/{n;p}')" ||
        fail "man page of $c: NAME line"
    for option in $(grep -oE -- '--[a-z][a-z-]*' "$tmp/help-$c" | sort -u); do
        grep -qF -- "$option" <<<"$text" || fail "man page of $c does not describe $option"
    done
done

# --- desktop entry, icons, licence --------------------------------------------------------
desktop=$root/usr/share/applications/ecuscan.desktop
if [ -f "$desktop" ]; then
    command -v desktop-file-validate >/dev/null || fail "desktop-file-validate missing (desktop-file-utils)"
    desktop-file-validate "$desktop" || fail "desktop entry does not validate"
    grep -qx "Exec=ecuscan %f" "$desktop" || fail "desktop entry does not start ecuscan with the file it is given"
    grep -qx "Icon=ecuscan" "$desktop" || fail "desktop entry names another icon"
else
    fail "desktop entry missing"
fi
for size in "${icon_sizes[@]}"; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/ecuscan.png
    [ -f "$png" ] || { fail "icon ${size}x${size} missing"; continue; }
    # The PNG header: signature, IHDR, then width and height as 32-bit big-endian numbers.
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
    [ "$w $h" = "$size $size" ] || fail "icon ${size}x${size} is $w x $h"
done
grep -q "GPL-3" "$root/usr/share/doc/ecuscan/copyright" 2>/dev/null || fail "copyright file"

# --- cmake --install into a prefix of its own ------------------------------------------------
cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/install.log" 2>&1 ||
    { cat "$tmp/install.log" >&2; fail "cmake --install"; }
check_commands "$tmp/prefix/bin" "cmake --install"
[ -f "$tmp/prefix/share/applications/ecuscan.desktop" ] || fail "cmake --install: no desktop entry"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package $(basename "$deb") checked: $(dpkg-deb -c "$deb" | wc -l) entries; Depends: $depends"
