"""Sealed files from Python: round trips through every shape (bytes, files,
streaming objects), interop with the tool and the known-answer files, every
kind of tampering, the bad inputs Python users meet, and flat memory."""
import io
import os
import shutil
import subprocess
import sys

import pytest

import quorin

DATA = os.environ["QUORIN_TEST_DATA"]
TOOL = os.environ.get("QUORIN_TOOL")
CHUNK = 65536
FAST = (1, 8192)  # Argon2id at its minimum: the binding is under test here
KEY = bytes(range(32))
ME = quorin.generate_identity()


def data_of(size):
    return (bytes(range(251)) * (size // 251 + 1))[:size]


def read(name):
    with open(os.path.join(DATA, name), "rb") as f:
        return f.read()


# One way to give each kind of secret: (sealing keywords, opening keywords).
SECRETS = {
    "passphrase": ({"passphrase": "correct horse", "cost": FAST}, {"passphrase": "correct horse"}),
    "key_file": ({"key_file": KEY}, {"key_file": KEY}),
    "identity": ({"recipients": [ME.recipient]}, {"identities": [ME]}),
}


def seal_stream(data, armour=False, piece=1000, **secret):
    out = io.BytesIO()
    with quorin.open_sealed(out, "wb", armour=armour, **secret) as w:
        for at in range(0, len(data), piece):
            assert w.write(data[at:at + piece]) == len(data[at:at + piece])
    return out.getvalue()


def open_stream(sealed, piece=777, **secret):
    parts = []
    with quorin.open_sealed(io.BytesIO(sealed), **secret) as r:
        while True:
            part = r.read(piece)
            if not part:
                return b"".join(parts)
            parts.append(part)


@pytest.mark.parametrize("kind", SECRETS)
@pytest.mark.parametrize("mode", ["cbc", "cfb", "ofb"])
@pytest.mark.parametrize("key_size", [128, 192, 256])
def test_round_trips(kind, mode, key_size):
    sealing, opening = SECRETS[kind]
    for size in (0, 1, CHUNK - 1, CHUNK, CHUNK + 1, 2 * CHUNK + 17):
        data = data_of(size)
        sealed = quorin.seal(data, mode=mode, key_size=key_size, **sealing)
        header = quorin.sealed_header(sealed)
        assert (header.mode, header.key_size, header.kinds) == (mode, key_size, (kind,))
        assert quorin.open(sealed, **opening) == data
        assert open_stream(sealed, **opening) == data
        streamed = seal_stream(data, chaining=mode, key_size=key_size, **sealing)
        assert len(streamed) == len(sealed) and quorin.open(streamed, **opening) == data


@pytest.mark.parametrize("armour", [False, True])
def test_files_and_streams_of_a_few_mib(tmp_path, armour):
    data = os.urandom(3 * 1024 * 1024 + 5)
    src, sealed, opened = tmp_path / "plain", tmp_path / "sealed", tmp_path / "opened"
    src.write_bytes(data)
    quorin.seal_file(src, sealed, passphrase=b"bytes too", cost=FAST, armour=armour)
    assert (sealed.stat().st_mode & 0o777) == 0o600
    assert sealed.read_bytes().startswith(b"-----BEGIN" if armour else b"QUORSEAL")
    quorin.open_file(sealed, opened, passphrase="bytes too")
    assert opened.read_bytes() == data
    # File objects on either side, and shutil.copyfileobj through the streaming objects.
    with open(sealed, "rb") as f, io.BytesIO() as out:
        quorin.open_file(f, out, passphrase="bytes too")
        assert out.getvalue() == data
    with open(src, "rb") as f, quorin.open_sealed(tmp_path / "again", "wb", key_file=KEY,
                                                  armour=armour) as w:
        shutil.copyfileobj(f, w, 64 * 1024)
    with quorin.open_sealed(str(tmp_path / "again"), key_file=KEY) as r, io.BytesIO() as out:
        shutil.copyfileobj(r, out)
        assert out.getvalue() == data
        assert r.header.kinds == ("key_file",)


@pytest.mark.skipif(not TOOL, reason="QUORIN_TOOL not set")
@pytest.mark.parametrize("armour", [False, True])
def test_interop_with_the_tool_both_ways(tmp_path, armour):
    data = data_of(200000)
    (tmp_path / "plain").write_bytes(data)
    (tmp_path / "key").write_bytes(KEY)
    (tmp_path / "identity").write_text(str(ME) + "\n")
    flags = ["-a"] if armour else []
    # The tool seals, Python opens: a key file and a recipient.
    subprocess.run([TOOL, "seal", "--key-file", str(tmp_path / "key"), "-r", str(ME.recipient),
                    "-m", "ofb", *flags, "-o", str(tmp_path / "by-tool"), str(tmp_path / "plain")],
                   check=True)
    assert quorin.open((tmp_path / "by-tool").read_bytes(), key_file=tmp_path / "key") == data
    quorin.open_file(tmp_path / "by-tool", tmp_path / "opened", identities=str(ME))
    assert (tmp_path / "opened").read_bytes() == data
    # Python seals, the tool opens: a passphrase, a key file of 300 bytes
    # (more than the tool once read) and an identity, in one file.
    (tmp_path / "big.key").write_bytes(bytes(range(256)) + bytes(44))
    quorin.seal_file(tmp_path / "plain", tmp_path / "by-python", passphrase="from python",
                     key_file=tmp_path / "big.key", recipients=ME.recipient, cost="interactive",
                     armour=armour)
    env = dict(os.environ, QUORIN_PASS="from python")
    for how in (["--passphrase-env", "QUORIN_PASS"], ["-i", str(tmp_path / "identity")],
                ["--key-file", str(tmp_path / "big.key")]):
        out = subprocess.run([TOOL, "open", *how, "-o", "-", str(tmp_path / "by-python")],
                             check=True, capture_output=True, env=env).stdout
        assert out == data


@pytest.mark.parametrize("name, secret", [
    ("sealed-keyfile.qsl", "key_file"), ("sealed-passphrase.qsl", "passphrase"),
    ("sealed-v2-keyfile.qsl", "key_file"), ("sealed-v2-identity.qsl", "identity"),
    ("sealed-v2-three.qsl", "passphrase"), ("sealed-v2-three.qsl", "identity")])
def test_known_answer_files_open(name, secret):
    given = {"passphrase": {"passphrase": "quorin known answer"},
             "key_file": {"key_file": os.path.join(DATA, "sealed-kat.key")},
             "identity": {"identities": [read("sealed-kat.identity").decode().strip()]}}[secret]
    plain = read("sealed-kat.txt")
    assert quorin.open(read(name), **given) == plain
    assert open_stream(read(name), **given) == plain
    header = quorin.sealed_header(os.path.join(DATA, name))
    assert secret in header.kinds and header.version == (1 if "v2" not in name else 2)


def tampered(sealed, how):
    at = len(sealed) - 40  # in the last chunk
    if how == "flip":
        return sealed[:at] + bytes([sealed[at] ^ 1]) + sealed[at + 1:]
    if how == "cut":
        return sealed[:-20]
    if how == "append":
        return sealed + b"\0"
    if how == "swap":  # the first two chunks trade places
        start = len(sealed) - 3 * (CHUNK + 16) - 48
        one, two = sealed[start:start + CHUNK + 16], sealed[start + CHUNK + 16:start + 2 * (CHUNK + 16)]
        return sealed[:start] + two + one + sealed[start + 2 * (CHUNK + 16):]
    raise AssertionError(how)


SHAPES = {
    "bytes": lambda sealed, tmp: quorin.open(sealed, key_file=KEY),
    "stream": lambda sealed, tmp: open_stream(sealed, key_file=KEY),
    "path": lambda sealed, tmp: (tmp.joinpath("in").write_bytes(sealed),
                                 quorin.open_file(tmp / "in", tmp / "out", key_file=KEY)),
    "fileobj": lambda sealed, tmp: quorin.open_file(io.BytesIO(sealed), tmp / "out", key_file=KEY),
    "open_sealed path": lambda sealed, tmp: (tmp.joinpath("in").write_bytes(sealed),
                                             quorin.open_sealed(tmp / "in", key_file=KEY).read()),
}
EXPECTED = {"flip": quorin.AuthenticationError, "cut": quorin.TruncatedError,
            "append": quorin.AuthenticationError, "swap": quorin.AuthenticationError}


@pytest.mark.parametrize("how", EXPECTED)
@pytest.mark.parametrize("shape", SHAPES)
def test_tampering_is_refused_through_every_shape(tmp_path, how, shape):
    sealed = quorin.seal(data_of(3 * CHUNK + 10), key_file=KEY)
    with pytest.raises(EXPECTED[how]) as caught:
        SHAPES[shape](tampered(sealed, how), tmp_path)
    assert caught.value.status in (-34, -35) and isinstance(caught.value, quorin.QuorinError)
    assert not (tmp_path / "out").exists()


def test_a_streaming_read_stops_at_a_bad_chunk_having_released_only_verified_bytes():
    data = data_of(40 * CHUNK + 3)
    sealed = bytearray(quorin.seal(data, key_file=KEY))
    header = len(sealed) - (len(data) // 16 + 1) * 16 - 41 * 16
    sealed[header + 35 * (CHUNK + 16) + 7] ^= 0x40  # chunk 35
    released = bytearray()
    with quorin.open_sealed(io.BytesIO(bytes(sealed)), key_file=KEY) as r:
        with pytest.raises(quorin.AuthenticationError):
            while True:
                part = r.read1(50000)
                if not part:
                    break
                released += part
    # whole chunks before the bad one, as they were sealed, and nothing after
    assert len(released) % CHUNK == 0 and len(released) <= 35 * CHUNK
    assert released == data[:len(released)]


@pytest.mark.parametrize("call, error, says", [
    (lambda: quorin.seal("text", key_file=KEY), TypeError, "data must be bytes"),
    (lambda: quorin.seal(b"x", passphrase=5), TypeError, "passphrase must be a str or bytes"),
    (lambda: quorin.seal(b"x", key_file=3.5), TypeError, "key_file must be a path"),
    (lambda: quorin.seal(b"x", recipients=5), TypeError, "recipients must be an iterable"),
    (lambda: quorin.seal(b"x", recipients=[b"quorin1"]), TypeError, "must hold Recipient"),
    (lambda: quorin.seal(b"x", key_file=KEY, mode=1), TypeError, "mode must be a str"),
    (lambda: quorin.seal(b"x", key_file=KEY, cost=3), TypeError, "cost must be"),
    (lambda: quorin.seal(b"x"), ValueError, "give a passphrase, a key file"),
    (lambda: quorin.open(b"QUORSEAL"), ValueError, "give a passphrase, a key file"),
    (lambda: quorin.seal(b"x", passphrase=""), ValueError, "empty"),
    (lambda: quorin.seal(b"x", key_file=KEY, mode="ecb"), ValueError, "mode must be one of"),
    (lambda: quorin.seal(b"x", key_file=KEY, key_size=100), ValueError, "key_size must be"),
    (lambda: quorin.seal(b"x", key_file=KEY, cost="extreme"), ValueError, "cost must be one"),
    (lambda: quorin.seal(b"x", passphrase="p", cost=(9, 8192)), ValueError, "Argon2id costs"),
    # set by name in the library: a value the option cannot hold is refused, never wrapped
    (lambda: quorin.seal(b"x", passphrase="p", cost=(2**32 + 1, 8192)), ValueError, "passes"),
    (lambda: quorin.seal(b"x", passphrase="p", cost=(1, -1)), ValueError, "memory_bytes"),
    (lambda: quorin.open(b"x", passphrase="p", cost_limit=(1, 2**64)), ValueError, "max_memory"),
    (lambda: quorin.seal(b"x", key_file=b"short"), ValueError, "16"),
    (lambda: quorin.Recipient("quorin1qqqq"), ValueError, "not a valid recipient"),
    (lambda: quorin.Identity(str(ME)[:-1] + "x"), ValueError, "not a valid identity"),
    (lambda: quorin.open_sealed(io.BytesIO(), "r", key_file=KEY), ValueError, "mode must be"),
    (lambda: quorin.open_sealed(io.BytesIO(), "rb", key_file=KEY, armour=True), ValueError,
     "for writing"),
    (lambda: quorin.open_sealed(io.StringIO(), "wb", key_file=KEY), TypeError, "binary mode"),
    (lambda: quorin.open(b"plain text, not sealed", key_file=KEY), quorin.NotSealedError,
     "not a sealed file"),
])
def test_bad_input_is_refused_before_any_work(call, error, says):
    with pytest.raises(error, match=says):
        call()


def test_header_and_limits_without_a_secret(tmp_path):
    sealed = quorin.seal(b"x", passphrase="p", cost="interactive", key_size=192, mode="cfb",
                         recipients=[ME.recipient, quorin.generate_identity()])
    h = quorin.sealed_header(io.BytesIO(sealed))
    assert (h.version, h.mode, h.key_size, h.recipients, h.cost) == (2, "cfb", 192, 3, "interactive")
    assert h.kinds == ("passphrase", "identity") and h.passes == 2 and h.memory_bytes == 64 << 20
    with pytest.raises(quorin.CostLimitError) as caught:
        quorin.open(sealed, passphrase="p", cost_limit=(1, 1 << 30))
    assert caught.value.status == -33 and isinstance(caught.value, quorin.BadHeaderError)
    with pytest.raises(quorin.SecretKindError):
        quorin.open(sealed, key_file=KEY)
    assert quorin.open(sealed, identities=ME) == b"x"
    quorin.keygen(tmp_path / "key")
    assert len((tmp_path / "key").read_bytes()) == 32
    with pytest.raises(quorin.FileError, match="exists"):
        quorin.keygen(tmp_path / "key")


class Failing(io.RawIOBase):
    """Gives some bytes, then raises as a broken disk or network would."""

    def __init__(self, good):
        self.left = good

    def readable(self):
        return True

    def write(self, b):
        raise ConnectionResetError("the peer went away")

    def readinto(self, b):
        if self.left <= 0:
            raise ConnectionResetError("the peer went away")
        n = min(len(b), self.left)
        b[:n] = b"z" * n
        self.left -= n
        return n


def test_the_callers_exceptions_propagate_and_leave_no_output(tmp_path):
    out = tmp_path / "out.qsl"
    with pytest.raises(ConnectionResetError):
        quorin.seal_file(Failing(300000), out, key_file=KEY)
    with pytest.raises(ConnectionResetError):
        with quorin.open_sealed(out, "wb", key_file=KEY) as w:
            shutil.copyfileobj(Failing(300000), w)
    sealed = quorin.seal(data_of(300000), key_file=KEY)
    with pytest.raises(ConnectionResetError):
        quorin.open_file(io.BytesIO(sealed), Failing(0), key_file=KEY)
    assert os.listdir(tmp_path) == []
    # A file that exists is kept, unless replace.
    out.write_bytes(b"keep me")
    with pytest.raises(FileExistsError):
        quorin.seal_file(io.BytesIO(b"x"), out, key_file=KEY)
    with pytest.raises(quorin.FileError):
        quorin.seal_file(tmp_path / "out.qsl", out, key_file=KEY)
    assert out.read_bytes() == b"keep me"
    quorin.seal_file(io.BytesIO(b"x"), out, key_file=KEY, replace=True)
    assert quorin.open(out.read_bytes(), key_file=KEY) == b"x"
    # Closed file objects, as Python's own io says.
    closed = io.BytesIO()
    closed.close()
    with pytest.raises(ValueError, match="closed file"):
        quorin.seal_file(closed, io.BytesIO(), key_file=KEY)
    w = quorin.open_sealed(io.BytesIO(), "wb", key_file=KEY)
    w.close()
    with pytest.raises(ValueError, match="closed file"):
        w.write(b"x")
    with open(tmp_path / "write-only", "wb") as write_only:
        with pytest.raises(io.UnsupportedOperation):
            quorin.seal_file(write_only, io.BytesIO(), key_file=KEY)


def test_an_abandoned_writer_does_not_pass_for_a_complete_file():
    out = io.BytesIO()
    with pytest.raises(RuntimeError):
        with quorin.open_sealed(out, "wb", key_file=KEY) as w:
            w.write(data_of(3 * CHUNK))
            raise RuntimeError("the producer failed")
    with pytest.raises((quorin.TruncatedError, quorin.NotSealedError)):
        quorin.open(out.getvalue(), key_file=KEY)


FLAT = r"""
import resource, sys, quorin
class Zeros:
    def __init__(self, n): self.n = n
    def readinto(self, b):
        k = min(len(b), self.n); b[:k] = bytes(k); self.n -= k; return k
def rss(): return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
key, size, path = bytes(32), 1 << 30, sys.argv[1]
before = rss()
with open(path, "wb") as out, quorin.open_sealed(out, "wb", key_file=key) as w:
    source, piece = Zeros(size), bytearray(1 << 16)
    while True:
        n = source.readinto(piece)
        if not n: break
        w.write(bytes(piece[:n]))
sealing = rss() - before
opened = 0
with quorin.open_sealed(path, key_file=key) as r:
    while True:
        part = r.read(1 << 16)
        if not part: break
        opened += len(part)
print(opened, sealing, rss() - before)
"""


def test_memory_stays_flat_through_a_gib(tmp_path):
    out = subprocess.run([sys.executable, "-c", FLAT, str(tmp_path / "gib.qsl")], check=True,
                         capture_output=True, text=True).stdout.split()
    opened, sealing_kib, both_kib = map(int, out)
    assert opened == 1 << 30
    assert sealing_kib < 64 * 1024 and both_kib < 64 * 1024, out


def test_armour_is_read_where_it_sits_and_refused_when_damaged():
    data = data_of(5000)
    text = quorin.seal(data, key_file=KEY, armour=True)
    lines = text.decode().splitlines()
    assert lines[0] == "-----BEGIN QUORIN SEALED FILE-----" and len(lines[1]) == 64
    body = "".join(lines[1:-1])
    for ok in ("mail before\n\n" + text.decode() + "signature\n",
               "".join("> " + line + "\n" for line in lines),
               "\n".join([lines[0]] + [body[i:i + 76] for i in range(0, len(body), 76)]
                         + [lines[-1]])):
        assert quorin.open(ok, key_file=KEY) == data
    for bad, error in ((lines[:-1], quorin.BadArmourError),
                       ([lines[0], lines[1][:10] + "*" + lines[1][11:]] + lines[2:],
                        quorin.BadArmourError),
                       ([lines[0], lines[-2]] + lines[1:-2] + [lines[-1]], quorin.BadArmourError),
                       (lines[1:], quorin.NotSealedError)):
        with pytest.raises(error) as caught:
            quorin.open("\n".join(bad) + "\n", key_file=KEY)
        assert caught.value.code == caught.value.name and caught.value.code.startswith("QUORIN_")


def test_a_passphrase_and_a_key_file_together_and_lists_of_keys():
    # Either secret opens what both sealed; a key list's text (with
    # comments) is parsed as the tool parses the file.
    data = data_of(70000)
    sealed = quorin.seal(data, passphrase="pw", key_file=KEY, cost=(1, 8192), armour=True)
    assert quorin.open(sealed, passphrase="pw") == data
    assert quorin.open(sealed, key_file=KEY) == data
    listed = "# mine\n\n%s\n%s\n" % (quorin.generate_identity(), ME)
    to_me = quorin.seal(data, recipients="# who\n%s\n" % ME.recipient)
    assert quorin.open(to_me, identities=listed) == data
    with pytest.raises(ValueError, match="line 3"):
        quorin.open(to_me, identities="# mine\n\nQUORIN-IDENTITY-1QQQ\n")
