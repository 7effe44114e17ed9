# Installs Debian packages that are missing (sourced by run.sh, test.sh and .ci/run).
# Usage: ensure_packages pkg...   (a name may carry an architecture, as wine32:i386)
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    for pkg in "${missing[@]}"; do
        case "$pkg" in
            *:i386)
                if ! dpkg --print-foreign-architectures | grep -qx i386; then
                    $sudo dpkg --add-architecture i386
                    PELORIX_APT_UPDATED=""
                fi ;;
        esac
    done
    echo "Installing: ${missing[*]}"
    if [ -z "${PELORIX_APT_UPDATED:-}" ]; then
        $sudo apt-get update -qq
        PELORIX_APT_UPDATED=1
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building and testing the core needs.
# libxxhash-dev: the content hashes of up-to-date checks (header-only, see src/platform/ContentHash.cpp).
# python3-junitparser: the tests read pelorix-cli's JUnit reports back with it (under /usr/bin/python3).
# universal-ctags: the house check of the size of the code's functions (scripts/check-sizes.py).
# python3-yaml: the tests read the pipeline files pelorix-cli writes back with a real YAML reader.
PELORIX_BUILD_PACKAGES=(g++ cmake ninja-build googletest libgtest-dev libgmock-dev libbenchmark-dev locales
    libxxhash-dev
    python3-junitparser universal-ctags python3-yaml)
# The window program, its offscreen tests, a Japanese font, and what the screenshot scripts use.
PELORIX_UI_PACKAGES=(qt6-base-dev fonts-noto-cjk fonts-ipafont-gothic xvfb xauth xdotool imagemagick)
# Real Wine for the tests that read what Wine ships and a prefix made by wineboot, widl for the
# libraries the tests compile from IDL, and MinGW-w64 for the program the tests run under Wine to
# write libraries with ICreateTypeLib2.
PELORIX_WINE_PACKAGES=(wine64 wine32:i386 wine64-tools g++-mingw-w64-i686-posix)
# The cross-build for Windows: MinGW-w64 for 32-bit x86 with POSIX threads, and GoogleTest's
# source for the target (googletest, in PELORIX_BUILD_PACKAGES).
PELORIX_WINDOWS_PACKAGES=(g++-mingw-w64-i686-posix)
# The generated pipelines on real engines (tests/pipeline/engine-proof.sh): Node.js for
# gitlab-ci-local and action-validator (installed from the npm registry by .ci/run), rsync, which
# gitlab-ci-local copies a job's folder with, and git, whose repository it reads.
PELORIX_PIPELINE_PACKAGES=(nodejs rsync git)
