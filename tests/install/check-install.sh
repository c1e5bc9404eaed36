#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a Linux desktop
# reads there: exactly the expected files, a desktop entry whose command and
# icon are installed under the names it gives, icons whose pixel size matches
# their folder, metadata that names the desktop entry and the project's
# version, the context-menu entries of Dolphin, Nemo and Thunar that start
# the installed program, manual pages that list the options their program's
# --help lists,
# a copyright file that names the holder and the metadata's licence; then the
# validators on the installed files (and groff on the manual pages). Exits 77
# (skipped) when a validator is missing, after the checks that need none.
# Usage: check-install.sh <cmake> <build folder> <project version>
set -euo pipefail

cmake=$1 build=$2 version=$3
id=org.varnwell.Varnwell
sizes=(16 32 48 64 128 256)

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
prefix=$root/prefix
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if ! env -u DESTDIR "$cmake" --install "$build" --prefix "$prefix" >"$root/install.log" 2>&1; then
  cat "$root/install.log"
  echo "FAIL: cmake --install $build"
  exit 1
fi

# Exactly these files, nothing more (no test or benchmark program).
expected=(bin/varnwell
  bin/varnwell-cli
  share/man/man1/varnwell-cli.1
  share/man/man1/varnwell.1
  share/doc/varnwell/copyright
  "share/applications/$id.desktop"
  "share/metainfo/$id.metainfo.xml"
  "share/icons/hicolor/scalable/apps/$id.svg"
  "share/kio/servicemenus/$id.desktop"
  "share/kio/servicemenus/$id.Folders.desktop"
  share/nemo/actions/varnwell-rename.nemo_action
  share/nemo/actions/varnwell-rename-folders.nemo_action
  "share/Thunar/sendto/$id.desktop"
  "share/Thunar/sendto/$id.Folders.desktop")
for s in "${sizes[@]}"; do
  expected+=("share/icons/hicolor/${s}x$s/apps/$id.png")
done
installed=$(cd "$prefix" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$installed" != "$wanted" ]; then
  fail "installed files differ from the expected ones (< expected, > installed):"
  diff <(echo "$wanted") <(echo "$installed") || true
fi

[ -x "$prefix/bin/varnwell" ] || fail "bin/varnwell is not an executable file"
[ -x "$prefix/bin/varnwell-cli" ] || fail "bin/varnwell-cli is not an executable file"
"$prefix/bin/varnwell-cli" --version | grep -qx "varnwell-cli $version" ||
  fail "bin/varnwell-cli --version does not give the project's version"

# The desktop entry starts an installed command and names an installed icon.
desktop=$prefix/share/applications/$id.desktop
if [ -f "$desktop" ]; then
  exec_line=$(sed -n 's/^Exec=//p' "$desktop")
  command=${exec_line%% *}
  [ -x "$prefix/bin/$command" ] || fail "Exec= starts '$command', which is not in bin/"
  case " $exec_line " in
  *" %F "* | *" %U "*) ;;
  *) fail "Exec= takes no list of files or folders: '$exec_line'" ;;
  esac
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  [ "$icon" = "$id" ] || fail "Icon= names '$icon', the icons are installed as $id"
fi

# The file managers' context-menu entries: "Rename with Varnwell" for files
# and folders, "Rename folders with Varnwell" for folders only, each starting
# the installed program on the selected paths. Dolphin's service menus
# (Type=Service) and Nemo's actions are no desktop entries a validator reads:
# their keys are checked here; Thunar's are validated below.
# Usage: menu_entry FILE GROUP KEY=VALUE...
menu_entry() {
  local file=$prefix/$1 group=$2 pair key
  shift 2
  [ -f "$file" ] || return 0
  # The lines of GROUP, up to the next group.
  local lines
  lines=$(awk -v g="[$group]" '$0 == g { f = 1; next } /^\[/ { f = 0 } f' "$file")
  [ -n "$lines" ] || fail "$file has no group [$group]"
  for pair in "$@"; do
    grep -qxF -- "$pair" <<<"$lines" || fail "$(basename "$file"): [$group] lacks '$pair'"
  done
  exec_line=$(sed -n 's/^Exec=//p' <<<"$lines")
  if [ -n "$exec_line" ]; then
    key=${exec_line%% *}
    [ "$key" = varnwell ] && [ -x "$prefix/bin/$key" ] ||
      fail "$(basename "$file") starts '$key', not the installed varnwell"
  fi
}
menu_entry "share/kio/servicemenus/$id.desktop" "Desktop Entry" Type=Service \
  X-KDE-ServiceTypes=KonqPopupMenu/Plugin "MimeType=all/all;" "Actions=RenameWithVarnwell;"
menu_entry "share/kio/servicemenus/$id.desktop" "Desktop Action RenameWithVarnwell" \
  "Name=Rename with Varnwell" "Exec=varnwell %F" "Icon=$id"
menu_entry "share/kio/servicemenus/$id.Folders.desktop" "Desktop Entry" Type=Service \
  X-KDE-ServiceTypes=KonqPopupMenu/Plugin "MimeType=inode/directory;" \
  "Actions=RenameFoldersWithVarnwell;"
menu_entry "share/kio/servicemenus/$id.Folders.desktop" "Desktop Action RenameFoldersWithVarnwell" \
  "Name=Rename folders with Varnwell" "Exec=varnwell --folders %F" "Icon=$id"
menu_entry share/nemo/actions/varnwell-rename.nemo_action "Nemo Action" \
  "Name=Rename with Varnwell" "Exec=varnwell %F" Selection=notnone "Extensions=any;" Quote=double \
  "Icon-Name=$id"
menu_entry share/nemo/actions/varnwell-rename-folders.nemo_action "Nemo Action" \
  "Name=Rename folders with Varnwell" "Exec=varnwell --folders %F" Selection=notnone \
  "Extensions=dir;" Quote=double "Icon-Name=$id"
menu_entry "share/Thunar/sendto/$id.desktop" "Desktop Entry" Type=Application \
  "Name=Rename with Varnwell" "Exec=varnwell %F" "Icon=$id"
menu_entry "share/Thunar/sendto/$id.Folders.desktop" "Desktop Entry" Type=Application \
  "Name=Rename folders with Varnwell" "Exec=varnwell --folders %F" "MimeType=inode/directory;" \
  "Icon=$id"
# Thunar offers an entry without MimeType for every selection.
if grep -q '^MimeType=' "$prefix/share/Thunar/sendto/$id.desktop" 2>/dev/null; then
  fail "the Thunar entry for files and folders is limited by MimeType"
fi

# A PNG's width and height are the big-endian numbers at bytes 16 and 20.
png_size() {
  od -An -tu1 -j16 -N8 "$1" |
    awk '{ printf "%dx%d", $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }'
}
for s in "${sizes[@]}"; do
  png=$prefix/share/icons/hicolor/${s}x$s/apps/$id.png
  [ -f "$png" ] || continue
  actual=$(png_size "$png")
  [ "$actual" = "${s}x$s" ] || fail "the ${s}x$s icon is $actual pixels"
done
svg=$prefix/share/icons/hicolor/scalable/apps/$id.svg
if [ -f "$svg" ] && ! grep -q '<svg[ >]' "$svg"; then
  fail "the scalable icon holds no <svg> element"
fi

metainfo=$prefix/share/metainfo/$id.metainfo.xml
if [ -f "$metainfo" ]; then
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metadata does not launch $id.desktop"
  grep -q "<release version=\"$version\"" "$metainfo" ||
    fail "the metadata lists no release of version $version"
fi

# Each manual page names its program and lists every long option that the
# program's --help lists (which needs no display), and the other way round.
long_options() { grep -o -- '--[a-z][a-z-]*' | sort -u; }
for program in varnwell varnwell-cli; do
  page=$prefix/share/man/man1/$program.1
  [ -f "$page" ] && [ -x "$prefix/bin/$program" ] || continue
  grep -q "^$program \\\\- " "$page" || fail "$program.1 does not name $program in NAME"
  help_options=$("$prefix/bin/$program" --help | long_options) ||
    fail "$program --help failed"
  page_options=$(sed 's/\\-/-/g' "$page" | long_options)
  if [ "$help_options" != "$page_options" ]; then
    fail "the options of $program.1 differ from $program --help (< --help, > manual page):"
    diff <(echo "$help_options") <(echo "$page_options") || true
  fi
done
"$prefix/bin/varnwell" --help | tr -s ' \n' ' ' | grep -q -- '--folders PATH\.\.\. open the folder page with these folders, taken with the "include" choices the folder page remembers' ||
  fail "varnwell --help does not say that --folders takes the remembered include choices"

# The copyright file: machine-readable, the project's holder, and the licence
# the AppStream metadata declares for the project.
copyright=$prefix/share/doc/varnwell/copyright
if [ -f "$copyright" ] && [ -f "$metainfo" ]; then
  head -n1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
    fail "the copyright file does not start with the machine-readable Format: line"
  grep -q '^Copyright: .*The Varnwell developers$' "$copyright" ||
    fail "the copyright file does not name The Varnwell developers"
  license=$(sed -n 's|.*<project_license>\(.*\)</project_license>.*|\1|p' "$metainfo")
  [ -n "$license" ] || fail "the metadata declares no project_license"
  files_license=$(awk '/^Files: \*$/ { f = 1; next } f && /^License:/ { print $2; exit }' "$copyright")
  [ "$files_license" = "$license" ] ||
    fail "the copyright file gives 'Files: *' the licence '$files_license', the metadata '$license'"
fi

[ "$failures" -eq 0 ] || exit 1

# The validators: errors fail the test, warnings and hints are only shown.
missing=()
command -v desktop-file-validate >/dev/null || missing+=("desktop-file-validate (desktop-file-utils)")
command -v appstreamcli >/dev/null || missing+=("appstreamcli (appstream)")
command -v groff >/dev/null || missing+=("groff (groff-base)")
if [ ${#missing[@]} -ne 0 ]; then
  echo "SKIP: the files are in place, but these validators are missing: ${missing[*]}"
  exit 77
fi

echo "== desktop-file-validate $id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate reports errors"
for entry in "$prefix/share/Thunar/sendto/"*.desktop; do
  echo "== desktop-file-validate Thunar/sendto/$(basename "$entry")"
  desktop-file-validate "$entry" || fail "desktop-file-validate reports errors in $entry"
done

# appstreamcli exits 3 on warnings as on errors; only lines marked E: fail.
appstream_check() {
  local status=0 report
  report=$(appstreamcli "$@" 2>&1) || status=$?
  echo "$report"
  if [ "$status" -ne 0 ] && { [ "$status" -ne 3 ] || grep -q '^E:' <<<"$report"; }; then
    fail "appstreamcli $1 reports errors (exit status $status)"
  fi
}
echo "== appstreamcli validate $id.metainfo.xml"
appstream_check validate --no-net "$metainfo"
echo "== appstreamcli validate-tree <installed prefix>"
appstream_check validate-tree --no-net "$prefix"

# groff reads the manual pages; any warning (-ww) fails.
for page in "$prefix"/share/man/man1/*.1; do
  echo "== groff -man -ww $(basename "$page")"
  report=$(LC_ALL=C.UTF-8 groff -man -ww -z -K utf8 "$page" 2>&1) || fail "groff fails on $(basename "$page")"
  [ -z "$report" ] || {
    echo "$report"
    fail "groff warns about $(basename "$page")"
  }
done

[ "$failures" -eq 0 ]
