#!/usr/bin/python3
"""Reads a CSV file the way a script would and prints JSON: whether it starts with a UTF-8 byte-order
mark, its rows as parsed by the csv module with the given delimiter, and whether writing those rows
again with minimal quoting and CR LF line ends gives back the file's exact text."""
import csv
import io
import json
import sys


def main():
    path, delimiter = sys.argv[1], sys.argv[2]
    if delimiter == "tab":
        delimiter = "\t"
    with open(path, "rb") as stream:
        data = stream.read()
    bom = data.startswith(b"\xef\xbb\xbf")
    text = data.decode("utf-8-sig")
    rows = list(csv.reader(io.StringIO(text, newline=""), delimiter=delimiter, strict=True))
    again = io.StringIO(newline="")
    csv.writer(again, delimiter=delimiter, lineterminator="\r\n", quoting=csv.QUOTE_MINIMAL).writerows(rows)
    json.dump({"bom": bom, "rows": rows, "exact": again.getvalue() == text}, sys.stdout, ensure_ascii=False)


main()
