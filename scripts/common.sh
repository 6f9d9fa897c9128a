# Shared by the scripts: installs the Debian packages the build needs, and configures and
# builds one build folder.

TEV_PACKAGES=(cmake ninja-build g++ qtbase5-dev qttools5-dev qttools5-dev-tools python3)
# What a Qt 6 build needs on top (CMake: -DQT_MAJOR_VERSION=6).
TEV_QT6_PACKAGES=(qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools)

tev_install_packages() {
    local missing=()
    for package in "${TEV_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing ${missing[*]}"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends \
        "${missing[@]}"
}

# tev_build <build folder> [cmake arguments...]
tev_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" -j "$(nproc)"
}
