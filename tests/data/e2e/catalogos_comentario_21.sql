CREATE VIEW v_monedas AS SELECT codigo FROM monedas;
GO
INSERT INTO monedas VALUES ('M01', 'Moneda 01');
GO
INSERT INTO monedas VALUES ('M02', 'Moneda 02');
GO
INSERT INTO monedas VALUES ('M03', 'Moneda 03');
GO
INSERT INTO monedas VALUES ('M04', 'Moneda 04');
GO
INSERT INTO monedas VALUES ('M05', 'Moneda 05');
GO
INSERT INTO monedas VALUES ('M06', 'Moneda 06');
GO
INSERT INTO monedas VALUES ('M07', 'Moneda 07');
GO
INSERT INTO monedas VALUES ('M08', 'Moneda 08');
GO
INSERT INTO monedas VALUES ('M09', 'Moneda 09');
GO
INSERT INTO monedas VALUES ('M10', 'Moneda 10');
GO
INSERT INTO monedas VALUES ('M11', 'Moneda 11');
GO
INSERT INTO monedas VALUES ('M12', 'Moneda 12');
GO
INSERT INTO monedas VALUES ('M13', 'Moneda 13');
GO
INSERT INTO monedas VALUES ('M14', 'Moneda 14');
GO
INSERT INTO monedas VALUES ('M15', 'Moneda 15');
GO
INSERT INTO monedas VALUES ('M16', 'Moneda 16');
GO
INSERT INTO monedas VALUES ('M17', 'Moneda 17');
GO
INSERT INTO monedas VALUES ('M18', 'Moneda 18');
GO
INSERT INTO monedas VALUES ('M19', 'Moneda 19');
GO
INSERT INTO monedas VALUES ('M20', 'Moneda 20');
GO
/* Limpieza anterior, desactivada:
GO
DELETE FROM monedas; -- */
GO
