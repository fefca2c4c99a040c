INSERT INTO bitacora (paso) VALUES (0);
GO
INSERT INTO bitacora (paso) VALUES (1);
GO
INSERT INTO bitacora (paso) VALUES (2);
GO
INSERT INTO bitacora (paso) VALUES (3);
GO
INSERT INTO bitacora (paso) VALUES (4);
GO
INSERT INTO bitacora (paso) VALUES (5);
GO
INSERT INTO bitacora (paso) VALUES (6);
GO
INSERT INTO bitacora (paso) VALUES (7);
GO
INSERT INTO bitacora (paso) VALUES (8);
GO
INSERT INTO bitacora (paso) VALUES (9);
GO
INSERT INTO bitacora (paso) VALUES (10);
GO
INSERT INTO bitacora (paso) VALUES (11);
GO
INSERT INTO bitacora (paso) VALUES (12);
GO
INSERT INTO bitacora (paso) VALUES (13);
GO
INSERT INTO bitacora (paso) VALUES (14);
GO
INSERT INTO bitacora (paso) VALUES (15);
GO
INSERT INTO bitacora (paso) VALUES (16);
GO
INSERT INTO bitacora (paso) VALUES (17);
GO
INSERT INTO bitacora (paso) VALUES (18);
GO
INSERT INTO bitacora (paso) VALUES (19);
GO
INSERT INTO bitacora (paso) VALUES (20);
GO
INSERT INTO bitacora (paso) VALUES (21);
GO
INSERT INTO bitacora (paso) VALUES (22);
GO
INSERT INTO bitacora (paso) VALUES (23);
GO
INSERT INTO bitacora (paso) VALUES (24);
GO
