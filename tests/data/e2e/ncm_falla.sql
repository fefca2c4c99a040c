CREATE TABLE parcial (x INTEGER);
GO
INSERT INTO parcial VALUES (1);
GO
-- ALTER PROCEDURE: this piece is sent in a group of its own, so the first group
-- has already run when this one fails.
INSERT INTO no_existe VALUES (1);
GO
