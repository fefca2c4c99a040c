CREATE TABLE empleados (numero INTEGER PRIMARY KEY, nombre TEXT);
GO
INSERT INTO empleados VALUES (1, 'Ana');
GO
