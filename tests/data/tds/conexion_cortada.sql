INSERT INTO aranceles VALUES (1)
EXEC tds_close
INSERT INTO aranceles VALUES (2)
GO
