#!/usr/bin/env bash
# Installs with apt-get whatever Tallemo needs that this Debian 12 machine lacks.
#   scripts/install-deps.sh run    what building and running the program needs
#   scripts/install-deps.sh test   that, plus the test and benchmark tools and the package checks
set -euo pipefail

run_packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    rapidjson-dev libre2-dev libtomlplusplus-dev libqt6sql6-sqlite
    fonts-motoya-l-maruberi fonts-noto-cjk
    qt6-translations-l10n
)
test_packages=(
    googletest libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
    xvfb xdotool xclip x11-utils imagemagick
    dpkg-dev file desktop-file-utils appstream lintian
    python3 time
    clang clang-14 libclang-rt-14-dev clang-format clang-tidy
)

packages=("${run_packages[@]}")
if [[ "${1:-run}" == test ]]; then
    packages+=("${test_packages[@]}")
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
