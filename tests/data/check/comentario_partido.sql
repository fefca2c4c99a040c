/* Versión anterior, desactivada:
DELETE FROM precios;
GO
*/
INSERT INTO precios VALUES (1, 10);
GO
