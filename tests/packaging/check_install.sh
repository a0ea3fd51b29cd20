#!/usr/bin/env bash
# Checks of the installed application (run by ctest, label "packaging"):
#   check_install.sh tree BUILD_DIR SOURCE_DIR VERSION   DESTDIR install into /usr, listed and run
#   check_install.sh deb BUILD_DIR SOURCE_DIR VERSION    the Debian package: name, control fields, contents
#   check_install.sh docs BUILD_DIR SOURCE_DIR VERSION   manual page and completion cover `tavrin-cli --help`
set -euo pipefail
mode=$1 build=$2 source=$3 version=$4
expected="$source/tests/packaging/installed_files.txt"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

case $mode in
  tree)
    DESTDIR="$work/root" cmake --install "$build" --prefix /usr >"$work/install.log"
    (cd "$work/root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort) >"$work/installed.txt"
    diff -u "$expected" "$work/installed.txt" || fail "the installed files differ from $expected"
    for f in usr/bin/tavrin usr/bin/tavrin-cli usr/bin/tavrin-fetch-notify usr/libexec/tavrin/tavrin-xls-reader; do
      [ -x "$work/root/$f" ] || fail "$f is not executable"
    done
    # The daily fetch's user units: weekday evenings, made up after a
    # shutdown, running the script found on systemd's fixed search path.
    units="$work/root/usr/lib/systemd/user"
    grep -qx 'OnCalendar=Mon..Fri 18:30' "$units/tavrin-fetch.timer" || fail "the timer's OnCalendar"
    grep -qx 'Persistent=true' "$units/tavrin-fetch.timer" || fail "the timer is not persistent"
    grep -qx 'WantedBy=timers.target' "$units/tavrin-fetch.timer" || fail "the timer's [Install]"
    grep -qx 'ExecStart=tavrin-fetch-notify' "$units/tavrin-fetch.service" || fail "the service's ExecStart"
    if command -v systemd-analyze >/dev/null 2>&1; then
      # The copies name the installed script by its full path, which verify
      # needs to find it outside /usr/bin.
      mkdir -p "$work/units" "$work/runtime"
      chmod 700 "$work/runtime"
      sed "s|^ExecStart=tavrin-fetch-notify$|ExecStart=$work/root/usr/bin/tavrin-fetch-notify|" \
        "$units/tavrin-fetch.service" >"$work/units/tavrin-fetch.service"
      cp "$units/tavrin-fetch.timer" "$work/units/"
      # The manual page named by Documentation= comes with the package, not in this system's path.
      XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user --man=no verify "$work/units/tavrin-fetch.timer" \
        "$work/units/tavrin-fetch.service" >"$work/verify.log" 2>&1 || { cat "$work/verify.log"; fail "systemd-analyze verify"; }
      if grep -q 'tavrin-fetch' "$work/verify.log"; then cat "$work/verify.log"; fail "systemd-analyze verify warns"; fi
    fi
    [ "$("$work/root/usr/bin/tavrin-cli" --version)" = "tavrin-cli $version" ] || fail "installed tavrin-cli --version"
    [ "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$work/root/usr/bin/tavrin" --version)" = "tavrin $version" ] ||
      fail "installed tavrin --version"
    gzip -t "$work"/root/usr/share/man/man1/*.gz || fail "a manual page is not a valid gzip file"
    desktop-file-validate "$work/root/usr/share/applications/io.github.tavrin.Tavrin.desktop"
    ;;
  deb)
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
      { cat "$work/cpack.log"; fail "cpack -G DEB"; }
    arch=$(dpkg --print-architecture)
    deb="$work/out/tavrin_${version}_${arch}.deb"
    [ -f "$deb" ] || { ls "$work/out"; fail "no tavrin_${version}_${arch}.deb"; }
    field() { dpkg-deb -f "$deb" "$1"; }
    [ "$(field Package)" = tavrin ] || fail "Package: $(field Package)"
    [ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
    [ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
    [ "$(field Section)" = misc ] || fail "Section: $(field Section)"
    [[ $(field Maintainer) == *"<"*"@"*">" ]] || fail "Maintainer: $(field Maintainer)"
    [ "$(field Homepage)" = https://github.com/tavrin/tavrin ] || fail "Homepage: $(field Homepage)"
    [[ $(field Description) == "follow the price trends of Japanese stocks"$'\n'" Tavrin is "* ]] ||
      fail "Description: $(field Description)"
    [[ $(field Suggests) == *libnotify-bin* ]] || fail "Suggests lacks libnotify-bin: $(field Suggests)"
    listing=$(dpkg-deb -c "$deb")
    grep -q '^-rwxr-xr-x .* \./usr/bin/tavrin-fetch-notify$' <<<"$listing" || fail "tavrin-fetch-notify is not executable"
    depends=$(field Depends)
    for lib in libc6 libqt6widgets6 libsqlite3-0 libfreexl1 libxlsxwriter qt6-translations-l10n; do
      [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
    done
    awk '$1 !~ /^d/ {print $6}' <<<"$listing" | sed 's|^\./||' | LC_ALL=C sort >"$work/contents.txt"
    diff -u "$expected" "$work/contents.txt" || fail "the package's files differ from $expected"
    ;;
  docs)
    help=$("$build/src/cli/tavrin-cli" --help)
    page="$source/docs/man/tavrin-cli.1"
    completion="$source/completions/tavrin-cli"
    # Man pages write "-" as "\-".
    text=$(sed 's/\\-/-/g' "$page")
    commands=$(sed -n 's/^  \([a-z][a-zA-Z]*\)\( .*\)\{0,1\}$/\1/p' <<<"$help" | sort -u)
    [ -n "$commands" ] || fail "no commands found in tavrin-cli --help"
    for c in $commands; do
      grep -q "^\.B $c\b" <<<"$text" || fail "tavrin-cli.1 does not describe the command $c"
      grep -q "commands=\".*\b$c\b" "$completion" || fail "the completion does not offer the command $c"
    done
    for o in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
      grep -q -- "$o\b" <<<"$text" || fail "tavrin-cli.1 does not describe $o"
      grep -q -- "$o\b" "$completion" || fail "the completion does not offer $o"
    done
    for p in "$build"/desktop/man/*.1; do
      out=$(LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww -z "$p" 2>&1)
      [ -z "$out" ] || fail "groff warns about $(basename "$p"): $out"
      grep -q "$version" "$p" || fail "$(basename "$p") does not carry the version"
    done
    ;;
  *) fail "unknown mode $mode" ;;
esac
echo "ok: $mode"
