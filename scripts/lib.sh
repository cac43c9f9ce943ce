# Shared by the README's commands: installs what is missing, configures and
# builds the presets.

# Debian packages the build and the tests need.
# wine32:i386 is the 32-bit Wine that runs the x86 build's tests beside the
# 64-bit one.
KG_PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev googletest clang-format
    g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64 wine32:i386 xvfb x11-apps x11-utils imagemagick locales python3 osslsigncode openssl
)

kg_install_missing() {
    local missing=() package
    for package in "${KG_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [[ ${#missing[@]} -eq 0 ]] && return
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
}

kg_build() {
    local preset
    for preset in "$@"; do
        cmake --preset "$preset" >/dev/null
        cmake --build --preset "$preset"
    done
}
