#!/usr/bin/env bash
# Builds the Debian package of a build folder with CPack and checks it: every
# file and link that `cmake --install` puts below /usr is in it, the control
# fields (name, version, section, maintainer, the dependencies) are right,
# and the tool unpacked from it runs and finds its catalogue.
#
#   scripts/package.sh BUILD_DIR
#
# The package is left in BUILD_DIR/package/. Needs cmake (cpack), dpkg-deb,
# and for the library dependencies dpkg-shlibdeps (dpkg-dev) and file.
# Exits 1 when a check fails, 2 when it cannot run; each failure is one line
# beginning with FAIL.
set -uo pipefail

if [ $# -ne 1 ] || [ ! -f "$1/CPackConfig.cmake" ]; then
    echo "usage: $0 BUILD_DIR (a configured and built build folder)" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
for tool in cpack cmake dpkg-deb; do
    if ! command -v "$tool" >/dev/null; then
        echo "FAIL: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 2
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kvx3-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
ok() { echo "ok: $*"; }
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

rm -rf "$build/package"
if ! (cd "$build" && cpack -G DEB --config "$build/CPackConfig.cmake") >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack -G DEB did not build the package"
    exit 1
fi
debs=("$build"/package/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "FAIL: cpack made no single .deb in $build/package"
    exit 1
fi
deb=${debs[0]}
ok "built $(basename "$deb")"

# ------------------------------------------------------------ contents
# What the package holds, as ./usr/... paths (a link shown as its path only).
dpkg-deb -c "$deb" | awk '{ p = $6; sub(/^\.\//, "", p); print p }' | sed 's:/$::' | sort >"$work/in-deb"
dpkg-deb -c "$deb" | awk '$1 ~ /^l/ { p = $6; sub(/^\.\//, "", p); print p " -> " $8 }' >"$work/links"

# What an install to /usr puts there: every file and link must be packaged.
if ! DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAIL: cmake --install $build did not succeed"
    exit 1
fi
(cd "$work/stage" && find . -type f -o -type l) | sed 's:^\./::' | sort >"$work/installed"
absent=$(comm -23 "$work/installed" "$work/in-deb")
if [ ! -s "$work/installed" ]; then
    fail "cmake --install put nothing below /usr"
elif [ -n "$absent" ]; then
    fail "installed but not in the package: $(echo "$absent" | tr '\n' ' ')"
else
    ok "the package holds all $(wc -l <"$work/installed") installed files and links"
fi

# The parts every package must have, and those of the window programs when
# they are built.
required=(usr/bin/kvx3-cli usr/lib/kvx3/kvx3-cli usr/lib/kvx3/PicDeviceList3.txt
          usr/lib/udev/rules.d/70-kvx3-writer.rules usr/share/man/man1/kvx3-cli.1.gz)
window=0
if [ -x "$build/bin/kvx3" ] || [ -x "$build/bin/kvx3-sim" ]; then
    window=1
    required+=(usr/share/icons/hicolor/scalable/apps/kvx3.svg
               usr/share/icons/hicolor/256x256/apps/kvx3.png usr/share/man/man1/kvx3.1.gz)
fi
if [ -x "$build/bin/kvx3" ]; then
    required+=(usr/bin/kvx3 usr/lib/kvx3/kvx3 usr/share/applications/kvx3.desktop
               usr/share/metainfo/com.quorvane.kvx3.metainfo.xml)
else
    fail "kvx3 is not built in $build/bin: the package has no window program"
fi
if [ -x "$build/bin/kvx3-sim" ]; then
    required+=(usr/bin/kvx3-sim usr/lib/kvx3/kvx3-sim usr/share/applications/kvx3-sim.desktop
               usr/share/man/man1/kvx3-sim.1.gz)
else
    fail "kvx3-sim is not built in $build/bin: the package has no simulated window program"
fi
for f in "${required[@]}"; do
    grep -qxF "$f" "$work/in-deb" || fail "the package lacks /$f"
done
ok "checked ${#required[@]} required paths"
for p in kvx3 kvx3-sim kvx3-cli; do
    line=$(grep "^usr/bin/$p -> " "$work/links")
    if grep -qxF "usr/lib/kvx3/$p" "$work/in-deb"; then
        if [ "$line" = "usr/bin/$p -> ../lib/kvx3/$p" ]; then
            ok "$line"
        else
            fail "/usr/bin/$p is not a link to ../lib/kvx3/$p (${line:-no link})"
        fi
    fi
done

# ------------------------------------------------------------ control fields
field() { dpkg-deb -f "$deb" "$1"; }
dpkg-deb --info "$deb" >"$work/info" || fail "dpkg-deb --info failed"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
[ "$(field Package)" = kvx3 ] || fail "Package is '$(field Package)', not kvx3"
case "$(field Version)" in
"$version" | "$version"-*) ok "Version $(field Version) (project $version)" ;;
*) fail "Version is '$(field Version)', the project's is $version" ;;
esac
[ "$(field Section)" = electronics ] || fail "Section is '$(field Section)', not electronics"
[ -n "$(field Maintainer)" ] || fail "the package has no Maintainer"
[ "$(field Architecture)" = "$(dpkg --print-architecture 2>/dev/null || echo amd64)" ] ||
    fail "Architecture is '$(field Architecture)'"
depends=$(field Depends)
want=("libusb-1.0-0")
if [ "$window" -eq 1 ]; then
    want+=("libqt6widgets6" "libqt6gui6" "libqt6core6" "qt6-qpa-plugins" "fonts-ipafont-gothic | fonts-noto-cjk")
fi
if command -v dpkg-shlibdeps >/dev/null; then
    want+=("libc6" "libstdc++6")
fi
for d in "${want[@]}"; do
    # A dependency stands between commas, with or without a version.
    if printf ', %s,' "$depends" | grep -qE ", $(printf '%s' "$d" | sed 's/[.|+]/\\&/g')( \([^)]*\))?,"; then
        :
    else
        fail "Depends lacks '$d': $depends"
    fi
done
ok "Depends: $depends"
grep -q "Depends: " "$work/info" || fail "dpkg-deb --info shows no Depends"
# Every dependency names a package the archive has (a dry run, nothing is
# installed).
if command -v apt-get >/dev/null; then
    if apt-get install --simulate -q "$deb" >"$work/apt.log" 2>&1 && grep -q "^Inst kvx3 " "$work/apt.log"; then
        ok "apt-get install --simulate resolves the dependencies"
    else
        fail "apt-get install --simulate cannot resolve the dependencies: $(grep -E '^(E:| )' "$work/apt.log" | head -n5)"
    fi
fi

# ------------------------------------------------------------ it runs
# The stripped tool from the package, started through its link, finds the
# packaged catalogue.
dpkg-deb -x "$deb" "$work/unpacked"
if listed=$("$work/unpacked/usr/bin/kvx3-cli" devices 2>&1) && [ -n "$listed" ] &&
    [ "$listed" = "$("$build/bin/kvx3-cli" devices 2>&1)" ]; then
    ok "the packaged kvx3-cli lists the packaged catalogue"
else
    fail "the packaged kvx3-cli did not list its catalogue: $(printf '%s' "$listed" | head -n2)"
fi

if [ "$failures" -ne 0 ]; then
    echo "package: $failures check(s) failed ($deb)"
    exit 1
fi
echo "package: $deb passed every check"
