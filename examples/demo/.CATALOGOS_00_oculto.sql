-- No se toma: archivo oculto
DROP TABLE monedas;
GO
