#!/usr/bin/env bash
# install_test.sh BUILD_DIR: installs the build below a fresh prefix, checks
# that a desktop finds what it needs there, and that the installed program
# finds its texts in the data folder.
set -uo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" > /dev/null || { echo "FAIL: cmake --install"; exit 1; }
for file in bin/kelvane share/kelvane/Config.json share/kelvane/icons/program.svg \
            share/icons/hicolor/scalable/apps/kelvane.svg share/applications/kelvane.desktop \
            share/mime/packages/kelvane-job.xml; do
  [ -e "$prefix/$file" ] || fail "$file not installed"
done
[ -x "$prefix/bin/kelvane" ] || fail "bin/kelvane is not executable"
ls "$prefix/bin" | grep -qv '^kelvane$' && fail "more than the program in bin/: $(ls "$prefix/bin")"

desktop="$prefix/share/applications/kelvane.desktop"
grep -qx 'Exec=kelvane %f' "$desktop" || fail "the desktop entry does not run kelvane"
grep -qx 'Icon=kelvane' "$desktop" || fail "the desktop entry has not the program's icon"
grep -q '^MimeType=application/x-kelvane-job;' "$desktop" || fail "the entry does not open jobs"
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
if command -v xmllint > /dev/null; then
  xmllint --noout "$prefix/share/mime/packages/kelvane-job.xml" "$prefix/share/kelvane/icons/"*.svg \
    || fail "an installed XML file is not well formed"
fi
grep -q 'pattern="\*.kvnjob"' "$prefix/share/mime/packages/kelvane-job.xml" \
  || fail "the job type does not match *.kvnjob"

# The installed program reads the shipped (English) texts from share/kelvane.
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT
mkdir -p "$work/src"
echo data > "$work/src/a.txt"
cat > "$work/job.kvnjob" <<JOB
{"Backup": {"ArchiveFolder": "$work/out", "ArchiveName": "Copy", "WhiteList": ["*.*"],
  "BlackList": [], "IncludeFolders": ["$work/src"], "ExcludeFolders": []}}
JOB
(cd / && env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/profile" \
  "$prefix/bin/kelvane" "$work/job.kvnjob" -start 2> "$work/err")
status=$?
[ "$status" = 0 ] || fail "the installed program: exit status $status"
grep -q "^Done: 1 of 1 files" "$work/err" || fail "the installed program did not speak English: $(cat "$work/err")"
grep -q "configuration file" "$work/err" && fail "the installed program missed Config.json"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "install checks passed"
