CREATE TABLE antes (x INTEGER);
COMMIT;
CREATE TABLE despues (x INTEGER);
GO
-- CREATE PROCEDURE: a group of its own, never sent once the first one ended
-- the transaction.
CREATE TABLE nunca (x INTEGER);
GO
