-- The three tables of the copy benchmark, added to the Oracle dictionary emulation of the test
-- bed (run after tests/fixtures/oracle_emulation.sql, in database ora_src, by psql as the
-- superuser). Each table has an owner of its own, so that a wizard that logs in as that owner
-- reads exactly one table at step 2:
--
--   BENCH_WIDE   / bench_pass  WIDE    id, customer_id, amount, qty, name, note, created, flag
--   BENCH_NARROW / bench_pass  NARROW  id, val
--   BENCH_BLOBS  / bench_pass  BLOBS   id, data (1 KB each)
--   BENCH_HUGE   / bench_pass  HUGE    id, data, note (50 MB values: a BLOB in odd rows, a
--                                      CLOB in even ones, the other column NULL)
--
-- Row counts come from the psql variables wide_rows, narrow_rows, blob_rows and huge_rows. The rows are
-- random but the same on every run (fixed seed). Unlike the fixture's tables, the real tables
-- get their primary keys, so that the portion queries (ORDER BY ID OFFSET ... FETCH NEXT ...)
-- walk an index instead of sorting the whole table for each portion.

\set ON_ERROR_STOP on
SET client_encoding = 'UTF8';
SET client_min_messages = warning;

DO $roles$
DECLARE
    r text;
BEGIN
    FOREACH r IN ARRAY ARRAY['bench_wide', 'bench_narrow', 'bench_blobs', 'bench_huge'] LOOP
        IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = r) THEN
            EXECUTE format('CREATE ROLE %I LOGIN PASSWORD %L', r, 'bench_pass');
        END IF;
        EXECUTE format('ALTER ROLE %I IN DATABASE %I SET search_path = "$user", ora_dict', r,
                       current_database());
        EXECUTE format('DROP SCHEMA IF EXISTS %I CASCADE', r);
        EXECUTE format('CREATE SCHEMA %I AUTHORIZATION %I', r, r);
        EXECUTE format('GRANT USAGE ON SCHEMA ora_dict, sys TO %I', r);
        EXECUTE format('GRANT SELECT ON ALL TABLES IN SCHEMA ora_dict TO %I', r);
        EXECUTE format('GRANT SELECT ON ALL TABLES IN SCHEMA sys TO %I', r);
    END LOOP;
END
$roles$;

DELETE FROM ora_meta.cons_columns WHERE owner LIKE 'BENCH\_%';
DELETE FROM ora_meta.constraints WHERE owner LIKE 'BENCH\_%';
DELETE FROM ora_meta.columns WHERE owner LIKE 'BENCH\_%';
DELETE FROM ora_meta.objects WHERE owner LIKE 'BENCH\_%';

INSERT INTO ora_meta.objects VALUES
    ('BENCH_WIDE', 'WIDE', 'TABLE', NULL),
    ('BENCH_NARROW', 'NARROW', 'TABLE', NULL),
    ('BENCH_BLOBS', 'BLOBS', 'TABLE', NULL),
    ('BENCH_HUGE', 'HUGE', 'TABLE', NULL);

INSERT INTO ora_meta.columns
    (owner, table_name, column_id, column_name, data_type, data_length, data_precision,
     data_scale, nullable, char_col_decl_length, data_default)
VALUES
    ('BENCH_WIDE', 'WIDE', 1, 'ID', 'NUMBER', 22, NULL, NULL, 'N', NULL, NULL),
    ('BENCH_WIDE', 'WIDE', 2, 'CUSTOMER_ID', 'NUMBER', 22, 10, 0, 'Y', NULL, NULL),
    ('BENCH_WIDE', 'WIDE', 3, 'AMOUNT', 'NUMBER', 22, 12, 2, 'Y', NULL, NULL),
    ('BENCH_WIDE', 'WIDE', 4, 'QTY', 'NUMBER', 22, 10, 0, 'Y', NULL, NULL),
    ('BENCH_WIDE', 'WIDE', 5, 'NAME', 'VARCHAR2', 400, NULL, NULL, 'Y', 100, NULL),
    ('BENCH_WIDE', 'WIDE', 6, 'NOTE', 'VARCHAR2', 1600, NULL, NULL, 'Y', 400, NULL),
    ('BENCH_WIDE', 'WIDE', 7, 'CREATED', 'DATE', 7, NULL, NULL, 'Y', NULL, NULL),
    ('BENCH_WIDE', 'WIDE', 8, 'FLAG', 'CHAR', 1, NULL, NULL, 'Y', 1, NULL),
    ('BENCH_NARROW', 'NARROW', 1, 'ID', 'NUMBER', 22, 10, 0, 'N', NULL, NULL),
    ('BENCH_NARROW', 'NARROW', 2, 'VAL', 'VARCHAR2', 80, NULL, NULL, 'Y', 20, NULL),
    ('BENCH_BLOBS', 'BLOBS', 1, 'ID', 'NUMBER', 22, 10, 0, 'N', NULL, NULL),
    ('BENCH_BLOBS', 'BLOBS', 2, 'DATA', 'BLOB', 4000, NULL, NULL, 'Y', NULL, NULL),
    ('BENCH_HUGE', 'HUGE', 1, 'ID', 'NUMBER', 22, 10, 0, 'N', NULL, NULL),
    ('BENCH_HUGE', 'HUGE', 2, 'DATA', 'BLOB', 4000, NULL, NULL, 'Y', NULL, NULL),
    ('BENCH_HUGE', 'HUGE', 3, 'NOTE', 'CLOB', 4000, NULL, NULL, 'Y', NULL, NULL);

INSERT INTO ora_meta.constraints
    (owner, constraint_name, constraint_type, table_name, r_owner, r_constraint_name, status)
VALUES
    ('BENCH_WIDE', 'PK_WIDE', 'P', 'WIDE', NULL, NULL, 'ENABLED'),
    ('BENCH_NARROW', 'PK_NARROW', 'P', 'NARROW', NULL, NULL, 'ENABLED'),
    ('BENCH_BLOBS', 'PK_BLOBS', 'P', 'BLOBS', NULL, NULL, 'ENABLED'),
    ('BENCH_HUGE', 'PK_HUGE', 'P', 'HUGE', NULL, NULL, 'ENABLED');

INSERT INTO ora_meta.cons_columns VALUES
    ('BENCH_WIDE', 'PK_WIDE', 'WIDE', 'ID', 1),
    ('BENCH_NARROW', 'PK_NARROW', 'NARROW', 'ID', 1),
    ('BENCH_BLOBS', 'PK_BLOBS', 'BLOBS', 'ID', 1),
    ('BENCH_HUGE', 'PK_HUGE', 'HUGE', 'ID', 1);

CREATE TABLE bench_wide.wide (
    id          numeric PRIMARY KEY,
    customer_id numeric(10, 0),
    amount      numeric(12, 2),
    qty         numeric(10, 0),
    name        varchar(100),
    note        varchar(400),
    created     timestamp(0),
    flag        char(1)
);
CREATE TABLE bench_narrow.narrow (
    id  numeric(10, 0) PRIMARY KEY,
    val varchar(20)
);
CREATE TABLE bench_blobs.blobs (
    id   numeric(10, 0) PRIMARY KEY,
    data bytea
);
CREATE TABLE bench_huge.huge (
    id   numeric(10, 0) PRIMARY KEY,
    data bytea,
    note text
);
ALTER TABLE bench_wide.wide OWNER TO bench_wide;
ALTER TABLE bench_narrow.narrow OWNER TO bench_narrow;
ALTER TABLE bench_blobs.blobs OWNER TO bench_blobs;
ALTER TABLE bench_huge.huge OWNER TO bench_huge;

SELECT setseed(0.42);

-- Names: a surname (two of six carry an apostrophe, one a non-ASCII letter) and a random tail;
-- notes: one to five random words of 32 letters, 30 % NULL.
INSERT INTO bench_wide.wide
SELECT g,
       (random() * 1000000)::int,
       round((random() * 1000000)::numeric, 2),
       (random() * 1000)::int,
       (ARRAY['O''Brien', 'Smith', 'D''Arcy', 'Ivanov', 'Müller', 'Lee'])[1 + g % 6] || ' ' ||
           substr(md5(random()::text), 1, 5 + (random() * 27)::int),
       CASE WHEN random() < 0.3 THEN NULL
            ELSE rtrim(repeat(md5(random()::text) || ' ', 1 + (random() * 4)::int)) END,
       timestamp '2015-01-01' + (random() * 300000000)::int * interval '1 second',
       CASE WHEN random() < 0.5 THEN 'Y' ELSE 'N' END
FROM generate_series(1, :wide_rows) g;

INSERT INTO bench_narrow.narrow
SELECT g, 'v' || (random() * 100000000)::int
FROM generate_series(1, :narrow_rows) g;

-- 1024 bytes a row: 32 times a pair of md5 digests (16 bytes each).
INSERT INTO bench_blobs.blobs
SELECT g, decode(repeat(md5(g::text) || md5((g + 1)::text), 32), 'hex')
FROM generate_series(1, :blob_rows) g;

-- 50 MB a value: 3,276,800 times a digest of 16 bytes, or a line of 48 characters (54 bytes
-- of UTF-8, Cyrillic among them) 1,048,576 times.
INSERT INTO bench_huge.huge
SELECT g,
       CASE WHEN g % 2 = 1 THEN decode(repeat(md5(g::text), 3276800), 'hex') END,
       CASE WHEN g % 2 = 0 THEN repeat(substr(md5(g::text), 1, 24) || ' строка ' || g ||
                                       repeat('.', 16 - length(g::text)), 1048576) END
FROM generate_series(1, :huge_rows) g;

VACUUM ANALYZE bench_wide.wide;
VACUUM ANALYZE bench_narrow.narrow;
VACUUM ANALYZE bench_blobs.blobs;
VACUUM ANALYZE bench_huge.huge;
