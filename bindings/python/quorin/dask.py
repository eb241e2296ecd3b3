"""A column across a Dask cluster: decrypt_column and encrypt_column run
``decrypt_strings`` and ``encrypt_strings`` on every partition, on the
workers.

    import dask.dataframe as dd, quorin.dask
    ddf = dd.read_parquet("customers/")
    ddf["email"] = quorin.dask.decrypt_column(ddf, "email", key_file="/run/keys/crm.key",
                                              iv=iv, mode="cbc")

What crosses to the workers: the partitions, the IV and the settings, and
where the key is kept (a key file's path, an environment variable's name),
never the key. Dask pickles a task's arguments into its graph, which the
scheduler holds, sends to each worker that runs the task and shows on its
dashboard: a key passed as an argument would be copied into every one of
them. So each worker reads the key itself when it runs a partition: from a
file every worker can read (raw bytes, as ``quorin --key-file`` takes it),
or from its own environment (the value's bytes, as ``QUORIN_KEY``).
"""

import os
from typing import Any, Optional, Union

from ._batch import decrypt_strings, encrypt_strings
from ._support import BytesLike

__all__ = ["decrypt_column", "encrypt_column"]


def _key(key_file: Optional[str], key_env: Optional[str]) -> bytes:
    """The key, read on the worker that needs it."""
    if key_file is not None:
        with open(key_file, "rb") as f:
            return f.read()
    assert key_env is not None
    value = os.environ.get(key_env)
    if not value:
        raise KeyError("the environment variable %s holds no key on this worker" % key_env)
    return value.encode("utf-8", "surrogateescape")  # the value's own bytes


KeyFile = Optional[Union[str, "os.PathLike[str]"]]


def _where(key_file: KeyFile, key_env: Optional[str]) -> Optional[str]:
    if (key_file is None) == (key_env is None):
        raise ValueError("give the key's home: key_file or key_env, one of them "
                         "(never the key itself: it would travel in the task graph)")
    return None if key_file is None else os.fspath(key_file)


def _decrypt_part(part: Any, key_file: Optional[str], key_env: Optional[str],
                  iv: Optional[bytes], options: Any) -> Any:
    return decrypt_strings(part, _key(key_file, key_env), iv, **options)


def _encrypt_part(part: Any, key_file: Optional[str], key_env: Optional[str],
                  iv: Optional[bytes], options: Any) -> Any:
    return encrypt_strings(part, _key(key_file, key_env), iv, **options)


def decrypt_column(ddf: Any, column: str, *, key_file: KeyFile = None,
                   key_env: Optional[str] = None, iv: Optional[BytesLike] = None,
                   chain: bool = False, mode: str = "ecb", key_size: int = 128,
                   string_mode: str = "encode", errors: str = "raise") -> Any:
    """The column of the Dask DataFrame ddf, decrypted on the workers: a Dask
    Series of bytes (None for nulls), lazily, as ``decrypt_strings`` gives
    for each partition. With chain=True the chain runs on within each
    partition only: it suits one partition, not a column split in several."""
    where = _where(key_file, key_env)
    options = dict(chain=chain, mode=mode, key_size=key_size, string_mode=string_mode,
                   errors=errors)
    return ddf[column].map_partitions(_decrypt_part, where, key_env,
                                      None if iv is None else bytes(iv), options,
                                      meta=(column, object))


def encrypt_column(ddf: Any, column: str, *, key_file: KeyFile = None,
                   key_env: Optional[str] = None, iv: Optional[BytesLike] = None,
                   mode: str = "ecb", key_size: int = 128, string_mode: str = "encode") -> Any:
    """The column of ddf encrypted on the workers, as ``encrypt_strings``
    gives for each partition (every value from iv: each stands alone)."""
    where = _where(key_file, key_env)
    options = dict(mode=mode, key_size=key_size, string_mode=string_mode)
    return ddf[column].map_partitions(_encrypt_part, where, key_env,
                                      None if iv is None else bytes(iv), options,
                                      meta=(column, object))
