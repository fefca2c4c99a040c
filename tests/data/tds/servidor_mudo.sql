INSERT INTO aranceles VALUES (1)
EXEC tds_deaf 20
GO
