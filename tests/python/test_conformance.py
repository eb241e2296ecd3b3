"""The sealed format's conformance vectors through the Python package:
opened whole (quorin.open) and as a stream (open_sealed), each with the
outcome its header expects."""
import hashlib
import io
import os
from typing import Any, Dict, List, Tuple

import pytest

import quorin

VECTORS = os.path.join(os.environ["QUORIN_TEST_DATA"], os.pardir, "vectors", "sealed")
KINDS = {quorin.NotSealedError: "not-sealed", quorin.BadArmourError: "bad-armour",
         quorin.UnsupportedVersionError: "unsupported-version",
         quorin.CostLimitError: "cost-limit", quorin.BadHeaderError: "bad-header",
         quorin.SecretKindError: "secret-kind", quorin.AuthenticationError: "authentication",
         quorin.TruncatedError: "truncated"}


def load(name: str) -> Tuple[Dict[str, str], Dict[str, Any], bytes]:
    with open(os.path.join(VECTORS, name), "rb") as f:
        head, data = f.read().split(b"\n\n", 1)
    fields: Dict[str, str] = {}
    secrets: Dict[str, Any] = {}
    identities: List[str] = []
    limits = [4, 1 << 30]
    for line in head.decode().splitlines()[1:]:
        key, value = line.split(": ", 1)
        fields[key] = value
        if key == "passphrase":
            secrets["passphrase"] = value
        elif key == "passphrase-hex":
            secrets["passphrase"] = bytes.fromhex(value)
        elif key == "key-file":
            secrets["key_file"] = bytes.fromhex(value)
        elif key == "identity":
            identities.append(value)
        elif key == "max-passes":
            limits[0] = int(value)
        elif key == "max-memory-mib":
            limits[1] = int(value) << 20
    secrets["identities"] = identities
    secrets["cost_limit"] = tuple(limits)
    return fields, secrets, data


def outcome(work: Any) -> Tuple[str, bytes]:
    try:
        return "success", work()
    except quorin.SealedFileError as e:
        # The most derived kind: CostLimitError is a BadHeaderError too.
        kind = next(k for cls, k in KINDS.items() if isinstance(e, cls))
        return kind, b""


@pytest.mark.parametrize("name", sorted(n for n in os.listdir(VECTORS) if n.endswith(".qsv")))
def test_vector(name: str) -> None:
    fields, secrets, data = load(name)

    def streamed() -> bytes:
        with quorin.open_sealed(io.BytesIO(data), "rb", **secrets) as r:
            return r.read()

    for form, work in (("whole", lambda: quorin.open(data, **secrets)), ("stream", streamed)):
        kind, plain = outcome(work)
        assert kind == fields["expect"], "%s (%s)" % (fields["description"], form)
        if kind == "success":
            assert hashlib.sha256(plain).hexdigest() == fields["plaintext-sha256"], form


def test_there_are_enough() -> None:
    assert len([n for n in os.listdir(VECTORS) if n.endswith(".qsv")]) >= 150
