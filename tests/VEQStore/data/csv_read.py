#!/usr/bin/env python3
"""Parses a semicolon-separated file with Python's csv module and prints its rows as a JSON
list of lists of texts, so that a test can compare fields and count columns."""

import csv
import json
import sys

with open(sys.argv[1], newline="", encoding="utf-8") as f:
    rows = list(csv.reader(f, delimiter=";", quotechar='"', strict=True))
print(json.dumps(rows, ensure_ascii=False))
