#!/bin/bash
# The Python package as pip users get it: the source distribution and the
# wheel built from it without network, the wheel installed into a clean
# virtual environment of Debian's python3, the package's tests run from
# outside the source tree against the C library inside the wheel, and an
# uninstall that leaves nothing behind.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL $*" >&2; exit 1; }

"$root/scripts/build-python-package.sh" "$work/dist" >"$work/build.log" 2>&1 ||
  { cat "$work/build.log"; fail "the package does not build"; }
wheel=$(ls "$work"/dist/quorin-*-py3-none-*.whl) || fail "no wheel tagged py3-none-<platform>"
echo "ok   built $(basename "$wheel") ($(stat -c %s "$wheel") bytes) and $(basename "$work"/dist/quorin-*.tar.gz)"

# System site packages only for pytest and the test oracles; the package
# itself must come from the wheel.
/usr/bin/python3 -m venv --system-site-packages "$work/env"
"$work/env/bin/pip" install --quiet --no-index --no-deps "$wheel"
cd "$work"
unset PYTHONPATH QUORIN_C_LIBRARY
site=$("$work/env/bin/python" -c 'import sysconfig; print(sysconfig.get_paths()["platlib"])')
"$work/env/bin/python" - "$site" <<'PY' || fail "the installed package is not the wheel's"
import os, sys
import quorin
site = sys.argv[1]
assert quorin.__file__.startswith(site), quorin.__file__
library = os.path.realpath(quorin._lib._name)
assert library == os.path.join(site, "quorin", "libquorin-c.so.2"), library
with quorin.Quorin(mode="cbc", key_size=256) as q:
    q.initialise(bytes(32))
    q.load_iv(bytes(16))
    text = q.encrypt_string(b"from the wheel")
    q.load_iv(bytes(16))
    assert q.decrypt_string(text) == b"from the wheel"
# Sealed files, through the library that came in the wheel.
assert os.path.exists(os.path.join(site, "quorin", "libquorin-seal.so.3"))
me = quorin.generate_identity()
assert quorin.open(quorin.seal(b"sealed", recipients=[me.recipient]), identities=[me]) == b"sealed"
PY
echo "ok   the wheel's package and C library load from the environment"
"$work/env/bin/python" -m pytest -q -p no:cacheprovider "$root/tests/python" ||
  fail "the package's tests, against the wheel"
echo "ok   the package's tests pass against the wheel"

"$work/env/bin/pip" uninstall --quiet --yes quorin
left=$(ls -d "$site"/quorin* 2>/dev/null || true)
[ -z "$left" ] || fail "uninstall left $left"
echo "ok   uninstall leaves nothing behind"

# pip install from bindings/python builds the same package (in the tree, as
# pip does; its C library build is the checkout's build/python-package).
"$work/env/bin/pip" install --quiet --no-build-isolation --no-index --no-deps "$root/bindings/python" \
  >"$work/from-bindings.log" 2>&1 || { cat "$work/from-bindings.log"; fail "pip install bindings/python"; }
rm -rf "$root/bindings/python/build" "$root"/bindings/python/*.egg-info
"$work/env/bin/python" -c '
import quorin, sys
assert quorin.__file__.startswith(sys.argv[1]), quorin.__file__
assert quorin.open(quorin.seal(b"x", key_file=bytes(32)), key_file=bytes(32)) == b"x"
' "$site" || fail "the package installed from bindings/python"
"$work/env/bin/pip" uninstall --quiet --yes quorin
echo "ok   pip install bindings/python installs the same package"
