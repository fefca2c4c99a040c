INSERT INTO notas (texto) VALUES ('café con crème');
INSERT INTO notas (texto) VALUES ('€ 20, año 2024');
