"""Reads a dBASE table with an independent implementation and prints every live record as lines
'<record> <FIELD> <hex of the UTF-8 value>', so that the C++ test can compare values byte for byte.

usage: read_table.py dbfread|dbf PATH
"""
import sys


def text(value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "True" if value else "False"
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    if isinstance(value, str):
        return value.rstrip(" ")
    return str(value)


def with_dbfread(path):
    import dbfread
    table = dbfread.DBF(path, encoding="cp1250", char_decode_errors="strict")
    for number, record in enumerate(table):
        yield number, [(name, record[name]) for name in table.field_names]


def with_dbf(path):
    import dbf
    table = dbf.Table(path, codepage="cp1250")
    table.open(dbf.READ_ONLY)
    try:
        names = table.field_names
        live = 0
        for record in table:
            if dbf.is_deleted(record):
                continue
            yield live, [(name.upper(), record[name]) for name in names]
            live += 1
    finally:
        table.close()


def main():
    reader, path = sys.argv[1], sys.argv[2]
    rows = with_dbfread(path) if reader == "dbfread" else with_dbf(path)
    out = []
    for number, fields in rows:
        for name, value in fields:
            out.append("%d %s %s" % (number, name.upper(), text(value).encode("utf-8").hex()))
    sys.stdout.write("\n".join(out) + ("\n" if out else ""))


main()
