INSERT INTO monedas VALUES (1)
PRINT 'Monedas cargadas'
GO
RAISERROR('Solo un aviso', 10, 1)
EXEC tds_rows 50
GO

UPDATE monedas SET codigo = 2
GO
