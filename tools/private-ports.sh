# Sourced by ./test and the test stages: a private port map whose COM1 and COM2 lead nowhere,
# so that nothing they run can reach the machine's built-in serial ports (a COM name without
# a link means the first or second of them). Exports XDG_CONFIG_HOME and removes the folder at exit.
# The shell's counterpart of tests/support/PortMap, which every C++ test and benchmark runs under.
ecuscan_private_ports() {
    ECUSCAN_PORTS_HOME=$(mktemp -d /tmp/ecuscan-ports-XXXXXX)
    trap 'rm -rf "$ECUSCAN_PORTS_HOME"' EXIT
    mkdir -p "$ECUSCAN_PORTS_HOME/ecuscan/ports"
    ln -s "$ECUSCAN_PORTS_HOME/nowhere1" "$ECUSCAN_PORTS_HOME/ecuscan/ports/COM1"
    ln -s "$ECUSCAN_PORTS_HOME/nowhere2" "$ECUSCAN_PORTS_HOME/ecuscan/ports/COM2"
    export XDG_CONFIG_HOME=$ECUSCAN_PORTS_HOME
}
