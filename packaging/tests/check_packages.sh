#!/usr/bin/env bash
# Builds the Debian packages from a built tree (cpack, into a folder of its own) and checks them
# without installing them: names and versions, every file under /usr, the expected files
# (dpkg-deb -c), dependencies worked out by dpkg-shlibdeps, no lintian error, and the unpacked
# programs, man pages, desktop entries and metainfo.
#   check_packages.sh BUILD_DIR SOURCE_DIR WORK_DIR
set -euo pipefail
build=$1 source=$2 work=$3
version=$(cat "$source/VERSION")
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

rm -rf "$work" && mkdir -p "$work"
(cd "$build" && cpack -G DEB -B "$work/out" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; exit 1; }

programs_deb=$work/out/morphometry_${version}_amd64.deb
python_deb=$work/out/python3-skinmeters_${version}_amd64.deb
for deb in "$programs_deb" "$python_deb"; do
    [ -f "$deb" ] || { ls "$work/out" >&2; fail "no $(basename "$deb")"; exit 1; }
done

# dpkg-deb -c lists "perms owner size date time ./path"; the paths alone, folders without "/".
contents() { dpkg-deb -c "$1" | awk '{print $6}' | sed -e 's|^\./|/|' -e 's|/$||' | grep -v '^$' || true; }
expect() {  # expect DEB PATH...: each path is in the package
    local deb=$1 listing
    shift
    listing=$(contents "$deb")
    for path in "$@"; do
        grep -qxF "$path" <<< "$listing" || fail "$(basename "$deb") lacks $path"
    done
}

for deb in "$programs_deb" "$python_deb"; do
    name=$(basename "$deb")
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$name: version $(dpkg-deb -f "$deb" Version), not $version"
    outside=$(contents "$deb" | grep -v -e '^/usr$' -e '^/usr/' || true)
    [ -z "$outside" ] || fail "$name: files outside /usr: $outside"
    # dpkg-shlibdeps ran: the C library is among the dependencies.
    depends=$(dpkg-deb -f "$deb" Depends)
    grep -q 'libc6 (>=' <<< "$depends" || fail "$name: no shared-library dependencies"
    # Owned by root, folders 0755, files 0644 or 0755.
    odd=$(dpkg-deb -c "$deb" | awk '$2 != "root/root" || ($1 !~ /^d/ && $1 != "-rw-r--r--" && $1 != "-rwxr-xr-x") ||
                                     ($1 ~ /^d/ && $1 != "drwxr-xr-x")' || true)
    [ -z "$odd" ] || fail "$name: unusual owner or permissions: $odd"
done

expect "$programs_deb" /usr/share/doc/morphometry/copyright /usr/share/doc/morphometry/changelog.gz
for program in texturemeter-cli lesionmeter-cli texturemeter lesionmeter; do
    expect "$programs_deb" "/usr/bin/$program" "/usr/share/man/man1/$program.1.gz"
done
for window in texturemeter lesionmeter; do
    id=org.example.morphometry.$window
    expect "$programs_deb" "/usr/share/applications/$id.desktop" "/usr/share/metainfo/$id.metainfo.xml" \
        "/usr/share/icons/hicolor/scalable/apps/$window.svg"
    for size in 16 24 32 48 64 128 256; do
        expect "$programs_deb" "/usr/share/icons/hicolor/${size}x${size}/apps/$window.png"
    done
done
grep -q 'libqt6widgets6' <<< "$(dpkg-deb -f "$programs_deb" Depends)" || fail "morphometry does not depend on Qt 6 Widgets"

site=/usr/lib/python3/dist-packages
expect "$python_deb" /usr/share/doc/python3-skinmeters/copyright /usr/share/doc/python3-skinmeters/changelog.gz \
    "$site/skinmeters/__init__.py" "$site/skinmeters-$version.dist-info/METADATA"
grep -qE "^$site/skinmeters/_skinmeters\.cpython-[0-9]+-x86_64-linux-gnu\.so$" <<< "$(contents "$python_deb")" ||
    fail "python3-skinmeters lacks the compiled module"
[ -z "$(contents "$python_deb" | grep -e '/usr/bin' -e '__pycache__')" ] || fail "python3-skinmeters holds programs or byte code"
grep -q 'python3-numpy' <<< "$(dpkg-deb -f "$python_deb" Depends)" || fail "python3-skinmeters does not depend on numpy"
control=$(dpkg-deb --ctrl-tarfile "$python_deb" | tar -t)
grep -qx './postinst' <<< "$control" && grep -qx './prerm' <<< "$control" ||
    fail "python3-skinmeters has no postinst and prerm (byte code would be left behind)"

# lintian: no error. Its warnings and notes are printed for the log.
for deb in "$programs_deb" "$python_deb"; do
    report=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
    [ -z "$report" ] || echo "$report"
    ! grep -q '^E: ' <<< "$report" || fail "lintian reports errors for $(basename "$deb")"
done

# The unpacked programs: their version, their man pages, the desktop entries and metainfo.
root=$work/root
dpkg-deb -x "$programs_deb" "$root"
dpkg-deb -x "$python_deb" "$root"
for program in texturemeter-cli lesionmeter-cli texturemeter lesionmeter; do
    shown=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$root/usr/bin/$program" --version)
    [ "$shown" = "$program $version" ] || fail "$program --version says \"$shown\""
    page=$(MANWIDTH=100 man -l "$root/usr/share/man/man1/$program.1.gz" 2>&1)
    grep -q -- '--version' <<< "$page" || fail "the man page of $program lists no --version"
    grep -q "$program $version" <<< "$page" || fail "the man page of $program does not name version $version"
    grep -q -- '--seed' <<< "$page" || fail "the man page of $program lists no --seed"
done
for window in texturemeter lesionmeter; do
    id=org.example.morphometry.$window
    desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "$id.desktop is not valid"
    appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" > "$work/$id.appstream.log" 2>&1 ||
        { cat "$work/$id.appstream.log" >&2; fail "$id.metainfo.xml is not valid"; }
    grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$id.metainfo.xml" ||
        fail "$id.metainfo.xml does not name release $version"
done
# The packaged module reports the version (run from its unpacked place with the build's Python).
shown=$(cd "$work" && PYTHONPATH="$root$site" /usr/bin/python3 -B -c \
    'import importlib.metadata, skinmeters; print(skinmeters.__file__, skinmeters.__version__, importlib.metadata.version("skinmeters"))')
[ "$shown" = "$root$site/skinmeters/__init__.py $version $version" ] || fail "the packaged module says \"$shown\""

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "packages $(basename "$programs_deb") and $(basename "$python_deb") checked"
