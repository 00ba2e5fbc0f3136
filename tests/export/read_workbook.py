#!/usr/bin/python3
"""Prints a workbook as JSON: per sheet its name, cell texts, alignment and column widths."""
import json
import sys

import openpyxl
from openpyxl.utils import get_column_letter


def main():
    # A file object, so that a workbook saved under a .xls name is read by its content.
    with open(sys.argv[1], "rb") as stream:
        book = openpyxl.load_workbook(stream)
    sheets = []
    for sheet in book.worksheets:
        cells = []
        for row in sheet.iter_rows():
            for cell in row:
                if cell.value is None:
                    continue
                cells.append({"row": cell.row, "col": cell.column, "value": cell.value,
                              "type": cell.data_type, "align": cell.alignment.horizontal})
        widths = {}
        for col in range(1, sheet.max_column + 2):
            dim = sheet.column_dimensions.get(get_column_letter(col))
            if dim is not None and dim.width:
                widths[str(col)] = dim.width
        sheets.append({"name": sheet.title, "max_row": sheet.max_row, "cells": cells, "widths": widths})
    json.dump({"sheets": sheets}, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
