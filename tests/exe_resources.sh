#!/bin/sh
# The Windows program file's resources: the icon every window takes (IDI_ICON1, one
# 64x64 image at 24 bits) and the version block Explorer shows.
#   exe_resources.sh Quarvex.exe
set -eu
exe=$1
for tool in wrestool icotool python3; do
    command -v $tool >/dev/null 2>&1 || exit 77
done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT INT TERM
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

wrestool -x --type=14 --name=IDI_ICON1 "$exe" >"$dir/icon.ico" 2>"$dir/err" || fail "no IDI_ICON1: $(cat "$dir/err")"
icons=$(icotool -l "$dir/icon.ico")
[ "$icons" = "--icon --index=1 --width=64 --height=64 --bit-depth=24 --palette-size=0" ] ||
    fail "IDI_ICON1 is not one 64x64 24-bit image: $icons"

wrestool -x --raw --type=16 "$exe" >"$dir/version.bin" || fail "no version resource"
python3 - "$dir/version.bin" <<'PY' || exit 1
import re, struct, sys
data = open(sys.argv[1], 'rb').read()
fixed = data.find(struct.pack('<I', 0xFEEF04BD))
if fixed < 0:
    sys.exit('FAIL: no fixed file info')
file_ms, file_ls, product_ms, product_ls = struct.unpack_from('<4I', data, fixed + 8)
if (file_ms, file_ls, product_ms, product_ls) != (0, 0, 0, 0):
    sys.exit('FAIL: fixed file or product version is not 0.0.0.0')
# Every item is 16-bit aligned: a key, padding, then its value, all UTF-16.
text = data.decode('utf-16-le', 'replace')
want = {'ProductName': 'Quarvex', 'OriginalFilename': 'Quarvex.exe',
        'FileVersion': '0.0.0.0', 'ProductVersion': '0.0.0.0'}
for key, value in want.items():
    m = re.search(key + '\0+([^\0]*)\0', text)
    if not m or m.group(1) != value:
        sys.exit('FAIL: %s is %r, not %r' % (key, m.group(1) if m else None, value))
PY
