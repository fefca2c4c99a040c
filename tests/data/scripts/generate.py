#!/usr/bin/env python3
"""Writes the script files that the script execution tests read.

Run it from this folder after changing a script; the files are committed as
they are written (tests/data/.gitattributes keeps git from touching line ends).
Names: <case>.sql with CR LF line ends in Windows-1252; the suffixes _lf
(LF line ends), _utf8bom (UTF-8 with a byte-order mark) and _utf16le (UTF-16
LE with a byte-order mark) mark the other variants.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def write(name, lines, end="\r\n", encoding="cp1252", bom=b"", final_end=True):
    text = end.join(lines) + (end if final_end else "")
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(bom + text.encode(encoding))


def ordinary(n):
    return "INSERT INTO bitacora (paso) VALUES (%d);" % n


# Two statements with accents and the euro sign, cut by GO lines.
A = "INSERT INTO notas (texto) VALUES ('café con crème');"
B = "INSERT INTO notas (texto) VALUES ('€ 20, año 2024');"
write("a_go_b_go.sql", [A, "GO", B, "GO"])
write("a_go_b_go_lf.sql", [A, "GO", B, "GO"], end="\n")
write("a_go_b_go_utf8bom.sql", [A, "GO", B, "GO"], encoding="utf-8", bom=b"\xef\xbb\xbf")
write("a_go_b_go_utf16le.sql", [A, "GO", B, "GO"], encoding="utf-16-le", bom=b"\xff\xfe")
write("sin_go_final.sql", [A, "GO", B])
write("sin_separador.sql", [A, B])
write("vacio.sql", [], final_end=False)

# The four spellings at line starts; the last piece never runs.
SPELLINGS = ["SELECT 0", "go", "SELECT 1", "Go", "SELECT 2", "gO", "SELECT 3", "GO", "SELECT 4"]
write("grafias.sql", SPELLINGS)
write("grafias_lf.sql", SPELLINGS, end="\n")

# Lines that look like separators but are not: the first line, after blanks
# or a tab, in the middle of a line. Only the last GO separates.
write("no_separan.sql", ["GO", "SELECT 1", "  GO", "\tgo", "SELECT 2 GO", "SELECT 3 -- go", "GO"])

# What follows the two letters stays at the head of the next piece.
write("resto_de_linea.sql",
      ["SELECT 1", "GO -- fin", "SELECT 2", "GOTO x", "SELECT 3", "government", "SELECT 4", "GO"])

# The look-ahead: pieces 1 and 3 start groups; 5 to 7 do not.
write("anticipacion.sql", [
    ordinary(0), "GO",
    "create procedure dbo.uno as select 1", "GO",
    ordinary(2), "GO",
    "-- ALTER: nothing here but a FUNCTION in a comment", ordinary(3), "GO",
    ordinary(4), "GO",
    "CREATE PROC dbo.corto AS SELECT 1", "GO",
    "CREATE VIEW dbo.v AS SELECT 1 AS x", "GO",
    "CREATE TRIGGER dbo.t ON dbo.x AFTER INSERT AS SELECT 1", "GO",
    ordinary(8), "GO",
])

# 25 ordinary pieces to run.
lines = []
for n in range(25):
    lines += [ordinary(n), "GO"]
write("veinticinco.sql", lines)

# A procedure piece at index 5 among ordinary pieces 0 to 7.
lines = []
for n in range(8):
    lines += ["CREATE PROCEDURE dbo.p5 AS SELECT 5" if n == 5 else ordinary(n), "GO"]
write("procedimiento_en_5.sql", lines)

# Ordinary piece 0, procedure pieces 1 and 2, ordinary piece 3.
write("tres_grupos.sql", [
    ordinary(0), "GO",
    "CREATE PROCEDURE dbo.p1 AS SELECT 1", "GO",
    "ALTER FUNCTION dbo.f2() RETURNS int AS BEGIN RETURN 2 END", "GO",
    ordinary(3), "GO",
])

# For real databases: 22 rows into an existing table, then a statement that
# fails in the group sent after the walk (pieces 21 and 22). The first group
# (pieces 0 to 20) has already run when the failure comes.
lines = []
for n in range(22):
    lines += ["INSERT INTO corvalen_filas (n) VALUES (%d);" % n, "GO"]
lines += ["INSERT INTO corvalen_no_existe (n) VALUES (1);", "GO"]
write("bd_falla_tarde.sql", lines)
# The same kind of script without the failure, with a lower-case go line.
lines = []
for n in range(22):
    lines += ["INSERT INTO corvalen_filas (n) VALUES (%d);" % n, "go" if n == 3 else "GO"]
write("bd_correcto.sql", lines)
