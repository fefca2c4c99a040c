USE master
GO
INSERT INTO monedas VALUES (1)
GO
