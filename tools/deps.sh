# Sourced by ./test and ./run: installs the Debian 12 packages the project needs.
ECUSCAN_PACKAGES=(
    cmake g++ make pkg-config
    qt6-base-dev libqcustomplot-dev libjpeg-dev fonts-liberation
    qt6-translations-l10n # the toolkit's own dialogs and buttons in Russian
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    dpkg-dev file groff-base desktop-file-utils lintian # the Debian package and its check
    clang libclang-rt-14-dev
)

ecuscan_install_deps() {
    local missing=() p
    for p in "${ECUSCAN_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}
