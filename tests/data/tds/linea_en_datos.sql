INSERT INTO aranceles VALUES (1)
GO

RAISERROR('Valor (Line 12) repetido', 16, 1)
GO
