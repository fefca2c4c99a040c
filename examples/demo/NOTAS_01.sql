-- No se toma: NOTAS no es una familia de scripts
DROP TABLE monedas;
GO
