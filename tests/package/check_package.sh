#!/usr/bin/env bash
# The Debian package of a build tree: cpack makes it, its file list holds every piece in its
# place, the desktop entry opens files of the type the package declares, its dependencies come
# from the linked libraries, and lintian finds no error. Exit 77 (skipped) without the tools.
set -euo pipefail
build=$1

for tool in cpack dpkg-deb dpkg-shlibdeps fakeroot; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (scripts/setup installs it)"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb="$work/tarn_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "no $deb:"; ls "$work"; exit 1; }
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

fail=0
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./||' >"$work/list"
for f in usr/bin/tarn usr/bin/tarnctl usr/bin/kx940-sim \
         usr/share/man/man1/tarn.1.gz usr/share/man/man1/tarnctl.1.gz usr/share/man/man1/kx940-sim.1.gz \
         usr/share/applications/tarn.desktop usr/share/mime/packages/tarn.xml \
         usr/share/icons/hicolor/16x16/apps/tarn.png usr/share/icons/hicolor/32x32/apps/tarn.png \
         usr/share/icons/hicolor/48x48/apps/tarn.png usr/share/icons/hicolor/256x256/apps/tarn.png \
         usr/share/bash-completion/completions/tarnctl \
         usr/share/doc/tarn/QMN5521.pdf usr/share/doc/tarn/copyright usr/share/doc/tarn/changelog.gz; do
  grep -qx "$f" "$work/list" || { echo "missing from the package: /$f"; fail=1; }
done
# Nothing of the build tree's tests, nothing outside /usr.
if grep -v -e '^usr/' -e '^$' "$work/list"; then echo "above: files outside /usr"; fail=1; fi
if grep -e '_tests$' -e 'tarn-bench' "$work/list"; then echo "above: test or bench programs packaged"; fail=1; fi

dpkg-deb -x "$deb" "$work/root"
desktop="$work/root/usr/share/applications/tarn.desktop"
type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$work/root/usr/share/mime/packages/tarn.xml")
grep -qx "MimeType=$type;" "$desktop" || { echo "the desktop entry does not declare $type"; fail=1; }
grep -qx 'Exec=tarn --desktop %f' "$desktop" || { echo "the desktop entry does not start tarn --desktop %f"; fail=1; }
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop" || fail=1; fi
bash -n "$work/root/usr/share/bash-completion/completions/tarnctl" || fail=1

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libqt6core6 libqt6serialport6 libqt6widgets6; do
  [[ $depends == *"$lib"* ]] || { echo "Depends lacks $lib"; fail=1; }
done

if command -v lintian >/dev/null; then
  echo "lintian:"
  lintian --fail-on error --display-info --tag-display-limit 0 "$deb" || fail=1
else
  echo "lintian is not installed: not run"
fi
exit $fail
