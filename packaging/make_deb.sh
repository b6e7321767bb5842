#!/bin/sh
# Builds the Debian package of the engine and the tablebase generator from a
# build tree, without network or root: dpkg-deb only.
#   packaging/make_deb.sh BUILD_DIR OUTPUT_DIR
# Writes OUTPUT_DIR/tolvo_<version>_<arch>.deb and prints its path. The
# version is the one in the file VERSION at the top of the source tree.
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$1
output_dir=$2
version=$(tr -d ' \n' < "$source_dir/VERSION")
arch=$(dpkg --print-architecture)
for program in tolvo tolvo-tbgen; do
  [ -x "$build_dir/$program" ] || { echo "make_deb.sh: $build_dir/$program is not built" >&2; exit 1; }
done

stage=$(mktemp -d)
chmod 755 "$stage"
trap 'rm -rf "$stage"' EXIT
# Chess engines live with the games; the generator is an ordinary program.
install -D -m 755 "$build_dir/tolvo" "$stage/usr/games/tolvo"
install -D -m 755 "$build_dir/tolvo-tbgen" "$stage/usr/bin/tolvo-tbgen"
strip --strip-unneeded "$stage/usr/games/tolvo" "$stage/usr/bin/tolvo-tbgen"
install -d -m 755 "$stage/usr/share/man/man6" "$stage/usr/share/man/man1" "$stage/usr/share/doc/tolvo"
gzip -9n < "$source_dir/doc/tolvo.6" > "$stage/usr/share/man/man6/tolvo.6.gz"
gzip -9n < "$source_dir/doc/tolvo-tbgen.1" > "$stage/usr/share/man/man1/tolvo-tbgen.1.gz"
install -m 644 "$source_dir/packaging/copyright" "$stage/usr/share/doc/tolvo/copyright"
# Where the engine looks for tablebases when no path is set.
install -d -m 755 "$stage/usr/share/tolvo/tb"
chmod 644 "$stage"/usr/share/man/man*/*.gz

size=$(du -sk "$stage/usr" | cut -f1)
install -d -m 755 "$stage/DEBIAN"
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@SIZE@/$size/" \
  "$source_dir/packaging/control.in" > "$stage/DEBIAN/control"

mkdir -p "$output_dir"
package="$output_dir/tolvo_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$stage" "$package" >/dev/null
echo "$package"
