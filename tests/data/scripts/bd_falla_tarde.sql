INSERT INTO corvalen_filas (n) VALUES (0);
GO
INSERT INTO corvalen_filas (n) VALUES (1);
GO
INSERT INTO corvalen_filas (n) VALUES (2);
GO
INSERT INTO corvalen_filas (n) VALUES (3);
GO
INSERT INTO corvalen_filas (n) VALUES (4);
GO
INSERT INTO corvalen_filas (n) VALUES (5);
GO
INSERT INTO corvalen_filas (n) VALUES (6);
GO
INSERT INTO corvalen_filas (n) VALUES (7);
GO
INSERT INTO corvalen_filas (n) VALUES (8);
GO
INSERT INTO corvalen_filas (n) VALUES (9);
GO
INSERT INTO corvalen_filas (n) VALUES (10);
GO
INSERT INTO corvalen_filas (n) VALUES (11);
GO
INSERT INTO corvalen_filas (n) VALUES (12);
GO
INSERT INTO corvalen_filas (n) VALUES (13);
GO
INSERT INTO corvalen_filas (n) VALUES (14);
GO
INSERT INTO corvalen_filas (n) VALUES (15);
GO
INSERT INTO corvalen_filas (n) VALUES (16);
GO
INSERT INTO corvalen_filas (n) VALUES (17);
GO
INSERT INTO corvalen_filas (n) VALUES (18);
GO
INSERT INTO corvalen_filas (n) VALUES (19);
GO
INSERT INTO corvalen_filas (n) VALUES (20);
GO
INSERT INTO corvalen_filas (n) VALUES (21);
GO
INSERT INTO corvalen_no_existe (n) VALUES (1);
GO
