#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that every file a
# desktop needs lands where the freedesktop.org layout expects it, and that the
# installed command line runs from there.
set -euo pipefail
build=${1:?build directory}
core_only=${2:-OFF}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

expect=(bin/mnemora-cli share/man/man1/mnemora-cli.1.gz share/doc/mnemora/copyright
        share/doc/mnemora/changelog.gz)
if [ "$core_only" != "ON" ]; then
    expect+=(bin/mnemora share/man/man1/mnemora.1.gz
             share/applications/org.example.mnemora.desktop
             share/metainfo/org.example.mnemora.metainfo.xml)
    for size in 16 24 32 48 64 128 256; do
        expect+=("share/icons/hicolor/${size}x${size}/apps/org.example.mnemora.png")
    done
fi
status=0
for f in "${expect[@]}"; do
    if [ ! -s "$prefix/$f" ]; then
        echo "missing after install: $f"
        status=1
    fi
done

# Nothing else: tests, benchmarks and fuzz targets stay out of the install.
unexpected=$(cd "$prefix" && { find . -type f | sed 's|^\./||' | sort | grep -vxF -f <(printf '%s\n' "${expect[@]}") || true; })
if [ -n "$unexpected" ]; then
    echo "installed but not expected:"
    echo "$unexpected"
    status=1
fi

code=$(printf 'test\n' | "$prefix/bin/mnemora-cli" taobao)
if [ "$code" != "a20caCf8Eb1b8B6d" ]; then
    echo "installed mnemora-cli printed '$code'"
    status=1
fi
exit $status
