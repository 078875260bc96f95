# Sourced by ./test, the test stages and the package check: a private port map whose COM1 and
# COM2 lead nowhere, so that nothing they run can reach the machine's built-in serial ports (a
# COM name without a link means the first or second of them). Exports XDG_CONFIG_HOME.
# The shell's counterpart of tests/support/PortMap, which every C++ test and benchmark runs under.
#   ecuscan_private_ports        a folder of its own, removed at exit
#   ecuscan_private_ports DIR    the map inside DIR, which the caller owns and removes
ecuscan_private_ports() {
    if [ -n "${1:-}" ]; then
        ECUSCAN_PORTS_HOME=$1
    else
        ECUSCAN_PORTS_HOME=$(mktemp -d /tmp/ecuscan-ports-XXXXXX)
        trap 'rm -rf "$ECUSCAN_PORTS_HOME"' EXIT
    fi
    mkdir -p "$ECUSCAN_PORTS_HOME/ecuscan/ports"
    ln -s "$ECUSCAN_PORTS_HOME/nowhere1" "$ECUSCAN_PORTS_HOME/ecuscan/ports/COM1"
    ln -s "$ECUSCAN_PORTS_HOME/nowhere2" "$ECUSCAN_PORTS_HOME/ecuscan/ports/COM2"
    export XDG_CONFIG_HOME=$ECUSCAN_PORTS_HOME
}
