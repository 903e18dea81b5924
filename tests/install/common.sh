# Shared by the install checks: arguments, a temporary directory, helpers.
set -eu
build=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
id=io.github.qmzt.Ostrekon
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Regular files and links under $1, relative to it, sorted.
listing() { (cd "$1" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort); }

expected() { LC_ALL=C sort "$here/expected_files.txt"; }

# Installs the build with prefix /usr into the DESTDIR $1.
install_into() { DESTDIR=$1 cmake --install "$build" --prefix /usr >/dev/null; }
