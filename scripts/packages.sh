# Debian 12 packages the project needs to build, run and test. Sourced by the other scripts.
KIROTUNE_PACKAGES=(
    cmake ninja-build g++ pkg-config git ccache
    qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite libgl-dev
    libmodbus-dev
    xvfb xauth fonts-wqy-microhei
    clang libclang-rt-14-dev
    dpkg-dev file lintian desktop-file-utils
)

# Installs whatever of the list is missing (as root, or through sudo).
install_missing_packages() {
    local missing=()
    local package
    for package in "${KIROTUNE_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The compiler cache, where there is one, so that a clean clone or a second build folder compiles
# only what changed. Paths below the checkout are hashed relative to it, so checkouts share it.
compiler_launcher() {
    local root=$1
    if command -v ccache >/dev/null; then
        echo "-DCMAKE_CXX_COMPILER_LAUNCHER=env;CCACHE_BASEDIR=$root;ccache"
    else
        echo "-DCMAKE_CXX_COMPILER_LAUNCHER="
    fi
}

# Configures (once) and builds the project into build/: the targets given, or everything.
build_project() {
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    if [ ! -f "$root/build/build.ninja" ]; then
        cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            "$(compiler_launcher "$root")"
    fi
    if [ $# -gt 0 ]; then
        cmake --build "$root/build" --target "$@"
    else
        cmake --build "$root/build"
    fi
}
