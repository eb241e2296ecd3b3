"""Builds the Python package with libquorin-c inside it; see
bindings/python/quorin_build.py. pyproject.toml holds the metadata."""

import os
import sys

ROOT = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(ROOT, "bindings", "python"))
from quorin_build import setup_package  # noqa: E402

setup_package(ROOT)
