-- Ciudades
INSERT INTO ciudades (nombre) VALUES ('Москва');
GO
