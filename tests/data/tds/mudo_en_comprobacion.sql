EXEC tds_deaf_at_check 30
INSERT INTO aranceles VALUES (1)
GO
