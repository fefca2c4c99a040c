INSERT INTO notas (texto) VALUES ('café con crème');
GO
INSERT INTO notas (texto) VALUES ('€ 20, año 2024');
GO
