EXEC tds_deaf_at_commit 30
INSERT INTO aranceles VALUES (1)
GO
