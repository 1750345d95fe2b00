#!/usr/bin/env bash
# Installs what is missing, builds the programs in release form and makes the Debian package
# kirotune_<version>_<arch>.deb in the repository's top folder; lintian must find no error in it and
# desktop-file-validate none in the desktop entries.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
install_missing_packages

# Debian's hardening flags (fortified functions, read-only relocations, immediate binding).
if [ ! -f build-package/build.ninja ]; then
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        LDFLAGS=$(dpkg-buildflags --get LDFLAGS) \
        cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DKIROTUNE_BUILD_TESTS=OFF
fi
cmake --build build-package
rm -f build-package/kirotune_*.deb
(cd build-package && cpack -G DEB)
package=$(ls build-package/kirotune_*.deb)

desktop-file-validate packaging/desktop/*.desktop
lintian --allow-root --fail-on error "$package"

cp "$package" .
echo "Built $(basename "$package"). Install it with: sudo apt install ./$(basename "$package")"
