/* Versión anterior, desactivada:
DELETE FROM precios;
GO
*/
INSERT INTO precios VALUES (1, 10);
GO 60
INSERT INTO precios VALUES (2, 20);
go;
INSERT INTO notas VALUES ('línea uno
GO
línea dos');
GO
