INSERT INTO bitacora (paso) VALUES (0);
GO
create procedure dbo.uno as select 1
GO
INSERT INTO bitacora (paso) VALUES (2);
GO
-- ALTER: nothing here but a FUNCTION in a comment
INSERT INTO bitacora (paso) VALUES (3);
GO
INSERT INTO bitacora (paso) VALUES (4);
GO
CREATE PROC dbo.corto AS SELECT 1
GO
CREATE VIEW dbo.v AS SELECT 1 AS x
GO
CREATE TRIGGER dbo.t ON dbo.x AFTER INSERT AS SELECT 1
GO
INSERT INTO bitacora (paso) VALUES (8);
GO
