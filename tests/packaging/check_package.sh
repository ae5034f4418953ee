#!/usr/bin/env bash
# Checks a built .deb on its own, the way it will be installed:
#   tests/packaging/check_package.sh PACKAGE.deb
# The package is unpacked into a temporary root (dpkg -x) and its programs,
# pages and desktop files are used from there: the installed substitute
# device serves the installed client, the man pages are compared with the
# installed programs' --help, and desktop-file-validate, appstreamcli and
# lintian judge the files. A check whose tool is missing is skipped with a
# line saying so; scripts/setup-deps installs them all.
set -uo pipefail
deb=$1
here=$(cd "$(dirname "$0")" && pwd)

passed=0 failed=0 skipped=0
pass() { passed=$((passed + 1)); echo "ok:   $*"; }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
skip() { skipped=$((skipped + 1)); echo "SKIP: $*"; }
have() { command -v "$1" >/dev/null 2>&1; }

work=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

root=$work/root
if ! dpkg-deb -x "$deb" "$root"; then
  echo "FAIL: cannot unpack $deb"
  exit 1
fi
version=$(dpkg-deb -f "$deb" Version)
app_id=net.kolmaraqx.KolmaraSetting
bin=$root/usr/bin
share=$root/usr/share

# What a desktop installation needs, where Debian looks for it.
for f in bin/KolmaraSetting bin/kolmarasetting-cli bin/kolmara-qx-sim \
  share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
  share/man/man1/KolmaraSetting.1.gz share/man/man1/kolmarasetting-cli.1.gz share/man/man1/kolmara-qx-sim.1.gz \
  share/bash-completion/completions/kolmarasetting-cli \
  share/doc/kolmarasetting/copyright share/doc/kolmarasetting/changelog.gz; do
  if [ -s "$root/usr/$f" ]; then pass "installs /usr/$f"; else fail "no /usr/$f in the package"; fi
done

# The icons: a PNG of the size its folder names (width and height are the
# big-endian words at bytes 16 and 20 of a PNG).
for size in 16 22 24 32 48 64 128 256; do
  png=$share/icons/hicolor/${size}x${size}/apps/$app_id.png
  dims=$(od -An -tu1 -j16 -N8 "$png" 2>/dev/null | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }')
  if [ "$(head -c 8 "$png" 2>/dev/null | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] && [ "$dims" = "${size}x${size}" ]; then
    pass "icon ${size}x${size}"
  else
    fail "icon ${size}x${size}: missing or ${dims:-not a PNG}"
  fi
done

# Each program names itself and the package's version; the window does so
# without a display.
for program in KolmaraSetting kolmarasetting-cli kolmara-qx-sim; do
  got=$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/$program" --version 2>&1)
  if [ "$got" = "$program $version" ]; then pass "$program --version"; else fail "$program --version printed '$got', not '$program $version'"; fi
done

# The installed client against the installed substitute device.
"$bin/kolmara-qx-sim" --port 0 --sample-data >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sim.out")
  [ -n "$port" ] && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$port" ]; then
  fail "kolmara-qx-sim did not start: $(cat "$work/sim.err")"
else
  if out=$(KOLMARA_PASSWORD=admin "$bin/kolmarasetting-cli" --host "127.0.0.1:$port" --id admin --timeout 10 info 2>&1) &&
    grep -q '^Device Name *: ' <<<"$out"; then
    pass "kolmarasetting-cli info against kolmara-qx-sim"
  else
    fail "kolmarasetting-cli info against kolmara-qx-sim: $out"
  fi
  kill "$sim_pid" 2>/dev/null
  wait "$sim_pid" 2>/dev/null
  sim_pid=
fi

# The installed pages and completion against the installed programs.
if have man; then
  completion=$share/bash-completion/completions/kolmarasetting-cli
  if "$here/man_matches_help.sh" "$share/man/man1/kolmarasetting-cli.1.gz" "$bin/kolmarasetting-cli" "$completion"; then
    pass "man kolmarasetting-cli says what --help says"
  else
    fail "man kolmarasetting-cli differs from --help"
  fi
  if "$here/man_matches_help.sh" "$share/man/man1/kolmara-qx-sim.1.gz" "$bin/kolmara-qx-sim"; then
    pass "man kolmara-qx-sim says what --help says"
  else
    fail "man kolmara-qx-sim differs from --help"
  fi
  if MANWIDTH=80 man -l "$share/man/man1/KolmaraSetting.1.gz" 2>/dev/null | grep -q -- "KolmaraSetting $version"; then
    pass "man KolmaraSetting renders with the version"
  else
    fail "man KolmaraSetting does not render or lacks 'KolmaraSetting $version'"
  fi
else
  skip "man not installed (man-db): the man pages are not compared with --help"
fi
if "$here/completion_test.sh" "$share/bash-completion/completions/kolmarasetting-cli" "$bin/kolmarasetting-cli"; then
  pass "bash completion of the installed client"
else
  fail "bash completion of the installed client"
fi

# The desktop entry starts an installed program with an installed icon.
desktop=$share/applications/$app_id.desktop
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
if [ -x "$bin/$exec_name" ] && [ -f "$share/icons/hicolor/48x48/apps/$icon_name.png" ]; then
  pass "desktop entry starts /usr/bin/$exec_name with icon $icon_name"
else
  fail "desktop entry: Exec '$exec_name' or Icon '$icon_name' is not in the package"
fi
if have desktop-file-validate; then
  if desktop-file-validate "$desktop"; then pass "desktop-file-validate"; else fail "desktop-file-validate"; fi
else
  skip "desktop-file-validate not installed (desktop-file-utils)"
fi
if have appstreamcli; then
  if appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml"; then pass "appstreamcli validate"; else fail "appstreamcli validate"; fi
else
  skip "appstreamcli not installed (appstream)"
fi

# lintian: no errors. Its warnings and notes are shown; the README lists the
# ones accepted and why.
if have lintian; then
  lintian --fail-on error "$deb" >"$work/lintian.out" 2>&1
  rc=$?
  grep -v '^running with root privileges' "$work/lintian.out"
  if [ "$rc" -eq 0 ]; then pass "lintian: no errors"; else fail "lintian reports errors (exit $rc)"; fi
else
  skip "lintian not installed"
fi

echo "package check: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
