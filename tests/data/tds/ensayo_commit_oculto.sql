INSERT INTO monedas VALUES (20)
EXEC tds_commit
GO
