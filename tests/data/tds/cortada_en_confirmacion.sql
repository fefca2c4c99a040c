EXEC tds_deaf_at_commit 0
INSERT INTO aranceles VALUES (1)
GO
