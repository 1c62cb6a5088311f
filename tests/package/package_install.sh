#!/usr/bin/env bash
# Packs the build tree as a Debian package into a temporary folder, checks its
# control fields, its files and lintian's verdict, unpacks it into a temporary
# root with dpkg -x and runs lockapp and `lockctl check` from ROOT/opt/lockapp.
#   package_install.sh CMAKE CPACK BUILD_DIR
# Set KEEP=1 to keep the temporary folder.
set -euo pipefail
cmake="$1" cpack="$2" build="$3"

work="$(mktemp -d)"
lockapp_pid=""
cleanup() {
    if [ -n "$lockapp_pid" ]; then kill -KILL "$lockapp_pid" 2>/dev/null || true; fi
    if [ -n "${KEEP:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# --- the package -------------------------------------------------------------
"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
shopt -s nullglob
debs=("$work"/out/*.deb)
shopt -u nullglob
[ ${#debs[@]} -eq 1 ] || fail "expected one .deb in $work/out, found ${#debs[@]}"
deb="${debs[0]}"
echo "package: $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = lockapp ] || fail "Package is '$(field Package)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Section)" ] || fail "no Section"
version="$(field Version)"
echo "Depends: $(field Depends)"
# Package names of Depends, versions dropped.
depends="$(field Depends | tr ',' '\n' | sed 's/(.*//; s/^ *//; s/ *$//')"
# What lockapp loads at run time, and the Qt libraries it links (found by
# dpkg-shlibdeps; Debian's 64-bit time transition adds a t64 suffix).
for dep in qt6-qpa-plugins fonts-wqy-microhei fonts-dejavu-core dbus \
        libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libc6 libstdc++6 libwayland-client0 libxkbcommon0; do
    grep -qxE "${dep//+/\\+}(t64)?" <<<"$depends" || fail "Depends lacks $dep"
done

# --- its files ---------------------------------------------------------------
root="$work/root"
dpkg -x "$deb" "$root"
app="$root/opt/lockapp"
for file in lockapp lockctl; do
    [ -f "$app/$file" ] && [ -x "$app/$file" ] || fail "no executable opt/lockapp/$file"
done
for file in README.md LICENSE docs/lock-screen-classic.png \
        skin/classic/skin.cfg skin/night/skin.cfg \
        usr/lib/systemd/user/lockapp.service usr/lib/systemd/user/lockapp-bridge.service \
        usr/share/doc/lockapp/copyright \
        usr/share/doc/lockapp/changelog.gz usr/share/lintian/overrides/lockapp \
        usr/share/man/man1/lockctl.1.gz usr/share/man/man1/lockapp.1.gz \
        usr/share/bash-completion/completions/lockctl; do
    case "$file" in
        usr/*) [ -s "$root/$file" ] || fail "no $file in the package" ;;
        *) [ -s "$app/$file" ] || fail "no opt/lockapp/$file in the package" ;;
    esac
done
# Nothing lands outside the program folder and the few system paths.
stray="$(cd "$root" && find . -type f | grep -vE '^\./(opt/lockapp/|etc/lockapp/config\.cfg$|usr/lib/systemd/user/lockapp(-bridge)?\.service$|usr/share/doc/lockapp/(copyright|changelog\.gz)$|usr/share/lintian/overrides/lockapp$|usr/share/man/man1/lock(ctl|app)\.1\.gz$|usr/share/bash-completion/completions/lockctl$)' || true)"
[ -z "$stray" ] || fail "unexpected files in the package: $stray"

# config.cfg is a conffile under /etc, which dpkg keeps across upgrades; the
# program folder links to it. In this unpacked tree the link is pointed at the
# tree's own /etc, as it resolves once installed.
cmp -s "$root/etc/lockapp/config.cfg" "$build/config.cfg" || fail "etc/lockapp/config.cfg is not the bundled config.cfg"
[ "$(readlink "$app/config.cfg")" = "/etc/lockapp/config.cfg" ] \
    || fail "opt/lockapp/config.cfg is not a link to /etc/lockapp/config.cfg"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles 2>/dev/null | grep -qx /etc/lockapp/config.cfg \
    || fail "etc/lockapp/config.cfg is not marked as a conffile"
ln -sfn "$root/etc/lockapp/config.cfg" "$app/config.cfg"

# The program folder is exactly what `cmake --install` gives any prefix.
"$cmake" --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install failed"
diff <(cd "$work/prefix" && find . | sort) <(cd "$app" && find . | sort) \
    || fail "the package's opt/lockapp differs from a cmake --install (< install, > package)"

unit="$root/usr/lib/systemd/user/lockapp.service"
for line in ExecStart=/opt/lockapp/lockapp Restart=always RestartSec=0 \
        PartOf=graphical-session.target After=graphical-session.target \
        WantedBy=graphical-session.target; do
    grep -qxF "$line" "$unit" || fail "lockapp.service lacks '$line'"
done
# The bridge comes with the lock screen's unit and after it.
bridge_unit="$root/usr/lib/systemd/user/lockapp-bridge.service"
for line in "ExecStart=/opt/lockapp/lockctl bridge" Wants=lockapp.service \
        "After=lockapp.service graphical-session.target" PartOf=graphical-session.target \
        WantedBy=graphical-session.target; do
    grep -qxF "$line" "$bridge_unit" || fail "lockapp-bridge.service lacks '$line'"
done

gzip -t "$root/usr/share/doc/lockapp/changelog.gz" || fail "changelog.gz is not gzip"
first="$(gzip -dc "$root/usr/share/doc/lockapp/changelog.gz" | head -n1)"
[[ "$first" == "lockapp ($version) "* ]] || fail "the changelog starts '$first', not with version $version"

# lockctl on the search path: a link to the program folder's copy.
[ "$(readlink "$root/usr/bin/lockctl")" = /opt/lockapp/lockctl ] \
    || fail "usr/bin/lockctl is not a link to /opt/lockapp/lockctl"
# Started through a link, lockctl still finds its program folder.
mkdir -p "$work/bin"
ln -s "$app/lockctl" "$work/bin/lockctl"
"$work/bin/lockctl" check >/dev/null 2>&1 || fail "lockctl check through a link does not find the program folder"

# --- manual pages --------------------------------------------------------------
for page in lockctl lockapp; do
    file="$root/usr/share/man/man1/$page.1.gz"
    gzip -t "$file" || fail "$page.1.gz is not gzip"
    warnings="$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$file" 2>&1 >/dev/null || true)"
    [ -z "$warnings" ] || fail "man warns about $page(1): $warnings"
done
# lockctl(1) says what the help says: every subcommand, every help line.
page="$(MANWIDTH=200 LC_ALL=C.UTF-8 man -E UTF-8 -l "$root/usr/share/man/man1/lockctl.1.gz" 2>/dev/null)"
subcommands="$("$app/lockctl" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p')"
[ -n "$subcommands" ] || fail "lockctl --help lists no subcommands"
for subcommand in $subcommands; do
    while IFS= read -r line; do
        [ -z "$line" ] && continue
        grep -qF -- "$line" <<<"$page" || fail "lockctl(1) lacks the line of 'lockctl help $subcommand': $line"
    done < <("$app/lockctl" help "$subcommand" | sed 's/^ *//; s/ *$//')
done
echo "manual pages: lockctl(1) follows the help of $(wc -w <<<"$subcommands") subcommands"

# --- bash completion -------------------------------------------------------------
# The words offered for a command line whose last word is being typed.
completions() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _lockctl
             printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' \
        _ "$root/usr/share/bash-completion/completions/lockctl" "$@"
}
offered="$(completions "$app/lockctl" "")"
for subcommand in $subcommands; do
    [[ " $offered " == *" $subcommand "* ]] || fail "completion does not offer the subcommand $subcommand (offers: $offered)"
done
[ "$(completions "$app/lockctl" pre)" = "preview " ] || fail "completion of 'pre' is '$(completions "$app/lockctl" pre)'"
[ "$(completions "$app/lockctl" preview --sk)" = "--skin " ] \
    || fail "completion of 'preview --sk' is '$(completions "$app/lockctl" preview --sk)'"
[ "$(completions "$app/lockctl" check --skin "")" = "classic night " ] \
    || fail "completion of 'check --skin' is '$(completions "$app/lockctl" check --skin "")', not the installed skins"
[ "$(completions "$app/lockctl" help l)" = "lunar " ] || fail "completion of 'help l' is '$(completions "$app/lockctl" help l)'"
echo "bash completion: subcommands, options and skin names offered"

# --- lintian -----------------------------------------------------------------
command -v lintian >/dev/null || fail "lintian is not installed (scripts/setup installs it)"
status=0
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || status=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
[ "$status" -eq 0 ] || fail "lintian reports errors (exit code $status)"

# --- running from the unpacked root ------------------------------------------
# Started from elsewhere by its absolute path: lockapp finds its files beside
# itself.
cd "$work"
"$app/lockapp" >"$work/lockapp.out" 2>"$work/lockapp.err" &
lockapp_pid=$!
for _ in $(seq 300); do
    grep -qx "pix over!" "$work/lockapp.out" 2>/dev/null && break
    kill -0 "$lockapp_pid" 2>/dev/null || break
    sleep 0.05
done
sleep 0.2
kill -TERM "$lockapp_pid" 2>/dev/null || true
status=0
wait "$lockapp_pid" || status=$?
lockapp_pid=""
expected=$'\npath='"$app"$'/\n\nconfig!\npix!\n\npix over!\n'
printf '%s' "$expected" >"$work/expected.out"
if ! cmp -s "$work/expected.out" <(head -c "$(stat -c %s "$work/expected.out")" "$work/lockapp.out"); then
    echo "--- expected start of standard output"; cat -A "$work/expected.out"
    echo "--- lockapp's standard output"; cat -A "$work/lockapp.out"
    echo "--- lockapp's standard error"; cat "$work/lockapp.err"
    fail "lockapp's start-up lines differ"
fi
echo "lockapp: start-up lines as expected"
if [ "$status" -ne 0 ]; then
    cat "$work/lockapp.err"
    fail "lockapp exited with $status on SIGTERM, not 0"
fi
echo "lockapp: exit code 0 on SIGTERM"

status=0
"$app/lockctl" check >"$work/check.out" 2>&1 || status=$?
cat "$work/check.out"
[ "$status" -eq 0 ] || fail "lockctl check exited with $status on the bundled skin, not 0"
echo "lockctl check: exit code 0"
echo "package install test passed"
