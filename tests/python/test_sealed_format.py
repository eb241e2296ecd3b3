"""The sealed format recomputed from its description alone, with Python's
hashlib and hmac: the known-answer file's keys, tags and body must be what
docs/sealed-format.md says, so that the document and the code cannot drift
apart."""
import hashlib
import hmac
import os
import struct

import quorin

DATA = os.environ["QUORIN_TEST_DATA"]
MODES = {1: "cbc", 2: "cfb", 3: "ofb"}


def read(name):
    with open(os.path.join(DATA, name), "rb") as f:
        return f.read()


def subkey(master, size, ident):
    # libsodium's crypto_kdf_derive_from_key: BLAKE2b keyed with the master,
    # the subkey id as salt, the context as personalisation.
    return hashlib.blake2b(b"", digest_size=size, key=master,
                           salt=struct.pack("<Q", ident) + bytes(8),
                           person=b"QuorSeal" + bytes(8)).digest()


def test_key_file_known_answer_matches_an_independent_computation():
    sealed, key, plain = read("sealed-keyfile.qsl"), read("sealed-kat.key"), read("sealed-kat.txt")
    header = sealed[:64]
    (magic, version, mode, kind, bits, reserved1, chunk, passes, memory_kib,
     reserved2, salt, iv) = struct.unpack("<8sHBBHHIIII16s16s", header)
    assert (magic, version, kind, reserved1, reserved2) == (b"QUORSEAL", 1, 2, 0, 0)
    assert (passes, memory_kib) == (0, 0)

    master = hashlib.blake2b(key, digest_size=32, key=salt).digest()
    enc_key, mac_key = subkey(master, bits // 8, 1), subkey(master, 32, 2)

    body, at, index = b"", 64, 0
    while at < len(sealed):
        data = sealed[at:at + chunk]
        if at + len(data) + 32 > len(sealed):
            data = sealed[at:len(sealed) - 32]
        tag = sealed[at + len(data):at + len(data) + 32]
        last = at + len(data) + 32 == len(sealed)
        mac = hmac.new(mac_key, header + struct.pack("<QB", index, last) + data, hashlib.sha256)
        assert hmac.compare_digest(mac.digest(), tag), f"chunk {index}"
        body, at, index = body + data, at + len(data) + 32, index + 1
    assert index == 4  # the file crosses three chunk boundaries

    q = quorin.Quorin(mode=MODES[mode], key_size=bits, string_mode="normal")
    q.initialise(enc_key)
    q.load_iv(iv)
    assert q.encrypt_string(plain) == body
