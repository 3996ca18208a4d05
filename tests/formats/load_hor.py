#!/usr/bin/env python3
"""Loads HOR chart files as the chart program does, 27 unpickled values in a row, refusing
every global, and prints each file's values: one line per value, "s" and the hex of its
UTF-8 bytes for a text, "b" and 0 or 1 for a flag, "i" and the number for an integer."""
import pickle
import sys

ITEMS = 27


class NoGlobals(pickle.Unpickler):
    def find_class(self, module, name):
        raise pickle.UnpicklingError(f"global refused: {module}.{name}")


def describe(value):
    if isinstance(value, bool):
        return f"b {int(value)}"
    if isinstance(value, int):
        return f"i {value}"
    if isinstance(value, str):
        return "s " + value.encode("utf-8").hex()
    return "x " + type(value).__name__


def main(paths):
    for path in paths:
        print("file " + path)
        try:
            with open(path, "rb") as chart:
                for _ in range(ITEMS):
                    print(describe(NoGlobals(chart).load()))
                if chart.read():
                    print("error bytes after the last item")
        except Exception as error:  # every failure is reported, none stops the others
            print(f"error {type(error).__name__}: {error}".replace("\n", " "))
        print("end")


if __name__ == "__main__":
    main(sys.argv[1:])
