"""The sealed format recomputed from its description alone, with Python's
hashlib and hmac (PyNaCl for X25519, ChaCha20-Poly1305 and Argon2id, and
cryptography for Poly1305):
the known-answer files' keys, tags and bodies must be what
docs/sealed-format.md says, so that the document and the code cannot drift
apart."""
import hashlib
import hmac
import os
import struct

import pytest

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


# Version 2: every recipient stanza opened with its secret, the header's
# MAC, every tag and every chunk's ciphertext, from the document alone.
import nacl.bindings as sodium  # noqa: E402  (Debian's python3-nacl)
from cryptography.hazmat.primitives.poly1305 import Poly1305  # noqa: E402  (python3-cryptography)

BECH32 = "qpzry9x8gf2tvdw0s3jn54khce6mua7l"


def bech32_decode(text: str) -> tuple[str, bytes]:
    text = text.lower()
    prefix, data = text[:text.rfind("1")], text[text.rfind("1") + 1:]
    values = [BECH32.index(c) for c in data]
    check = 1
    for v in [ord(c) >> 5 for c in prefix] + [0] + [ord(c) & 31 for c in prefix] + values:
        top, check = check >> 25, (check & 0x1ffffff) << 5 ^ v
        for i, g in enumerate([0x3b6a57b2, 0x26508e6d, 0x1ea119fa, 0x3d4233dd, 0x2a1462b3]):
            if top >> i & 1:
                check ^= g
    assert check == 1, "checksum"
    acc, bits, out = 0, 0, bytearray()
    for v in values[:-6]:
        acc, bits = acc << 5 | v, bits + 5
        if bits >= 8:
            bits -= 8
            out.append(acc >> bits & 0xff)
    return prefix, bytes(out)


def blake2b(data: bytes, size: int, key: bytes = b"", salt: bytes = b"",
            person: bytes = b"") -> bytes:
    return hashlib.blake2b(data, digest_size=size, key=key, salt=salt, person=person).digest()


def unwrap(stype: int, body: bytes, secrets: dict[int, bytes]) -> bytes | None:
    fields, wrapped = body[:-48], body[-48:]
    if stype == 1:
        passes, memory_kib = struct.unpack("<II", fields[:8])
        key = sodium.crypto_pwhash_alg(32, secrets[1], fields[8:24], passes, memory_kib * 1024,
                                       sodium.crypto_pwhash_ALG_ARGON2ID13)
    elif stype == 2:
        key = blake2b(secrets[2], 32, salt=fields, person=b"QuorinKeyFile v2")
    else:
        mine = sodium.crypto_scalarmult_base(secrets[3])
        shared = sodium.crypto_scalarmult(secrets[3], fields)
        key = blake2b(fields + mine, 32, key=shared, person=b"QuorinX25519 key")
    ad = struct.pack("<H", stype) + fields
    try:
        return sodium.crypto_aead_chacha20poly1305_ietf_decrypt(wrapped, ad, bytes(12), key)
    except Exception:  # noqa: BLE001  (PyNaCl's CryptoError: not this recipient)
        return None


V2_FILES = {"sealed-v2-three.qsl": {1, 2, 3}, "sealed-v2-identity.qsl": {3},
            "sealed-v2-keyfile.qsl": {2}}


@pytest.mark.parametrize("name", sorted(V2_FILES))
def test_version_2_known_answers_open_from_the_document(name: str) -> None:
    sealed, plain = read(name), read("sealed-kat.txt")
    prefix, identity = bech32_decode(read("sealed-kat.identity").decode().strip())
    assert prefix == "quorin-identity-"
    secrets = {1: b"quorin known answer", 2: read("sealed-kat.key"), 3: identity}

    (magic, version, mode, reserved1, bits, count, chunk, reserved2,
     nonce) = struct.unpack("<8sHBBHHII16s", sealed[:40])
    assert (magic, version, reserved1, reserved2) == (b"QUORSEAL", 2, 0, 0)
    at, types = 40, []
    file_keys = set()
    for _ in range(count):
        stype, length = struct.unpack("<HH", sealed[at:at + 4])
        body = sealed[at + 4:at + 4 + length]
        types.append(stype)
        file_keys.add(unwrap(stype, body, secrets))
        at += 4 + length
    assert set(types) == V2_FILES[name]
    assert len(file_keys) == 1 and None not in file_keys  # every stanza, one file key
    file_key = file_keys.pop()
    header, header_tag = sealed[:at], sealed[at:at + 32]

    root = blake2b(nonce, 32, key=file_key, person=b"QuorinPayload v2")

    def kdf(size: int, ident: int) -> bytes:
        return blake2b(b"", size, key=root, salt=struct.pack("<Q", ident) + bytes(8),
                       person=b"QuorSea2" + bytes(8))

    mac_key, enc_key, tag_key, iv_key = kdf(32, 1), kdf(bits // 8, 2), kdf(32, 3), kdf(32, 4)
    assert hmac.compare_digest(hmac.new(mac_key, header, hashlib.sha256).digest(), header_tag)

    at += 32
    chunks = len(plain) // chunk + 1
    for i in range(chunks):
        piece = plain[i * chunk:(i + 1) * chunk] if i < chunks - 1 else plain[i * chunk:]
        q = quorin.Quorin(mode=MODES[mode], key_size=bits, string_mode="normal")
        q.initialise(enc_key)
        q.load_iv(blake2b(struct.pack("<Q", i), 16, key=iv_key))
        expected = q.encrypt_string(piece)
        if i < chunks - 1:
            expected = expected[:chunk]  # padding only in the last chunk
        stored = sealed[at:at + len(expected)]
        assert stored == expected, f"chunk {i}"
        last = i == chunks - 1
        one_time = blake2b(header_tag + struct.pack("<QB", i, last), 32, key=tag_key,
                           person=b"QuorinChunkTagV2")
        tag = Poly1305.generate_tag(one_time, stored)
        assert hmac.compare_digest(tag, sealed[at + len(stored):at + len(stored) + 16])
        at += len(stored) + 16
    assert at == len(sealed)
