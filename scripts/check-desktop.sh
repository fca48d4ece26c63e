#!/usr/bin/env bash
# Installs a build into a temporary folder, as a package would (prefix /usr),
# and checks what lands there: the programs reached through their links in
# bin still find the device catalogue, the udev rule, the desktop entries and
# the metainfo pass their validators, the icons are there, and the manual
# page renders without a warning and names every command and option that
# kvx3-cli --help does.
#
#   scripts/check-desktop.sh BUILD_DIR
#
# Needs desktop-file-utils, appstream, man-db and imagemagick (identify).
# Exits 1 when a check fails, 2 when it cannot run; each failure is one line
# beginning with FAIL.
set -uo pipefail

if [ $# -ne 1 ] || [ ! -f "$1/CMakeCache.txt" ]; then
    echo "usage: $0 BUILD_DIR (a configured and built build folder)" >&2
    exit 2
fi
build=$(cd "$1" && pwd)

missing=()
for tool in cmake desktop-file-validate appstreamcli man identify; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -ne 0 ]; then
    echo "FAIL: missing tools: ${missing[*]} (scripts/install-deps.sh installs them)" >&2
    exit 2
fi

stage=$(mktemp -d "${TMPDIR:-/tmp}/kvx3-install.XXXXXX")
trap 'rm -rf "$stage"' EXIT
root="$stage/usr"

failures=0
ok() { echo "ok: $*"; }
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! DESTDIR="$stage" cmake --install "$build" --prefix /usr >"$stage.log" 2>&1; then
    cat "$stage.log"
    rm -f "$stage.log"
    echo "FAIL: cmake --install $build did not succeed (is everything built?)"
    exit 1
fi
rm -f "$stage.log"
app_id=com.quorvane.kvx3
programdir=$(sed -n 's/^KVX3_INSTALL_PROGRAMDIR:[A-Z]*=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
[ -n "$programdir" ] || programdir=lib/kvx3

# ------------------------------------------------------------ the programs
# A window program counts as built when the build tree has it.
programs=(kvx3-cli)
for p in kvx3 kvx3-sim; do
    if [ -x "$build/bin/$p" ]; then
        programs+=("$p")
    else
        fail "$p is not built in $build/bin: its desktop entry, icon and metainfo cannot be checked"
    fi
done
for p in "${programs[@]}"; do
    link="$root/bin/$p"
    if [ ! -L "$link" ]; then
        fail "$p: /usr/bin/$p is not a symbolic link"
    elif [ "$(readlink -f "$link")" != "$(readlink -f "$root/$programdir/$p")" ]; then
        fail "$p: /usr/bin/$p points to $(readlink "$link"), not to /usr/$programdir/$p"
    elif [ ! -x "$root/$programdir/$p" ]; then
        fail "$p: /usr/$programdir/$p is not an executable"
    else
        ok "/usr/bin/$p -> $(readlink "$link")"
    fi
done
if [ -f "$root/$programdir/PicDeviceList3.txt" ]; then
    ok "the catalogue is installed beside the programs in /usr/$programdir"
else
    fail "PicDeviceList3.txt is not in /usr/$programdir"
fi
# Started through its link, the tool must find the catalogue beside the real
# executable and list the same device types as the build tree's.
if listed=$("$root/bin/kvx3-cli" devices 2>&1) && [ -n "$listed" ] &&
    [ "$listed" = "$("$build/bin/kvx3-cli" devices 2>&1)" ]; then
    ok "kvx3-cli started from /usr/bin reads the installed catalogue ($(printf '%s\n' "$listed" | wc -l) lines)"
else
    fail "kvx3-cli started from /usr/bin did not list the installed catalogue: $(printf '%s' "$listed" | head -n2)"
fi

# ------------------------------------------------------------ udev
rule="$root/lib/udev/rules.d/70-kvx3-writer.rules"
if [ -f "$rule" ] && grep -q 'TAG+="uaccess"' "$rule"; then
    ok "udev rule in /usr/lib/udev/rules.d"
else
    fail "the udev rule is not in /usr/lib/udev/rules.d"
fi

# ------------------------------------------------------------ desktop entries
check_desktop_entry() { # FILE PROGRAM
    local file="$root/share/applications/$1" out
    if [ ! -f "$file" ]; then
        fail "$1 is not installed in /usr/share/applications"
        return
    fi
    if out=$(desktop-file-validate "$file" 2>&1) && [ -z "$out" ]; then
        ok "desktop-file-validate $1"
    else
        fail "desktop-file-validate $1: $out"
    fi
    if grep -qx "Exec=$2" "$file" && [ -x "$root/bin/$2" ]; then
        ok "$1 starts /usr/bin/$2"
    else
        fail "$1 does not start an installed $2"
    fi
    local icon
    icon=$(sed -n 's/^Icon=//p' "$file")
    if [ -f "$root/share/icons/hicolor/scalable/apps/$icon.svg" ] &&
        [ -f "$root/share/icons/hicolor/256x256/apps/$icon.png" ]; then
        ok "$1: icon $icon (SVG and 256 px PNG)"
    else
        fail "$1: icon $icon is not installed as SVG and 256 px PNG in the hicolor theme"
    fi
}
[ -x "$build/bin/kvx3" ] && check_desktop_entry kvx3.desktop kvx3
[ -x "$build/bin/kvx3-sim" ] && check_desktop_entry kvx3-sim.desktop kvx3-sim

png="$root/share/icons/hicolor/256x256/apps/kvx3.png"
if [ -f "$png" ]; then
    size=$(identify -format '%wx%h %m' "$png" 2>&1)
    if [ "$size" = "256x256 PNG" ]; then
        ok "the PNG icon is 256x256"
    else
        fail "the PNG icon is not a 256x256 PNG ($size)"
    fi
fi

# ------------------------------------------------------------ metainfo
if [ -x "$build/bin/kvx3" ]; then
    metainfo="$root/share/metainfo/$app_id.metainfo.xml"
    if [ ! -f "$metainfo" ]; then
        fail "$app_id.metainfo.xml is not installed in /usr/share/metainfo"
    else
        if out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
            ok "appstreamcli validate --no-net $app_id.metainfo.xml"
        else
            fail "appstreamcli validate --no-net $app_id.metainfo.xml: $out"
        fi
        # The tree as a whole: the launchable's desktop entry and the icon.
        if out=$(appstreamcli validate-tree --no-net "$stage" 2>&1); then
            ok "appstreamcli validate-tree --no-net"
        else
            fail "appstreamcli validate-tree --no-net: $out"
        fi
        newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n1 | cut -d'"' -f2)
        if [ "$newest" = "$version" ]; then
            ok "the metainfo's newest release is the project's version $version"
        else
            fail "the metainfo's newest release is '$newest', the project's version is '$version'"
        fi
    fi
fi

# ------------------------------------------------------------ manual pages
# Each page renders without a warning (kvx3-sim's is a .so link to kvx3's,
# resolved from the manual's root as man does).
mandir="$root/share/man"
pages=$(cd "$mandir" 2>/dev/null && ls man1/* 2>/dev/null)
[ -n "$pages" ] || fail "no manual page is installed in /usr/share/man/man1"
for p in $pages; do
    if ! (cd "$mandir" && LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -E UTF-8 -l "$p") \
        >"$stage/page.txt" 2>"$stage/man.err"; then
        fail "man -l $p failed: $(cat "$stage/man.err")"
    elif [ -s "$stage/man.err" ]; then
        fail "man -l $p warns: $(cat "$stage/man.err")"
    elif [ ! -s "$stage/page.txt" ]; then
        fail "man -l $p rendered nothing"
    else
        ok "man -l $p renders without a warning"
    fi
done
page=$(find "$mandir/man1" -name "kvx3-cli.1*" 2>/dev/null | head -n1)
if [ -z "$page" ]; then
    fail "the manual page of kvx3-cli is not in /usr/share/man/man1"
else
    rendered="$stage/kvx3-cli.txt"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$page" >"$rendered" 2>/dev/null
    # Plain text without the overstrike of bold and underline.
    sed -i 's/.\x08//g' "$rendered"
    # Every subcommand and long option the tool knows is in the page.
    help=$("$build/bin/kvx3-cli" --help 2>&1)
    subcommands=$(printf '%s\n' "$help" | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }')
    for sub in $subcommands; do
        help+=$'\n'$("$build/bin/kvx3-cli" "$sub" --help 2>&1)
    done
    words=$(printf '%s\n' "$help" | grep -oE -- '--[a-z][a-z-]+' | sort -u)
    words+=$'\n'$subcommands
    absent=()
    for w in $words; do
        # As a whole word: --sim does not count for --sim-chip, nor the reverse.
        grep -qE -- "(^|[^a-z-])$w([^a-z-]|\$)" "$rendered" || absent+=("$w")
    done
    if [ -z "$(printf '%s' "$words" | tr -d '[:space:]')" ]; then
        fail "kvx3-cli --help named no command or option to compare with the manual page"
    elif [ ${#absent[@]} -eq 0 ]; then
        ok "the manual page names every command and option of kvx3-cli --help"
    else
        fail "the manual page lacks what kvx3-cli --help names: ${absent[*]}"
    fi
fi

if [ "$failures" -ne 0 ]; then
    echo "check-desktop: $failures check(s) failed"
    exit 1
fi
echo "check-desktop: every check passed"
