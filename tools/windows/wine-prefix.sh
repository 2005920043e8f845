# Sourced by the Wine scripts: one prefix made once and reused, its server kept
# running while tests come and go, and COM ports that are pseudo-terminals.

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
: "${WINEPREFIX:?WINEPREFIX names the Wine prefix}"
export WINEPREFIX

# A fresh prefix takes seconds to make; tests started in parallel wait for the
# first one to finish it instead of making it twice.
cv_wine_prefix_ready() {
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.cv-ready" ]; then
            wineboot -i >/dev/null 2>&1
            wineserver -w
            touch "$WINEPREFIX/.cv-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
}

# Joins COM<a> and COM<b> by a null-modem cable: socat passes every byte of
# one pseudo-terminal to the other. The links go away with the caller.
cv_null_modem() {
    local a=${1,,} b=${2,,} dir
    dir=$(mktemp -d)
    socat "pty,raw,echo=0,link=$dir/$a" "pty,raw,echo=0,link=$dir/$b" &
    local pid=$!
    cleanup+=("kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -rf '$dir' '$WINEPREFIX/dosdevices/$a' '$WINEPREFIX/dosdevices/$b'")
    for _ in $(seq 100); do
        [ -e "$dir/$a" ] && [ -e "$dir/$b" ] && break
        sleep 0.05
    done
    ln -sfn "$(readlink -f "$dir/$a")" "$WINEPREFIX/dosdevices/$a"
    ln -sfn "$(readlink -f "$dir/$b")" "$WINEPREFIX/dosdevices/$b"
}

# Plugs a USB adapter in as COM<n>: the port's link to the terminal at PATH,
# and a device of the Ports class in the registry, where the program's port
# list (SetupAPI) looks. Wine lists no port there by itself. Both go away
# with the caller.
cv_usb_adapter() {
    local port=$1 path=$2 key reg
    key='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\USB\VID_1209&PID_0001\CV'"$port"
    reg=$(mktemp --suffix=.reg)
    printf '%s\r\n' 'REGEDIT4' '' "[$key]" \
        '"ClassGUID"="{4D36E978-E325-11CE-BFC1-08002BE10318}"' \
        "\"FriendlyName\"=\"Virtual Tester Link ($port)\"" \
        '"HardwareID"=hex(7):55,53,42,5c,56,49,44,5f,31,32,30,39,26,50,49,44,5f,30,30,30,31,00,00' \
        '' "[$key\\Device Parameters]" "\"PortName\"=\"$port\"" >"$reg"
    wine regedit /S "Z:$reg"
    printf '%s\r\n' 'REGEDIT4' '' "[-$key]" >"$reg"
    cleanup+=("wine regedit /S 'Z:$reg'; rm -f '$reg' '$WINEPREFIX/dosdevices/${port,,}'")
    ln -sfn "$path" "$WINEPREFIX/dosdevices/${port,,}"
}
