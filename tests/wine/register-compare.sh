#!/usr/bin/env bash
# One type library registered both ways: by pelorix-cli.exe under Wine (the OLE Automation
# library's own registration) and by the Linux pelorix-cli (the same keys imported into the
# prefix through Wine's reg), each in a prefix of its own made from the booted one. Both prefixes
# must then hold the same keys and values below Typelib\{GUID} and Interface\{IID} (the times
# aside), both sides' typelibs must list the library, and after --unregister neither prefix may
# hold any of them. A file without a type library is refused by both, naming it.
#
# Usage: register-compare.sh WINE-RUN LINUX-CLI WINDOWS-BIN-FOLDER TYPELIB WORK-FOLDER
set -euo pipefail
wine_run=$1 linux_cli=$2 bin=$3 typelib=$4 work=$5
rm -rf "$work" && mkdir -p "$work/home"
export WINEDEBUG=-all
server=$(dirname "$(command -v wine || echo /usr/lib/wine/wine)")/wineserver
[ -x "$server" ] || server=/usr/lib/wine/wineserver
fail() { echo "register-compare.sh: $*" >&2; exit 1; }
library='C:\PelorixRegister\Sample.tlb'
for side in windows linux; do
    "$wine_run" --copy-prefix "$work/$side"
    mkdir -p "$work/$side/drive_c/PelorixRegister"
    cp "$typelib" "$work/$side/drive_c/PelorixRegister/Sample.tlb"
    printf 'not a type library\r\n' >"$work/$side/drive_c/PelorixRegister/Plain.dll"
done
trap 'for side in windows linux; do WINEPREFIX=$work/$side "$server" -k 2>/dev/null || true; done' EXIT
guid=$(PELORIX_HOME=$work/home WINEPREFIX=$work/linux "$linux_cli" typelib-info "$library" | cut -f1)
[ -n "$guid" ] || fail "the sample library cannot be read"

run() { # SIDE ARGS...: pelorix-cli of that side in its prefix
    local side=$1
    shift
    if [ "$side" = windows ]; then
        local status=0
        PELORIX_WINE_RUN_PREFIX=$work/windows PELORIX_HOME='Z:'"${work//\//\\}"'\home' \
            "$wine_run" "$bin/pelorix-cli.exe" "$@" >"$work/out.raw" || status=$?
        # The registry files are the server's to write: wait for it to end.
        WINEPREFIX=$work/windows "$server" -w
        tr -d '\r' <"$work/out.raw"
        return $status
    else
        PELORIX_HOME=$work/home WINEPREFIX=$work/linux "$linux_cli" "$@"
    fi
}

# The keys of the library and of its interfaces in a prefix's system.reg, without their times.
registered_keys() {
    python3 - "$1/system.reg" "$guid" <<'PY'
import re, sys
text = open(sys.argv[1], encoding='ascii', errors='replace').read()
guid = sys.argv[2].lower()
blocks = [b for b in text.split('\n\n') if b.startswith('[')]
def key(block): return re.sub(r'\] \d+$', ']', block.split('\n', 1)[0]).lower()
def body(block): return [l for l in block.split('\n')[1:] if l and not l.startswith('#time=')]
iids = {re.search(r'interface\\\\(\{[^}]*\})', key(b)).group(1) for b in blocks
        if re.search(r'interface\\\\\{[^}]*\}\\\\typelib\]$', key(b)) and any(guid in l.lower() for l in body(b))}
for b in blocks:
    k = key(b)
    if ('typelib\\\\' + guid) in k or any(('interface\\\\' + iid) in k for iid in iids):
        print(k); [print('  ' + l) for l in body(b)]
PY
}

for side in windows linux; do
    run $side register "$library" >"$work/register-$side.txt" || fail "$side register failed: $(cat "$work/register-$side.txt")"
    registered_keys "$work/$side" >"$work/keys-$side.txt"
    grep -qi "typelib\\\\\\\\$guid" "$work/keys-$side.txt" || fail "$side register left no Typelib key"
    run $side typelibs >"$work/typelibs-$side.txt"
    grep -qi "$guid" "$work/typelibs-$side.txt" || fail "$side typelibs does not list the registered library"
    status=0
    run $side register 'C:\PelorixRegister\Plain.dll' >"$work/plain-$side.txt" 2>&1 || status=$?
    [ $status = 1 ] && grep -q 'Plain.dll' "$work/plain-$side.txt" ||
        fail "$side register of a file without a type library: exit $status, $(cat "$work/plain-$side.txt")"
done
diff -u "$work/keys-windows.txt" "$work/keys-linux.txt" || fail "the registrations differ"
for side in windows linux; do
    run $side register --unregister "$library" >"$work/unregister-$side.txt" ||
        fail "$side unregister failed: $(cat "$work/unregister-$side.txt")"
    registered_keys "$work/$side" >"$work/keys-after-$side.txt"
    [ ! -s "$work/keys-after-$side.txt" ] || fail "$side unregister left keys: $(cat "$work/keys-after-$side.txt")"
done
echo "register-compare.sh: both sides register and unregister the same keys"
cat "$work/keys-linux.txt"
