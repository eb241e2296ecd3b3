"""A column decrypted and encrypted on a Dask cluster of two worker
processes gives what one process gives, and the key never enters the task
graph: the workers read it from a file or their environment."""

import os
import pickle
from pathlib import Path
from typing import Any, Iterator

import pytest

import quorin

pandas = pytest.importorskip("pandas")
dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")
import quorin.dask  # noqa: E402  (after the skips: it is pointless without Dask)

KEY = b"a key that lives in one file...."
IV = bytes(range(16))


@pytest.fixture(scope="module")
def client() -> Iterator[Any]:
    os.environ["QUORIN_TEST_DASK_KEY"] = KEY.decode()  # inherited by the worker processes
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster:
        with distributed.Client(cluster) as c:
            yield c


def test_two_workers_give_what_one_process_gives(client: Any, tmp_path: Path) -> None:
    key_file = tmp_path / "column.key"
    key_file.write_bytes(KEY)
    values = ["value %d" % i if i % 7 else None for i in range(3000)]
    texts = quorin.encrypt_strings(values, KEY, IV, mode="cbc", key_size=256)
    frame = dd.from_pandas(pandas.DataFrame({"secret": texts}), npartitions=6)

    opened = quorin.dask.decrypt_column(frame, "secret", key_file=key_file, iv=IV, mode="cbc",
                                        key_size=256)
    serial = quorin.decrypt_strings(texts, KEY, IV, mode="cbc", key_size=256)
    assert opened.compute().tolist() == serial
    assert pickle.dumps(dict(opened.__dask_graph__())).find(KEY) == -1

    plain = dd.from_pandas(pandas.DataFrame({"p": values}), npartitions=5)
    sealed = quorin.dask.encrypt_column(plain, "p", key_env="QUORIN_TEST_DASK_KEY", iv=IV,
                                        mode="cbc", key_size=256)
    assert sealed.compute().tolist() == texts
    assert pickle.dumps(dict(sealed.__dask_graph__())).find(KEY) == -1


def test_the_key_itself_is_not_taken(client: Any) -> None:
    frame = dd.from_pandas(pandas.DataFrame({"c": ["a"]}), npartitions=1)
    with pytest.raises(ValueError, match="never the key"):
        quorin.dask.decrypt_column(frame, "c")
    with pytest.raises(TypeError):
        quorin.dask.decrypt_column(frame, "c", key=KEY)  # type: ignore[call-arg]
