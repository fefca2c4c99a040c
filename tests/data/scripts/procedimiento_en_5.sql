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
CREATE PROCEDURE dbo.p5 AS SELECT 5
GO
INSERT INTO bitacora (paso) VALUES (6);
GO
INSERT INTO bitacora (paso) VALUES (7);
GO
