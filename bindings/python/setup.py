"""`pip install .` from here builds the same package as from the checkout's
top (see quorin_build.py); pyproject.toml beside this holds the metadata."""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from quorin_build import setup_package  # noqa: E402

setup_package(os.path.dirname(os.path.dirname(HERE)))
