CREATE TABLE lenta (x INTEGER);
INSERT INTO lenta VALUES (1);
SELECT length(randomblob(150000000));
SELECT length(randomblob(150000000));
SELECT length(randomblob(150000000));
SELECT length(randomblob(150000000));
SELECT length(randomblob(150000000));
SELECT length(randomblob(150000000));
SELECT length(randomblob(150000000));
SELECT length(randomblob(150000000));
SELECT length(randomblob(150000000));
SELECT length(randomblob(150000000));
SELECT length(randomblob(150000000));
SELECT length(randomblob(150000000));
GO
