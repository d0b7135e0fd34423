"""Writes a dBASE III table with memo file using python3-dbf and prints what it wrote in the line format
of read_table.py, so that the C++ test can check that our engine reads the same values.

usage: write_table.py PATH
"""
import sys

import dbf

POLISH = "ą ć ę ł ń ó ś ź ż Ą Ć Ę Ł Ń Ó Ś Ź Ż"
LONG_NOTE = "".join("Wiersz %d: zażółć gęślą jaźń\r\n" % n for n in range(60))

ROWS = [
    ("Żaneta", "Kowalska", 1, "Biuro", 0, POLISH, True),
    ("Łukasz", "Źdźbło", 2, "Magazyn", 3, LONG_NOTE, False),
    ("usunięty", "", 3, "", 0, "", None),
    ("Ósma", "Ćma", 65535, "Lack of assignment!", 15, "", None),
]


def main():
    path = sys.argv[1]
    table = dbf.Table(path, "SURNAME C(30); NAME C(30); NUMBER N(6,0); GROUP C(30); INDEX N(2,0); INFO M; OK L",
                      dbf_type="db3", codepage="cp1250")
    table.open(dbf.READ_WRITE)
    for row in ROWS:
        table.append(row)
    dbf.delete(table[2])
    table.close()
    out = []
    live = 0
    for row in ROWS:
        if row[0] == "usunięty":
            continue
        names = ["SURNAME", "NAME", "NUMBER", "GROUP", "INDEX", "INFO", "OK"]
        for name, value in zip(names, row):
            if value is None:
                value = ""
            elif isinstance(value, bool):
                value = "True" if value else "False"
            out.append("%d %s %s" % (live, name, str(value).encode("utf-8").hex()))
        live += 1
    sys.stdout.write("\n".join(out) + "\n")


main()
