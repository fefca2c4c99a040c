INSERT INTO aranceles VALUES (1)
EXEC tds_commit
GO
INSERT INTO aranceles VALUES (2)
GO
