"""The Python package against the known-answer data, in round trips, against
the C++ component byte for byte, and on its error paths."""
import io
import os
import subprocess
import sys

import pytest

import quorin

DATA = os.environ["QUORIN_TEST_DATA"]
HELPER = os.environ.get("QUORIN_INTEROP_HELPER")
TOOL = os.environ.get("QUORIN_TOOL")
SIZES = {16: 128, 24: 192, 32: 256}


def vectors(name):
    with open(os.path.join(DATA, name)) as f:
        return [line.split() for line in f if line.strip() and not line.startswith("#")]


@pytest.mark.parametrize("row", vectors("rc6-published.vec"))
def test_published_vectors(row):
    key_bytes, key, plain, cipher = int(row[0]), *map(bytes.fromhex, row[1:4])
    q = quorin.Quorin(key_size=SIZES[key_bytes])
    q.initialise(key)
    assert q.encrypt_block(plain) == cipher
    assert q.decrypt_block(cipher) == plain


@pytest.mark.parametrize("row", vectors("rc6-modes.vec"))
def test_mode_vectors_are_the_unpadded_prefix(row):
    mode, key_bytes = row[0].lower(), int(row[1])
    key, iv, plain, cipher = map(bytes.fromhex, row[2:6])
    q = quorin.Quorin(mode=mode, key_size=SIZES[key_bytes], string_mode="normal")
    q.initialise(key)
    q.load_iv(iv)
    out = q.encrypt_string(plain)
    assert out[: len(cipher)] == cipher and len(out) == len(plain) + 16


@pytest.mark.parametrize("mode", ["ecb", "cbc", "cfb", "ofb"])
@pytest.mark.parametrize("key_size", [128, 192, 256])
@pytest.mark.parametrize("string_mode", ["encode", "normal"])
def test_round_trips(mode, key_size, string_mode):
    enc = quorin.Quorin(mode, key_size, string_mode)
    dec = quorin.Quorin(mode, key_size, string_mode)
    for q in (enc, dec):
        q.initialise(b"python binding key, 32 bytes!!!!")
        q.load_iv(b"python binding iv")
    for length in (0, 1, 15, 16, 17, 4095, 4096, 4097):
        data = bytes(range(256)) * (length // 256) + bytes(range(length % 256))
        text = enc.encrypt_string(data)
        if string_mode == "encode":
            assert text.isascii() and len(text) == (4 * ((length // 16 + 1) * 16) + 2) // 3
        assert dec.decrypt_string(text) == data
    assert (enc.mode, enc.key_size, enc.string_mode) == (mode, key_size, string_mode)


def key_hex():
    return b"interop key 16b!".hex()


IV = bytes(range(16))


@pytest.mark.skipif(not HELPER or not TOOL, reason="needs the C++ helper and tool")
@pytest.mark.parametrize("mode", ["ecb", "cbc", "cfb", "ofb"])
def test_files_interoperate_with_the_cpp_component(tmp_path, mode):
    plain = tmp_path / "plain"
    plain.write_bytes(os.urandom(10007))
    # C++ writes, Python reads.
    subprocess.run([HELPER, "encrypt-file", mode.upper(), key_hex(), IV.hex(),
                    plain, tmp_path / "by-cpp"], check=True)
    q = quorin.Quorin(mode=mode)
    q.initialise(bytes.fromhex(key_hex()))
    q.load_iv(IV)
    q.decrypt_file(tmp_path / "by-cpp", tmp_path / "back")
    assert (tmp_path / "back").read_bytes() == plain.read_bytes()
    # Python writes the same bytes, and the C++ tool reads them.
    q.load_iv(IV)
    q.encrypt_file(plain, tmp_path / "by-python")
    assert (tmp_path / "by-python").read_bytes() == (tmp_path / "by-cpp").read_bytes()
    subprocess.run([TOOL, "decrypt", "-m", mode, "--key-hex", key_hex(), "--iv-hex", IV.hex(),
                    "-o", tmp_path / "tool-back", tmp_path / "by-python"], check=True,
                   stderr=subprocess.DEVNULL)
    assert (tmp_path / "tool-back").read_bytes() == plain.read_bytes()


def test_armour_and_mac():
    assert quorin.encode(b"a") == "ME"
    assert quorin.decode("ME") == b"a"
    data = os.urandom(300)
    assert quorin.decode(quorin.encode(data)) == data
    q = quorin.Quorin("cbc", string_mode="normal")
    q.initialise(b"mac key")
    q.load_iv(bytes(16))
    cipher = q.encrypt_string(b"message")
    assert q.mac() == cipher[-16:]
    assert quorin.version() == "1.11" == q.version


@pytest.mark.parametrize("call, status", [
    (lambda q: q.encrypt_block(bytes(16)), -1),
    (lambda q: (q.initialise(b"k"), q.__setattr__("mode", "cbc"), q.encrypt_block(bytes(16))), -4),
    (lambda q: q.initialise(b""), -2),
    (lambda q: (q.initialise(b"k"), q.mac()), -6),
    (lambda q: (q.initialise(b"k"), q.__setattr__("string_mode", "normal"),
                q.decrypt_string(b"fifteen bytes!!")), -8),
    (lambda q: (q.initialise(b"k"), q.encrypt_file("/no/such/file", "/tmp/x")), -20),
])
def test_refusals_raise_with_the_status(call, status):
    with pytest.raises(quorin.QuorinError) as e:
        call(quorin.Quorin())
    assert e.value.status == status
    assert e.value.name.startswith("QUORIN_") and str(e.value)


class Trickle(io.RawIOBase):
    """A pipe-like source: not seekable, and 1000 bytes a read at most."""

    def __init__(self, data):
        self.data = io.BytesIO(data)

    def readable(self):
        return True

    def readinto(self, b):
        piece = self.data.read(min(len(b), 1000))
        b[:len(piece)] = piece
        return len(piece)


@pytest.mark.parametrize("mode", ["ecb", "cbc", "cfb", "ofb"])
@pytest.mark.parametrize("source", [io.BytesIO, Trickle])
def test_streams_are_the_components_bytes_and_round_trip(mode, source):
    q = quorin.Quorin(mode=mode, key_size=192, string_mode="normal")
    q.initialise(bytes(range(24)))
    for size in (0, 1, 15, 16, 17, 4079, 4080, 4095, 4096, 4097, 8192, 3 * 4096 + 5, 1 << 20):
        data = os.urandom(size)
        q.load_iv(bytes(16))
        expected = q.encrypt_string(data)  # the same bytes as EncryptStream and EncryptFile
        sealed, opened = io.BytesIO(), io.BytesIO()
        q.load_iv(bytes(16))
        q.encrypt_stream(source(data), sealed)
        assert sealed.getvalue() == expected, size
        q.load_iv(bytes(16))
        q.decrypt_stream(source(expected), opened)
        assert opened.getvalue() == data, size


@pytest.mark.parametrize("prepare, ciphertext, status, written", [
    (lambda q: None, b"x" * 32, -1, False),                          # no key: nothing read
    (lambda q: q.initialise(b"k"), b"x" * 32, -4, False),            # no IV in CBC
    (lambda q: (q.initialise(b"k"), q.load_iv(b"")), b"", -8, False),
    (lambda q: (q.initialise(b"k"), q.load_iv(b"")), b"x" * 4113, -8, False),
    (lambda q: (q.initialise(b"k"), q.load_iv(b"")), Trickle(b"x" * ((1 << 20) + 1)), -8, True),
    # a final decrypted byte of 200 in a final chunk of 16 bytes
    (lambda q: q.initialise(b"k"), "pad 200", -9, False),
])
def test_stream_refusals(prepare, ciphertext, status, written):
    q = quorin.Quorin(mode="cbc")
    prepare(q)
    if ciphertext == "pad 200":
        q.mode = "ecb"
        ciphertext = q.encrypt_block(bytes(15) + b"\xc8")
    src = ciphertext if isinstance(ciphertext, Trickle) else io.BytesIO(ciphertext)
    dst = io.BytesIO()
    with pytest.raises(quorin.QuorinError) as e:
        q.decrypt_stream(src, dst)
    assert e.value.status == status
    assert (dst.getvalue() != b"") == written  # a pipe's length is known only at its end
    if status in (-1, -4):
        with pytest.raises(quorin.QuorinError):
            q.encrypt_stream(src, dst)
        assert src.tell() == 0


def test_caller_errors(tmp_path):
    q = quorin.Quorin()
    for bad in [("mode", "xts"), ("key_size", 64), ("string_mode", "base64")]:
        with pytest.raises(ValueError):
            setattr(q, *bad)
    for bad in [("mode", 1), ("key_size", 128.0), ("key_size", True), ("key_size", "128"),
                ("string_mode", None)]:
        with pytest.raises(TypeError):
            setattr(q, *bad)
    assert (q.mode, q.key_size, q.string_mode) == ("ecb", 128, "encode")
    # A name with NUL is refused, as open() refuses it, instead of being cut there.
    (tmp_path / "src").write_bytes(b"x")
    q.initialise(b"k")
    for call in (q.encrypt_file, q.decrypt_file):
        with pytest.raises(ValueError):
            call(tmp_path / "src", str(tmp_path / "victim") + "\0.rc6")
    assert not (tmp_path / "victim").exists()
    q.initialise(b"k")
    with pytest.raises(ValueError):
        q.encrypt_block(b"short")
    with pytest.raises(TypeError):
        q.encrypt_string("text, not bytes")
    with pytest.raises(quorin.QuorinError) as e:
        q.encrypt_file("/no/such/file", "/tmp/never")
    assert "/no/such/file" in str(e.value)


def test_context_manager_burns_and_close_frees():
    with quorin.Quorin() as q:
        q.initialise(b"k")
        q.encrypt_block(bytes(16))
    with pytest.raises(quorin.QuorinError) as e:
        q.encrypt_block(bytes(16))
    assert e.value.status == -1
    q.close()
    with pytest.raises(ValueError):
        q.encrypt_block(bytes(16))


def test_close_waits_for_a_call_in_progress():
    """close() from another thread while a long call runs: the call ends
    with the right result, then the instance is closed (no use after free)."""
    import threading

    import time

    data = os.urandom(64 << 20)
    reference = quorin.Quorin("cbc", string_mode="normal")
    shared = quorin.Quorin("cbc", string_mode="normal")
    for q in (reference, shared):
        q.initialise(b"threads key 16b!")
        q.load_iv(IV)
    want = reference.encrypt_string(data)
    got = []
    worker = threading.Thread(target=lambda: got.append(shared.encrypt_string(data)))
    worker.start()
    time.sleep(0.01)  # well into the call (it takes tens of milliseconds)
    shared.close()
    worker.join()
    assert got == [want]
    with pytest.raises(ValueError):
        shared.encrypt_string(b"after close")


@pytest.mark.parametrize("library, says", [
    ("/no/such/libquorin-c.so", "cannot load"),
    ("libc.so.6", "is not libquorin-c"),
])
def test_a_wrong_c_library_is_an_import_error(library, says):
    env = dict(os.environ, QUORIN_C_LIBRARY=library)
    run = subprocess.run([sys.executable, "-c", "import quorin"], env=env,
                         capture_output=True, text=True)
    assert run.returncode != 0
    assert "ImportError" in run.stderr and says in run.stderr and "AttributeError" not in run.stderr


def test_every_public_name_says_what_it_does():
    names = [getattr(quorin, n) for n in quorin.__all__]
    names += [getattr(quorin.Quorin, n) for n in dir(quorin.Quorin) if not n.startswith("_")]
    assert [n for n in names if not (n.__doc__ or "").strip()] == []
