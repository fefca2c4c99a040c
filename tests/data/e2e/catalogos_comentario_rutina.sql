CREATE VIEW v_monedas AS SELECT codigo FROM monedas;
GO
INSERT INTO monedas VALUES ('USD', 'Dolar');
GO
/* Limpieza anterior, desactivada:
GO
-- CREATE PROCEDURE limpiar_monedas
DELETE FROM monedas; -- */
GO
