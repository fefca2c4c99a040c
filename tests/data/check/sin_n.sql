INSERT INTO t VALUES ('Ελληνικά', N'Ελληνικά', 'ñandú €', 'emoji 😀');
GO
-- 'Ωμέγα' en un comentario
CREATE PROCEDURE p AS SELECT 'Привет';
GO
PRINT '✓ hecho'; RAISERROR('→ paso', 0, 1);
GO
