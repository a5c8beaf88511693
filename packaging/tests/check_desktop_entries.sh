#!/usr/bin/env bash
# "Open with texturemeter" / "Open with lesionmeter": the desktop entry's command, with %f replaced
# by a photograph as a file manager does, starts the window with that photograph open; a missing
# photograph is reported. The windows answer --help (listing their options) and --version with no
# display at all.
#   check_desktop_entries.sh PACKAGING_DIR WORK_DIR TEXTUREMETER_DIR LESIONMETER_DIR SAMPLES_DIR VERSION
set -euo pipefail
packaging=$1 work=$2/desktop-check texturemeter_dir=$3 lesionmeter_dir=$4 samples=$5 version=$6
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work"

# The desktop entry's command for one file, split into words, %f replaced (as in the
# freedesktop.org rules for Exec keys; the commands here hold no quoting).
command_for() {
    local exec_line
    exec_line=$(grep -m1 '^Exec=' "$1")
    exec_line=${exec_line#Exec=}
    [[ $exec_line == *' %f' ]] || { fail "$(basename "$1"): Exec does not end in %f: $exec_line"; return 1; }
    echo "${exec_line% %f} $2"
}

check_window() {
    local window=$1 dir=$2 photo=$3 entry cmd status
    entry=$packaging/org.example.morphometry.$window.desktop
    cmd=$(command_for "$entry" "$photo") || return 0
    # Opened from a file manager: the photograph is loaded (the picture differs from an empty window).
    status=0
    PATH="$dir:$PATH" QT_QPA_PLATFORM=offscreen $cmd --screenshot "$work/$window-photo.png" 2> "$work/$window.err" ||
        status=$?
    [ "$status" = 0 ] || { cat "$work/$window.err" >&2; fail "$window $photo ended with status $status"; }
    QT_QPA_PLATFORM=offscreen "$dir/$window" --screenshot "$work/$window-empty.png" ||
        fail "$window without a photograph ended with status $?"
    if cmp -s "$work/$window-photo.png" "$work/$window-empty.png"; then
        fail "$window shows nothing of $photo"
    fi
    # A photograph that is not there is reported, and the run ends with status 1.
    status=0
    cmd=$(command_for "$entry" "$work/missing.jpg")
    PATH="$dir:$PATH" QT_QPA_PLATFORM=offscreen $cmd --screenshot "$work/$window-missing.png" 2> "$work/$window.err" ||
        status=$?
    [ "$status" = 1 ] || fail "$window with a missing photograph ended with status $status"
    grep -q "File not found: $work/missing.jpg" "$work/$window.err" || fail "$window did not report the missing photograph"
    # Two photographs, or one given twice, are refused.
    status=0
    QT_QPA_PLATFORM=offscreen "$dir/$window" "$photo" --open "$photo" 2> "$work/$window.err" || status=$?
    [ "$status" = 2 ] || fail "$window IMAGE --open IMAGE ended with status $status"

    # No display at all: --help and --version still answer (a window would need the xcb display).
    local help
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$dir/$window" --help) ||
        fail "$window --help failed without a display"
    for option in --open --seed --screenshot --plots-screenshot --help --version '[IMAGE]'; do
        grep -qF -- "$option" <<< "$help" || fail "$window --help does not list $option"
    done
    [ "$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$dir/$window" --version)" = "$window $version" ] ||
        fail "$window --version does not say \"$window $version\""
}

check_window texturemeter "$texturemeter_dir" "$samples/skin_sample.jpg"
check_window lesionmeter "$lesionmeter_dir" "$samples/lesion_sample.jpg"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "desktop entries and window options checked"
